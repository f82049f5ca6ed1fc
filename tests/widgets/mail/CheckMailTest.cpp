#include "mail/CheckMail.h"

#include "app/ProcessValues.h"
#include "mail/AutoCheck.h"
#include "mail/MailLibrary.h"
#include "mail/ReportedMailStore.h"
#include "menu/DialUpHangUp.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"
#include "support/FakeAccountSource.h"
#include "support/MailCheckHarness.h"
#include "support/RecordingMailLibrary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

namespace {
class CheckMailTest : public ::testing::Test
{
protected:
    void SetUp() override { sandbox.install(library, QStringLiteral("127.0.0.1:1110")); }
    void TearDown() override { sandbox.uninstall(); }
    void writeAccount(const QByteArray& text) { sandbox.writeAccount(text); }
    void closeNextBox()
    {
        answerer.onClose = [this] { library.calls << QStringLiteral("box"); };
        answerer.answerNext();
    }
    static QString count() { return MailCheckSandbox::count(); }
    static QString message() { return MailCheckSandbox::sentence(); }

    RecordingLibrary library;
    MailCheckSandbox sandbox;
    CountingDialUp& dialUp = sandbox.dialUp;
    BoxAnswerer& answerer = sandbox.answerer;
    const QStringList& boxes = answerer.boxes;
};
} // namespace

TEST_F(CheckMailTest, NoServerMakesNoLibraryCall)
{
    MailSettings.Pop3Server.clear();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_EQ(count(), QStringLiteral("0"));
    EXPECT_EQ(message(), QStringLiteral("新着メールはありませんでした。"));
    EXPECT_EQ(MeowFlag, 0);
}

// The order of the library's calls is MailCheck's (unit tests); here, what the windows show.
TEST_F(CheckMailTest, ThreeMessagesReachTheNoticeAndTheMeow)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    library.loginResult = 3;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(1), QStringLiteral("login 7 kitten secret 0"));
    EXPECT_EQ(count(), QStringLiteral("3"));
    EXPECT_EQ(message(), QStringLiteral("新着メールが有ります。"));
    EXPECT_EQ(MeowFlag, 1);
    EXPECT_EQ(MailSettings.UserId, QStringLiteral("kitten"));
    EXPECT_EQ(IdPassForm::Get().PassText->text(), QStringLiteral("secret"));
}

TEST_F(CheckMailTest, AFailedLoginShowsTheLibraryTextBeforeTheClose)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=wrong\r\n");
    MailSettings.UseApop = 1;
    library.loginResult = -2;
    closeNextBox();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.mid(1),
              QStringList({QStringLiteral("login 7 kitten wrong -1"), QStringLiteral("message"),
                           QStringLiteral("box"), QStringLiteral("close 7")}));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(
        boxes[0],
        QStringLiteral("エラー|ログインできませんでした。 -ERR [AUTH] Authentication failed."));
    EXPECT_EQ(count(), QStringLiteral("-2"));
    EXPECT_EQ(message(), QStringLiteral("新着メールはありませんでした。"));
    EXPECT_EQ(MeowFlag, 0);
}

TEST_F(CheckMailTest, AFailedConnectionIsReportedNotHiddenAndNeverClosed)
{
    library.connectResult = -1;
    library.error = QStringLiteral("サーバーに接続できませんでした。 Connection refused").toUtf8();
    closeNextBox();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls, QStringList({QStringLiteral("connect 127.0.0.1:1110"),
                                          QStringLiteral("message"), QStringLiteral("box")}));
    EXPECT_EQ(count(), QStringLiteral("0"));
}

TEST_F(CheckMailTest, TheServersOwnTextIsShownAsPlainText)
{
    // A hostile server's reply: rendered as rich text it would fetch and show the image.
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=wrong\r\n");
    library.loginResult = -1;
    library.error = "-ERR <img src=\"http://evil.example/x.png\"><a href=\"x\">here</a>";
    Qt::TextFormat format = Qt::AutoText;
    answerer.onClose = [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                format = box->textFormat();
    };
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("エラー|") + QString::fromLatin1(library.error));
    EXPECT_EQ(format, Qt::PlainText);
}

