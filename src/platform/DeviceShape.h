#pragma once

#include <QRegion>

class QWindow;

// Gives a top-level window the shape of a region in device pixels, relative to the window's
// top-left corner. Qt's own masks are given in logical pixels and scaled by the device pixel
// ratio, so at 200 % every edge of a mask moves in steps of two screen pixels; a shape cut
// from a picture at the screen's resolution needs the window system's own call.
//
// True when the shape was set (an X11 window with the X Shape extension); false leaves the
// window as it was, and the caller falls back to Qt's mask.
bool SetDeviceShape(QWindow* window, const QRegion& devicePixels);
