#pragma once

#include <QWidget>

class QLineEdit;

// The notice window: a one-line report of a mail check, the message on the left and the count
// on the right. It stays above ordinary windows; closing it ends the kitten's meowing.
class MsgForm : public QWidget
{
    Q_OBJECT
public:
    // The one notice window, created (centred and topmost) when absent.
    static MsgForm& Get();
    static bool Exists();

    // What the mail check does: show the window without waiting, bring it forward, then set the
    // count box and the message box.
    static void Report(const QString& count, const QString& message);

    QLineEdit* Text1 = nullptr; // the result message; owned by this window
    QLineEdit* Text2 = nullptr; // the message count; owned by this window

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MsgForm();
};
