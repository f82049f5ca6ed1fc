#include "mascot/FramePictures.h"

#include "ArtResources.h"
#include "StartPictures.h"

#include <QColor>
#include <QHash>
#include <QPair>
#include <QtDebug>
#include <algorithm>
#include <array>
#include <cmath>

namespace {
// The renderings compiled in, by their side in pixels: 100 for the logical size, and one for
// each common screen scale (125, 150 and 200 %).
constexpr int LogicalSide = 100;
constexpr std::array<int, 4> ShippedSides = {100, 125, 150, 200};

// The picture's name without its scale: "rest" or "frameN".
QString baseName(int index)
{
    return index < 0 ? QStringLiteral("rest") : QStringLiteral("frame%1").arg(index);
}

QString pictureName(int index, int side)
{
    QString suffix;
    if (side != LogicalSide)
        suffix = QStringLiteral("@%1x").arg(double(side) / LogicalSide);
    return QStringLiteral(":/mofurin/frames/%1%2.png").arg(baseName(index), suffix);
}

QImage load(int index, int side)
{
    if (side == LogicalSide) {
        const QImage built = StartPicture(baseName(index).toLatin1().constData());
        if (!built.isNull())
            return built;
    }
    QImage image = ReadArtPicture(pictureName(index, side));
    if (image.isNull()) {
        // A picture missing from the build must not leave the window blank: a white square
        // would be cut away entirely, an invisible window nobody can click. A grey square stays
        // visible and clickable.
        qWarning("missing picture %s", qUtf8Printable(pictureName(index, side)));
        image = QImage(side, side, QImage::Format_RGB32);
        image.fill(QColor(0xC0, 0xC0, 0xC0));
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

const QImage& cached(int index, int side)
{
    static QHash<QPair<int, int>, QImage> images;
    const QPair<int, int> key(index, side);
    auto it = images.find(key);
    if (it == images.end()) {
        QImage image;
        if (std::find(ShippedSides.begin(), ShippedSides.end(), side) != ShippedSides.end()) {
            image = load(index, side);
        } else {
            // A scale without its own rendering: the next larger one (the largest when none
            // is larger), resampled smoothly. The white around the kitten stays pure white, so
            // the shape is still cut along the kitten's edge.
            auto larger = std::lower_bound(ShippedSides.begin(), ShippedSides.end(), side);
            const int from = larger == ShippedSides.end() ? ShippedSides.back() : *larger;
            image = cached(index, from)
                        .scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        it = images.insert(key, image);
    }
    return *it;
}

int validIndex(int index)
{
    return index < -1 || index > 9 ? -1 : index;
}
} // namespace

QImage RestingPicture()
{
    return cached(-1, LogicalSide);
}

QImage FramePicture(int index)
{
    return cached(validIndex(index), LogicalSide);
}

int DeviceSide(qreal devicePixelRatio)
{
    if (!(devicePixelRatio > 1.0) || !std::isfinite(devicePixelRatio))
        return LogicalSide;
    // Far beyond any screen's ratio a picture would only waste memory.
    return int(std::lround(std::min(devicePixelRatio, qreal(8)) * LogicalSide));
}

QImage DevicePicture(int index, qreal devicePixelRatio)
{
    return cached(validIndex(index), DeviceSide(devicePixelRatio));
}

QPixmap FramePixmap(int index, qreal devicePixelRatio)
{
    const QImage& image = cached(validIndex(index), DeviceSide(devicePixelRatio));
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(qreal(image.width()) / LogicalSide);
    return pixmap;
}
