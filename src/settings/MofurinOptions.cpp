#include "settings/MofurinOptions.h"

#include "settings/ProfileFile.h"

#include <QtGlobal>

namespace {
const QString Section = QStringLiteral("MOFURIN");
const QString AccountKey = QStringLiteral("ACCOUNT");
const QString DesktopPrefix = QStringLiteral("goa:");
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
    options.account = Profile::GetString(optionsFile, Section, AccountKey);
    return options;
}

QString MofurinOptions::desktopAccountId() const
{
    return account.startsWith(DesktopPrefix) ? account.mid(DesktopPrefix.size()) : QString();
}

QString MofurinOptions::DesktopAccountValue(const QString& id)
{
    return id.isEmpty() ? QString() : DesktopPrefix + id;
}

bool MofurinOptions::Write(const QString& optionsFile) const
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return Profile::WriteString(
               optionsFile, Section, QStringLiteral("AUTOCHECK"),
               QString::number(qBound(0, autoCheckMinutes, MaxAutoCheckMinutes))) &&
           Profile::WriteString(optionsFile, Section, QStringLiteral("NEWONLY"), flag(newOnly)) &&
           Profile::WriteString(optionsFile, Section, QStringLiteral("NOTIFY"), flag(notify)) &&
           // Not written while nothing was ever chosen; emptied once a choice is given up.
           ((account.isEmpty() && Read(optionsFile).account.isEmpty()) ||
            Profile::WriteString(optionsFile, Section, AccountKey, account));
}
