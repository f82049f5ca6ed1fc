#pragma once

#include <QImage>
#include <QPixmap>

// The kitten's pictures, compiled into the program (resources/mofurin.qrc). Each is a kitten on
// pure white, the colour the window's shape cuts away; none has pure white inside the kitten.
// Pictures are read once and kept; call these from the user-interface thread.

// 100 x 100, eyes open: shown from load until the first tick.
QImage RestingPicture();

// Picture1(0) .. Picture1(9), 100 x 100, in Format_RGB32. -1, and any index outside 0..9,
// gives the resting picture.
QImage FramePicture(int index);

// The side, in device pixels, of the kitten's 100 x 100 logical pixels at a device pixel ratio:
// 100 at a ratio of 1 or below, else the ratio times 100, rounded (125 at 125 %, 200 at 200 %).
int DeviceSide(qreal devicePixelRatio);

// Picture f at the device resolution of that ratio, DeviceSide pixels square, in Format_RGB32:
// the rendering made for that scale (100, 125, 150 and 200 % have their own), else the next
// larger rendering resampled smoothly. The window's shape at that ratio is cut from it.
QImage DevicePicture(int index, qreal devicePixelRatio);

// DevicePicture as a pixmap for drawing: its device pixel ratio makes it 100 x 100 logical
// pixels, so the painter puts each of its pixels on one pixel of the screen.
QPixmap FramePixmap(int index, qreal devicePixelRatio);
