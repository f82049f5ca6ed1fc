#include "ArtResources.h"

#include <QImageReader>
#include <QtCore/qglobal.h>

void InitArtResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(mofurin);
        return true;
    }();
    Q_UNUSED(done);
}

QImage ReadArtPicture(const QString& name)
{
    InitArtResources();
    QImageReader reader(name, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
