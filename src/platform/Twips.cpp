#include "platform/Twips.h"

#include "platform/Services.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
float perPixel(bool horizontal)
{
    const Services& services = CurrentServices();
    if (horizontal && services.twipsPerPixelX > 0)
        return services.twipsPerPixelX;
    if (!horizontal && services.twipsPerPixelY > 0)
        return services.twipsPerPixelY;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi =
        screen ? (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY())
               : 96.0;
    return static_cast<float>(Twips::PerInch / (dpi > 0 ? dpi : 96.0));
}
} // namespace

namespace Twips {

float PerPixelX()
{
    return perPixel(true);
}
float PerPixelY()
{
    return perPixel(false);
}

int ToPixelsX(double twips)
{
    return static_cast<int>(std::lround(twips / PerPixelX()));
}
int ToPixelsY(double twips)
{
    return static_cast<int>(std::lround(twips / PerPixelY()));
}
double FromPixelsX(int pixels)
{
    return pixels * static_cast<double>(PerPixelX());
}
double FromPixelsY(int pixels)
{
    return pixels * static_cast<double>(PerPixelY());
}

QRect ToPixels(int left, int top, int width, int height)
{
    return {ToPixelsX(left), ToPixelsY(top), ToPixelsX(width), ToPixelsY(height)};
}

} // namespace Twips
