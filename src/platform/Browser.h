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
    // started: on Linux when xdg-open is missing, cannot be run or exits with a failure.
    bool Navigate(const QString& url);

    // How long Navigate waits for the launcher's verdict. xdg-open hands the address to the
    // desktop and returns at once; one still running after this wait is running the browser
    // itself (desktops without a URL service), so it counts as opened and is left to run.
    int LauncherTimeoutMs = 3000;
};
