#include "settings/ServerFile.h"

#include "codepage/CodePage.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// A value is characters 6 to 105 of its line: at most 100 characters after the prefix.
constexpr qsizetype PrefixLength = 5;
constexpr qsizetype MaxValueLength = 100;
// The longest line start that can matter: 105 characters of at most two bytes each.
constexpr qsizetype LineBytesKept = 2 * (PrefixLength + MaxValueLength);

// Splits bytes into lines as they arrive, keeping only the start of each line, and applies each
// finished line to the record.
class ServerFileReader
{
public:
    explicit ServerFileReader(MailSettingsRecord& into) : m_into(into) {}

    void Feed(QByteArrayView chunk)
    {
        qsizetype at = 0;
        if (m_afterCr && !chunk.isEmpty() && chunk[0] == '\n')
            at = 1; // the LF of a CR LF pair split between two chunks
        m_afterCr = false;
        while (at < chunk.size()) {
            qsizetype stop = at;
            while (stop < chunk.size() && chunk[stop] != '\r' && chunk[stop] != '\n')
                ++stop;
            if (stop > at) {
                m_open = true;
                const qsizetype room = LineBytesKept - m_line.size();
                m_line += chunk.sliced(at, qMin(room, stop - at));
            }
            if (stop == chunk.size())
                break;
            EndLine();
            at = stop + 1;
            if (chunk[stop] == '\r') {
                if (at == chunk.size())
                    m_afterCr = true;
                else if (chunk[at] == '\n')
                    ++at;
            }
        }
    }

    void Finish()
    {
        if (m_open)
            EndLine(); // the last line, without a line break
    }

private:
    void EndLine()
    {
        ApplyLine(m_line);
        m_line.clear();
        m_open = false;
    }

    void ApplyLine(QByteArrayView line)
    {
        // The prefixes are ASCII, and a byte below 0x80 is always a character of its own, so the
        // first five characters match exactly when the first five bytes do; only a matching
        // line needs decoding.
        QString* field = nullptr;
        if (line.startsWith("SMTP="))
            field = &m_into.SmtpServer;
        else if (line.startsWith("POP3="))
            field = &m_into.Pop3Server;
        else if (line.startsWith("MAIL="))
            field = &m_into.MailAddress;
        else if (!line.startsWith("APOP="))
            return;
        // Characters are counted after decoding: a double-byte character is one character, as
        // it is in the program's Unicode strings once a line has been read on a Japanese system.
        const QString value = FromCodePage(line.sliced(PrefixLength)).left(MaxValueLength);
        if (field)
            *field = value;
        else
            m_into.UseApop = ApopNumber(value);
    }

    MailSettingsRecord& m_into;
    QByteArray m_line;
    bool m_open = false;
    bool m_afterCr = false;
};

bool IsStorable(const QString& field)
{
    return !field.contains(u'\r') && !field.contains(u'\n') && FitsCodePage(field);
}

} // namespace

void ParseServerFile(QByteArrayView bytes, MailSettingsRecord& into)
{
    ServerFileReader reader(into);
    reader.Feed(bytes);
    reader.Finish();
}

bool ParseServerFile(QIODevice& device, MailSettingsRecord& into)
{
    MailSettingsRecord parsed = into;
    ServerFileReader reader(parsed);
    qint64 total = 0;
    while (total < MaxServerFileRead) {
        const QByteArray chunk = device.read(qMin<qint64>(64 * 1024, MaxServerFileRead - total));
        if (chunk.isEmpty()) {
            if (device.atEnd() || !device.isReadable())
                break;
            // An empty read that is not the end is a failure; a partial file must not count.
            return false;
        }
        total += chunk.size();
        reader.Feed(chunk);
    }
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->error() != QFile::NoError)
        return false;
    reader.Finish();
    into = parsed;
    return true;
}

