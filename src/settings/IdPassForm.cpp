#include "settings/IdPassForm.h"

#include "app/ProcessValues.h"
#include "platform/DesktopSecretStore.h"
#include "platform/MessageBoxLook.h"
#include "platform/ReadableText.h"
#include "platform/SingleWindow.h"
#include "settings/DialogLook.h"
#include "settings/LiveOptions.h"
#include "settings/PasswordPlace.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPaths.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
SingleWindow<IdPassForm> g_instance;

// The account file holds the password in plain text: it is created readable by its owner only.
bool writeAccount(const QString& key, const QString& value)
{
    return Profile::WriteString(AccountFilePath(), ProfileSection, key, value,
                                Profile::FileMode::OwnerOnly);
}

} // namespace

IdPassForm& IdPassForm::Get()
{
    return g_instance.get([] {
        auto* dialog = new IdPassForm;
        dialog->Load();
        return dialog;
    });
}

bool IdPassForm::Exists()
{
    return g_instance.exists();
}

IdPassForm::IdPassForm()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ID,PASS"));
    DialogLook::SetUpWindow(this, 2850, 1770);

    using DialogLook::PlaceTwips;
    Label1 = new QLabel(QStringLiteral("ID"), this);
    PlaceTwips(Label1, 120, 180, 675, 255);
    IdText = new QLineEdit(this);
    PlaceTwips(IdText, 960, 120, 1632, 264);
    Label2_0 = new QLabel(QStringLiteral("Password"), this);
    PlaceTwips(Label2_0, 120, 600, 795, 255);
    PassText = new QLineEdit(this);
    PlaceTwips(PassText, 960, 600, 1632, 264);
    DialogLook::MakeStarPasswordBox(PassText);
    Check1 = new QCheckBox(this);
    PlaceTwips(Check1, 420, 1020, 255, 255);
    Label2_1 = new QLabel(tr("IDパスワードを保存する"), this);
    PlaceTwips(Label2_1, 780, 1020, 1875, 255);
    SetReadableTextColour(Label2_1, QColor(0, 0, 255));
    OKCommand = new QPushButton(QStringLiteral("OK"), this);
    PlaceTwips(OKCommand, 900, 1380, 852, 312);
    CancelCommand = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceTwips(CancelCommand, 1860, 1380, 852, 312);

    // Enter confirms wherever the focus is, except on Cancel itself, which Enter presses.
    OKCommand->setDefault(true);

    setTabOrder(Check1, CancelCommand);
    setTabOrder(CancelCommand, OKCommand);
    setTabOrder(OKCommand, PassText);
    setTabOrder(PassText, IdText);

    DialogLook::FitLabelsWhenFirstShown(this);

    connect(OKCommand, &QPushButton::clicked, this, &IdPassForm::OKCommand_Click);
    connect(CancelCommand, &QPushButton::clicked, this, &IdPassForm::CancelCommand_Click);
}

void IdPassForm::Load()
{
    // The saved account, with the password from the desktop's keyring when it lives there.
    ShowSavedAccount(PasswordPlace(DesktopSecretStore()).Read());
    Check1->setChecked(false);
    Check1->setFocus();
}

void IdPassForm::ShowSavedAccount(const PasswordPlace::Account& saved)
{
    IdText->setText(saved.id);
    PassText->setText(saved.password);
    m_keepSavedPassword = saved.passwordUnread;
    m_unreadReason = saved.message;
    // Where the password would be: an empty box is not the saved password, and says why.
    PassText->setPlaceholderText(m_unreadReason.isEmpty() ? QString() : tr("読み出せません"));
    PassText->setToolTip(m_unreadReason);
}

void IdPassForm::ShowModeless()
{
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void IdPassForm::OKCommand_Click()
{
    MailSettings.UserId = IdText->text();
    MailSettings.UserPass = PassText->text();
    if (Check1->isChecked()) {
        // Every mail check logs in with the saved account, so an account that could not be
        // saved would silently not be used: say so and keep the dialog open with the typing.
        // A password the keyring did not give is never replaced by one the user did not type.
        PasswordPlace place(DesktopSecretStore());
        const PasswordPlace::Outcome saved =
            m_keepSavedPassword && PassText->text().isEmpty()
                ? place.SaveAccountKeepingPassword(IdText->text())
                : place.SaveAccount(IdText->text(), PassText->text());
        if (!saved.done) {
            DialogLook::OpenSaveErrorBox(this, saved.message);
            return;
        }
        // Saved, but not where the user asked (the keyring did not answer): say where. The box
        // is the program's, not the dialog's, which closes now.
        if (!saved.message.isEmpty()) {
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("ID,PASS"),
                                        saved.message, QMessageBox::Ok);
            box->setAttribute(Qt::WA_DeleteOnClose);
            PrepareMessageBox(*box);
            box->open();
        }
    } else {
        // Only the flag is written; the saved account stays as it was.
        writeAccount(QStringLiteral("NAME3"), QStringLiteral("0"));
    }
    LiveOptions::Get().mailSettingsEdited();
    accept();
}

void IdPassForm::CancelCommand_Click()
{
    reject();
}

void IdPassForm::done(int result)
{
    // Forget the dialog at once, so that the next Get() loads a fresh one from the file.
    g_instance.forget(this);
    QDialog::done(result);
    deleteLater();
}
