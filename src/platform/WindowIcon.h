#pragma once

#include <QIcon>

// The 32 x 32 icon of the kitten in its basket (with a 64 x 64 rendering), shared by every
// window with a title bar.
QIcon CommonIcon();
