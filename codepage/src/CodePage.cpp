#include "codepage/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
// Qt's ICU codec of Windows-31J: the code page as Windows defines it (0x5C is the backslash,
// 0x7E the tilde, the NEC row 13 and the IBM rows 0xFA to 0xFC are mapped).
constexpr char CodecName[] = "windows-31j";

QByteArray EncodeWhole(QStringView text, bool& ok)
{
    QStringEncoder encoder(CodecName, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    ok = encoder.isValid() && !encoder.hasError();
    return bytes;
}

QString DecodeWhole(QByteArrayView bytes, bool& ok)
{
    QStringDecoder decoder(CodecName, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    ok = decoder.isValid() && !decoder.hasError();
    return text;
}

// Qt's codec follows IBM's table for three control codes and swaps them around (0x1A decodes to
// U+001C, 0x1C to U+007F, 0x7F to U+001A, and back); Windows maps every byte below 0x80 to the
// same code point. These put the three back in place on either side of the codec.
QString BeforeEncoding(QString text)
{
    for (QChar& c : text) {
        if (c == QChar(0x1A))
            c = QChar(0x1C);
        else if (c == QChar(0x1C))
            c = QChar(0x7F);
        else if (c == QChar(0x7F))
            c = QChar(0x1A);
    }
    return text;
}

QString AfterDecoding(QString text)
{
    for (QChar& c : text) {
        if (c == QChar(0x1C))
            c = QChar(0x1A);
        else if (c == QChar(0x7F))
            c = QChar(0x1C);
        else if (c == QChar(0x1A))
            c = QChar(0x7F);
    }
    return text;
}

bool IsAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

bool IsAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

constexpr bool IsTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}
} // namespace

QByteArray ToCodePage(const QString& original)
{
    // ASCII is the same in the code page; skipping the codec saves opening an ICU converter.
    if (IsAscii(original))
        return original.toLatin1();
    const QString text = BeforeEncoding(original);
    bool ok = false;
    QByteArray bytes = EncodeWhole(text, ok);
    if (ok)
        return bytes;
    // The codec substitutes its own filler pair (0xFC 0xFC) for what it cannot map; go one code
    // point at a time instead so that each such character becomes a single '?'.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        bool one = false;
        const QByteArray part = EncodeWhole(QStringView(text).mid(i, width), one);
        bytes += one ? part : QByteArray("?");
        i += width;
    }
    return bytes;
}

QString FromCodePage(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    bool ok = false;
    QString text = DecodeWhole(bytes, ok);
    if (ok)
        return AfterDecoding(text);
    // The codec turns bad bytes into U+001A, which cannot be told from a real 0x1A, and drops a
    // lone lead byte at the end; decode unit by unit so that each bad unit becomes U+FFFD.
    text.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        qsizetype width = 1;
        if (IsLeadByte(lead) && i + 1 < bytes.size() &&
            IsTrailByte(static_cast<unsigned char>(bytes[i + 1])))
            width = 2;
        bool one = false;
        const QString part = DecodeWhole(bytes.sliced(i, width), one);
        text += one ? part : QString(QChar::ReplacementCharacter);
        i += width;
    }
    return AfterDecoding(text);
}

bool FitsCodePage(QStringView text)
{
    if (IsAscii(text))
        return true;
    bool ok = false;
    EncodeWhole(text, ok);
    return ok;
}

qsizetype CodePagePrefixLength(QByteArrayView bytes, qsizetype maxBytes)
{
    const qsizetype limit = qMin(bytes.size(), qMax<qsizetype>(maxBytes, 0));
    qsizetype at = 0;
    while (at < limit) {
        const qsizetype width =
            (IsLeadByte(static_cast<unsigned char>(bytes[at])) && at + 1 < bytes.size()) ? 2 : 1;
        if (at + width > limit)
            break;
        at += width;
    }
    return at;
}

qsizetype FindCodePageByte(QByteArrayView bytes, char byte, qsizetype from)
{
    // Walk from the start: only a walk from a known character boundary tells first bytes from
    // second bytes.
    for (qsizetype at = 0; at < bytes.size();) {
        if (at >= from && bytes[at] == byte)
            return at;
        at += IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    }
    return -1;
}