// What the user decides about a server's security is remembered for the next check.
TEST_F(CheckMailTest, TrustDecisionsAreAskedOnceAndRemembered)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    // A certificate the system does not trust: the user trusts it for this server.
    library.connectResult = -1;
    library.lastResult = NMAIL_ERR_CERTIFICATE;
    library.certificate[0] = "127.0.0.1";
    library.certificate[2] = "AB:CD:EF";
    answerer.press = QMessageBox::Yes;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("AB:CD:EF"))) << boxes[0].toStdString();
    library.connectResult = 7;
    library.loginResult = 0;
    library.calls.clear();
    library.encryptedAnswer = 1;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.pinned, QStringLiteral("AB:CD:EF"));
    // A trusted certificate is one for TLS: from the pin on, TLS is demanded there, and a
    // server that no longer offers it is refused until the user accepts the change.
    EXPECT_EQ(library.calls.value(0), QStringLiteral("connect pop3+stls://127.0.0.1:1110"));
    library.calls.clear();
    library.connectResult = -1;
    library.lastResult = NMAIL_ERR_TLS_MISSING;
    answerer.press = QMessageBox::No;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(0), QStringLiteral("connect pop3+stls://127.0.0.1:1110"));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].contains(QStringLiteral("STLS"))) << boxes[1].toStdString();
    library.calls.clear();
    answerer.press = QMessageBox::Yes;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(0), QStringLiteral("connect pop3+stls://127.0.0.1:1110"));
    library.calls.clear();
    library.connectResult = 7;
    library.encryptedAnswer = 0;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(0), QStringLiteral("connect 127.0.0.1:1110"));
    EXPECT_TRUE(library.pinned.isEmpty()) << "a pin would demand TLS again";
}

// An IMAP address shares the trust of its server (host and port; the mailbox is not part of
// it): the certificate the user trusted is pinned for the server, imap:// then demands
// STARTTLS, and a server that stopped offering it is named by that word.
TEST_F(CheckMailTest, AnImapServerIsTrustedAsAPop3ServerIs)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    MailSettings.Pop3Server = QStringLiteral("imap://127.0.0.1:1143/Lists/猫");
    library.connectResult = -1;
    library.lastResult = NMAIL_ERR_CERTIFICATE;
    library.certificate[2] = "AB:CD:EF";
    answerer.press = QMessageBox::Yes;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    library.calls.clear();
    library.lastResult = NMAIL_ERR_TLS_MISSING;
    answerer.press = QMessageBox::No;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.pinned, QStringLiteral("AB:CD:EF"));
    EXPECT_EQ(library.pinnedHost, QStringLiteral("127.0.0.1:1143"));
    EXPECT_EQ(library.calls.value(0),
              QStringLiteral("imap connect imap+starttls://127.0.0.1:1143/Lists/猫"));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].contains(QStringLiteral("(STARTTLS)"))) << boxes[1].toStdString();
}

TEST_F(CheckMailTest, AnIncompleteAccountOpensTheDialogAndSkipsTheLogin)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\n");
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls,
              QStringList({QStringLiteral("connect 127.0.0.1:1110"), QStringLiteral("close 7")}));
    EXPECT_TRUE(IdPassForm::Get().isVisible());
    EXPECT_EQ(count(), QStringLiteral("0"));
}

TEST_F(CheckMailTest, TheAccountTypedButNotSavedIsNotTheOneUsed)
{
    writeAccount("[EXEINI]\r\nNAME=stored\r\nNAME2=pw\r\n");
    IdPassForm& account = IdPassForm::Get();
    account.IdText->setText(QStringLiteral("typed"));
    MailSettings.UserId = QStringLiteral("typed");
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.value(1), QStringLiteral("login 7 stored pw 0"));
    EXPECT_EQ(account.IdText->text(), QStringLiteral("stored"));
}

