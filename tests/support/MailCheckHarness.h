#pragma once

// What the mail-check tests share: a dial-up service that counts the hang-up passes, a
// watcher that answers the next "エラー" box and remembers what it said, and the sandbox one
// check runs in.
#include "app/ProcessValues.h"
#include "mail/CheckMail.h"
#include "mail/MailLibrary.h"
#include "mail/MsgForm.h"
#include "menu/DialUpHangUp.h"
#include "platform/ProgramFolder.h"
#include "support/ChangedServices.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

class CountingDialUp : public DialUpService
{
public:
    int enumerations = 0;
    bool EnumConnections(std::vector<DialUpConnection>& table) override
    {
        ++enumerations;
        table.clear();
        return true;
    }
    void HangUp(const DialUpConnection&) override {}
};

// Presses OK (or the chosen button) on the next visible message box and records "title|text".
// onClose runs just before the press, so a test can note when the box came among the library calls.
class BoxAnswerer
{
public:
    QStringList boxes;
    std::function<void()> onClose;
    QMessageBox::StandardButton press = QMessageBox::Ok; // or Yes / No for a question

    void answerNext()
    {
        QTimer::singleShot(20, &m_context, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    boxes << box->windowTitle() + QLatin1Char('|') + box->text();
                    if (onClose)
                        onClose();
                    box->button(press)->click();
                    return;
                }
            }
            answerNext();
        });
    }

private:
    QObject m_context; // a watch still waiting ends with the answerer
};

// A program folder of its own with an empty ★MailData, the given library and the counting
// dial-up service in place, the settings record fresh and no meow pending; uninstall() closes
// every window and puts the real services back.
class MailCheckSandbox
{
public:
    QTemporaryDir dir;
    CountingDialUp dialUp;
    BoxAnswerer answerer;
    std::optional<ChangedServices> services; // the folder, library and dial-up in use

    void install(MailLibrary& library, const QString& pop3Server)
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("★MailData"));
        services.emplace([&](Services& s) {
            s.programFolder = dir.path();
            s.mail = &library;
            s.dialUp = &dialUp;
        });
        MailSettings = MailSettingsRecord();
        MailSettings.Pop3Server = pop3Server;
        MeowFlag = 0;
    }
    void uninstall()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        services.reset();
    }
    // The account file's whole text.
    void writeAccount(const QByteArray& text)
    {
        QFile f(dir.filePath(QStringLiteral("★MailData/iniIdPass.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // Runs the event loop until the check on its worker thread has reported (a check that
    // never ends fails the test after 20 s).
    static void waitForCheck()
    {
        QElapsedTimer clock;
        clock.start();
        while (MailCheckRunning() && clock.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_FALSE(MailCheckRunning()) << "the check did not end";
    }
    // What the notice window shows.
    static QString count() { return MsgForm::Get().Text2->text(); }
    static QString sentence() { return MsgForm::Get().Text1->text(); }
};
