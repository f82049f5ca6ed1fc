#include "DialogFixture.h"
#include "mail/MsgForm.h"
#include "menu/Form2.h"
#include "platform/ReadableText.h"
#include "settings/LiveOptions.h"
#include "support/DarkScheme.h"
#include "support/FakeAccountSource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyleOption>
#include <QTest>
#include <QTranslator>
#include <functional>

namespace {

using SetFormTest = DialogFixture;

TEST_F(SetFormTest, LoadsHiddenWithTheLayoutTheColouredButtonsAndTheBlueRule)
{
    SetForm& form = SetForm::Get();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("設定"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.minimumSize(), QSize(208, 199));
    EXPECT_EQ(form.maximumSize(), QSize(208, 199));
    EXPECT_EQ(form.Command1->geometry(), QRect(8, 8, 97, 25));
    EXPECT_EQ(form.Command2->geometry(), QRect(104, 8, 97, 25));
    EXPECT_EQ(form.Check1->geometry(), QRect(8, 40, 17, 17));
    EXPECT_EQ(form.Label1->geometry(), QRect(32, 43, 169, 17));
    EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    form.ShowModeless();
    Screenshot(form, "SetForm");
    EXPECT_EQ(form.focusWidget(), form.Check1);
    EXPECT_EQ(NextTabStop(form.Check1), form.Command1);
    EXPECT_EQ(NextTabStop(form.Command1), form.Command2);

    const QImage picture = form.grab().toImage();
    // The rule runs across the whole width at y = 960 twips, and only there.
    for (int x : {0, 100, 207})
        EXPECT_EQ(QColor(picture.pixel(x, 64)), QColor(0, 0, 255)) << x;
    EXPECT_NE(QColor(picture.pixel(100, 63)), QColor(0, 0, 255));
    EXPECT_NE(QColor(picture.pixel(100, 65)), QColor(0, 0, 255));
    // Each button is filled with its own colour (sampled away from its caption).
    EXPECT_EQ(QColor(picture.pixel(12, 12)), QColor(255, 128, 0));
    EXPECT_EQ(QColor(picture.pixel(108, 12)), QColor(128, 128, 255));
}

// What a caption needs beside the room its control gives it, in pixels.
struct CaptionRoom
{
    QString caption;
    int needed;
    int room;
};

// Every caption the window's controls show, with the width it needs (the text's advance plus
// the style's margins) and the width the control has inside the window: a control that runs
// past the window's edge shows only the part inside.
QList<CaptionRoom> CaptionRooms(QWidget& window)
{
    QList<CaptionRoom> rooms;
    const auto visibleWidth = [&window](const QWidget* control) {
        const QRect box(control->mapTo(&window, QPoint(0, 0)), control->size());
        return qMin(box.right(), window.width() - 1) - qMax(box.left(), 0) + 1;
    };
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QPushButton*>(control);
            button && !button->text().isEmpty()) {
            // A push button's size hint holds a minimum width some styles give every button.
            QStyleOptionButton option;
            option.initFrom(button);
            const QStyle* style = button->style();
            const int needed =
                button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&'))) +
                style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
            rooms.append({button->text(), needed, visibleWidth(button)});
        } else if (auto* box = qobject_cast<QAbstractButton*>(control);
                   box && !box->text().isEmpty()) {
            rooms.append({box->text(), box->sizeHint().width(), visibleWidth(box)});
        } else if (auto* label = qobject_cast<QLabel*>(control);
                   label && !label->text().isEmpty()) {
            // A wrapped label may take lines, as many as its height holds.
            if (label->wordWrap())
                rooms.append(
                    {label->text(), label->heightForWidth(label->width()), label->height()});
            else
                rooms.append(
                    {label->text(),
                     label->fontMetrics().horizontalAdvance(label->text().remove(QLatin1Char('&'))),
                     visibleWidth(label)});
            rooms.append({label->text(), label->fontMetrics().capHeight(), label->height()});
        } else if (auto* group = qobject_cast<QGroupBox*>(control);
                   group && !group->title().isEmpty()) {
            rooms.append({group->title(), group->minimumSizeHint().width(), group->width()});
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            const QString text = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
            if (text.isEmpty())
                continue;
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth =
                edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
            const QRect contents =
                edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
            const QMargins margins = edit->textMargins();
            // QLineEdit keeps two pixels free on either side of its text.
            rooms.append({text, edit->fontMetrics().horizontalAdvance(text) + 4,
                          contents.width() - margins.left() - margins.right()});
        }
    }
    // The title bar holds the caption beside the window's icon and close box.
    const int titleRoom =
        window.width() - 2 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    for (const QString& title : window.property("titles").toStringList())
        rooms.append({title, window.fontMetrics().horizontalAdvance(title), titleRoom});
    return rooms;
}

