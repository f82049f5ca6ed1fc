#include "MimeHeader.h"

#include "ByteView.h"
#include "Cp932.h"

#include <QStringDecoder>
#include <optional>

namespace nmail {

namespace {

struct EncodedWord
{
    qsizetype end = 0;  // index just past "?="
    QByteArray charset; // lower case, without an RFC 2231 language suffix
    QByteArray bytes;   // the decoded octets
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

QByteArray decodeQ(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

// Parses the encoded-word starting at raw[start] ("=?"); nothing when it is not one.
std::optional<EncodedWord> parseEncodedWord(QByteArrayView raw, qsizetype start)
{
    if (!midView(raw, start).startsWith("=?")) {
        return std::nullopt;
    }
    const qsizetype q1 = raw.indexOf('?', start + 2);
    if (q1 < 0 || q1 + 2 >= raw.size() || raw[q1 + 2] != '?') {
        return std::nullopt;
    }
    const char encoding = raw[q1 + 1];
    const qsizetype textStart = q1 + 3;
    const qsizetype close = raw.indexOf("?=", textStart);
    if (close < 0) {
        return std::nullopt;
    }
    const QByteArrayView text = midView(raw, textStart, close - textStart);
    if (text.contains(' ') || text.contains('\t')) {
        return std::nullopt;
    }
    EncodedWord word;
    word.end = close + 2;
    word.charset = midView(raw, start + 2, q1 - start - 2).toByteArray().toLower();
    if (const qsizetype star = word.charset.indexOf('*'); star >= 0) {
        word.charset.truncate(star);
    }
    if (encoding == 'B' || encoding == 'b') {
        auto decoded = QByteArray::fromBase64Encoding(text.toByteArray(),
                                                      QByteArray::Base64Encoding |
                                                          QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        word.bytes = *decoded;
    } else if (encoding == 'Q' || encoding == 'q') {
        word.bytes = decodeQ(text);
    } else {
        return std::nullopt;
    }
    return word;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

QByteArray headerOf(QByteArrayView message)
{
    QByteArray header;
    qsizetype pos = 0;
    while (pos < message.size()) {
        qsizetype lf = message.indexOf('\n', pos);
        const qsizetype next = lf < 0 ? message.size() : lf + 1;
        QByteArrayView line = midView(message, pos, (lf < 0 ? message.size() : lf) - pos);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty()) {
            break;
        }
        header.append(line.data(), line.size());
        header.append("\r\n", 2);
        pos = next;
    }
    return header;
}

QByteArray headerField(QByteArrayView header, QByteArrayView name)
{
    QByteArray value;
    bool inField = false;
    qsizetype pos = 0;
    while (pos < header.size()) {
        const qsizetype lf = header.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? header.size() : lf;
        QByteArrayView line = midView(header, pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const bool continuation = !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
        if (inField) {
            if (!continuation) {
                break;
            }
            value.append(line.data(), line.size());
            continue;
        }
        if (continuation) {
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            continue;
        }
        if (line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            inField = true;
            value = midView(line, colon + 1).toByteArray();
        }
    }
    return value.trimmed();
}

QString decodeHeaderText(QByteArrayView raw)
{
    QString out;
    QByteArray plain;        // undecoded bytes outside words, waiting to be read
    QByteArray pendingBytes; // octets of adjacent encoded-words of one charset
    QByteArray pendingCharset;
    QByteArray pendingSource; // their source text, kept for a charset Qt does not know

    auto flushPlain = [&] {
        if (!plain.isEmpty()) {
            out += fromServerText(plain);
            plain.clear();
        }
    };
    auto flushWords = [&] {
        if (pendingCharset.isEmpty()) {
            return;
        }
        QStringDecoder decoder(pendingCharset.constData());
        if (decoder.isValid()) {
            out += decoder.decode(pendingBytes);
        } else {
            out += QString::fromLatin1(pendingSource);
        }
        pendingBytes.clear();
        pendingCharset.clear();
        pendingSource.clear();
    };

    qsizetype pos = 0;
    bool lastWasWord = false;
    while (pos < raw.size()) {
        if (raw[pos] == '=' && pos + 1 < raw.size() && raw[pos + 1] == '?') {
            if (auto word = parseEncodedWord(raw, pos)) {
                // Blanks between two encoded-words are not part of the text (RFC 2047 §6.2).
                if (lastWasWord) {
                    plain.clear();
                }
                flushPlain();
                if (word->charset != pendingCharset) {
                    flushWords();
                }
                pendingCharset = word->charset;
                pendingBytes += word->bytes;
                pendingSource += midView(raw, pos, word->end - pos).toByteArray();
                pos = word->end;
                lastWasWord = true;
                continue;
            }
        }
        if (lastWasWord && !isBlank(raw[pos])) {
            lastWasWord = false;
        }
        if (!lastWasWord || !isBlank(raw[pos])) {
            flushWords();
        }
        plain.append(raw[pos]);
        ++pos;
    }
    if (lastWasWord) {
        plain.clear(); // trailing blanks after the last word
    }
    flushWords();
    flushPlain();
    return out;
}

} // namespace nmail
