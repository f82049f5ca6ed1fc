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

std::size_t ScreenHolding(double x, double y, const std::vector<ScreenArea>& screens,
                          std::size_t primary)
{
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const ScreenArea& s = screens[i];
        if (x >= s.Left && x < s.Left + s.Width && y >= s.Top && y < s.Top + s.Height)
            return i;
    }
    return primary;
}

TwipsPosition KeepOnScreenArea(double left, double top, double width, double height,
                               const ScreenArea& screen)
{
    const TwipsPosition inScreen = KeepOnScreen(left - screen.Left, top - screen.Top, width, height,
                                                screen.Width, screen.Height);
    return {inScreen.Left + screen.Left, inScreen.Top + screen.Top};
}
