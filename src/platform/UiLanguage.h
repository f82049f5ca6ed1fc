#pragma once

#include <QStringList>

// The language of the program's texts. Japanese is the language they are written in; the others
// are translations of it, chosen from the desktop's languages at start.
enum class UiLanguage
{
    Japanese,
    English
};

// The language for a desktop whose languages are `uiLanguages`, in the user's order (as
// QLocale::uiLanguages() gives them: "de-DE", "en", "C"): the first that the program speaks.
// Japanese for Japanese, for the C and POSIX locales and when none of them has a translation.
UiLanguage ChooseUiLanguage(const QStringList& uiLanguages);

// Chooses the language from the desktop's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as Qt reads
// them) and installs its translations, Qt's own included, on the running application.
UiLanguage InstallTranslations();

// The language InstallTranslations() chose; Japanese before it has run.
UiLanguage CurrentUiLanguage();
