#include "DialogFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <sys/stat.h>

namespace {

class IdPassFormTest : public DialogFixture
{
protected:
    QByteArray SavedAccount() const
    {
        return QByteArray("[EXEINI]\r\nNAME=") + Cp932(QStringLiteral("太郎")) +
               QByteArray("\r\nNAME2=old pass\r\nNAME3=1\r\n");
    }
    void StartWithSavedAccount() { WriteBytes(AccountFile(), SavedAccount()); }

    mode_t FileMode(const QString& path) const
    {
        struct stat st = {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode & 07777;
    }
};

TEST_F(IdPassFormTest, LoadsHiddenWithTheLayoutAStarPasswordBoxAndFocusOnTheSaveBox)
{
    IdPassForm& form = IdPassForm::Get();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ID,PASS"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.minimumSize(), QSize(190, 118));
    EXPECT_EQ(form.maximumSize(), QSize(190, 118));
    EXPECT_EQ(form.IdText->geometry(), QRect(64, 8, 109, 18));
    EXPECT_EQ(form.PassText->geometry(), QRect(64, 40, 109, 18));
    EXPECT_EQ(form.Check1->geometry(), QRect(28, 68, 17, 17));
    EXPECT_EQ(form.Label2_1->geometry(), QRect(52, 68, 125, 17));
    EXPECT_EQ(form.OKCommand->geometry(), QRect(60, 92, 57, 21));
    EXPECT_EQ(form.CancelCommand->geometry(), QRect(124, 92, 57, 21));
    EXPECT_EQ(form.Label2_1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(form.OKCommand->isDefault());

    // The password shows as stars, not as the platform's bullets.
    EXPECT_EQ(form.PassText->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.PassText->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                form.PassText),
              '*');

    form.IdText->setText(QStringLiteral("太郎 gjpqy"));
    form.PassText->setText(QStringLiteral("secret"));
    form.ShowModeless();
    Screenshot(form, "IdPassForm");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.focusWidget(), form.Check1);
    const QList<QWidget*> order = {form.Check1, form.CancelCommand, form.OKCommand, form.PassText,
                                   form.IdText};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(NextTabStop(order[i]), order[i + 1]) << "after tab stop " << i;
}

TEST_F(IdPassFormTest, LoadShowsTheSavedAccountWithTheSaveBoxClear)
{
    StartWithSavedAccount();
    IdPassForm& form = IdPassForm::Get();
    EXPECT_EQ(form.IdText->text(), QStringLiteral("太郎"));
    EXPECT_EQ(form.PassText->text(), QStringLiteral("old pass"));
    EXPECT_FALSE(form.Check1->isChecked());
}

TEST_F(IdPassFormTest, NoFolderOrNoFileLoadsEmptyBoxes)
{
    IdPassForm& form = IdPassForm::Get();
    EXPECT_TRUE(form.IdText->text().isEmpty());
    EXPECT_TRUE(form.PassText->text().isEmpty());
    delete &form;

    ASSERT_TRUE(QDir(Path(QStringLiteral("★MailData"))).removeRecursively());
    IdPassForm& again = IdPassForm::Get();
    EXPECT_TRUE(again.IdText->text().isEmpty());
    // Confirming into the missing folder writes nothing and never creates the folder; the
    // user is told, since a mail check would not find the account.
    again.IdText->setText(QStringLiteral("someone"));
    again.Check1->setChecked(true);
    again.OKCommand->click();
    EXPECT_EQ(MailSettings.UserId, QStringLiteral("someone"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("★MailData"))));
    ASSERT_TRUE(IdPassForm::Exists());
    QMessageBox* box = again.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("エラー"));
    EXPECT_TRUE(box->text().contains(QStringLiteral("保存できませんでした")))
        << box->text().toStdString();
}

