#include "mascot/FramePictures.h"

#include "ArtResources.h"

#include <QColor>
#include <QHash>
#include <QtDebug>

namespace {
QString pictureName(int index, bool doubleSize)
{
    const QString base = index < 0 ? QStringLiteral("rest") : QStringLiteral("frame%1").arg(index);
    return QStringLiteral(":/mofurin/frames/%1%2.png")
        .arg(base, doubleSize ? QStringLiteral("@2x") : QString());
}

QImage load(int index, bool doubleSize)
{
    InitArtResources();
    QImage image(pictureName(index, doubleSize));
    if (image.isNull()) {
        // A picture missing from the build must not leave the window blank: a white square
        // would be cut away entirely, an invisible window nobody can click. A grey square stays
        // visible and clickable.
        qWarning("missing picture %s", qUtf8Printable(pictureName(index, doubleSize)));
        image = QImage(doubleSize ? 200 : 100, doubleSize ? 200 : 100, QImage::Format_RGB32);
        image.fill(QColor(0xC0, 0xC0, 0xC0));
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

const QImage& cached(int index, bool doubleSize)
{
    static QHash<int, QImage> images;
    const int key = (index + 1) * 2 + (doubleSize ? 1 : 0);
    auto it = images.find(key);
    if (it == images.end())
        it = images.insert(key, load(index, doubleSize));
    return *it;
}
} // namespace

QImage RestingPicture()
{
    return cached(-1, false);
}

QImage FramePicture(int index)
{
    if (index < -1 || index > 9)
        index = -1;
    return cached(index, false);
}

QPixmap FramePixmap(int index, qreal devicePixelRatio)
{
    if (index < -1 || index > 9)
        index = -1;
    const bool hiDpi = devicePixelRatio > 1.0;
    QPixmap pixmap = QPixmap::fromImage(cached(index, hiDpi));
    pixmap.setDevicePixelRatio(hiDpi ? 2.0 : 1.0);
    return pixmap;
}
