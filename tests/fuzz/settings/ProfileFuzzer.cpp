// Feeds arbitrary bytes to the profile reader and editor: a write must read back, and must not
// change what any other key reads; a value quoted for reading must read back exactly.
#include "settings/ProfileParser.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const QString keys[] = {QStringLiteral("NAME"), QStringLiteral("NAME2"),
                                   QStringLiteral("NUMBER"), QStringLiteral("name3")};
    static const QString sections[] = {QStringLiteral("EXEINI"), QStringLiteral("a")};
    const QString& key = keys[data[0] & 3];
    const QString& other = keys[(data[0] >> 2) & 3];
    const QString& section = sections[(data[0] >> 4) & 1];
    const QByteArrayView file(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    Profile::FindValue(file, section, key);
    Profile::LeadingInteger(file);

    const auto edited = Profile::SetValue(file, section, key, "new value");
    if (!edited)
        std::abort(); // these names are always storable
    if (Profile::FindValue(*edited, section, key) != QByteArray("new value"))
        std::abort();
    if (QString::compare(key, other, Qt::CaseInsensitive) != 0 &&
        Profile::FindValue(*edited, section, other) != Profile::FindValue(file, section, other))
        std::abort();

    // Any value without a line break reads back exactly once it is quoted for reading.
    const QByteArrayView value = file.first(qMin<qsizetype>(file.size(), 40));
    if (!value.contains('\r') && !value.contains('\n') && !value.contains('\0')) {
        const auto quoted = Profile::SetValue(file, section, key, Profile::QuoteForReading(value));
        if (!quoted || Profile::FindValue(*quoted, section, key) != value.toByteArray())
            std::abort();
    }
    return 0;
}
