#include "mascot/Form1.h"

#include "app/ProcessValues.h"
#include "mascot/FramePictures.h"
#include "mascot/Wait.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "support/ChangedServices.h"
#include "support/FakeSecretStore.h"
#include "support/RecordingSoundService.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {
// Records the sound requests and lets a test look at the window while the meow "plays".
class MeowSound : public RecordingSoundService
{
public:
    std::function<void()> onPlay;
    bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) override
    {
        if (!(flags & SND_PURGE) && onPlay)
            onPlay();
        return RecordingSoundService::PlaySound(name, memory, flags);
    }
    int stops() const { return int(calls.size() - plays().size()); }
};

int g_quitCode = -1;
void recordQuit(int code)
{
    g_quitCode = code;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A mascot window loaded against a temporary installation folder and current directory.
class Form1Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(install.isValid() && work.isValid());
        QDir(install.path()).mkdir(QStringLiteral("★MailData"));
        services.emplace([this](Services& s) {
            s.twipsPerPixelX = s.twipsPerPixelY = 15;
            s.endProcess = recordQuit;
            s.programFolder = install.path();
            s.sound = &sound;
            s.secrets = &keyring;
        });
        oldCwd = QDir::currentPath();
        QDir::setCurrent(work.path());
        MailSettings = MailSettingsRecord();
        MeowFlag = 0;
        g_quitCode = -1;
    }
    void TearDown() override
    {
        delete form;
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QDir::setCurrent(oldCwd);
        services.reset();
    }
    void configure()
    {
        writeFile(work.filePath(QStringLiteral("vbmail.ini")),
                  "SMTP=smtp\r\nPOP3=pop.example\r\nMAIL=me@example\r\nAPOP=1\r\n");
        writeFile(install.filePath(QStringLiteral("★MailData/iniIdPass.ini")),
                  "[EXEINI]\r\nNAME=kitten\r\nNAME2=secret\r\n");
    }
    Form1& load()
    {
        form = Form1::Create();
        form->Load();
        // The load's dialog steps follow the kitten's first drawing.
        QElapsedTimer waited;
        waited.start();
        while (!IdPassForm::Exists() && waited.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return *form;
    }
    QRegion shapeOf(int f) const
    {
        return *RegionFromSlot(form->FrameRegions[static_cast<size_t>(f)], RegionTransform(),
                               form->FrameRegions[static_cast<size_t>(f)].dwSize() +
                                   form->FrameRegions[static_cast<size_t>(f)].nRgnSize());
    }

    QTemporaryDir install;
    QTemporaryDir work;
    QString oldCwd;
    MeowSound sound;
    FakeSecretStore keyring;
    std::optional<ChangedServices> services; // the folder, scale, sound, keyring and ending in use
    Form1* form = nullptr;
};
} // namespace

TEST_F(Form1Test, LoadPlacesATopmostKittenAtThePointer)
{
    configure();
    QCursor::setPos(321, 123);
    Form1& f = load();
    EXPECT_EQ(f.Width(), 1500);
    EXPECT_EQ(f.Height(), 1500);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(f.pos(), QPoint(321, 123));
    EXPECT_EQ(f.Left(), 321 * 15);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.CurrentPicture(), -1);
    EXPECT_TRUE(f.mask().isEmpty()); // no shape until the first tick
    // The sound test controls lie outside the visible kitten.
    EXPECT_FALSE(f.rect().intersects(f.Command2->geometry()));
    EXPECT_FALSE(f.rect().intersects(f.ChkOnMem->geometry()));

    EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("pop.example"));
    EXPECT_EQ(MailSettings.UseApop, 1);
    // A configured installation opens no first-run dialog.
    EXPECT_FALSE(OptionForm::Exists());
    EXPECT_FALSE(IdPassForm::Get().isVisible());
}

TEST_F(Form1Test, AServerFileInTheProgramFolderIsNotRead)
{
    writeFile(install.filePath(QStringLiteral("vbmail.ini")), "POP3=wrong.place\r\n");
    load();
    EXPECT_TRUE(MailSettings.Pop3Server.isEmpty());
    // No server and no account: both first-run dialogs, the server first and topmost.
    ASSERT_TRUE(OptionForm::Exists());
    EXPECT_TRUE(OptionForm::Get().isVisible());
    EXPECT_TRUE(IdPassForm::Get().isVisible());
}

