#pragma once

#include "settings/PasswordPlace.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The account dialog "ID,PASS": the POP3 user ID and password, and whether they are saved in
// the account file. Its two boxes also hold the account last read from that file, for start-up
// and the mail check. Modeless, one instance, destroyed when it closes.
class IdPassForm : public QDialog
{
    Q_OBJECT
public:
    // The one dialog; created hidden and loaded (the boxes filled from the account file) when
    // there is none.
    static IdPassForm& Get();
    static bool Exists();

    // Shows the dialog or brings it forward; the boxes keep what they hold.
    void ShowModeless();

    // Fills the boxes with a saved account as read (by the load, or by a mail check). Where the
    // keyring did not give the saved password, the password box says so, and a confirm that
    // leaves it empty keeps the saved password as it is.
    void ShowSavedAccount(const PasswordPlace::Account& saved);
    // Why the password box is empty although a password is saved: the keyring did not answer.
    // Empty otherwise.
    QString PasswordUnreadReason() const { return m_unreadReason; }

    QLabel* Label1 = nullptr;             // owned by the dialog
    QLineEdit* IdText = nullptr;          // owned by the dialog
    QLabel* Label2_0 = nullptr;           // owned by the dialog; "Password"
    QLineEdit* PassText = nullptr;        // owned by the dialog
    QCheckBox* Check1 = nullptr;          // owned by the dialog; the save box
    QLabel* Label2_1 = nullptr;           // owned by the dialog; the save box's caption
    QPushButton* OKCommand = nullptr;     // owned by the dialog
    QPushButton* CancelCommand = nullptr; // owned by the dialog

    void OKCommand_Click();
    void CancelCommand_Click();

    void done(int result) override;

private:
    IdPassForm();
    void Load();

    bool m_keepSavedPassword = false; // the keyring did not give the saved password
    QString m_unreadReason;
};
