#include "menu/Homepage.h"

#include "platform/ProgramFolder.h"
#include "platform/UiLanguage.h"

#include <QUrl>

QString HomepageUrl()
{
    // A build for a maker with a web site names it (the MOFURIN_HOMEPAGE_URL cache variable).
    const QString web = QString::fromUtf8(MOFURIN_HOMEPAGE_URL);
    if (!web.isEmpty())
        return web;
    // Otherwise the page that ships beside the executable, so the answer 「はい」 always opens
    // something that exists, also without a network; in the language the program speaks.
    const QString page = CurrentUiLanguage() == UiLanguage::English
                             ? ProgramPath(u"\\Homepage\\index.en.html")
                             : ProgramPath(u"\\Homepage\\index.html");
    return QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
}