QByteArray SerializeServerFile(const MailSettingsRecord& from)
{
    QByteArray bytes;
    bytes += "SMTP=" + ToCodePage(from.SmtpServer) + "\r\n";
    bytes += "POP3=" + ToCodePage(from.Pop3Server) + "\r\n";
    bytes += "MAIL=" + ToCodePage(from.MailAddress) + "\r\n";
    bytes += "APOP=" + QByteArray::number(from.UseApop) + "\r\n";
    return bytes;
}

bool LoadServerFileFrom(const QString& path, MailSettingsRecord& into)
{
    // Only a regular file counts: a folder named vbmail.ini is no server file, and a named pipe
    // would block the start-up.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return ParseServerFile(file, into);
}

bool SaveServerFileTo(const QString& path, const MailSettingsRecord& from, QString* error)
{
    if (!IsStorable(from.SmtpServer) || !IsStorable(from.Pop3Server) ||
        !IsStorable(from.MailAddress)) {
        if (error)
            *error = QCoreApplication::translate(
                "ServerFile", "改行やシフトJISで表せない文字を含む設定は保存できません。");
        return false;
    }
    return SettingsIo::WriteFileAtomically(path, SerializeServerFile(from),
                                           SettingsIo::NewFileMode::Normal, error);
}

void LoadServerFile()
{
    LoadServerFileFrom(ServerFilePath(), MailSettings);
}

bool SaveServerFile(const MailSettingsRecord& from, QString* error)
{
    return SaveServerFileTo(ServerFilePath(), from, error);
}

qint16 ApopNumber(QStringView value)
{
    // Gather the number without its blanks, then convert it in one go.
    std::string number;
    qsizetype at = 0;
    const auto next = [&]() -> QChar {
        while (at < value.size() && (value[at] == u' ' || value[at] == u'\t'))
            ++at;
        return at < value.size() ? value[at] : QChar();
    };
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };

    bool negative = false;
    if (const QChar c = next(); c == u'+' || c == u'-') {
        negative = c == u'-';
        ++at;
    }
    qsizetype mantissaDigits = 0;
    qsizetype integerDigits = 0; // after leading zeros
    qsizetype leadingFractionZeros = 0;
    bool nonZeroSeen = false;
    for (QChar c = next(); isDigit(c); ++at, c = next()) {
        number += char(c.unicode());
        ++mantissaDigits;
        nonZeroSeen = nonZeroSeen || c != u'0';
        if (nonZeroSeen)
            ++integerDigits;
    }
    if (next() == u'.') {
        ++at;
        number += '.';
        for (QChar c = next(); isDigit(c); ++at, c = next()) {
            number += char(c.unicode());
            ++mantissaDigits;
            if (!nonZeroSeen && c == u'0')
                ++leadingFractionZeros;
            nonZeroSeen = nonZeroSeen || c != u'0';
        }
    }
    if (mantissaDigits == 0 || !nonZeroSeen)
        return 0;

    long long exponent = 0;
    if (const QChar e = next(); e == u'e' || e == u'E') {
        const qsizetype mark = at++;
        bool expNegative = false;
        if (const QChar s = next(); s == u'+' || s == u'-') {
            expNegative = s == u'-';
            ++at;
        }
        bool expDigits = false;
        for (QChar c = next(); isDigit(c); ++at, c = next()) {
            expDigits = true;
            exponent = qMin(exponent * 10 + (c.unicode() - u'0'), 1000000LL);
        }
        if (expDigits) {
            number += 'e' + std::to_string(expNegative ? -exponent : exponent);
            exponent = expNegative ? -exponent : exponent;
        } else {
            at = mark; // "1e" is the number 1 followed by text
        }
    }

    double magnitude = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(),
                                              magnitude, std::chars_format::general);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: its decimal order tells which.
        const long long order =
            (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
        magnitude = order > 0 ? HUGE_VAL : 0.0;
    } else if (error != std::errc()) {
        return 0;
    }
    // rint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::rint(negative ? -magnitude : magnitude);
    if (rounded >= 32767.0)
        return 32767;
    if (rounded <= -32768.0)
        return -32768;
    return static_cast<qint16>(rounded);
}
