#pragma once

class QWidget;

// Who asked for a check: the user (受信), or the clock of the automatic check.
enum class CheckKind
{
    ByUser,
    Automatic,
};

// One check of the POP3 mailbox: connect, log in with the saved account, walk the waiting
// messages, then report in the notice window, make the kitten meow when mail waits, and hang
// up the dial-up connections when the hang-up box is ticked. The check runs on a worker
// thread: this returns at once, and the kitten, the bar and the dialogs stay alive while the
// network is waited on. While it runs, progressWindow (the menu bar) shows "メールのチェック
// をしています。" with the message being read in its caption. A check asked for while one runs
// does nothing.
//
// An automatic check reports only mail to report, never takes the keyboard from the user's
// work, and shows a failure once until a check succeeds again.
void CheckMail(QWidget* progressWindow = nullptr, CheckKind kind = CheckKind::ByUser);

bool MailCheckRunning();
// Ends the running check as soon as it can; it reports nothing.
void CancelMailCheck();

// Starts the automatic check's clock, which follows the option as the settings dialog changes
// it. Once, at start-up.
void StartAutoCheck();
// Rests the clock while push listens (held), and starts its count again from now when push
// stops listening.
void HoldAutoCheck(bool held);