TEST_F(Form1Test, TheHangUpBoxFollowsNumber)
{
    const struct
    {
        QByteArray file;
        bool ticked;
    } cases[] = {{"[EXEINI]\r\nNUMBER=1\r\n", true},
                 {"[EXEINI]\r\nNUMBER=0\r\n", false},
                 {"[EXEINI]\r\nNUMBER=2\r\n", false},
                 {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.constData());
        configure();
        writeFile(install.filePath(QStringLiteral("★MailData/ini.ini")), c.file);
        load();
        EXPECT_EQ(SetForm::Get().Check1->isChecked(), c.ticked);
        delete form;
        form = nullptr;
        SetForm::Get().close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Every combination of the settings dialog's options, through the load as the program runs it,
// an open-and-close of 設定 and a second start: the options file, the account file and the
// keyring stay as they were, byte for byte, and every start shows what they say.
TEST_F(Form1Test, EveryOptionSurvivesAStartAndTheSettingsDialogByteForByte)
{
    const QString optionsFile = install.filePath(QStringLiteral("★MailData/ini.ini"));
    const auto flag = [](bool on) { return QByteArray(on ? "1" : "0"); };
    for (const int minutes : {0, 5}) {
        for (int bits = 0; bits < 8; ++bits) {
            MofurinOptions options;
            options.autoCheckMinutes = minutes;
            options.newOnly = bits & 1;
            options.notify = bits & 2;
            const bool keyringOn = bits & 4;
            const QByteArray file =
                "[EXEINI]\r\nNUMBER=1\r\n[MOFURIN]\r\nAUTOCHECK=" + QByteArray::number(minutes) +
                "\r\nNEWONLY=" + flag(options.newOnly) + "\r\nNOTIFY=" + flag(options.notify) +
                "\r\nKEYRING=" + flag(keyringOn) + "\r\n";
            SCOPED_TRACE(file.constData());
            configure();
            writeFile(optionsFile, file);
            // With the option on, the password is in the keyring and the file's is empty.
            const QString accountFile = install.filePath(QStringLiteral("★MailData/iniIdPass.ini"));
            if (keyringOn)
                writeFile(accountFile, "[EXEINI]\r\nNAME=kitten\r\nNAME2=\r\n");
            keyring.entries = {{QStringLiteral("kitten"), QStringLiteral("secret")}};
            QFile account(accountFile);
            ASSERT_TRUE(account.open(QIODevice::ReadOnly));
            const QByteArray accountBytes = account.readAll();
            account.close();
            for (const char* start : {"first start", "restart"}) {
                SCOPED_TRACE(start);
                load();
                SetForm& settings = SetForm::Get();
                EXPECT_EQ(LiveOptions::Get().value(), options);
                EXPECT_EQ(settings.AutoCheckMinutes->value(), options.autoCheckMinutes);
                EXPECT_EQ(settings.NewOnlyCheck->isChecked(), options.newOnly);
                EXPECT_EQ(settings.NotifyCheck->isChecked(), options.notify);
                EXPECT_EQ(settings.KeyringCheck->isChecked(), keyringOn);
                EXPECT_TRUE(settings.Check1->isChecked());
                EXPECT_EQ(IdPassForm::Get().PassText->text(), QStringLiteral("secret"));
                EXPECT_FALSE(IdPassForm::Get().isVisible());
                settings.ShowModeless();
                settings.close();
                QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                QFile written(optionsFile);
                ASSERT_TRUE(written.open(QIODevice::ReadOnly));
                EXPECT_EQ(written.readAll(), file);
                ASSERT_TRUE(account.open(QIODevice::ReadOnly));
                EXPECT_EQ(account.readAll(), accountBytes);
                account.close();
                EXPECT_EQ(keyring.entries.at(QStringLiteral("kitten")), QStringLiteral("secret"));
                EXPECT_EQ(LiveOptions::Get().value(), options);
                delete form;
                form = nullptr;
                delete &IdPassForm::Get();
            }
        }
    }
}

// With the password in the keyring, the load asks for it only where the keyring holds none: a
// keyring that does not answer keeps a saved password (the first check says why), and the load
// changes neither place.
TEST_F(Form1Test, TheLoadAsksForAKeyringPasswordOnlyWhenNoneIsSaved)
{
    const QString kitten = QStringLiteral("kitten");
    const struct
    {
        const char* name;
        bool down;
        FakeSecretStore::Entries entries;
        bool asks;
    } cases[] = {
        {"in the keyring", false, {{kitten, QStringLiteral("secret")}}, false},
        {"the keyring does not answer", true, {{kitten, QStringLiteral("secret")}}, false},
        {"none in the keyring", false, {}, true},
    };
    const QString accountFile = install.filePath(QStringLiteral("★MailData/iniIdPass.ini"));
    const QByteArray account = "[EXEINI]\r\nNAME=kitten\r\nNAME2=\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        configure();
        writeFile(accountFile, account);
        writeFile(install.filePath(QStringLiteral("★MailData/ini.ini")),
                  "[MOFURIN]\r\nKEYRING=1\r\n");
        keyring.entries = c.entries;
        keyring.down = c.down;
        load();
        EXPECT_EQ(IdPassForm::Get().isVisible(), c.asks);
        EXPECT_EQ(keyring.entries, c.entries);
        QFile file(accountFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), account);
        delete form;
        form = nullptr;
        delete &IdPassForm::Get();
    }
}

