#include "Cp932.h"

#include <QStringDecoder>
#include <cstring>

namespace nmail {

CopyResult copyCp932(QByteArrayView text, char* buffer, qsizetype bufferSize)
{
    if (!buffer || bufferSize < 1) {
        return {0, !text.isEmpty()};
    }
    const qsizetype length = CodePagePrefixLength(text, bufferSize - 1);
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
    return FromCodePage(bytes);
}

} // namespace nmail
