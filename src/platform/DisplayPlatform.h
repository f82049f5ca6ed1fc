#pragma once

#include <QByteArray>
#include <QString>

// Which Qt platform plugin the program asks for, decided from the session's environment before
// the application object exists. The kitten places itself at the pointer and stays above other
// windows, which only X11 lets a program do, so on a Wayland session it runs through XWayland
// whenever XWayland is there. A Wayland session without XWayland still gets a kitten: it runs
// on Wayland, where the compositor decides where it appears, and the user is told so once.
struct DisplayEnvironment
{
    QByteArray qtPlatform;     // QT_QPA_PLATFORM: the user's own choice, honoured as it is
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display;     // DISPLAY: set on a Wayland session when XWayland runs
};

struct DisplayPlatform
{
    // The platform to ask Qt for; empty leaves Qt's own choice (X11 on Linux).
    QByteArray platform;
    // The kitten runs on Wayland: it cannot place itself at the pointer nor keep above other
    // windows, and the user should hear that once.
    bool withoutX11 = false;
};

DisplayPlatform ChooseDisplayPlatform(const DisplayEnvironment& environment);

// What the user is told, once per start, when the kitten runs on Wayland.
QString WaylandNotice();
