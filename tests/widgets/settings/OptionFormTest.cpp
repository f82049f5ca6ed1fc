#include "DialogFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

class OptionFormTest : public DialogFixture
{
protected:
    // A server file and the matching record, as start-up leaves them.
    void StartWithSavedServer()
    {
        MailSettings.SmtpServer = QStringLiteral("smtp.example.jp");
        MailSettings.Pop3Server = QStringLiteral("pop.example.jp");
        MailSettings.MailAddress = QStringLiteral("neko@example.jp");
        MailSettings.UseApop = 1;
        m_savedFile = "SMTP=smtp.example.jp\r\nPOP3=pop.example.jp\r\nMAIL=neko@example.jp\r\n"
                      "APOP=1\r\n";
        WriteBytes(ServerFile(), m_savedFile);
    }
    QByteArray m_savedFile;
};

TEST_F(OptionFormTest, LaysOutItsControlsInTwipsAndOpensTopmostWithFocusInTheMailAddress)
{
    OptionForm& form = OptionForm::Get();
    Screenshot(form, "OptionForm");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("サーバー"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.minimumSize(), QSize(194, 198));
    EXPECT_EQ(form.maximumSize(), QSize(194, 198));

    EXPECT_EQ(form.Label1->geometry(), QRect(8, 8, 105, 13));
    EXPECT_EQ(form.SmtpText->geometry(), QRect(8, 24, 177, 18));
    EXPECT_EQ(form.Pop3Text->geometry(), QRect(8, 64, 177, 18));
    EXPECT_EQ(form.MailText->geometry(), QRect(8, 104, 177, 18));
    EXPECT_EQ(form.ApopCheck->geometry(), QRect(32, 136, 145, 17));
    EXPECT_EQ(form.OkCommand->geometry(), QRect(44, 168, 65, 25));
    EXPECT_EQ(form.CancelCommand->geometry(), QRect(124, 168, 61, 25));
    EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(form.ApopCheck->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(form.Label2->buddy(), form.Pop3Text);

    EXPECT_EQ(form.focusWidget(), form.MailText);
    const QList<QWidget*> order = {form.MailText,  form.CancelCommand, form.OkCommand,
                                   form.ApopCheck, form.Pop3Text,      form.SmtpText};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(NextTabStop(order[i]), order[i + 1]) << "after tab stop " << i;
}

TEST_F(OptionFormTest, ShowsTheRecordAndTicksApopForEveryNonZeroValue)
{
    const struct
    {
        qint16 useApop;
        bool ticked;
    } cases[] = {{0, false}, {1, true}, {2, true}, {-1, true}, {32767, true}};
    for (const auto& c : cases) {
        MailSettings.Pop3Server = QStringLiteral("pop.example.jp");
        MailSettings.UseApop = c.useApop;
        OptionForm& form = OptionForm::Get();
        EXPECT_EQ(form.Pop3Text->text(), QStringLiteral("pop.example.jp"));
        EXPECT_EQ(form.ApopCheck->isChecked(), c.ticked) << c.useApop;
        delete &form;
    }
}

TEST_F(OptionFormTest, CancelEscapeAndCloseBoxLeaveRecordAndFileAsTheyWere)
{
    const char* ways[] = {"button", "escape", "close box"};
    for (const char* way : ways) {
        StartWithSavedServer();
        OptionForm& form = OptionForm::Get();
        form.SmtpText->setText(QStringLiteral("changed"));
        form.Pop3Text->setText(QStringLiteral("changed"));
        form.ApopCheck->setChecked(false);
        if (way == ways[0])
            QTest::mouseClick(form.CancelCommand, Qt::LeftButton);
        else if (way == ways[1])
            QTest::keyClick(form.Pop3Text, Qt::Key_Escape);
        else
            form.close();
        EXPECT_FALSE(OptionForm::Exists()) << way;
        FlushDeletes();

        EXPECT_EQ(MailSettings.SmtpServer, QStringLiteral("smtp.example.jp")) << way;
        EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("pop.example.jp")) << way;
        EXPECT_EQ(MailSettings.UseApop, 1) << way;
        EXPECT_EQ(ReadBytes(ServerFile()), m_savedFile) << way;

        // Reopened, it shows the record again, not the abandoned typing.
        OptionForm& again = OptionForm::Get();
        EXPECT_EQ(again.Pop3Text->text(), QStringLiteral("pop.example.jp")) << way;
        EXPECT_TRUE(again.ApopCheck->isChecked()) << way;
        delete &again;
    }
}

