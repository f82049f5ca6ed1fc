#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The settings dialog "設定": buttons to the account and mail server dialogs, and the hang-up
// box, which is where the hang-up flag lives while the program runs. The flag is written to the
// options file only when the dialog is closed with its close box. Below the blue rule, the
// options the program has beyond those. One instance.
class SetForm : public QDialog
{
    Q_OBJECT
public:
    // The one dialog; created hidden and loaded (the box set from the options file) when there
    // is none.
    static SetForm& Get();
    static bool Exists();

    // Shows the dialog centred, or brings it forward when it is already visible.
    void ShowModeless();

    QPushButton* Command1 = nullptr; // owned by the dialog; "ID/PASS"
    QPushButton* Command2 = nullptr; // owned by the dialog; "POPサーバー"
    QCheckBox* Check1 = nullptr;     // owned by the dialog; the hang-up flag
    QLabel* Label1 = nullptr;        // owned by the dialog; Check1's caption
    // Below the blue rule: start at login. Its state is whether the autostart entry exists, and
    // a click writes or removes the entry at once.
    QCheckBox* AutostartCheck = nullptr; // owned by the dialog
    // The mail check's options: they take effect at once and reach the options file when the
    // dialog closes. The keyring box moves the saved password at once.
    QSpinBox* AutoCheckMinutes = nullptr; // owned by the dialog; 0: no automatic check
    QLabel* AutoCheckLabel = nullptr;     // owned by the dialog
    QLabel* AutoCheckUnit = nullptr;      // owned by the dialog
    QCheckBox* NewOnlyCheck = nullptr;    // owned by the dialog
    QCheckBox* NotifyCheck = nullptr;     // owned by the dialog
    QCheckBox* KeyringCheck = nullptr;    // owned by the dialog
    // The desktop's online account the checks use: 使わない, then each mail account the
    // service lists. The row shows only while the service answers; the dialog grows to hold it.
    QLabel* AccountLabel = nullptr;     // owned by the dialog
    QComboBox* AccountChoice = nullptr; // owned by the dialog; item data: the account's Id

    void Command1_Click();
    void Command2_Click();
    void AutostartCheck_Click();
    void KeyringCheck_Click();

    // Esc does nothing: the dialog has no cancel button, only its close box.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    SetForm();
    void Load();
    void optionsEdited();
    void accountChosen();
    void showAccounts();
};
