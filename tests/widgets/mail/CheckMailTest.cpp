#include "mail/CheckMail.h"

#include "mail/MailLibrary.h"
#include "mascot/MeowFlag.h"
#include "menu/DialUpHangUp.h"
#include "codepage/CodePage.h"
#include "settings/IdPassForm.h"
#include "settings/MailSettings.h"
#include "settings/SetForm.h"
#include "support/MailCheckHarness.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

namespace {
// Records every call in order and answers as scripted.
class RecordingLibrary : public MailLibrary
{
public:
    QStringList calls;
    int32_t connectResult = 7;
    int32_t loginResult = 0;
    int32_t size = 100;
    // The library answers in code page 932.
    QByteArray error =
        ToCodePage(QStringLiteral("ログインできませんでした。 -ERR [AUTH] Authentication failed."));

    int32_t Pop3Connect(const char* host) override
    {
        calls << QStringLiteral("connect %1").arg(QString::fromUtf8(host));
        return connectResult;
    }
    int32_t Pop3Authenticate(int32_t handle, const char* user, const char* pass,
                             int32_t apop) override
    {
        calls << QStringLiteral("login %1 %2 %3 %4")
                     .arg(handle)
                     .arg(QString::fromUtf8(user), QString::fromUtf8(pass))
                     .arg(apop);
        return loginResult;
    }
    int32_t Pop3GetMailStatus(int32_t, int32_t n, char*, char*, char*, char*, int32_t) override
    {
        calls << QStringLiteral("status %1").arg(n);
        return 0;
    }
    int32_t Pop3GetMailSize(int32_t, int32_t n) override
    {
        calls << QStringLiteral("size %1").arg(n);
        return size;
    }
    int32_t Pop3GetMail(int32_t, int32_t n, char*, char*, char*, char*, char* body, int32_t,
                        int32_t) override
    {
        // The buffer holds size + 1 spaces and no terminator.
        calls << QStringLiteral("mail %1 %2")
                     .arg(n)
                     .arg(qstrnlen(body, static_cast<size_t>(size) + 1));
        return 0;
    }
    int32_t GetMessage(int32_t, char* buffer, int32_t* length) override
    {
        calls << QStringLiteral("message");
        qstrncpy(buffer, error.constData(), static_cast<size_t>(*length));
        return 0;
    }
    int32_t Pop3Close(int32_t handle) override
    {
        calls << QStringLiteral("close %1").arg(handle);
        return 0;
    }
};

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
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_EQ(count(), QStringLiteral("0"));
    EXPECT_EQ(message(), QStringLiteral("新着メールはありませんでした。"));
    EXPECT_EQ(MeowFlag, 0);
}

TEST_F(CheckMailTest, ThreeMessagesAreFetchedInOrderThenClosed)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    library.loginResult = 3;
    CheckMail();
    EXPECT_EQ(library.calls, QStringList({
                                 QStringLiteral("connect 127.0.0.1:1110"),
                                 QStringLiteral("login 7 kitten secret 0"),
                                 QStringLiteral("status 1"),
                                 QStringLiteral("size 1"),
                                 QStringLiteral("mail 1 101"),
                                 QStringLiteral("status 2"),
                                 QStringLiteral("size 2"),
                                 QStringLiteral("mail 2 101"),
                                 QStringLiteral("status 3"),
                                 QStringLiteral("size 3"),
                                 QStringLiteral("mail 3 101"),
                                 QStringLiteral("close 7"),
                             }));
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
    library.error =
        ToCodePage(QStringLiteral("サーバーに接続できませんでした。 Connection refused"));
    closeNextBox();
    CheckMail();
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
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("エラー|") + QString::fromLatin1(library.error));
    EXPECT_EQ(format, Qt::PlainText);
}

TEST_F(CheckMailTest, AnIncompleteAccountOpensTheDialogAndSkipsTheLogin)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\n");
    CheckMail();
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
    EXPECT_EQ(library.calls.value(1), QStringLiteral("login 7 stored pw 0"));
    EXPECT_EQ(account.IdText->text(), QStringLiteral("stored"));
}

TEST_F(CheckMailTest, NegativeOrHugeSizesSkipTheRetrieval)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    library.loginResult = 1;
    library.size = -5;
    CheckMail();
    EXPECT_FALSE(library.calls.contains(QStringLiteral("mail 1 0")));
    EXPECT_EQ(library.calls.last(), QStringLiteral("close 7"));
    library.calls.clear();
    library.size = 0x7fffffff;
    CheckMail();
    EXPECT_EQ(library.calls.filter(QStringLiteral("mail")).size(), 0);
}

TEST_F(CheckMailTest, TheHangUpFollowsEveryCheckOnlyWhenTicked)
{
    writeAccount("[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    SetForm::Get().Check1->setChecked(false);
    CheckMail();
    EXPECT_EQ(dialUp.enumerations, 0);

    SetForm::Get().Check1->setChecked(true);
    library.loginResult = 2;
    CheckMail();
    EXPECT_EQ(dialUp.enumerations, 1);
    library.loginResult = 0;
    CheckMail();
    MailSettings.Pop3Server.clear();
    CheckMail();
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
    EXPECT_EQ(library.calls, QStringList({QStringLiteral("connect 127.0.0.1:1110"),
                                          QStringLiteral("login 7 kitten wrong 0"),
                                          QStringLiteral("message"), QStringLiteral("close 7")}));
}
