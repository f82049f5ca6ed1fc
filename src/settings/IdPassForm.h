#pragma once

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
};
