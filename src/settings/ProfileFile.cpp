#include "settings/ProfileFile.h"

#include "codepage/CodePage.h"
#include "settings/AtomicFile.h"
#include "settings/ProfileParser.h"

#include <optional>

namespace Profile {
namespace {

std::optional<QByteArray> ReadRaw(const QString& path, const QString& section, const QString& key)
{
    QByteArray bytes;
    const SettingsIo::ReadStatus status = SettingsIo::ReadSettingsFile(path, MaxFileSize, bytes);
    if (status != SettingsIo::ReadStatus::Ok && status != SettingsIo::ReadStatus::Truncated)
        return std::nullopt;
    return FindValue(bytes, section, key);
}

} // namespace

QString GetString(const QString& path, const QString& section, const QString& key,
                  const QString& defaultValue, int bufferSize)
{
    const QByteArray bytes = ReadRaw(path, section, key).value_or(ToCodePage(defaultValue));
    // The buffer keeps one byte for the terminating NUL.
    const qsizetype room = bufferSize > 0 ? bufferSize - 1 : 0;
    return FromCodePage(QByteArrayView(bytes).first(CodePagePrefixLength(bytes, room)));
}

int GetInt(const QString& path, const QString& section, const QString& key, int defaultValue)
{
    const std::optional<QByteArray> value = ReadRaw(path, section, key);
    if (!value || value->isEmpty())
        return defaultValue;
    return LeadingInteger(*value);
}

QByteArray StoredValue(const QString& value)
{
    return QuoteForReading(ToCodePage(value));
}

bool CanStoreValue(const QString& value)
{
    return FitsCodePage(value) && !HasLineBreakOrNul(value);
}

bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value, FileMode mode)
{
    // A character without a code page 932 form would be stored as '?', a different value.
    if (!FitsCodePage(section) || !FitsCodePage(key) || !CanStoreValue(value))
        return false;

    QByteArray bytes;
    switch (SettingsIo::ReadSettingsFile(path, MaxFileSize, bytes)) {
    case SettingsIo::ReadStatus::Ok:
    case SettingsIo::ReadStatus::Missing: // a new file, or not a file: the write step decides
        break;
    case SettingsIo::ReadStatus::Truncated: // rewriting only the first part would lose the rest
    case SettingsIo::ReadStatus::Failed:
        return false;
    }
    const std::optional<QByteArray> edited = SetValue(bytes, section, key, StoredValue(value));
    if (!edited)
        return false;
    return SettingsIo::WriteFileAtomically(path, *edited,
                                           mode == FileMode::OwnerOnly
                                               ? SettingsIo::NewFileMode::OwnerOnly
                                               : SettingsIo::NewFileMode::Normal);
}

} // namespace Profile