// A saved account is a pair: whatever stops one half from being saved leaves the file's old
// account whole, keeps the dialog open with the typing and says why.
TEST_F(IdPassFormTest, AnAccountThatCannotBeSavedWholeLeavesTheOldOneAndSaysSo)
{
    struct Case
    {
        const char* name;
        QByteArray file;
        QString id, password;
    };
    // A hand-edited file just under the size a write will still read: the ID's write grows it
    // past that size, so the password's write that follows fails.
    const QByteArray nearlyFull =
        QByteArray("; ") + QByteArray(int(1024 * 1024 - 200), 'x') + "\r\n" + SavedAccount();
    const Case cases[] = {
        {"a password character outside code page 932", SavedAccount(), QStringLiteral("new id"),
         QStringLiteral("neko\U0001F408")},
        {"an ID with a line break", SavedAccount(), QStringLiteral("new\nDELE 1"),
         QStringLiteral("pass")},
        {"the password's write fails after the ID's", nearlyFull, QString(255, u'i'),
         QStringLiteral("new pass")},
        // A check reads 255 bytes of each; a longer password would log in cut.
        {"a password longer than a check reads", SavedAccount(), QStringLiteral("new id"),
         QString(256, u'p')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(AccountFile(), c.file);
        IdPassForm& form = IdPassForm::Get();
        form.ShowModeless();
        form.IdText->setText(c.id);
        form.PassText->setText(c.password);
        form.Check1->setChecked(true);
        form.OKCommand->click();

        EXPECT_EQ(ReadBytes(AccountFile()), c.file);
        ASSERT_TRUE(IdPassForm::Exists());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.PassText->text(), c.password);
        QMessageBox* box = form.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("エラー"));
        EXPECT_TRUE(box->isVisible());
        box->button(QMessageBox::Ok)->click();
        form.CancelCommand->click();
        FlushDeletes();
    }
}

TEST_F(IdPassFormTest, ConfirmWithTheSaveBoxTickedWritesTheAccountOwnerOnly)
{
    IdPassForm& form = IdPassForm::Get();
    QTest::keyClicks(form.IdText, QStringLiteral(" user "));
    form.PassText->setText(QStringLiteral("パス word"));
    QTest::mouseClick(form.Check1, Qt::LeftButton);
    ASSERT_TRUE(form.Check1->isChecked());
    QTest::mouseClick(form.OKCommand, Qt::LeftButton);

    EXPECT_FALSE(IdPassForm::Exists());
    EXPECT_EQ(MailSettings.UserId, QStringLiteral(" user "));
    EXPECT_EQ(MailSettings.UserPass, QStringLiteral("パス word"));
    // Quoted, so that the blanks read back (unquoted, the reader would trim them).
    EXPECT_EQ(ReadBytes(AccountFile()), QByteArray("[EXEINI]\r\nNAME=\" user \"\r\nNAME2=") +
                                            Cp932(QStringLiteral("パス word")) +
                                            QByteArray("\r\nNAME3=1\r\n"));
    EXPECT_EQ(FileMode(AccountFile()), mode_t(0600));
    EXPECT_EQ(IdPassForm::Get().IdText->text(), QStringLiteral(" user "));
}

TEST_F(IdPassFormTest, ConfirmWithoutSavingKeepsTheFileAccountForTheNextRead)
{
    StartWithSavedAccount();
    IdPassForm& form = IdPassForm::Get();
    form.IdText->setText(QStringLiteral("other"));
    form.PassText->setText(QStringLiteral("other pass"));
    form.OKCommand->click();

    // The typed account is the one in memory, the file keeps the saved one, NAME3 says "0".
    EXPECT_EQ(MailSettings.UserId, QStringLiteral("other"));
    EXPECT_EQ(MailSettings.UserPass, QStringLiteral("other pass"));
    EXPECT_EQ(ReadBytes(AccountFile()), QByteArray("[EXEINI]\r\nNAME=") +
                                            Cp932(QStringLiteral("太郎")) +
                                            QByteArray("\r\nNAME2=old pass\r\nNAME3=0\r\n"));
    FlushDeletes();

    // The next read (a fresh load, as the mail check does) brings the saved account back.
    IdPassForm& again = IdPassForm::Get();
    EXPECT_EQ(again.IdText->text(), QStringLiteral("太郎"));
    EXPECT_EQ(again.PassText->text(), QStringLiteral("old pass"));
}

TEST_F(IdPassFormTest, AFirstConfirmWithoutSavingCreatesAnOwnerOnlyFileWithNAME3Only)
{
    IdPassForm::Get().OKCommand->click();
    EXPECT_EQ(ReadBytes(AccountFile()), QByteArray("[EXEINI]\r\nNAME3=0\r\n"));
    EXPECT_EQ(FileMode(AccountFile()), mode_t(0600));
}

TEST_F(IdPassFormTest, CancelEscapeAndCloseBoxWriteNothing)
{
    const char* ways[] = {"button", "escape", "close box"};
    for (const char* way : ways) {
        StartWithSavedAccount();
        MailSettings.UserId = QStringLiteral("in memory");
        IdPassForm& form = IdPassForm::Get();
        form.ShowModeless();
        form.IdText->setText(QStringLiteral("typed"));
        form.Check1->setChecked(true);
        if (way == ways[0])
            QTest::mouseClick(form.CancelCommand, Qt::LeftButton);
        else if (way == ways[1])
            QTest::keyClick(form.IdText, Qt::Key_Escape);
        else
            form.close();
        EXPECT_FALSE(IdPassForm::Exists()) << way;
        FlushDeletes();
        EXPECT_EQ(MailSettings.UserId, QStringLiteral("in memory")) << way;
        EXPECT_EQ(ReadBytes(AccountFile()), SavedAccount()) << way;
        EXPECT_EQ(IdPassForm::Get().IdText->text(), QStringLiteral("太郎")) << way;
        delete &IdPassForm::Get();
    }
}

