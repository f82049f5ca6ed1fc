#include "Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>

namespace nmail {

namespace {

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

} // namespace

QByteArray toCp932(const QString& text)
{
    QStringEncoder encoder("windows-31j");
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError()) {
        return bytes;
    }
    // The codec substitutes its own two-byte mark (0xFC 0xFC, which reads back as U+FFFD);
    // a plain '?' is what users of this code page expect, so encode one character at a time.
    bytes.clear();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype width =
            text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()
                ? 2
                : 1;
        QStringEncoder single("windows-31j");
        const QByteArray encoded = single.encode(QStringView(text).sliced(pos, width));
        bytes += single.hasError() ? QByteArray("?") : encoded;
        pos += width;
    }
    return bytes;
}

QString fromCp932(QByteArrayView bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(bytes);
}

qsizetype cp932PrefixLength(QByteArrayView bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes) {
        // Even a whole text may end in a lone lead byte; it is kept, as it came.
        return bytes.size();
    }
    qsizetype pos = 0;
    while (pos < maxBytes) {
        const qsizetype width = isLeadByte(static_cast<unsigned char>(bytes[pos])) ? 2 : 1;
        if (pos + width > maxBytes) {
            break;
        }
        pos += width;
    }
    return pos;
}

CopyResult copyCp932(QByteArrayView text, char* buffer, qsizetype bufferSize)
{
    if (!buffer || bufferSize < 1) {
        return {0, !text.isEmpty()};
    }
    const qsizetype length = cp932PrefixLength(text, bufferSize - 1);
    if (length > 0) {
        std::memcpy(buffer, text.data(), size_t(length));
    }
    buffer[length] = '\0';
    return {length, length < text.size()};
}

CopyResult copyBytes(QByteArrayView bytes, char* buffer, qsizetype bufferSize)
{
    if (!buffer || bufferSize < 1) {
        return {0, !bytes.isEmpty()};
    }
    const qsizetype length = qMin(bytes.size(), bufferSize - 1);
    if (length > 0) {
        std::memcpy(buffer, bytes.data(), size_t(length));
    }
    buffer[length] = '\0';
    return {length, length < bytes.size()};
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
    return fromCp932(bytes);
}

} // namespace nmail
