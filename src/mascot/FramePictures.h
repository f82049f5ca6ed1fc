#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The kitten's pictures, compiled into the program.
QImage RestingPicture();        // 100 x 100, eyes open: shown from load until the first tick
QImage FramePicture(int index); // Picture1(0) .. Picture1(9), 100 x 100; -1 is the resting one

// A picture for drawing at the given device pixel ratio: the 200 x 200 rendering on high-DPI
// screens, so the kitten stays crisp.
QPixmap FramePixmap(int index, qreal devicePixelRatio);

// The 32 x 32 icon of the kitten in its basket, shared by every window with a title bar.
QIcon CommonIcon();
