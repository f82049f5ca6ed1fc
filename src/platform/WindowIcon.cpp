#include "platform/WindowIcon.h"

#include "ArtResources.h"

#include <QPixmap>

QIcon CommonIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(ReadArtPicture(QStringLiteral(":/mofurin/icon.png"))));
    icon.addPixmap(QPixmap::fromImage(ReadArtPicture(QStringLiteral(":/mofurin/icon@2x.png"))));
    return icon;
}
