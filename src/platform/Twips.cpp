#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
float g_testX = 0;
float g_testY = 0;

float perPixel(bool horizontal)
{
    if (horizontal && g_testX > 0)
        return g_testX;
    if (!horizontal && g_testY > 0)
        return g_testY;
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

void SetPerPixelForTesting(float x, float y)
{
    g_testX = x;
    g_testY = y;
}

} // namespace Twips
