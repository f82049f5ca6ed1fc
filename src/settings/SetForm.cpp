#include "settings/SetForm.h"

#include "platform/DesktopSecretStore.h"
#include "platform/OnlineAccounts.h"
#include "platform/ReadableText.h"
#include "platform/SingleWindow.h"
#include "platform/Twips.h"
#include "settings/Autostart.h"
#include "settings/DialogLook.h"
#include "settings/IdPassForm.h"
#include "settings/LiveOptions.h"
#include "settings/OptionForm.h"
#include "settings/PasswordPlace.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPaths.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {
SingleWindow<SetForm> g_instance;
const QColor Blue(0, 0, 255);
const QString NumberKey = QStringLiteral("NUMBER");
constexpr int ClientWidth = 3120;
constexpr int ClientHeight = 2985;
// With the row of the desktop's accounts: its caption, then the list under it.
constexpr int ClientHeightWithAccounts = 3675;
} // namespace

SetForm& SetForm::Get()
{
    return g_instance.get([] {
        auto* dialog = new SetForm;
        dialog->Load();
        return dialog;
    });
}

bool SetForm::Exists()
{
    return g_instance.exists();
}

SetForm::SetForm()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("設定"));
    // 1065 twips hold the buttons, the hang-up box and the blue rule; the rows below the rule
    // hold the newer options.
    DialogLook::SetUpWindow(this, ClientWidth, ClientHeight);

    using DialogLook::PlaceTwips;
    Command1 = new QPushButton(QStringLiteral("ID/PASS"), this);
    PlaceTwips(Command1, 120, 120, 1455, 375);
    DialogLook::SetButtonColour(Command1, QColor(255, 128, 0));
    Command2 = new QPushButton(tr("POPサーバー"), this);
    PlaceTwips(Command2, 1560, 120, 1455, 375);
    DialogLook::SetButtonColour(Command2, QColor(128, 128, 255));
    Check1 = new QCheckBox(this);
    PlaceTwips(Check1, 120, 600, 255, 255);
    QPalette grey = Check1->palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    Check1->setPalette(grey);
    Check1->setAutoFillBackground(true);
    Label1 = new QLabel(tr("新着がなければ接続を切断する。"), this);
    PlaceTwips(Label1, 480, 645, 2535, 255);
    SetReadableTextColour(Label1, Blue);

    AutostartCheck = new QCheckBox(tr("ログイン時に起動する"), this);
    PlaceTwips(AutostartCheck, 120, 1110, 2895, 255);
    SetReadableTextColour(AutostartCheck, Blue);

    AutoCheckLabel = new QLabel(tr("自動チェック"), this);
    PlaceTwips(AutoCheckLabel, 120, 1455, 1035, 255);
    SetReadableTextColour(AutoCheckLabel, Blue);
    AutoCheckMinutes = new QSpinBox(this);
    AutoCheckMinutes->setRange(0, MofurinOptions::MaxAutoCheckMinutes);
    PlaceTwips(AutoCheckMinutes, 1200, 1410, 960, 330);
    AutoCheckUnit = new QLabel(tr("分ごと"), this);
    PlaceTwips(AutoCheckUnit, 2235, 1455, 825, 255);
    SetReadableTextColour(AutoCheckUnit, Blue);
    NewOnlyCheck = new QCheckBox(tr("新着だけを知らせる"), this);
    PlaceTwips(NewOnlyCheck, 120, 1830, 2895, 255);
    SetReadableTextColour(NewOnlyCheck, Blue);
    NotifyCheck = new QCheckBox(tr("差出人と件名を通知する"), this);
    PlaceTwips(NotifyCheck, 120, 2190, 2895, 255);
    SetReadableTextColour(NotifyCheck, Blue);
    KeyringCheck = new QCheckBox(tr("パスワードをキーリングへ"), this);
    PlaceTwips(KeyringCheck, 120, 2550, 2895, 255);
    SetReadableTextColour(KeyringCheck, Blue);
    AccountLabel = new QLabel(tr("デスクトップのアカウントを使う"), this);
    PlaceTwips(AccountLabel, 120, 2910, 2895, 255);
    SetReadableTextColour(AccountLabel, Blue);
    AccountChoice = new QComboBox(this);
    PlaceTwips(AccountChoice, 120, 3225, 2895, 330);
    AccountLabel->hide();
    AccountChoice->hide();

    // No default button: Enter on the check box must not open another dialog.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);

    setTabOrder(Check1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, AutostartCheck);
    setTabOrder(AutostartCheck, AutoCheckMinutes);
    setTabOrder(AutoCheckMinutes, NewOnlyCheck);
    setTabOrder(NewOnlyCheck, NotifyCheck);
    setTabOrder(NotifyCheck, KeyringCheck);
    setTabOrder(KeyringCheck, AccountChoice);

    DialogLook::FitLabelsWhenFirstShown(this);

    connect(Command1, &QPushButton::clicked, this, &SetForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &SetForm::Command2_Click);
    connect(AutostartCheck, &QCheckBox::clicked, this, &SetForm::AutostartCheck_Click);
    connect(AutoCheckMinutes, &QSpinBox::valueChanged, this, &SetForm::optionsEdited);
    connect(NewOnlyCheck, &QCheckBox::toggled, this, &SetForm::optionsEdited);
    connect(NotifyCheck, &QCheckBox::toggled, this, &SetForm::optionsEdited);
    connect(KeyringCheck, &QCheckBox::clicked, this, &SetForm::KeyringCheck_Click);
    connect(AccountChoice, &QComboBox::activated, this, &SetForm::accountChosen);
    // The list follows the desktop while the dialog is open, and the choice follows a check
    // that gave up an account that is gone.
    AccountSource& accounts = DesktopAccounts();
    connect(&accounts, &AccountSource::accountsChanged, this, &SetForm::showAccounts);
    connect(&LiveOptions::Get(), &LiveOptions::changed, this, &SetForm::showAccounts);
    accounts.watch();
}

