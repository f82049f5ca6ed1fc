#include "mascot/Form1.h"

#include "app/ProcessValues.h"
#include "mail/MailLibrary.h"
#include "mail/MailPush.h"
#include "mascot/FramePictures.h"
#include "mascot/ScreenRule.h"
#include "mascot/Wait.h"
#include "menu/Form2.h"
#include "platform/DeviceShape.h"
#include "platform/MessageBoxLook.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "platform/Twips.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/OptionForm.h"
#include "settings/ProfileFile.h"
#include "settings/ServerFile.h"
#include "settings/SetForm.h"
#include "settings/SettingsPaths.h"
#include "sound/PlayWave.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

namespace {
Form1* g_instance = nullptr;
// The load's dialog steps wait for the kitten's first drawing at most this long.
constexpr int DialogsAtTheLatestMs = 1000;

[[noreturn]] void endProcess(int code)
{
    std::fflush(nullptr);
    std::_Exit(code);
}
// How the process ends: at once, without any other window's unload. The idle connection is
// ended first, so that its thread is not left waiting on the server.
void quit(int code)
{
    EndMailPush();
    if (void (*end)(int) = CurrentServices().endProcess)
        end(code);
    else
        endProcess(code);
}

} // namespace

QString MeowErrorMessage(qint32 result)
{
    switch (result) {
    case 1:
        return QCoreApplication::translate("Form1", "ファイルサイズが大きすぎて展開に\r\n"
                                                    "時間がかかる可能性があるため中止しました");
    case 2:
        return QCoreApplication::translate("Form1", "フラグの指定が正しくありません");
    case 3:
        return QCoreApplication::translate("Form1", "指定されたファイルは存在しません");
    case 4:
        return QCoreApplication::translate("Form1", "API がエラーを返しました");
    default:
        return QCoreApplication::translate("Form1", "未定義の致命的なエラーです");
    }
}

namespace {

qint16 option(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked ? qint16(-1) : qint16(0);
}

} // namespace

Form1::Form1()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                           Qt::NoDropShadowWindowHint)
{
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("Form1"));
    // The kitten paints every pixel it shows; the rest is cut away by the shape.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    ChkSynchro = new QCheckBox(tr("同期再生(&S)"), this);
    ChkLoop = new QCheckBox(tr("繰り返し再生(&L)"), this);
    ChkOnMem = new QCheckBox(tr("メモリ上で再生(&M)"), this);
    Command2 = new QPushButton(QStringLiteral("Command2"), this);
    ChkSynchro->setGeometry(Twips::ToPixels(1800, 120, 1935, 255));
    ChkLoop->setGeometry(Twips::ToPixels(1800, 480, 1935, 255));
    ChkOnMem->setGeometry(Twips::ToPixels(1800, 840, 1935, 255));
    Command2->setGeometry(Twips::ToPixels(1800, 1200, 1215, 375));
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    // They lie beyond the 100 x 100 kitten, so nobody sees them; they are hidden as well,
    // because under X11 visible children outside the window made Qt lose track of the
    // window's position on the screen.
    for (QWidget* control : {static_cast<QWidget*>(ChkSynchro), static_cast<QWidget*>(ChkLoop),
                             static_cast<QWidget*>(ChkOnMem), static_cast<QWidget*>(Command2)})
        control->hide();

    Timer1.setInterval(2000);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
}

Form1* Form1::Create()
{
    Q_ASSERT(!g_instance);
    g_instance = new Form1;
    return g_instance;
}

Form1* Form1::Instance()
{
    return g_instance;
}