TEST_F(IdPassFormTest, EnterInEitherBoxConfirms)
{
    for (bool inPassword : {false, true}) {
        IdPassForm& form = IdPassForm::Get();
        form.ShowModeless();
        form.IdText->setText(inPassword ? QStringLiteral("b") : QStringLiteral("a"));
        QTest::keyClick(inPassword ? form.PassText : form.IdText, Qt::Key_Return);
        EXPECT_FALSE(IdPassForm::Exists()) << inPassword;
        EXPECT_EQ(MailSettings.UserId, inPassword ? QStringLiteral("b") : QStringLiteral("a"));
        FlushDeletes();
    }
}

// With the password in the keyring, a keyring that does not answer (or stays locked) leaves the
// password box empty. The box says why, and a confirm that leaves it empty keeps the keyring's
// password, even once the keyring answers again; a typed password is saved as ever.
TEST_F(IdPassFormTest, APasswordTheKeyringDidNotGiveIsNeverReplacedByOneNotTyped)
{
    const QByteArray account = "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\n";
    const QString taro = QStringLiteral("taro");
    WriteBytes(OptionsFile(), "[MOFURIN]\r\nKEYRING=1\r\n");
    WriteBytes(AccountFile(), account);
    m_keyring.entries = {{taro, QStringLiteral("neko")}};
    const struct
    {
        const char* name;
        QString id, password; // as the user leaves the boxes
        bool closes;
        QString kept; // in the keyring afterwards
    } cases[] = {
        {"a new ID without the password", QStringLiteral("jiro"), {}, false, "neko"},
        {"the saved ID", taro, {}, true, "neko"},
        {"a typed password", taro, QStringLiteral("tama"), true, "tama"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_keyring.down = true;
        IdPassForm& form = IdPassForm::Get();
        EXPECT_TRUE(form.PassText->text().isEmpty());
        EXPECT_FALSE(form.PasswordUnreadReason().isEmpty());
        EXPECT_TRUE(form.PassText->toolTip().contains(QStringLiteral("キーリング")));
        form.ShowModeless();
        Screenshot(form, "IdPassForm-keyring-unread");
        EXPECT_LE(form.PassText->fontMetrics().horizontalAdvance(form.PassText->placeholderText()),
                  form.PassText->width());

        m_keyring.down = false; // unlocked meanwhile
        form.IdText->setText(c.id);
        form.PassText->setText(c.password);
        form.Check1->setChecked(true);
        form.OKCommand->click();
        EXPECT_EQ(IdPassForm::Exists(), !c.closes);
        EXPECT_EQ(m_keyring.entries, (FakeSecretStore::Entries{{taro, c.kept}}));
        EXPECT_EQ(ReadBytes(AccountFile()), account);
        if (!c.closes) {
            // A new ID cannot take a password the program cannot read along: refused, with why.
            QMessageBox* box = form.findChild<QMessageBox*>();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("エラー"));
            box->button(QMessageBox::Ok)->click();
            form.CancelCommand->click();
        }
        FlushDeletes();
    }

    // Read while the keyring answers, the box holds the password and says nothing else.
    IdPassForm& again = IdPassForm::Get();
    EXPECT_EQ(again.PassText->text(), QStringLiteral("tama"));
    EXPECT_TRUE(again.PasswordUnreadReason().isEmpty());
    EXPECT_TRUE(again.PassText->placeholderText().isEmpty());
}

TEST_F(IdPassFormTest, OpenedFromTwoPlacesIsOneWindowKeepingTheTyping)
{
    StartWithSavedAccount();
    IdPassForm& first = IdPassForm::Get(); // as start-up reaches it, hidden
    first.ShowModeless();
    first.IdText->setText(QStringLiteral("typing"));

    SetForm& settings = SetForm::Get();
    settings.Command1->click();
    settings.Command1->click();
    EXPECT_EQ(&IdPassForm::Get(), &first);
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.IdText->text(), QStringLiteral("typing"));
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows += qobject_cast<IdPassForm*>(w) != nullptr;
    EXPECT_EQ(windows, 1);
}

} // namespace
