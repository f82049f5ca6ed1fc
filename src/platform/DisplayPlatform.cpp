#include "platform/DisplayPlatform.h"

#include <QCoreApplication>
#include <QList>

DisplayPlatform ChooseDisplayPlatform(const DisplayEnvironment& environment)
{
    const bool wayland = !environment.waylandDisplay.isEmpty();
    const bool x11 = !environment.x11Display.isEmpty();
    if (!environment.qtPlatform.isEmpty()) {
        // A platform the user named is used as it is; only whether it is Wayland matters here.
        // A list ("wayland;xcb") is tried in order, so its first entry is the one in use when
        // that display exists.
        const QByteArray first = environment.qtPlatform.split(';').constFirst().trimmed();
        return {QByteArray(), first.startsWith("wayland") && wayland};
    }
    if (wayland && x11)
        return {QByteArrayLiteral("xcb"), false};
    if (wayland)
        return {QByteArrayLiteral("wayland"), true};
    return {};
}

QString WaylandNotice()
{
    return QCoreApplication::translate(
        "DisplayPlatform",
        "もふりん: XWayland が見つからないため、Wayland で動作します。子猫をマウスポインターの"
        "位置に出すことと、ほかのウィンドウより手前に保つことはできません。\n");
}
