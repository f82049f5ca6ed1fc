#include "platform/UiLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

UiLanguage g_current = UiLanguage::Japanese;

} // namespace

UiLanguage ChooseUiLanguage(const QStringList& uiLanguages)
{
    for (const QString& tag : uiLanguages) {
        // "en-Latn-US", "en_GB" and "en" all speak English; only the language part counts.
        const QString language =
            tag.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        if (language == u"ja" || language == u"c" || language == u"posix")
            return UiLanguage::Japanese;
        if (language == u"en")
            return UiLanguage::English;
    }
    return UiLanguage::Japanese;
}

UiLanguage InstallTranslations()
{
    g_current = ChooseUiLanguage(QLocale::system().uiLanguages());
    auto* app = QCoreApplication::instance();
    // Qt's own texts (the buttons of its message boxes) in the same language as ours. English is
    // Qt's own language, so only Japanese needs its catalogue.
    if (g_current == UiLanguage::Japanese) {
        auto* qt = new QTranslator(app);
        if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        return g_current;
    }
    // The program's texts are written in Japanese; English comes from the catalogue built into
    // the program.
    auto* ours = new QTranslator(app);
    if (ours->load(QStringLiteral(":/translations/mofurin_en.qm")))
        QCoreApplication::installTranslator(ours);
    return g_current;
}

UiLanguage CurrentUiLanguage()
{
    return g_current;
}
