#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The mail server dialog "サーバー": edits SmtpServer, Pop3Server, MailAddress and UseApop of
// MailSettings; confirming copies them in and rewrites the server file. Modeless, topmost,
// one instance, destroyed when it closes.
class OptionForm : public QDialog
{
    Q_OBJECT
public:
    // The one dialog; created and loaded (which centres it, shows it topmost and fills it from
    // MailSettings) when there is none.
    static OptionForm& Get();
    static bool Exists();

    // Shows the dialog or brings the open one forward; it is not filled again.
    void ShowModeless();

    QLabel* Label1 = nullptr;             // owned by the dialog
    QLineEdit* SmtpText = nullptr;        // owned by the dialog
    QLabel* Label2 = nullptr;             // owned by the dialog
    QLineEdit* Pop3Text = nullptr;        // owned by the dialog
    QLabel* Label3 = nullptr;             // owned by the dialog
    QLineEdit* MailText = nullptr;        // owned by the dialog
    QCheckBox* ApopCheck = nullptr;       // owned by the dialog
    QPushButton* OkCommand = nullptr;     // owned by the dialog
    QPushButton* CancelCommand = nullptr; // owned by the dialog

    void OkCommand_Click();
    void CancelCommand_Click();

    void done(int result) override;

private:
    OptionForm();
    void Load();
};
