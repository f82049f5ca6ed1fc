#include "platform/DeviceShape.h"

#include <QGuiApplication>
#include <QWindow>
#include <vector>

#if QT_CONFIG(xcb)
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#endif

bool SetDeviceShape(QWindow* window, const QRegion& devicePixels)
{
#if QT_CONFIG(xcb)
    if (!window || !window->handle() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    int eventBase = 0;
    int errorBase = 0;
    if (!display || !XShapeQueryExtension(display, &eventBase, &errorBase))
        return false;
    std::vector<XRectangle> rects;
    rects.reserve(size_t(devicePixels.rectCount()));
    for (const QRect& r : devicePixels)
        rects.push_back({short(r.x()), short(r.y()), static_cast<unsigned short>(r.width()),
                         static_cast<unsigned short>(r.height())});
    // QRegion keeps its rectangles y-x banded, which lets the server take them as they are.
    // An empty list gives an empty shape, as an empty region would.
    XShapeCombineRectangles(display, static_cast<::Window>(window->winId()), ShapeBounding, 0, 0,
                            rects.data(), int(rects.size()), ShapeSet, YXBanded);
    XFlush(display);
    return true;
#else
    Q_UNUSED(window);
    Q_UNUSED(devicePixels);
    return false;
#endif
}
