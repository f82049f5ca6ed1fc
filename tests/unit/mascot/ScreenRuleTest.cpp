#include "mascot/ScreenRule.h"

#include <gtest/gtest.h>

namespace {
struct Case
{
    const char* what;
    double left, top, screenWidth, screenHeight;
    double wantLeft, wantTop;
};

// The kitten is 1500 x 1500 twips; the screen 1024 x 768 pixels is 15360 x 11520 twips.
const Case cases[] = {
    {"inside stays", 3000, 2000, 15360, 11520, 3000, 2000},
    {"dragged off the left", -300, 2000, 15360, 11520, 0, 2000},
    {"dragged off the top", 3000, -15, 15360, 11520, 3000, 0},
    {"past the right edge", 15000, 2000, 15360, 11520, 13860, 2000},
    {"flush with the right edge stays", 13860, 2000, 15360, 11520, 13860, 2000},
    {"half off the bottom", 3000, 10770, 15360, 11520, 3000, 10020},
    {"off the bottom-right corner", 15350, 11510, 15360, 11520, 13860, 10020},
    {"halves round to even (down)", 100.5, 200.5, 15360, 11520, 100, 200},
    {"halves round to even (up)", 101.5, 203.5, 15360, 11520, 102, 204},
    {"narrower screen leaves a negative left", -40, 0, 1200, 11520, -300, 0},
    {"lower screen leaves a negative top", 0, 50, 15360, 1000, 0, -500},
};
} // namespace

TEST(ScreenRule, KeepsTheKittenOnTheScreen)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TwipsPosition p =
            KeepOnScreen(c.left, c.top, 1500, 1500, c.screenWidth, c.screenHeight);
        EXPECT_EQ(p.Left, c.wantLeft);
        EXPECT_EQ(p.Top, c.wantTop);
    }
}

TEST(ScreenRule, KeepsTheKittenOnTheScreenThatHoldsItsCentre)
{
    // The primary screen 1024 x 768 pixels at the origin; to its right a 1280 x 1024 screen
    // whose top is 100 pixels higher. In twips, at 15 to a pixel.
    const std::vector<ScreenArea> screens = {{0, 0, 15360, 11520}, {15360, -1500, 19200, 15360}};
    const Case twoScreens[] = {
        {"on the second screen stays", 20000, 3000, 0, 0, 20000, 3000},
        {"above the primary's top, inside the second's", 20000, -1400, 0, 0, 20000, -1400},
        {"past the second's right edge", 33500, 3000, 0, 0, 33060, 3000},
        {"past the second's bottom", 20000, 13000, 0, 0, 20000, 12360},
        {"centre just over the border goes onto the second", 14800, 3000, 0, 0, 15360, 3000},
        {"centre just before the border stays on the primary", 14500, 3000, 0, 0, 13860, 3000},
        {"centre on no screen goes back onto the primary", 20000, -3000, 0, 0, 13860, 0},
    };
    for (const Case& c : twoScreens) {
        SCOPED_TRACE(c.what);
        const ScreenArea& screen = screens[ScreenHolding(c.left + 750, c.top + 750, screens, 0)];
        const TwipsPosition p = KeepOnScreenArea(c.left, c.top, 1500, 1500, screen);
        EXPECT_EQ(p.Left, c.wantLeft);
        EXPECT_EQ(p.Top, c.wantTop);
    }
    // One screen at the origin: the rule of one screen, case for case.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TwipsPosition p =
            KeepOnScreenArea(c.left, c.top, 1500, 1500, {0, 0, c.screenWidth, c.screenHeight});
        EXPECT_EQ(p.Left, c.wantLeft);
        EXPECT_EQ(p.Top, c.wantTop);
    }
}
