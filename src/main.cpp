// Mofurin: a desktop kitten that checks a POP3 mailbox when asked.
#include "mail/CheckMail.h"
#include "mascot/Form1.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>

int main(int argc, char** argv)
{
#ifdef Q_OS_LINUX
    // Placement at the pointer and staying above other windows need X11; on a Wayland session
    // the program runs through XWayland unless the user chose a platform explicitly.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mofurin"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // Closing a dialog must never end the program: only the kitten does that.
    QApplication::setQuitOnLastWindowClosed(false);

    // One kitten per user: a second start brings the running kitten to the pointer and ends.
    SingleInstance guard(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    switch (guard.Start()) {
    case SingleInstance::Claim::First:
        break;
    case SingleInstance::Claim::Forwarded:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        std::fputs("もふりんはすでに起動していますが、応答がありません。\n", stderr);
        return 1;
    }

    // Every text of the program is Japanese; so are the buttons of Qt's own message boxes.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    Form1* kitten = Form1::Create();
    QObject::connect(&guard, &SingleInstance::ComeForward, kitten, &Form1::ComeForward);
    kitten->Load();
    // The automatic check, when the user asked for one.
    StartAutoCheck();
    return QApplication::exec();
}
