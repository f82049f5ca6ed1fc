#include "menu/Homepage.h"

#include "platform/ProgramFolder.h"

#include <QUrl>

QString HomepageUrl()
{
    // A build for a maker with a web site names it (the MOFURIN_HOMEPAGE_URL cache variable).
    const QString web = QString::fromUtf8(MOFURIN_HOMEPAGE_URL);
    if (!web.isEmpty())
        return web;
    // Otherwise the page that ships beside the executable, so the answer 「はい」 always opens
    // something that exists, also without a network.
    return QUrl::fromLocalFile(ProgramPath(u"\\Homepage\\index.html")).toString(QUrl::FullyEncoded);
}
