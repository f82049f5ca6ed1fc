#pragma once

#include <QPoint>
#include <QRect>

class QScreen;

// Window geometry is kept in twips: 1440 to the logical inch, so at 96 DPI one pixel is 15
// twips. Conversion happens only at the widget boundary.
namespace Twips {

constexpr double PerInch = 1440.0;

// Twips per logical pixel of the primary screen, X and Y.
float PerPixelX();
float PerPixelY();

// Pixels to twips and back (rounded to the nearest pixel, halves away from zero).
int ToPixelsX(double twips);
int ToPixelsY(double twips);
double FromPixelsX(int pixels);
double FromPixelsY(int pixels);

// A control's geometry given in twips, in pixels.
QRect ToPixels(int left, int top, int width, int height);

} // namespace Twips
