#include "settings/OptionForm.h"

#include "app/ProcessValues.h"
#include "platform/ReadableText.h"
#include "platform/SingleWindow.h"
#include "settings/DialogLook.h"
#include "settings/LiveOptions.h"
#include "settings/ServerFile.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
SingleWindow<OptionForm> g_instance;
const QColor Blue(0, 0, 255);
} // namespace

OptionForm& OptionForm::Get()
{
    return g_instance.get([] {
        auto* dialog = new OptionForm;
        dialog->Load();
        return dialog;
    });
}

bool OptionForm::Exists()
{
    return g_instance.exists();
}

OptionForm::OptionForm()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("サーバー"));
    DialogLook::SetUpWindow(this, 2910, 2970);
    setWindowFlag(Qt::WindowStaysOnTopHint);

    using DialogLook::PlaceTwips;
    Label1 = new QLabel(tr("SMTPサーバー名(&S)"), this);
    PlaceTwips(Label1, 120, 120, 1575, 195);
    SmtpText = new QLineEdit(this);
    PlaceTwips(SmtpText, 120, 360, 2652, 264);
    Label2 = new QLabel(tr("POP3サーバー名(&P)"), this);
    PlaceTwips(Label2, 120, 720, 1635, 195);
    Pop3Text = new QLineEdit(this);
    PlaceTwips(Pop3Text, 120, 960, 2652, 264);
    Label3 = new QLabel(tr("メールアドレス(&M)"), this);
    PlaceTwips(Label3, 120, 1320, 1635, 195);
    MailText = new QLineEdit(this);
    PlaceTwips(MailText, 120, 1560, 2652, 264);
    ApopCheck = new QCheckBox(tr("APOP を使用する(&A)"), this);
    PlaceTwips(ApopCheck, 480, 2040, 2172, 252);
    //: Saves the server settings and closes the dialog
    OkCommand = new QPushButton(tr("設定"), this);
    PlaceTwips(OkCommand, 660, 2520, 972, 372);
    CancelCommand = new QPushButton(tr("中止"), this);
    PlaceTwips(CancelCommand, 1860, 2520, 912, 372);

    Label1->setBuddy(SmtpText);
    Label2->setBuddy(Pop3Text);
    Label3->setBuddy(MailText);
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Label3), static_cast<QWidget*>(ApopCheck)})
        SetReadableTextColour(w, Blue);

    // There is no default button: Enter in a text box must not confirm. QDialog would otherwise
    // make the first button the default.
    OkCommand->setAutoDefault(false);
    CancelCommand->setAutoDefault(false);

    setTabOrder(MailText, CancelCommand);
    setTabOrder(CancelCommand, OkCommand);
    setTabOrder(OkCommand, ApopCheck);
    setTabOrder(ApopCheck, Pop3Text);
    setTabOrder(Pop3Text, SmtpText);

    DialogLook::FitLabelsWhenFirstShown(this);

    connect(OkCommand, &QPushButton::clicked, this, &OptionForm::OkCommand_Click);
    connect(CancelCommand, &QPushButton::clicked, this, &OptionForm::CancelCommand_Click);
}

void OptionForm::Load()
{
    DialogLook::CentreOnScreen(this);
    show();
    raise();
    activateWindow();

    SmtpText->setText(MailSettings.SmtpServer);
    Pop3Text->setText(MailSettings.Pop3Server);
    MailText->setText(MailSettings.MailAddress);
    // Only a hand-edited server file holds a value other than 0 or 1; the mail check logs in
    // with APOP for every non-zero value, so the box shows exactly that.
    ApopCheck->setChecked(MailSettings.UseApop != 0);
    MailText->setFocus();
}

void OptionForm::ShowModeless()
{
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void OptionForm::OkCommand_Click()
{
    MailSettingsRecord edited = MailSettings;
    edited.SmtpServer = SmtpText->text();
    edited.Pop3Server = Pop3Text->text();
    edited.MailAddress = MailText->text();
    edited.UseApop = ApopCheck->isChecked() ? 1 : 0;

    // A server file that cannot be written would silently lose the settings at the next start;
    // say so and keep the dialog open, with everything typed, so the user can retry or cancel.
    // The record changes only once the file holds the same values: a cancel after a failed save
    // leaves the server the next check connects to as it was.
    QString error;
    if (!SaveServerFile(edited, &error)) {
        DialogLook::OpenSaveErrorBox(this, tr("サーバー設定を保存できませんでした。\n") + error);
        return;
    }
    MailSettings = edited;
    LiveOptions::Get().mailSettingsEdited();
    accept();
}

void OptionForm::CancelCommand_Click()
{
    reject();
}

void OptionForm::done(int result)
{
    // Forget the dialog at once, so that the next Get() loads a fresh one even before this one
    // is deleted.
    g_instance.forget(this);
    QDialog::done(result);
    deleteLater();
}