TEST_F(OptionFormTest, ConfirmWithEveryFieldEmptyWritesTheFourBareLines)
{
    StartWithSavedServer();
    OptionForm& form = OptionForm::Get();
    form.SmtpText->clear();
    form.Pop3Text->clear();
    form.MailText->clear();
    form.ApopCheck->setChecked(false);
    QTest::mouseClick(form.OkCommand, Qt::LeftButton);

    EXPECT_FALSE(OptionForm::Exists());
    EXPECT_TRUE(MailSettings.SmtpServer.isEmpty());
    EXPECT_TRUE(MailSettings.Pop3Server.isEmpty());
    EXPECT_TRUE(MailSettings.MailAddress.isEmpty());
    EXPECT_EQ(MailSettings.UseApop, 0);
    EXPECT_EQ(ReadBytes(ServerFile()), QByteArray("SMTP=\r\nPOP3=\r\nMAIL=\r\nAPOP=0\r\n"));
}

TEST_F(OptionFormTest, ConfirmKeepsBlanksAndWritesCodePage932)
{
    OptionForm& form = OptionForm::Get();
    QTest::keyClicks(form.SmtpText, QStringLiteral(" a "));
    form.Pop3Text->setText(QStringLiteral("  pop.example.jp\t"));
    form.MailText->setText(QStringLiteral("猫の手@example.jp"));
    form.ApopCheck->setChecked(true);
    form.OkCommand->click();

    EXPECT_EQ(MailSettings.SmtpServer, QStringLiteral(" a "));
    EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("  pop.example.jp\t"));
    EXPECT_EQ(MailSettings.UseApop, 1);
    EXPECT_EQ(ReadBytes(ServerFile()), QByteArray("SMTP= a \r\nPOP3=  pop.example.jp\t\r\nMAIL=") +
                                           Cp932(QStringLiteral("猫の手@example.jp")) +
                                           QByteArray("\r\nAPOP=1\r\n"));
}

TEST_F(OptionFormTest, EnterDoesNotConfirmButEscapeCancels)
{
    OptionForm& form = OptionForm::Get();
    form.Pop3Text->setText(QStringLiteral("typed"));
    for (QWidget* w :
         {static_cast<QWidget*>(form.SmtpText), static_cast<QWidget*>(form.Pop3Text),
          static_cast<QWidget*>(form.MailText), static_cast<QWidget*>(form.ApopCheck)}) {
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
    }
    ASSERT_TRUE(OptionForm::Exists());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ReadBytes(ServerFile()), QByteArray("<missing>"));
    EXPECT_TRUE(MailSettings.Pop3Server.isEmpty());

    QTest::keyClick(form.MailText, Qt::Key_Escape);
    EXPECT_FALSE(OptionForm::Exists());
    EXPECT_TRUE(MailSettings.Pop3Server.isEmpty());
}

TEST_F(OptionFormTest, OpenedTwiceIsOneWindowThatKeepsTheUnsavedTyping)
{
    OptionForm& first = OptionForm::Get();
    first.Pop3Text->setText(QStringLiteral("typed but not saved"));
    EXPECT_EQ(&OptionForm::Get(), &first);

    // Again from the settings dialog's button and directly: same window, nothing reloaded.
    SetForm::Get().Command2->click();
    first.ShowModeless();
    EXPECT_EQ(&OptionForm::Get(), &first);
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.Pop3Text->text(), QStringLiteral("typed but not saved"));
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows += qobject_cast<OptionForm*>(w) != nullptr;
    EXPECT_EQ(windows, 1);
}

TEST_F(OptionFormTest, AServerFileThatCannotBeWrittenIsReportedAndTheDialogStaysOpen)
{
    // A folder where the server file belongs: the write cannot succeed.
    ASSERT_TRUE(QDir(Path(QString())).mkdir(QStringLiteral("vbmail.ini")));
    MailSettings.Pop3Server = QStringLiteral("old.example.jp");
    OptionForm& form = OptionForm::Get();
    form.Pop3Text->setText(QStringLiteral("pop.example.jp"));
    form.OkCommand->click();
    // Nothing was saved, so the next check still connects to the old server.
    EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("old.example.jp"));

    ASSERT_TRUE(OptionForm::Exists());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Pop3Text->text(), QStringLiteral("pop.example.jp"));
    QMessageBox* box = form.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(box->isVisible());
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(QFileInfo(ServerFile()).isDir());

    // Cancelled after the failed save: the record is as it was before the dialog opened.
    form.CancelCommand->click();
    EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("old.example.jp"));
}

} // namespace