void SetForm::Load()
{
    // Only 1 and 0 change the box; any other value leaves it as it is (clear when fresh).
    const int number = Profile::GetInt(OptionsFilePath(), ProfileSection, NumberKey, 0);
    if (number == 1)
        Check1->setChecked(true);
    else if (number == 0)
        Check1->setChecked(false);
    AutostartCheck->setChecked(Autostart::IsOn());
    // A copy, and the boxes themselves kept quiet: each one's change would otherwise hand the
    // live options the boxes not yet set, before those boxes are given their values.
    const MofurinOptions options = LiveOptions::Get().value();
    {
        const QSignalBlocker quietMinutes(AutoCheckMinutes);
        const QSignalBlocker quietNewOnly(NewOnlyCheck);
        const QSignalBlocker quietNotify(NotifyCheck);
        AutoCheckMinutes->setValue(options.autoCheckMinutes);
        NewOnlyCheck->setChecked(options.newOnly);
        NotifyCheck->setChecked(options.notify);
    }
    KeyringCheck->setChecked(PasswordPlace(DesktopSecretStore()).KeyringOn());
    showAccounts();
    Check1->setFocus();
}

void SetForm::ShowModeless()
{
    if (!isVisible()) {
        DialogLook::CentreOnScreen(this);
        show();
    }
    raise();
    activateWindow();
}

void SetForm::Command1_Click()
{
    IdPassForm::Get().ShowModeless();
}

void SetForm::Command2_Click()
{
    OptionForm::Get().ShowModeless();
}

void SetForm::AutostartCheck_Click()
{
    QString error;
    const bool on = AutostartCheck->isChecked();
    if (on ? Autostart::TurnOn(&error) : Autostart::TurnOff(&error))
        return;
    // The box keeps showing what is on disk.
    AutostartCheck->setChecked(Autostart::IsOn());
    DialogLook::OpenSaveErrorBox(this, error);
}

