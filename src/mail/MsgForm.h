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
    // count box and the message box. A report the user did not ask for (the automatic check)
    // shows the window above the others without taking the keyboard from the user's work.
    static void Report(const QString& count, const QString& message, bool activate = true);
    // The message of a check that found nothing, which the window also shows before any report.
    static QString NoNewMail();

    QLineEdit* Text1 = nullptr; // the result message; owned by this window
    QLineEdit* Text2 = nullptr; // the message count; owned by this window

protected:
    void closeEvent(QCloseEvent* event) override;
    // The tooltip (QWidget::setToolTip) holds plain text, the senders and subjects of the new
    // mail, and is shown as written: never read as markup.
    bool event(QEvent* event) override;

private:
    MsgForm();
};
