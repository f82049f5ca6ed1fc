#pragma once

#include <cstddef>
#include <vector>

// Where the behaviour tick puts the kitten so that it stays on the screen, all in twips.
struct TwipsPosition
{
    double Left = 0;
    double Top = 0;
};

// Rounds the window's position to whole twips (halves to the even neighbour), pulls a negative
// left or top back to 0, and then pulls a window that sticks out past the far edge back so that
// it ends at the edge. The zero rule comes first, so a screen narrower than the window leaves
// the window's left edge at a negative value (screen width - window width).
TwipsPosition KeepOnScreen(double left, double top, double width, double height, double screenWidth,
                           double screenHeight);

// A screen's area on the desktop, in twips.
struct ScreenArea
{
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
};

// The screen the kitten stands on: the first whose area holds the point (the kitten's centre),
// or primary when none does. primary must index screens, which must not be empty.
std::size_t ScreenHolding(double x, double y, const std::vector<ScreenArea>& screens,
                          std::size_t primary);

// KeepOnScreen within one screen of several, measured in that screen's own coordinates: its
// top-left corner is 0 for the rule. On a screen at the desktop's origin this is KeepOnScreen.
TwipsPosition KeepOnScreenArea(double left, double top, double width, double height,
                               const ScreenArea& screen);
