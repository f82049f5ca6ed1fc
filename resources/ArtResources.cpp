#include "ArtResources.h"

#include <QtCore/qglobal.h>

void InitArtResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(mofurin);
        return true;
    }();
    Q_UNUSED(done);
}
