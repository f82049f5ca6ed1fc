#pragma once

#include <QString>

// The options beyond the original program's, in the options file's own [MOFURIN] section,
// which the original program never reads: minutes between automatic checks (AUTOCHECK, 0 or
// missing for never, at most a day), reporting new mail only (NEWONLY) and a desktop
// notification for it (NOTIFY), each on only when it is exactly 1; the desktop's online
// account the checks use instead of the program's own server and account (ACCOUNT, goa:<Id>;
// anything else is kept as it is and not used). All off by default; ACCOUNT is written only
// once the user chose, so files that never had it stay as they are.
struct MofurinOptions
{
    int autoCheckMinutes = 0;
    bool newOnly = false;
    bool notify = false;
    QString account;

    // The chosen desktop account's Id; empty when none is chosen.
    QString desktopAccountId() const;
    static QString DesktopAccountValue(const QString& id);

    static constexpr int MaxAutoCheckMinutes = 1440;

    bool operator==(const MofurinOptions&) const = default;

    static MofurinOptions Read(const QString& optionsFile);
    // False when the file could not be written; it is then left as it was.
    bool Write(const QString& optionsFile) const;
};
