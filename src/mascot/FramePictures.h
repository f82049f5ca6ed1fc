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

// The same picture for drawing at the given device pixel ratio: above 1 it is the 200 x 200
// rendering with a device pixel ratio of 2 (100 x 100 logical pixels), so the kitten stays
// crisp on high-DPI screens; otherwise the 100 x 100 one. -1 = resting.
QPixmap FramePixmap(int index, qreal devicePixelRatio);
