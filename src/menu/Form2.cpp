#include "menu/Form2.h"

#include "app/ProcessValues.h"
#include "mail/CheckMail.h"
#include "menu/DialUpHangUp.h"
#include "menu/Homepage.h"
#include "platform/Browser.h"
#include "platform/MessageBoxLook.h"
#include "platform/SingleWindow.h"
#include "platform/Twips.h"
#include "platform/WindowIcon.h"
#include "settings/SetForm.h"
#include "sound/PlayWave.h"
#include "sound/SoundService.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
SingleWindow<Form2> g_form;

// The bar's four coloured buttons are drawn in their own colour with a raised edge.
QPushButton* barButton(QWidget* parent, const QString& caption, int left, int width,
                       const QColor& colour)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(Twips::ToPixels(left, 0, width, 255));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: black;"
                       " border: 1px solid; border-color: #ffffff #404040 #404040 #ffffff;"
                       " padding: 0px; }"
                       "QPushButton:pressed { border-color: #404040 #ffffff #ffffff #404040; }"
                       "QPushButton:focus { outline: none; }")
            .arg(colour.name()));
    return button;
}

} // namespace

Form2::Form2(QWidget& kitten)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      m_kitten(&kitten)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("モフリちゃん"));
    setWindowIcon(CommonIcon());
    // A thin bar: the buttons are taller than the client area, so their lowest rows are cut off.
    setFixedSize(Twips::ToPixelsX(2370), Twips::ToPixelsY(225));

    // The captions have room for a few letters only: the buttons are 32 to 48 pixels wide.
    //: The bar's button that makes the kitten meow until the bar closes
    Command1 = barButton(this, tr("鳴かす"), 0, 720, QColor(192, 192, 255));
    //: The bar's button that checks the mailbox now
    Command2 = barButton(this, tr("受信"), 720, 495, QColor(192, 192, 255));
    //: The bar's button that opens the settings dialog
    Command3 = barButton(this, tr("設定"), 1200, 615, QColor(128, 128, 255));
    //: The bar's button that offers to open the maker's homepage
    Command4 = barButton(this, tr("HP"), 1800, 600, QColor(128, 255, 128));
    // The hang-up button lies wholly below the client area.
    //: Ends the dial-up connections
    Command5 = new QPushButton(tr("切断"), this);
    Command5->setGeometry(Twips::ToPixels(120, 480, 1095, 375));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3->setObjectName(QStringLiteral("Command3"));
    Command4->setObjectName(QStringLiteral("Command4"));
    Command5->setObjectName(QStringLiteral("Command5"));
    // Tab order: 受信, 設定, HP, 切断, 鳴かす.
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Command1);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form2::Command5_Click);

    // Hover captions: set when the pointer moves over a button, never restored.
    for (QPushButton* button : {Command2, Command3, Command4}) {
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
    kitten.installEventFilter(this);
}

Form2& Form2::Open(QWidget& kitten)
{
    // 鳴かす is one click away: the sound output opens now, so that the first meow starts at
    // once.
    PrepareSound();
    if (Form2* open = g_form.current()) {
        open->show();
        open->raise();
        open->activateWindow();
        return *open;
    }
    return g_form.get([&kitten] {
        auto* bar = new Form2(kitten);
        bar->Load();
        return bar;
    });
}

Form2* Form2::Instance()
{
    return g_form.current();
}

void Form2::Load()
{
    // Topmost (a window flag) and shown, then placed 1600 twips below and 100 twips to the left
    // of the kitten: top first, then left.
    const double kittenLeft = Twips::FromPixelsX(m_kitten->pos().x());
    const double kittenTop = Twips::FromPixelsY(m_kitten->pos().y());
    m_placing = true;
    move(Twips::ToPixelsX(kittenLeft - 100), Twips::ToPixelsY(kittenTop + 1600));
    m_placing = false;
    show();
    raise();
    activateWindow();
}

double Form2::Left() const
{
    return Twips::FromPixelsX(pos().x());
}
double Form2::Top() const
{
    return Twips::FromPixelsY(pos().y());
}

void Form2::PlaceKitten()
{
    if (!m_kitten || m_placing)
        return;
    const QPoint target(Twips::ToPixelsX(Left() + 100), Twips::ToPixelsY(Top() - 1600));
    if (m_kitten->pos() == target)
        return;
    m_placing = true;
    m_kitten->move(target);
    m_placing = false;
}

void Form2::moveEvent(QMoveEvent*)
{
    PlaceKitten();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_kitten && event->type() == QEvent::Move) {
        // The kitten was moved by something other than the bar (a drag, the behaviour tick's
        // screen rule): put it back once the current event is over.
        QTimer::singleShot(0, this, &Form2::PlaceKitten);
    } else if ((event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) &&
               !MailCheckRunning()) {
        // While a check runs the caption shows its progress instead of the buttons' names.
        if (watched == Command2)
            setWindowTitle(tr("メールチェック"));
        else if (watched == Command3)
            setWindowTitle(tr("各種設定"));
        else if (watched == Command4)
            setWindowTitle(tr("作者のHP"));
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::Command1_Click()
{
    MeowFlag = 1;
}

void Form2::Command2_Click()
{
    // While a check runs, 受信 offers to stop it instead of starting another.
    if (MailCheckRunning()) {
        QMessageBox ask(QMessageBox::Question, tr("確認"),
                        tr("メールのチェックをしています。中止しますか?"),
                        QMessageBox::Yes | QMessageBox::No);
        ask.setDefaultButton(QMessageBox::No);
        PrepareMessageBox(ask);
        if (ask.exec() == QMessageBox::Yes)
            CancelMailCheck();
        return;
    }
    CheckMail(this);
}

void Form2::Command3_Click()
{
    SetForm::Get().ShowModeless();
}

void Form2::Command4_Click()
{
    QMessageBox offer(QMessageBox::Question, tr("確認"),
                      tr("「ミャウ工房」作者のホームページです。ちょっと見てみますか？"),
                      QMessageBox::Yes | QMessageBox::No, this);
    offer.setObjectName(QStringLiteral("HomepageOffer"));
    PrepareMessageBox(offer);
    if (offer.exec() != QMessageBox::Yes)
        return;
    BrowserObject browser;
    browser.Visible = true;
    if (!browser.Navigate(HomepageUrl())) {
        QMessageBox failed(QMessageBox::Critical, ErrorBoxTitle(),
                           tr("ブラウザを起動できませんでした。\r\n%1").arg(HomepageUrl()),
                           QMessageBox::Ok, this);
        failed.setObjectName(QStringLiteral("BrowserErrorBox"));
        PrepareMessageBox(failed);
        failed.exec();
    }
}

void Form2::Command5_Click()
{
    HangUpAllDialUp(DefaultDialUpService());
}

void Form2::closeEvent(QCloseEvent* event)
{
    MeowFlag = 0;
    PlayWave(QString(), 0, 0, 0, -1);
    event->accept();
}
