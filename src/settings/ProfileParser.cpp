#include "settings/ProfileParser.h"

#include "codepage/CodePage.h"

#include <QString>
#include <limits>

namespace Profile {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

enum class LineKind
{
    Blank,
    Section,
    Comment,
    Key,
    Other
};

// One line of the file. Positions are offsets into the whole file.
struct Line
{
    qsizetype begin = 0;
    qsizetype contentEnd = 0; // where the line break starts
    qsizetype end = 0;        // after the line break
    LineKind kind = LineKind::Other;
    QByteArrayView name;      // section or key name, trimmed
    qsizetype valueBegin = 0; // key lines: just after '='
};

Line ReadLine(QByteArrayView file, qsizetype begin)
{
    Line line;
    line.begin = begin;
    qsizetype at = begin;
    while (at < file.size() && file[at] != '\n' && file[at] != '\r')
        ++at;
    line.contentEnd = at;
    if (at < file.size()) {
        at += (file[at] == '\r' && at + 1 < file.size() && file[at + 1] == '\n') ? 2 : 1;
    }
    line.end = at;

    const QByteArrayView content = file.sliced(begin, line.contentEnd - begin);
    const QByteArrayView text = Trimmed(content);
    if (text.isEmpty()) {
        line.kind = LineKind::Blank;
    } else if (text[0] == '[') {
        const qsizetype close = FindCodePageByte(text, ']', 1);
        if (close > 0) {
            line.kind = LineKind::Section;
            line.name = Trimmed(text.sliced(1, close - 1));
        }
    } else if (text[0] == ';') {
        line.kind = LineKind::Comment;
    } else if (const qsizetype equals = content.indexOf('='); equals >= 0) {
        // '=' (0x3D) is never the second byte of a double-byte character, so a plain search is
        // safe here.
        line.kind = LineKind::Key;
        line.name = Trimmed(content.first(equals));
        line.valueBegin = begin + equals + 1;
    }
    return line;
}

// wanted is trimmed already.
bool SameName(QByteArrayView stored, QStringView wanted)
{
    // Most names are ASCII: compare those without decoding.
    bool ascii = true;
    for (const char c : stored)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return QString::compare(QLatin1StringView(stored), wanted, Qt::CaseInsensitive) == 0;
    return QString::compare(FromCodePage(stored), wanted, Qt::CaseInsensitive) == 0;
}

// The section's header line and the last line that belongs to it; nothing when it is missing.
struct SectionSpan
{
    Line header;
    Line lastNonBlank;
    std::optional<Line> key;
};

std::optional<SectionSpan> FindSection(QByteArrayView file, QStringView section, QStringView key)
{
    std::optional<SectionSpan> found;
    for (qsizetype at = 0; at < file.size();) {
        const Line line = ReadLine(file, at);
        at = line.end;
        if (line.kind == LineKind::Section) {
            if (found)
                break; // the next section ends the first matching one
            if (SameName(line.name, section))
                found = SectionSpan{line, line, std::nullopt};
            continue;
        }
        if (!found)
            continue;
        if (line.kind != LineKind::Blank)
            found->lastNonBlank = line;
        if (line.kind == LineKind::Key && !found->key && SameName(line.name, key))
            found->key = line;
    }
    return found;
}

bool HasLineBreakOrNul(QByteArrayView bytes)
{
    return bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0');
}

bool EndsWithLineBreak(QByteArrayView bytes)
{
    return !bytes.isEmpty() && (bytes.back() == '\n' || bytes.back() == '\r');
}

} // namespace

bool HasLineBreakOrNul(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

std::optional<QByteArray> FindValue(QByteArrayView file, QStringView section, QStringView key)
{
    const std::optional<SectionSpan> span = FindSection(file, section.trimmed(), key.trimmed());
    if (!span || !span->key)
        return std::nullopt;
    QByteArrayView value =
        Trimmed(file.sliced(span->key->valueBegin, span->key->contentEnd - span->key->valueBegin));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.sliced(1, value.size() - 2);
    return value.toByteArray();
}

std::optional<QByteArray> SetValue(QByteArrayView file, QStringView section, QStringView key,
                                   QByteArrayView value)
{
    const QStringView sectionName = section.trimmed();
    const QStringView keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty() || HasLineBreakOrNul(section) ||
        HasLineBreakOrNul(key) || HasLineBreakOrNul(value) || sectionName.contains(u']') ||
        keyName.contains(u'=') || keyName.startsWith(u'[') || keyName.startsWith(u';'))
        return std::nullopt;

    QByteArray keyLine = ToCodePage(keyName.toString()) + '=';
    keyLine += value;
    keyLine += "\r\n";
    const std::optional<SectionSpan> span = FindSection(file, sectionName, keyName);
    QByteArray result;
    result.reserve(file.size() + keyLine.size() + sectionName.size() + 8);

    if (!span) {
        result += file;
        if (!file.isEmpty() && !EndsWithLineBreak(file))
            result += "\r\n";
        result += '[' + ToCodePage(sectionName.toString()) + "]\r\n" + keyLine;
        return result;
    }
    if (span->key) {
        result += file.first(span->key->valueBegin);
        result += value;
        result += file.sliced(span->key->contentEnd);
        return result;
    }
    const Line& last = span->lastNonBlank;
    result += file.first(last.end);
    if (last.end == last.contentEnd)
        result += "\r\n"; // the section's last line was the file's last, without a line break
    result += keyLine;
    result += file.sliced(last.end);
    return result;
}

QByteArray QuoteForReading(QByteArrayView value)
{
    // Both ends are single bytes: the second byte of a double-byte character is never a blank
    // or a quote.
    const auto changedByReader = [](char c) { return IsBlank(c) || c == '"' || c == '\''; };
    if (value.isEmpty() || (!changedByReader(value.front()) && !changedByReader(value.back())))
        return value.toByteArray();
    return '"' + value.toByteArray() + '"';
}

int LeadingInteger(QByteArrayView value)
{
    qsizetype at = 0;
    while (at < value.size() && IsBlank(value[at]))
        ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '+' || value[at] == '-')) {
        negative = value[at] == '-';
        ++at;
    }
    // Accumulate as a negative number so that INT_MIN itself is reachable.
    constexpr long long Min = std::numeric_limits<int>::min();
    constexpr long long Max = std::numeric_limits<int>::max();
    long long magnitude = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (value[at] - '0');
        if (magnitude > Max + 1)
            magnitude = Max + 1; // further digits cannot bring it back into range
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    return static_cast<int>(qBound(Min, signedValue, Max));
}

} // namespace Profile
