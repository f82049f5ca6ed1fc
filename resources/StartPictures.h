#pragma once

#include <QImage>

// The pictures the kitten needs to show itself (the resting picture "rest" and "frame0" to
// "frame9", at 100 x 100), compiled in as pixels: reading them needs no image decoder, whose
// first use (Qt looks through every image-format plugin installed) cost start-up several
// milliseconds. The image shares the program's constant data; a null image for another name.
QImage StartPicture(const char* name);
