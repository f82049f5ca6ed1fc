#pragma once

// The frame shape built the slow, obvious way, to check the run-based scan against: every scan
// position is read in the scan's own order (column by column, top to bottom) and each one that
// differs from pixel (0, 0) is united into the region as a single pixel.

#include "mascot/FrameRegions.h"

#include <QImage>
#include <QRegion>

inline QRegion NaiveFrameShape(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    auto colourAt = [&image](int x, int y) {
        const QRgb p = image.pixel(x, y);
        return qAlpha(p) == 0 ? QRgb(0) : p;
    };
    const bool hasPixels = !image.isNull();
    const QRgb key = hasPixels ? colourAt(0, 0) : 0;
    QRegion region;
    for (int x = 0; x < FrameScanSize; ++x)
        for (int y = 0; y < FrameScanSize; ++y)
            if (!hasPixels || x >= image.width() || y >= image.height() || colourAt(x, y) != key)
                region = region.united(QRect(x, y, 1, 1));
    return region;
}