// The captions each window shows in its title bar: its title, and for the bar the captions of
// the buttons the pointer rests on.
void KeepTitles(QWidget& window, const QList<QWidget*>& hovered = {})
{
    QStringList titles = {window.windowTitle()};
    for (QWidget* control : hovered) {
        QTest::mouseMove(control, QPoint(5, 5));
        QApplication::processEvents();
        titles << window.windowTitle();
    }
    window.setProperty("titles", titles);
}

// Every caption of every window fits its control, in Japanese and in English, with the dialogs'
// labels narrowed as they are when first shown.
TEST_F(SetFormTest, NoWindowCutsACaptionInEitherLanguage)
{
    QWidget kitten;
    kitten.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    kitten.resize(100, 100);
    kitten.show();
    const struct
    {
        const char* name;
        std::function<QWidget&()> open;
    } windows[] = {
        {"bar",
         [&kitten]() -> QWidget& {
             Form2& bar = Form2::Open(kitten);
             KeepTitles(bar, {bar.Command2, bar.Command3, bar.Command4});
             return bar;
         }},
        {"notice",
         []() -> QWidget& {
             MsgForm& notice = MsgForm::Get();
             notice.show();
             KeepTitles(notice);
             return notice;
         }},
        {"settings",
         []() -> QWidget& {
             SetForm& form = SetForm::Get();
             form.ShowModeless();
             KeepTitles(form);
             return form;
         }},
        {"account",
         []() -> QWidget& {
             IdPassForm& form = IdPassForm::Get();
             // The password box says when the keyring did not give the password.
             form.ShowSavedAccount(
                 {QStringLiteral("id"), QString(), QStringLiteral("locked"), true});
             form.ShowModeless();
             KeepTitles(form);
             return form;
         }},
        {"server",
         []() -> QWidget& {
             OptionForm& form = OptionForm::Get();
             KeepTitles(form);
             return form;
         }},
    };
    for (const bool english : {false, true}) {
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(translator.load(QStringLiteral(":/translations/mofurin_en.qm")));
            QCoreApplication::installTranslator(&translator);
        }
        for (const auto& window : windows) {
            QWidget& shown = window.open();
            for (const CaptionRoom& room : CaptionRooms(shown)) {
                EXPECT_LE(room.needed, room.room)
                    << window.name << (english ? " (English): " : ": ") << qPrintable(room.caption);
            }
            shown.close();
            FlushDeletes();
        }
        QCoreApplication::removeTranslator(&translator);
    }
}

