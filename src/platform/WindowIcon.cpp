#include "platform/WindowIcon.h"

#include "ArtResources.h"

QIcon CommonIcon()
{
    InitArtResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/mofurin/icon.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/mofurin/icon@2x.png"), QSize(64, 64));
    return icon;
}