void SetForm::optionsEdited()
{
    MofurinOptions options = LiveOptions::Get().value();
    options.autoCheckMinutes = AutoCheckMinutes->value();
    options.newOnly = NewOnlyCheck->isChecked();
    options.notify = NotifyCheck->isChecked();
    LiveOptions::Get().set(options);
}

void SetForm::accountChosen()
{
    MofurinOptions options = LiveOptions::Get().value();
    const QString id = AccountChoice->currentData().toString();
    // 使わない keeps a value this program does not use (another program's, a hand edit).
    if (id != options.desktopAccountId())
        options.account = MofurinOptions::DesktopAccountValue(id);
    LiveOptions::Get().set(options);
}

// The list as the service has it, the chosen account selected. An account chosen earlier that
// the list lacks stays listed by its Id: the next check says why it can no longer be used.
void SetForm::showAccounts()
{
    const AccountSource& source = DesktopAccounts();
    const QString chosen = LiveOptions::Get().value().desktopAccountId();
    const QSignalBlocker quiet(AccountChoice);
    AccountChoice->clear();
    //: The account list's first entry: no desktop account is used
    AccountChoice->addItem(tr("使わない"), QString());
    for (const OnlineAccount& account : source.accounts()) {
        AccountChoice->addItem(account.provider.isEmpty()
                                   ? account.email
                                   : QStringLiteral("%1 (%2)").arg(account.email, account.provider),
                               account.id);
    }
    if (!chosen.isEmpty() && AccountChoice->findData(chosen) < 0)
        AccountChoice->addItem(chosen, chosen);
    AccountChoice->setCurrentIndex(qMax(0, AccountChoice->findData(chosen)));

    const bool shown = source.available();
    if (shown == AccountChoice->isVisibleTo(this))
        return;
    AccountLabel->setVisible(shown);
    AccountChoice->setVisible(shown);
    setFixedSize(Twips::ToPixelsX(ClientWidth),
                 Twips::ToPixelsY(shown ? ClientHeightWithAccounts : ClientHeight));
}

void SetForm::KeyringCheck_Click()
{
    const PasswordPlace::Outcome moved =
        PasswordPlace(DesktopSecretStore()).SetKeyringOn(KeyringCheck->isChecked());
    // The box keeps showing where the password is.
    if (!moved.done)
        KeyringCheck->setChecked(!KeyringCheck->isChecked());
    if (!moved.message.isEmpty())
        DialogLook::OpenSaveErrorBox(this, moved.message);
}

void SetForm::reject() {}

void SetForm::closeEvent(QCloseEvent* event)
{
    // The flag reaches the options file here and nowhere else; a failed write is not reported.
    Profile::WriteString(OptionsFilePath(), ProfileSection, NumberKey,
                         Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // The newer options in their own section, which the original program never reads; a file
    // that already says the same is left untouched.
    const QString optionsFile = OptionsFilePath();
    if (!(MofurinOptions::Read(optionsFile) == LiveOptions::Get().value()))
        LiveOptions::Get().value().Write(optionsFile);
    g_instance.forget(this);
    // QDialog's own close handling would call reject(), which does nothing here.
    QWidget::closeEvent(event);
}

void SetForm::showEvent(QShowEvent* event)
{
    // 0 reads "しない" (no automatic check). The words are given when the dialog first shows:
    // a spin box lays its text out as soon as it has one, and Japanese text would load the
    // Japanese font at start-up, where the dialog is loaded hidden.
    if (AutoCheckMinutes->specialValueText().isEmpty())
        AutoCheckMinutes->setSpecialValueText(tr("しない"));
    QDialog::showEvent(event);
}

void SetForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // Line1: a blue rule from (0, 960) to (3120, 960) twips, one pixel thick; lightened, as the
    // blue texts are, where the dialog's background is dark.
    QPainter painter(this);
    painter.setPen(QPen(ReadableOn(Blue, palette().color(QPalette::Window)), 1));
    const int y = Twips::ToPixelsY(960);
    painter.drawLine(0, y, Twips::ToPixelsX(3120) - 1, y);
}