Form1::~Form1()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void Form1::Load()
{
    // 1. The eight frame shapes, before anything else.
    std::array<QImage, 8> pictures;
    for (int f = 0; f < 8; ++f)
        pictures[static_cast<size_t>(f)] = FramePicture(f);
    QString shapeError;
    if (!BuildFrameRegions(pictures, FrameRegions, &shapeError))
        qWarning("Mofurin: %s", qUtf8Printable(shapeError));

    // 2. The window takes the size of the first frame picture.
    const QImage first = FramePicture(0);
    resize(first.size());
    ShowPictureOnly(-1);

    // 3. Topmost is a window flag (set in the constructor).
    // 4. Twips per pixel of the screen.
    TwipsPerPixelX = Twips::PerPixelX();
    TwipsPerPixelY = Twips::PerPixelY();

    // 5. The top-left corner on the pointer.
    MoveToPointer();

    // 6., 9. and 10. load the hidden dialogs and may show the first-run ones; they run, in this
    // order, as soon as the kitten has been drawn (LoadDialogs).

    // 7. The server settings from vbmail.ini in the current directory.
    LoadServerFile();
    // The options beyond the original program's, from the options file: every load reads them
    // afresh, before the settings dialog shows them and the automatic check starts.
    LiveOptions::Get().set(MofurinOptions::Read(OptionsFilePath()));

    // 8. The mail library. Option 1 is the size of the text buffers the program hands it.
    MailLibrary& mail = CurrentMailLibrary();
    mail.InitializeWinSock();
    mail.SetOption(NMAIL_OPTION_BUFFER_SIZE, 8192);

    // 11. Visible at the pointer, the resting picture as a plain rectangle until the first tick.
    show();
    // While a window manager takes the new window into its frame, Qt can read the frame's
    // position before the frame has been moved and then believe the kitten stands at (0, 0)
    // although it is at the pointer. Saying where it stands once the window is managed puts
    // both in agreement again.
    const QPoint placed = pos();
    QTimer::singleShot(300, this, [this, placed] {
        if (pos() != placed && !m_pressed)
            move(placed);
    });
    Timer1.start();
    // The dialogs' text boxes need the font database, which takes fontconfig a good part of
    // the start-up to fill; nobody sees the hidden dialogs, so the kitten is drawn first. A
    // window that is never drawn (nothing exposes it) still gets its dialogs.
    m_dialogsPending = true;
    QTimer::singleShot(DialogsAtTheLatestMs, this, &Form1::LoadDialogs);
    // The sound output stays closed until a meow becomes likely (the bar or the notice opens):
    // an open output, even a paused one, keeps the sound server's client busy at rest.
}

void Form1::Unload()
{
    PlayWave(QString(), 0, 0, 0, -1);
    // Before the library drops its connections, while the idle one can still be cancelled.
    EndMailPush();
    CurrentMailLibrary().EndWinSock();
    quit(0);
}

void Form1::MoveToPointer()
{
    // Top first, then left, each the pointer's pixel times the screen's twips per pixel.
    const QPoint pointer = QCursor::pos();
    SetTop(static_cast<double>(pointer.y()) * TwipsPerPixelY);
    SetLeft(static_cast<double>(pointer.x()) * TwipsPerPixelX);
}

void Form1::ComeForward()
{
    MoveToPointer();
    show();
    raise();
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Unload();
}