// New mail only, and the connection is lost while the messages are being identified: the
// check says it failed, and the file of reported messages stays as it was to the byte, so the
// next check does not report everything again.
TEST_F(CheckMailTest, AConnectionLostInTheNewOnlyWalkFailsAndKeepsWhatWasReported)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    MofurinOptions newOnly;
    newOnly.newOnly = true;
    LiveOptions::Get().set(newOnly);
    const QString file = ReportedMailStore(MailDataFolderPath())
                             .filePath(MailSettings.Pop3Server, QStringLiteral("kitten"));
    const QByteArray reported = "a\r\nb\r\nc\r\n";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reported);
    }
    library.loginResult = 3;
    library.uidls = {"a", "b", "c"};
    library.dropAt = QStringLiteral("uidl 1");
    library.error = QStringLiteral("メールサーバーとの接続が切れました。").toUtf8();
    closeNextBox();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    LiveOptions::Get().set(MofurinOptions());
    EXPECT_EQ(boxes, QStringList{QStringLiteral("エラー|メールサーバーとの接続が切れました。")});
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), reported);
}

TEST_F(CheckMailTest, TheHangUpFollowsEveryCheckOnlyWhenTicked)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    SetForm::Get().Check1->setChecked(false);
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(dialUp.enumerations, 0);

    SetForm::Get().Check1->setChecked(true);
    library.loginResult = 2;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(dialUp.enumerations, 1);
    library.loginResult = 0;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    MailSettings.Pop3Server.clear();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(dialUp.enumerations, 3);
}

TEST_F(CheckMailTest, NothingThatFallsDueDuringACheckStartsAnotherInsideIt)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=wrong\r\n");
    library.loginResult = -1;
    // A second 受信 that falls due while the check shows its progress or waits in its error
    // box. Every box is answered, so a nested check would show in the calls, not hang.
    QTimer::singleShot(0, [] { CheckMail(); });
    answerer.onClose = [this] { answerer.answerNext(); };
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls, QStringList({QStringLiteral("connect 127.0.0.1:1110"),
                                          QStringLiteral("login 7 kitten wrong 0"),
                                          QStringLiteral("message"), QStringLiteral("close 7")}));
}

// The automatic check: it speaks only when there is mail, never takes the keyboard, and a
// failure is shown once until a check succeeds again.
TEST_F(CheckMailTest, AnAutomaticCheckSpeaksOnlyWhenThereIsSomethingToSay)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    int fired = 0;
    // The clock stops at its first tick: a slow machine (sanitizers) may otherwise see a second
    // 5 ms period end while the first check still runs.
    AutoCheck clock(
        [&] {
            ++fired;
            clock.setMinutes(0);
            CheckMail(nullptr, CheckKind::Automatic);
        },
        1); // a "minute" of 1 ms
    clock.setMinutes(5);
    QElapsedTimer waited;
    waited.start();
    while (fired == 0 && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    MailCheckSandbox::waitForCheck();
    ASSERT_EQ(fired, 1);
    EXPECT_FALSE(MsgForm::Exists()) << "nothing to report, nothing shown";

    library.loginResult = 2;
    CheckMail(nullptr, CheckKind::Automatic);
    MailCheckSandbox::waitForCheck();
    ASSERT_TRUE(MsgForm::Exists());
    EXPECT_TRUE(MsgForm::Get().isVisible());
    EXPECT_TRUE(MsgForm::Get().testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(MeowFlag, 1);

    // Three failures: one box. Then a success, and the next failure is shown again.
    const auto errorBoxes = [] {
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("MailErrorBox") && w->isVisible())
                ++shown;
        return shown;
    };
    library.connectResult = -1;
    for (int i = 0; i < 3; ++i) {
        CheckMail(nullptr, CheckKind::Automatic);
        MailCheckSandbox::waitForCheck();
    }
    EXPECT_EQ(errorBoxes(), 1);
    // Nobody asked for it: it blocks no window, so the kitten can still be dragged or ended.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    library.connectResult = 7;
    CheckMail(nullptr, CheckKind::Automatic);
    MailCheckSandbox::waitForCheck();
    library.connectResult = -1;
    CheckMail(nullptr, CheckKind::Automatic);
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(errorBoxes(), 2);
}

