// Mofurin: a desktop kitten that checks a POP3 mailbox when asked.
#include "app/ProgramServices.h"
#include "mail/CheckMail.h"
#include "mail/MailPush.h"
#include "mascot/Form1.h"
#include "platform/DisplayPlatform.h"
#include "platform/PrivateFolder.h"
#include "platform/SingleInstance.h"
#include "platform/UiLanguage.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
#ifdef Q_OS_LINUX
    // X11 (XWayland on a Wayland session) where there is one; Wayland itself only without it.
    const DisplayPlatform display = ChooseDisplayPlatform(
        {qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")});
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);
#endif
    QApplication app(argc, argv);
    // The desktop's language, for every text from here on (Qt's own message-box buttons too).
    InstallTranslations();
#ifdef Q_OS_LINUX
    // Said on standard error rather than in a box: the kitten works on Wayland, only its place
    // and its staying on top are up to the compositor, and a box at every start would stand in
    // front of the first-run dialogs for something the user cannot change from here.
    if (display.withoutX11)
        std::fputs(WaylandNotice().toLocal8Bit().constData(), stderr);
#endif
    QApplication::setApplicationName(QStringLiteral("Mofurin"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // Closing a dialog must never end the program: only the kitten does that.
    QApplication::setQuitOnLastWindowClosed(false);

    // One kitten per user: a second start brings the running kitten to the pointer and ends.
    SingleInstance guard(PrivateRuntimeFolder());
    switch (guard.Start()) {
    case SingleInstance::Claim::First:
        break;
    case SingleInstance::Claim::Forwarded:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        std::fputs(qPrintable(QCoreApplication::translate(
                       "main", "もふりんはすでに起動していますが、応答がありません。\n")),
                   stderr);
        return 1;
    }

    // The services every window and routine uses, for the whole run.
    const ProgramServices services;
    Form1* kitten = Form1::Create();
    QObject::connect(&guard, &SingleInstance::ComeForward, kitten, &Form1::ComeForward);
    kitten->Load();
    // The automatic check, when the user asked for one, and push for it where the server has it.
    StartAutoCheck();
    StartMailPush();
    return QApplication::exec();
}