void Form1::Command2_Click()
{
    PlayWave(QString(), 0, 0, 0, -1);
    const qint32 result = PlayWave(ProgramPath(u"\\Sound\\Kouka.wav"), option(ChkSynchro),
                                   option(ChkLoop), option(ChkOnMem), 0);
    // While the kitten meows on every tick, a sound output that keeps failing would open a box
    // every two seconds, and each box shuts the user out of the bar and the notice that end the
    // meowing. So a spell shows its failure once and then meows silently; a different result
    // is news and is shown again.
    const bool meowing = MeowFlag == 1;
    const bool alreadyShown = meowing && result == m_spellSoundResult;
    m_spellSoundResult = meowing ? result : 0;
    if (result == 0 || alreadyShown)
        return;
    QMessageBox box(QMessageBox::Critical, ErrorBoxTitle(), MeowErrorMessage(result),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MeowErrorBox"));
    if (meowing)
        box.setInformativeText(tr("このあとは音を出さずに鳴き続けます。鳴きやませるには"
                                  "「新着お知らせ」かコマンドバーを閉じてください。"));
    PrepareMessageBox(box);
    box.exec();
}

void Form1::Timer1_Timer()
{
    // A tick that falls due while an earlier one still runs (its sound-error box is open, or a
    // synchronous meow still plays) is skipped entirely: no screen rule, no frame. Otherwise
    // every 2 s another box would stack on the first.
    if (m_inTick)
        return;
    m_inTick = true;

    // 1. Keep the window on the screen it stands on (the one that holds its centre, else the
    //    primary one): top, then left, set on every tick.
    const QSize pictureSize = FramePicture(0).size();
    const double width = pictureSize.width() * static_cast<double>(TwipsPerPixelX);
    const double height = pictureSize.height() * static_cast<double>(TwipsPerPixelY);
    const std::vector<ScreenArea> screens = ScreenAreas();
    const ScreenArea& screen = screens[ScreenHolding(Left() + width / 2, Top() + height / 2,
                                                     screens, PrimaryScreenIndex())];
    const TwipsPosition kept = KeepOnScreenArea(Left(), Top(), width, height, screen);
    SetTop(kept.Top);
    SetLeft(kept.Left);

    // 2. Choose the frame.
    int f = 0;
    if (MeowFlag == 1) {
        // The meow picture keeps the shape of the frame shown before it. It is painted at once:
        // the meow that follows may block (a synchronous sound) while it must be on show.
        ShowPictureOnly(9);
        repaint();
        Command2_Click();
        Wait(600);
        f = 0;
    } else {
        m_spellSoundResult = 0; // the spell is over: its next failure is shown again
        if (kiHenkou >= 7)
            kiHenkou = 0;
        ++kiHenkou;
        f = kiHenkou;
    }

    // 3. Shape and picture of frame f.
    ShowFrame(f);
    m_inTick = false;
}

std::vector<ScreenArea> Form1::ScreenAreas() const
{
    std::vector<ScreenArea> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->geometry();
        areas.push_back({r.x() * static_cast<double>(TwipsPerPixelX),
                         r.y() * static_cast<double>(TwipsPerPixelY),
                         r.width() * static_cast<double>(TwipsPerPixelX),
                         r.height() * static_cast<double>(TwipsPerPixelY)});
    }
    // Without any screen the rule still has one to work with.
    if (areas.empty())
        areas.push_back({0, 0, 1024 * static_cast<double>(TwipsPerPixelX),
                         768 * static_cast<double>(TwipsPerPixelY)});
    return areas;
}

std::size_t Form1::PrimaryScreenIndex()
{
    const qsizetype index = QGuiApplication::screens().indexOf(QGuiApplication::primaryScreen());
    return index > 0 ? static_cast<std::size_t>(index) : 0;
}

double Form1::Left() const
{
    return pos().x() * static_cast<double>(TwipsPerPixelX);
}
double Form1::Top() const
{
    return pos().y() * static_cast<double>(TwipsPerPixelY);
}
double Form1::Width() const
{
    return width() * static_cast<double>(TwipsPerPixelX);
}
double Form1::Height() const
{
    return height() * static_cast<double>(TwipsPerPixelY);
}

void Form1::SetLeft(double twips)
{
    move(static_cast<int>(std::lround(twips / static_cast<double>(TwipsPerPixelX))), pos().y());
}

void Form1::SetTop(double twips)
{
    move(pos().x(), static_cast<int>(std::lround(twips / static_cast<double>(TwipsPerPixelY))));
}

void Form1::ShowFrame(int f)
{
    ShowPictureOnly(f);
    if (f >= 0 && f < 8)
        ApplyShape(f);
}

void Form1::ShowPictureOnly(int f)
{
    m_picture = f;
    update();
}