// A desktop account chosen in 設定: the checks use the service's server, user and token, a
// second refusal is told once as automatic checks tell failures, and an account gone from the
// desktop gives the choice up (in the file too) with a sentence saying why.
TEST_F(CheckMailTest, ADesktopAccountIsUsedAndGivenUpWhenItIsGone)
{
    FakeAccountSource accounts;
    accounts.list = {FakeAccountSource::OAuth2Account(QStringLiteral("account_1"),
                                                      QStringLiteral("imap.example.jp"))};
    const ChangedServices withAccounts([&](Services& s) { s.accounts = &accounts; });
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    MofurinOptions options;
    options.account = QStringLiteral("goa:account_1");
    LiveOptions::Get().set(options);
    const QString optionsFile = sandbox.dir.filePath(QStringLiteral("★MailData/ini.ini"));
    ASSERT_TRUE(options.Write(optionsFile));

    library.encryptedAnswer = 1; // imaps://
    library.loginResult = 1;
    CheckMail(nullptr, CheckKind::Automatic);
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls.mid(0, 2),
              QStringList({QStringLiteral("imap connect imaps://imap.example.jp"),
                           QStringLiteral("imap login 7 kitten@example.com token-0 1")}));
    EXPECT_EQ(count(), QStringLiteral("1"));

    const auto errorBoxes = [] {
        QStringList shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                shown << box->text();
        return shown;
    };
    library.loginResult = NMAIL_ERR_TOKEN_REFUSED;
    for (int i = 0; i < 2; ++i) {
        CheckMail(nullptr, CheckKind::Automatic);
        MailCheckSandbox::waitForCheck();
    }
    ASSERT_EQ(errorBoxes().size(), 1);
    EXPECT_TRUE(errorBoxes()[0].contains(QStringLiteral("サインイン")));
    EXPECT_FALSE(errorBoxes()[0].contains(QStringLiteral("token")));
    EXPECT_EQ(accounts.renewals, 2);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            w->close();

    accounts.change({});
    library.calls.clear();
    closeNextBox();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.calls, QStringList{QStringLiteral("box")});
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("見つかりません")));
    EXPECT_TRUE(LiveOptions::Get().value().account.isEmpty());
    EXPECT_TRUE(MofurinOptions::Read(optionsFile).account.isEmpty());
    EXPECT_TRUE(SetForm::Get().AccountChoice->currentData().toString().isEmpty());
    LiveOptions::Get().set(MofurinOptions());
}

// The certificate of a desktop account's server: the user may trust it as for the server field,
// and it is pinned for that server at the next check.
TEST_F(CheckMailTest, ADesktopAccountsServerCertificateIsTrustedForItsOwnServer)
{
    FakeAccountSource accounts;
    accounts.list = {FakeAccountSource::OAuth2Account(QStringLiteral("account_1"),
                                                      QStringLiteral("imap.example.jp:10993"))};
    const ChangedServices withAccounts([&](Services& s) { s.accounts = &accounts; });
    MofurinOptions options;
    options.account = QStringLiteral("goa:account_1");
    LiveOptions::Get().set(options);
    library.connectResult = -1;
    library.lastResult = NMAIL_ERR_CERTIFICATE;
    library.certificate[2] = "AB:CD:EF";
    answerer.press = QMessageBox::Yes;
    answerer.answerNext();
    CheckMail();
    MailCheckSandbox::waitForCheck();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("imap.example.jp"))) << boxes[0].toStdString();
    library.connectResult = 7;
    library.encryptedAnswer = 1;
    CheckMail();
    MailCheckSandbox::waitForCheck();
    EXPECT_EQ(library.pinned, QStringLiteral("AB:CD:EF"));
    EXPECT_TRUE(library.pinnedHost.contains(QStringLiteral("imap.example.jp:10993")))
        << library.pinnedHost.toStdString();
    LiveOptions::Get().set(MofurinOptions());
}
