#pragma once

#include <QString>

// The options beyond the original program's, in the options file's own [MOFURIN] section,
// which the original program never reads: minutes between automatic checks (AUTOCHECK, 0 or
// missing for never, at most a day), reporting new mail only (NEWONLY) and a desktop
// notification for it (NOTIFY), each on only when it is exactly 1. All off by default.
struct MofurinOptions
{
    int autoCheckMinutes = 0;
    bool newOnly = false;
    bool notify = false;

    static constexpr int MaxAutoCheckMinutes = 1440;

    bool operator==(const MofurinOptions&) const = default;

    static MofurinOptions Read(const QString& optionsFile);
    // False when the file could not be written; it is then left as it was.
    bool Write(const QString& optionsFile) const;
};
