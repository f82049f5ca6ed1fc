#include "settings/MofurinOptions.h"

#include "settings/ProfileFile.h"

#include <QtGlobal>

namespace {
const QString Section = QStringLiteral("MOFURIN");
} // namespace

MofurinOptions MofurinOptions::Read(const QString& optionsFile)
{
    MofurinOptions options;
    // A hand-edited value out of range is held to it: negative means never, more than a day
    // is a day.
    options.autoCheckMinutes =
        qBound(0, Profile::GetInt(optionsFile, Section, QStringLiteral("AUTOCHECK"), 0),
               MaxAutoCheckMinutes);
    options.newOnly = Profile::GetString(optionsFile, Section, QStringLiteral("NEWONLY")) == u"1";
    options.notify = Profile::GetString(optionsFile, Section, QStringLiteral("NOTIFY")) == u"1";
    return options;
}

bool MofurinOptions::Write(const QString& optionsFile) const
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return Profile::WriteString(
               optionsFile, Section, QStringLiteral("AUTOCHECK"),
               QString::number(qBound(0, autoCheckMinutes, MaxAutoCheckMinutes))) &&
           Profile::WriteString(optionsFile, Section, QStringLiteral("NEWONLY"), flag(newOnly)) &&
           Profile::WriteString(optionsFile, Section, QStringLiteral("NOTIFY"), flag(notify));
}