void Form1::ApplyShape(int f)
{
    if (ApplyDeviceShape(f))
        return;
    Transform.SetIdentity();
    const FrameRegion& slot = FrameRegions[static_cast<size_t>(f)];
    const std::optional<QRegion> region =
        RegionFromSlot(slot, Transform, slot.dwSize() + slot.nRgnSize());
    // A shape that cannot be re-created leaves the window unshaped until a later tick.
    if (region)
        setMask(*region);
    else
        clearMask();
}

bool Form1::ApplyDeviceShape(int f)
{
    // At a device pixel ratio above 1 the picture on show is drawn at the screen's resolution,
    // and its outline is cut at that resolution too: the stored 100 x 100 shapes, scaled up,
    // would cut every edge in steps of the ratio and leave a pale rim of the background. The
    // eight device shapes are built once per ratio and then, like the stored slots, applied as
    // they are on every tick.
    const qreal ratio = devicePixelRatioF();
    if (!(ratio > 1.0))
        return false;
    if (ratio != m_deviceShapesRatio) {
        for (int i = 0; i < 8; ++i)
            m_deviceShapes[size_t(i)] = PictureShape(DevicePicture(i, ratio));
        m_deviceShapesRatio = ratio;
    }
    // A mask Qt set before (at another ratio) would be set again over this shape when Qt
    // re-creates the window; the window keeps one shape, this one.
    if (!mask().isEmpty())
        clearMask();
    return SetDeviceShape(windowHandle(), m_deviceShapes[size_t(f)]);
}

void Form1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), FramePixmap(m_picture, devicePixelRatioF()));
    if (m_dialogsPending)
        QTimer::singleShot(0, this, &Form1::LoadDialogs);
}

void Form1::LoadDialogs()
{
    if (!m_dialogsPending)
        return;
    m_dialogsPending = false;

    // 6. The hang-up box, from the options file (reaching it loads the settings dialog).
    const int number =
        Profile::GetInt(OptionsFilePath(), QStringLiteral("EXEINI"), QStringLiteral("NUMBER"), 0);
    QCheckBox* hangUp = SetForm::Get().Check1;
    if (number == 1)
        hangUp->setChecked(true);
    else if (number == 0)
        hangUp->setChecked(false);

    // 9. and 10. First run: ask for the server, then for the account; neither blocks the load.
    if (MailSettings.Pop3Server.isEmpty())
        OptionForm::Get().ShowModeless();
    // A password the keyring did not give is saved all the same: the first mail check says why
    // it is missing, and the dialog is not the answer to that.
    IdPassForm& account = IdPassForm::Get();
    if (account.IdText->text().isEmpty() ||
        (account.PassText->text().isEmpty() && account.PasswordUnreadReason().isEmpty()))
        account.ShowModeless();
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton:
        m_pressed = true;
        m_manualDrag = false;
        m_pressGlobal = event->globalPosition().toPoint();
        m_pressWindowPos = pos();
        break;
    case Qt::RightButton:
        // The right button ends the program at once, without any unload.
        quit(0);
        break;
    default:
        break;
    }
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (m_manualDrag) {
        move(m_pressWindowPos + (global - m_pressGlobal));
        return;
    }
    if ((global - m_pressGlobal).manhattanLength() < QApplication::startDragDistance())
        return;
    // Hand the move to the window manager where that works. Under X11, Qt 6.4 tells the window
    // manager a stale pointer position, and openbox then throws the kitten across the screen,
    // so there the window follows the pointer itself (the press holds the pointer grab).
    if (QGuiApplication::platformName() != QLatin1String("xcb") && windowHandle() &&
        windowHandle()->startSystemMove()) {
        m_pressed = false;
        return;
    }
    m_manualDrag = true;
    move(m_pressWindowPos + (global - m_pressGlobal));
}

void Form1::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
        m_manualDrag = false;
    }
}

void Form1::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Form2::Open(*this);
}