TEST_F(Form1Test, TheIdleCycleAndTheMeowTicks)
{
    configure();
    Form1& f = load();
    QList<int> frames;
    for (int i = 0; i < 9; ++i) {
        f.Timer1_Timer();
        frames << f.CurrentPicture();
        EXPECT_EQ(f.mask(), shapeOf(f.CurrentPicture()));
    }
    EXPECT_EQ(frames, QList<int>({1, 2, 3, 4, 5, 6, 7, 1, 2}));

    // Meowing after frame 4: 9 (keeping the shape of 4) during the meow, then 0.
    f.Timer1_Timer();
    f.Timer1_Timer();
    ASSERT_EQ(f.kiHenkou, 4);
    MeowFlag = 1;
    int pictureDuringMeow = -2;
    QRegion shapeDuringMeow;
    sound.onPlay = [&] {
        pictureDuringMeow = f.CurrentPicture();
        shapeDuringMeow = f.mask();
    };
    f.Timer1_Timer();
    EXPECT_EQ(pictureDuringMeow, 9);
    EXPECT_EQ(shapeDuringMeow, shapeOf(4));
    EXPECT_EQ(f.CurrentPicture(), 0);
    EXPECT_EQ(f.mask(), shapeOf(0));
    EXPECT_EQ(f.kiHenkou, 4);
    f.Timer1_Timer();
    EXPECT_EQ(f.CurrentPicture(), 0);

    MeowFlag = 0;
    f.Timer1_Timer();
    EXPECT_EQ(f.CurrentPicture(), 5);
}

TEST_F(Form1Test, TheTickPullsTheKittenBackOntoTheScreen)
{
    configure();
    Form1& f = load();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    f.move(-20, 50);
    f.Timer1_Timer();
    EXPECT_EQ(f.pos(), QPoint(0, 50));
    f.move(screen.width() - 40, screen.height() - 10);
    f.Timer1_Timer();
    EXPECT_EQ(f.pos(), QPoint(screen.width() - 100, screen.height() - 100));
    f.move(screen.width() - 100, 10);
    f.Timer1_Timer();
    EXPECT_EQ(f.pos(), QPoint(screen.width() - 100, 10));
}

