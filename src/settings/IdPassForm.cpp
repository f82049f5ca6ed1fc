#include "settings/IdPassForm.h"

#include "settings/AtomicFile.h"
#include "settings/DialogLook.h"
#include "settings/MailSettings.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPaths.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QPointer<IdPassForm> g_instance;

// The account file holds the password in plain text: it is created readable by its owner only.
bool writeAccount(const QString& key, const QString& value)
{
    return Profile::WriteString(AccountFilePath(), ProfileSection, key, value,
                                Profile::FileMode::OwnerOnly);
}

// Saves the ID and the password as a pair; empty when saved, otherwise the reason for the user.
// Values the file cannot hold are refused before anything is written, and when the password
// cannot be written after the ID was, the file's old bytes are put back: the file never pairs a
// new ID with the old password, which the next mail check would log in with.
QString saveAccount(const QString& id, const QString& password)
{
    if (!Profile::CanStoreValue(id) || !Profile::CanStoreValue(password))
        return QStringLiteral("IDかパスワードに、保存できない文字(改行、またはシフトJISにない文字)"
                              "が含まれています。");
    const QString path = AccountFilePath();
    QByteArray before;
    const SettingsIo::ReadStatus status =
        SettingsIo::ReadSettingsFile(path, Profile::MaxFileSize, before);
    const QString failed = QStringLiteral("IDとパスワードを保存できませんでした。\n") +
                           QFileInfo(path).absoluteFilePath();
    if (!writeAccount(QStringLiteral("NAME"), id))
        return failed;
    if (!writeAccount(QStringLiteral("NAME2"), password)) {
        if (status == SettingsIo::ReadStatus::Ok)
            SettingsIo::WriteFileAtomically(path, before, SettingsIo::NewFileMode::OwnerOnly);
        else if (status == SettingsIo::ReadStatus::Missing && QFileInfo(path).isFile())
            QFile::remove(path); // created by the NAME write above
        return failed;
    }
    // Nothing reads NAME3 back; the account itself is saved either way.
    writeAccount(QStringLiteral("NAME3"), QStringLiteral("1"));
    return {};
}
} // namespace

IdPassForm& IdPassForm::Get()
{
    if (!g_instance) {
        g_instance = new IdPassForm;
        g_instance->Load();
    }
    return *g_instance;
}

bool IdPassForm::Exists()
{
    return !g_instance.isNull();
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
    Label2_1 = new QLabel(QStringLiteral("IDパスワードを保存する"), this);
    PlaceTwips(Label2_1, 780, 1020, 1875, 255);
    DialogLook::SetTextColour(Label2_1, QColor(0, 0, 255));
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
    const QString path = AccountFilePath();
    IdText->setText(Profile::GetString(path, ProfileSection, QStringLiteral("NAME")));
    PassText->setText(Profile::GetString(path, ProfileSection, QStringLiteral("NAME2")));
    Check1->setChecked(false);
    Check1->setFocus();
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
        // Every mail check logs in with the account in the file, so an account that could not
        // be saved would silently not be used: say so and keep the dialog open with the typing.
        if (const QString error = saveAccount(IdText->text(), PassText->text()); !error.isEmpty()) {
            DialogLook::OpenSaveErrorBox(this, error);
            return;
        }
    } else {
        // Only the flag is written; the saved account stays as it was.
        writeAccount(QStringLiteral("NAME3"), QStringLiteral("0"));
    }
    accept();
}

void IdPassForm::CancelCommand_Click()
{
    reject();
}

void IdPassForm::done(int result)
{
    // Forget the dialog at once, so that the next Get() loads a fresh one from the file.
    if (g_instance == this)
        g_instance = nullptr;
    QDialog::done(result);
    deleteLater();
}