// The page HP opens is the user's guide: each language's page names every caption of this
// dialog in that language, and every picture it shows is installed beside it.
TEST_F(SetFormTest, TheHomepageNamesEveryCaptionAndItsPicturesAreThere)
{
    const QDir folder(QStringLiteral(MOFURIN_INSTALL_DIR "/Homepage"));
    for (const bool english : {false, true}) {
        QFile file(folder.filePath(english ? QStringLiteral("index.en.html")
                                           : QStringLiteral("index.html")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "build the homepage first";
        const QString page = QString::fromUtf8(file.readAll());
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(translator.load(QStringLiteral(":/translations/mofurin_en.qm")));
            QCoreApplication::installTranslator(&translator);
        }

        SetForm& form = SetForm::Get();
        form.ShowModeless();
        QStringList captions = {form.windowTitle(), form.AutoCheckMinutes->specialValueText()};
        for (const QAbstractButton* button : form.findChildren<QAbstractButton*>())
            captions << button->text();
        for (const QLabel* label : form.findChildren<QLabel*>())
            captions << label->text();
        for (QString caption : captions) {
            caption.remove(QLatin1Char('&'));
            EXPECT_TRUE(caption.isEmpty() || page.contains(caption))
                << (english ? "English: " : "") << caption.toStdString();
        }
        form.close();
        FlushDeletes();
        QCoreApplication::removeTranslator(&translator);

        // Every picture, at every density it offers.
        static const QRegularExpression source(QStringLiteral(R"re((?:src|srcset)="([^"]+)")re"));
        int pictures = 0;
        for (const QRegularExpressionMatch& match : source.globalMatch(page)) {
            for (const QString& candidate : match.captured(1).split(QLatin1Char(','))) {
                const QString name = candidate.trimmed().section(QLatin1Char(' '), 0, 0);
                EXPECT_TRUE(folder.exists(name)) << name.toStdString();
                ++pictures;
            }
        }
        EXPECT_GT(pictures, 0);
    }
}

TEST_F(SetFormTest, EveryTextStaysReadableWhenTheDesktopTurnsDarkAndBack)
{
    // The dialogs are made on the light scheme; the desktop then switches to a dark one and back.
    const QPalette light = QApplication::palette();
    const QList<QDialog*> dialogs = {&SetForm::Get(), &IdPassForm::Get(), &OptionForm::Get()};
    for (const QPalette& scheme : {DarkScheme(), light}) {
        QApplication::setPalette(scheme);
        QApplication::processEvents(); // the change reaches the windows as posted events
        for (QDialog* dialog : dialogs) {
            for (QWidget* text : dialog->findChildren<QWidget*>()) {
                const QString caption = text->property("text").toString();
                if ((!qobject_cast<QLabel*>(text) && !qobject_cast<QCheckBox*>(text)) ||
                    caption.isEmpty())
                    continue;
                const QPalette colours = text->palette();
                EXPECT_GE(ContrastRatio(colours.color(QPalette::WindowText),
                                        colours.color(QPalette::Window)),
                          4.5)
                    << qPrintable(caption);
            }
        }
        // The blue texts stay blue: lightened on the dark scheme, the very blue on the light.
        const QColor blue = SetForm::Get().Label1->palette().color(QPalette::WindowText);
        EXPECT_EQ(blue.hue(), 240);
        EXPECT_EQ(blue == QColor(0, 0, 255), scheme == light);
    }
}

TEST_F(SetFormTest, OnlyNumberOneTicksTheHangUpBox)
{
    const struct
    {
        const char* file; // nullptr: no options file at all
        bool ticked;
    } cases[] = {
        {"[EXEINI]\r\nNUMBER=1\r\n", true},   {"[EXEINI]\r\nNUMBER=0\r\n", false},
        {"[EXEINI]\r\nNUMBER=2\r\n", false},  {"[EXEINI]\r\nNUMBER=a\r\n", false},
        {"[EXEINI]\r\nOTHER=1\r\n", false},   {"[exeini]\r\n number = 1 \r\n", true},
        {"[EXEINI]\r\nNUMBER=-1\r\n", false}, {nullptr, false},
    };
    for (const auto& c : cases) {
        QFile::remove(OptionsFile());
        if (c.file)
            WriteBytes(OptionsFile(), c.file);
        SetForm& form = SetForm::Get();
        EXPECT_EQ(form.Check1->isChecked(), c.ticked) << (c.file ? c.file : "no file");
        delete &form;
    }
}

TEST_F(SetFormTest, TheCloseBoxWritesTheBoxAndTheNextLoadRestoresIt)
{
    SetForm& form = SetForm::Get();
    form.ShowModeless();
    QTest::mouseClick(form.Check1, Qt::LeftButton);
    ASSERT_TRUE(form.Check1->isChecked());
    form.close();
    EXPECT_FALSE(SetForm::Exists());
    FlushDeletes();
    EXPECT_EQ(ReadBytes(OptionsFile()), QByteArray("[EXEINI]\r\nNUMBER=1\r\n"));

    SetForm& again = SetForm::Get();
    EXPECT_TRUE(again.Check1->isChecked());
    again.Check1->setChecked(false);
    again.close();
    FlushDeletes();
    EXPECT_EQ(ReadBytes(OptionsFile()), QByteArray("[EXEINI]\r\nNUMBER=0\r\n"));
}

TEST_F(SetFormTest, AnOpenDialogAtExitKeepsTheOldValue)
{
    const QByteArray old = "[EXEINI]\r\nNUMBER=0\r\n";
    WriteBytes(OptionsFile(), old);
    SetForm& form = SetForm::Get();
    form.ShowModeless();
    form.Check1->setChecked(true);
    // The box itself is the flag while the program runs.
    EXPECT_TRUE(SetForm::Get().Check1->isChecked());
    delete &form; // the program's exit destroys windows without closing them
    EXPECT_FALSE(SetForm::Exists());
    EXPECT_EQ(ReadBytes(OptionsFile()), old);
}

TEST_F(SetFormTest, EscapeAndEnterNeitherCloseNorOpenAnything)
{
    SetForm& form = SetForm::Get();
    form.ShowModeless();
    QTest::keyClick(form.Check1, Qt::Key_Escape);
    QTest::keyClick(form.Check1, Qt::Key_Return);
    EXPECT_TRUE(SetForm::Exists());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(IdPassForm::Exists());
    EXPECT_FALSE(OptionForm::Exists());
    EXPECT_EQ(ReadBytes(OptionsFile()), QByteArray("<missing>"));
}

TEST_F(SetFormTest, ItsButtonsShowTheOtherTwoDialogs)
{
    SetForm& form = SetForm::Get();
    form.ShowModeless();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    ASSERT_TRUE(IdPassForm::Exists());
    EXPECT_TRUE(IdPassForm::Get().isVisible());
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    ASSERT_TRUE(OptionForm::Exists());
    EXPECT_TRUE(OptionForm::Get().isVisible());
    // Closing them leaves the settings dialog and its box alone.
    IdPassForm::Get().close();
    OptionForm::Get().close();
    FlushDeletes();
    EXPECT_TRUE(SetForm::Exists());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(SetFormTest, TheLoginBoxWritesAndRemovesTheAutostartEntryAtOnce)
{
    struct ConfigHome
    {
        QByteArray old = qgetenv("XDG_CONFIG_HOME");
        ~ConfigHome()
        {
            old.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", old);
        }
    } restore;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("config"))));
    const QString entry = Path(QStringLiteral("config/autostart/mofurin.desktop"));

    SetForm* form = &SetForm::Get();
    form->ShowModeless();
    EXPECT_FALSE(form->AutostartCheck->isChecked());
    QTest::mouseClick(form->AutostartCheck, Qt::LeftButton);
    const QByteArray text = ReadBytes(entry);
    EXPECT_TRUE(text.contains("\nExec=\"" +
                              QFile::encodeName(QCoreApplication::applicationFilePath()) + "\"\n"))
        << text.toStdString();
    // This copy's folder is writable, so its vbmail.ini is in the current directory: the login
    // start runs there too.
    EXPECT_TRUE(text.contains("\nPath=" + QFile::encodeName(QDir::currentPath()) + "\n"));
    EXPECT_EQ(ReadBytes(OptionsFile()), QByteArray("<missing>"));

    // The box shows whether the entry exists, whoever made or removed it.
    delete form;
    form = &SetForm::Get();
    EXPECT_TRUE(form->AutostartCheck->isChecked());
    QTest::mouseClick(form->AutostartCheck, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(form->AutostartCheck->isChecked());

    // Something that is not a file in the entry's place: the box stays clear and says why.
    ASSERT_TRUE(QDir().mkpath(entry));
    QTest::mouseClick(form->AutostartCheck, Qt::LeftButton);
    EXPECT_FALSE(form->AutostartCheck->isChecked());
    QMessageBox* box = form->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("エラー"));
    box->button(QMessageBox::Ok)->click();
}

} // namespace

TEST_F(SetFormTest, TheDesktopAccountRowShowsWithTheServiceFollowsItsListAndIsKept)
{
    LiveOptions::Get().set(MofurinOptions());
    FakeAccountSource source;
    source.answers = false;
    const ChangedServices withSource([&](Services& s) { s.accounts = &source; });

    // Without the service the row is not there and the dialog keeps its size.
    SetForm* form = &SetForm::Get();
    form->ShowModeless();
    const QSize plain = form->size();
    EXPECT_FALSE(form->AccountChoice->isVisible());
    EXPECT_FALSE(form->AccountLabel->isVisible());

    // The service answers while the dialog is open: the row shows under the keyring box, the
    // dialog grows to hold it, and the list follows the service's changes.
    source.answers = true;
    OnlineAccount google = FakeAccountSource::OAuth2Account(QStringLiteral("account_1"),
                                                            QStringLiteral("imap.gmail.com"));
    source.change({google});
    ASSERT_TRUE(form->AccountChoice->isVisible());
    EXPECT_TRUE(form->AccountLabel->isVisible());
    EXPECT_GT(form->AccountLabel->y(), form->KeyringCheck->geometry().bottom());
    EXPECT_GE(form->height(), form->AccountChoice->geometry().bottom());
    EXPECT_GT(form->height(), plain.height());
    OnlineAccount own = google;
    own.id = QStringLiteral("account_2");
    own.provider = QStringLiteral("IMAP and SMTP");
    own.email = QStringLiteral("neko@example.org");
    source.change({google, own});
    ASSERT_EQ(form->AccountChoice->count(), 3);
    EXPECT_EQ(form->AccountChoice->itemText(0), QStringLiteral("使わない"));
    EXPECT_EQ(form->AccountChoice->itemText(2), QStringLiteral("neko@example.org (IMAP and SMTP)"));
    EXPECT_EQ(form->AccountChoice->currentIndex(), 0);

    // The choice takes effect at once and reaches the file when the dialog closes.
    form->AccountChoice->setCurrentIndex(2);
    emit form->AccountChoice->activated(2);
    EXPECT_EQ(LiveOptions::Get().value().desktopAccountId(), QStringLiteral("account_2"));
    source.change({own, google}); // the service reorders: the choice stays with its account
    EXPECT_EQ(form->AccountChoice->currentData().toString(), QStringLiteral("account_2"));
    form->close();
    FlushDeletes();
    EXPECT_TRUE(ReadBytes(OptionsFile()).contains("\r\nACCOUNT=goa:account_2\r\n"));

    // A fresh load reads it back; 使わない empties it.
    LiveOptions::Get().set(MofurinOptions());
    LiveOptions::Get().set(MofurinOptions::Read(OptionsFile()));
    form = &SetForm::Get();
    EXPECT_EQ(form->AccountChoice->currentData().toString(), QStringLiteral("account_2"));
    form->AccountChoice->setCurrentIndex(0);
    emit form->AccountChoice->activated(0);
    form->close();
    FlushDeletes();
    EXPECT_TRUE(MofurinOptions::Read(OptionsFile()).account.isEmpty());

    // A dialog that never saw a choice writes no ACCOUNT key.
    QFile::remove(OptionsFile());
    LiveOptions::Get().set(MofurinOptions());
    SetForm::Get().close();
    FlushDeletes();
    EXPECT_FALSE(ReadBytes(OptionsFile()).contains("ACCOUNT"));
    LiveOptions::Get().set(MofurinOptions());
}