TEST_F(Form1Test, TheMeowHandlerNamesEverySoundFailure)
{
    EXPECT_EQ(MeowErrorMessage(1), QStringLiteral("ファイルサイズが大きすぎて展開に\r\n"
                                                  "時間がかかる可能性があるため中止しました"));
    EXPECT_EQ(MeowErrorMessage(2), QStringLiteral("フラグの指定が正しくありません"));
    EXPECT_EQ(MeowErrorMessage(3), QStringLiteral("指定されたファイルは存在しません"));
    EXPECT_EQ(MeowErrorMessage(4), QStringLiteral("API がエラーを返しました"));
    EXPECT_EQ(MeowErrorMessage(99), QStringLiteral("未定義の致命的なエラーです"));

    configure();
    Form1& f = load();
    QStringList shown;
    auto closeBox = [&] {
        QTimer::singleShot(20, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    shown << box->windowTitle() + QLatin1Char('|') + box->text();
                    EXPECT_EQ(box->icon(), QMessageBox::Critical);
                    box->button(QMessageBox::Ok)->click();
                }
        });
    };
    // No sound file in the installation: in memory it is missing (3).
    f.ChkOnMem->setChecked(true);
    closeBox();
    f.Command2_Click();
    // Synchronous and looping together (2), nothing played.
    f.ChkOnMem->setChecked(false);
    f.ChkSynchro->setChecked(true);
    f.ChkLoop->setChecked(true);
    closeBox();
    f.Command2_Click();
    // The sound service refuses (4).
    f.ChkSynchro->setChecked(false);
    f.ChkLoop->setChecked(false);
    sound.playAnswer = false;
    closeBox();
    f.Command2_Click();
    EXPECT_EQ(shown, QStringList({QStringLiteral("エラー|指定されたファイルは存在しません"),
                                  QStringLiteral("エラー|フラグの指定が正しくありません"),
                                  QStringLiteral("エラー|API がエラーを返しました")}));
    // Accepted: no box.
    sound.playAnswer = true;
    f.Command2_Click();
    EXPECT_EQ(shown.size(), 3);
}

TEST_F(Form1Test, ATickDueWhileASoundErrorIsShownIsSkipped)
{
    configure();
    Form1& f = load();
    f.Timer1_Timer();
    ASSERT_EQ(f.kiHenkou, 1);
    MeowFlag = 1;
    sound.playAnswer = false;
    int boxes = 0;
    std::function<void()> closeLater = [&] {
        QTimer::singleShot(20, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    ++boxes;
                    // The next tick falls due while the box is open: it does nothing.
                    f.Timer1_Timer();
                    box->button(QMessageBox::Ok)->click();
                    return;
                }
            closeLater();
        });
    };
    closeLater();
    f.Timer1_Timer();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(f.CurrentPicture(), 0);
    EXPECT_EQ(f.kiHenkou, 1);
}

TEST_F(Form1Test, ASoundFailureIsShownOncePerMeowingSpellAndSaysHowToStop)
{
    configure();
    Form1& f = load();
    // Each meow's 600 ms wait passes at once.
    qint64 now = 0;
    std::optional<ChangedServices> clock;
    clock.emplace([&now](Services& s) { s.clock = [&now] { return now += 1000; }; });
    QStringList shown;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                shown << box->text() + QLatin1Char('|') + box->informativeText();
                box->button(QMessageBox::Ok)->click();
            }
    });
    answerer.start(10);
    const auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i)
            f.Timer1_Timer();
    };

    sound.playAnswer = false; // no sound output: every meow fails with 4
    MeowFlag = 1;
    ticks(3);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("API がエラーを返しました|")));
    EXPECT_TRUE(shown[0].contains(QStringLiteral("閉じて"))) << shown[0].toStdString();
    const auto meows = sound.plays();
    EXPECT_EQ(
        std::count_if(meows.begin(), meows.end(),
                      [](const auto& call) { return call.name.value_or("").endsWith(".wav"); }),
        3); // it went on meowing, silently

    f.ChkOnMem->setChecked(true); // now the file is missing (3): a different failure
    ticks(2);
    f.ChkOnMem->setChecked(false);
    ticks(1); // and back to 4
    EXPECT_EQ(shown.size(), 3);

    // The spell ends and a new one begins: its failure is shown again.
    MeowFlag = 0;
    ticks(1);
    MeowFlag = 1;
    ticks(2);
    EXPECT_EQ(shown.size(), 4);
    clock.reset();
}

TEST_F(Form1Test, RightButtonEndsAtOnceAndUnloadStopsTheSound)
{
    configure();
    Form1& f = load();
    QTest::mousePress(&f, Qt::MiddleButton, {}, QPoint(50, 50));
    EXPECT_EQ(g_quitCode, -1);
    QTest::mousePress(&f, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(g_quitCode, 0);
    EXPECT_EQ(sound.stops(), 0); // no unload on that path

    g_quitCode = -1;
    f.close();
    EXPECT_EQ(g_quitCode, 0);
    EXPECT_GE(sound.stops(), 1);
}
