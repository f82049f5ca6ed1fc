#pragma once

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
