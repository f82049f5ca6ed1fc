#pragma once

#include <QString>

// A small object with the browser automation object's surface: a Visible flag and Navigate.
// The page opens in the user's default browser, which is always visible: Visible is kept for
// the callers that set it and changes nothing.
class BrowserObject
{
public:
    bool Visible = false;
    // Opens the address in the user's default browser. False when no browser could be
    // started: on Linux when xdg-open is missing, cannot be run, fails or does not finish
    // within LauncherTimeoutMs.
    bool Navigate(const QString& url);

    // How long Navigate waits for the launcher to hand the address on. xdg-open returns as
    // soon as the browser has it, so this only bounds a stuck launcher.
    int LauncherTimeoutMs = 3000;
};
