#include "mascot/ScreenRule.h"

#include <cmath>

namespace {
// std::nearbyint rounds in the current rounding mode, which is round-half-to-even unless
// someone changed it; the tick relies on halves going to the even neighbour.
double roundHalfEven(double value)
{
    return std::nearbyint(value);
}
} // namespace

TwipsPosition KeepOnScreen(double left, double top, double width, double height, double screenWidth,
                           double screenHeight)
{
    double l = roundHalfEven(left);
    double t = roundHalfEven(top);
    if (l < 0)
        l = 0;
    if (t < 0)
        t = 0;
    // The sum is taken in single precision, as the window layer's positions are.
    if (static_cast<float>(width) + static_cast<float>(l) > static_cast<float>(screenWidth))
        l = roundHalfEven(screenWidth - width);
    if (static_cast<float>(height) + static_cast<float>(t) > static_cast<float>(screenHeight))
        t = roundHalfEven(screenHeight - height);
    return {l, t};
}
