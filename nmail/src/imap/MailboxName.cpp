#include "MailboxName.h"

#include <cstring>

namespace nmail::imap {

namespace {

bool isPrintable(uint c)
{
    return c >= 0x20 && c <= 0x7e;
}

// The value of a modified base64 digit, or -1.
int base64Digit(char c)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    const char* found = c ? std::strchr(digits, c) : nullptr;
    return found ? int(found - digits) : -1;
}

// A run of UTF-16 units as modified base64, between '&' and '-'.
QByteArray shifted(QStringView units)
{
    QByteArray bigEndian;
    for (QChar unit : units) {
        bigEndian.append(char(unit.unicode() >> 8));
        bigEndian.append(char(unit.unicode() & 0xff));
    }
    return '&' + bigEndian.toBase64(QByteArray::OmitTrailingEquals).replace('/', ',') + '-';
}

// The UTF-16 units of a shifted run (what is between '&' and '-'), appended to name.
bool unshift(QByteArrayView digits, QString* name)
{
    uint bits = 0;
    int count = 0;
    for (char c : digits) {
        const int value = base64Digit(c);
        if (value < 0) {
            return false;
        }
        bits = (bits << 6) | uint(value);
        count += 6;
        if (count >= 16) {
            count -= 16;
            const char16_t unit = char16_t(bits >> count);
            bits &= (1u << count) - 1;
            // Printable US-ASCII must stand for itself, so a shift holding it is not ours.
            if (isPrintable(unit)) {
                return false;
            }
            name->append(QChar(unit));
        }
    }
    // What is left over is padding to a whole digit: fewer than six bits, all zero.
    return count < 6 && bits == 0;
}

// Every high surrogate is followed by a low one, and every low one follows a high one.
bool pairsAreWhole(QStringView name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            ++i;
        } else if (name[i].isSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace

QByteArray encodeMailboxName(const QString& name)
{
    QByteArray wire;
    qsizetype runStart = -1; // the first unit of a run that needs base64
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool printable = i < name.size() && isPrintable(name[i].unicode());
        if (i < name.size() && !printable) {
            if (runStart < 0) {
                runStart = i;
            }
            continue;
        }
        if (runStart >= 0) {
            wire += shifted(QStringView(name).sliced(runStart, i - runStart));
            runStart = -1;
        }
        if (printable) {
            wire += name[i] == u'&' ? QByteArray("&-") : QByteArray(1, char(name[i].unicode()));
        }
    }
    return wire;
}

std::optional<QString> decodeMailboxName(QByteArrayView wire)
{
    QString name;
    for (qsizetype i = 0; i < wire.size(); ++i) {
        if (!isPrintable(uchar(wire[i]))) {
            return std::nullopt;
        }
        if (wire[i] != '&') {
            name.append(QChar(uchar(wire[i])));
            continue;
        }
        const qsizetype end = wire.indexOf('-', i + 1);
        if (end < 0) {
            return std::nullopt;
        }
        if (end == i + 1) {
            name.append(u'&');
        } else if (!unshift(wire.sliced(i + 1, end - i - 1), &name)) {
            return std::nullopt;
        }
        i = end;
    }
    if (!pairsAreWhole(name)) {
        return std::nullopt;
    }
    return name;
}

std::optional<QByteArray> quoteAstring(QByteArrayView bytes)
{
    bool atom = !bytes.isEmpty();
    for (char c : bytes) {
        if (c == '\0' || c == '\r' || c == '\n' || uchar(c) >= 0x80) {
            return std::nullopt;
        }
        // ASTRING-CHAR: no blank, control, or atom-special other than ']'.
        atom = atom && isPrintable(uchar(c)) && c != ' ' && !std::strchr("(){%*\"\\", c);
    }
    if (atom) {
        return bytes.toByteArray();
    }
    QByteArray quoted = "\"";
    for (char c : bytes) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::optional<QByteArray> quoteMailboxName(const QString& name)
{
    if (name.contains(QChar(0)) || name.contains(u'\r') || name.contains(u'\n')) {
        return std::nullopt;
    }
    return quoteAstring(encodeMailboxName(name));
}

} // namespace nmail::imap
