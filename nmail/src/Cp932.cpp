#include "Cp932.h"

#include <QStringDecoder>
#include <atomic>
#include <cstring>

namespace nmail {

namespace {

std::atomic<bool> s_callerUtf8{false};

// The longest leading part of UTF-8 bytes of at most maxBytes that ends on a character
// boundary.
qsizetype utf8PrefixLength(QByteArrayView bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes) {
        return bytes.size();
    }
    qsizetype length = maxBytes;
    while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80) {
        --length;
    }
    return length;
}

// Copies the leading part of bytes that prefixLength allows into buffer, NUL-terminated.
CopyResult copyPrefix(QByteArrayView bytes, char* buffer, qsizetype bufferSize,
                      qsizetype (*prefixLength)(QByteArrayView, qsizetype))
{
    if (!buffer || bufferSize < 1) {
        return {0, !bytes.isEmpty()};
    }
    const qsizetype length = prefixLength(bytes, bufferSize - 1);
    if (length > 0) {
        std::memcpy(buffer, bytes.data(), size_t(length));
    }
    buffer[length] = '\0';
    return {length, length < bytes.size()};
}

qsizetype bytePrefixLength(QByteArrayView bytes, qsizetype maxBytes)
{
    return qMin(bytes.size(), maxBytes);
}

} // namespace

void setCallerUsesUtf8(bool utf8)
{
    s_callerUtf8.store(utf8, std::memory_order_relaxed);
}

bool callerUsesUtf8()
{
    return s_callerUtf8.load(std::memory_order_relaxed);
}

QString fromCallerText(const char* text)
{
    if (!text) {
        return {};
    }
    return callerUsesUtf8() ? QString::fromUtf8(text) : FromCodePage(text);
}

CopyResult copyCallerText(const QString& text, char* buffer, qsizetype bufferSize)
{
    if (!callerUsesUtf8()) {
        return copyCp932(ToCodePage(text), buffer, bufferSize);
    }
    return copyPrefix(text.toUtf8(), buffer, bufferSize, utf8PrefixLength);
}

CopyResult copyCp932(QByteArrayView text, char* buffer, qsizetype bufferSize)
{
    return copyPrefix(text, buffer, bufferSize, CodePagePrefixLength);
}

CopyResult copyBytes(QByteArrayView bytes, char* buffer, qsizetype bufferSize)
{
    return copyPrefix(bytes, buffer, bufferSize, bytePrefixLength);
}

QString fromServerText(QByteArrayView bytes)
{
    // Plain ASCII, the usual case, needs no converter at all.
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return FromCodePage(bytes);
}

} // namespace nmail
