#pragma once

class QWidget;

// One check of the POP3 mailbox: connect, log in with the stored account, retrieve every waiting
// message, report the count in the notice window, make the kitten meow when mail waits, and hang
// up the dial-up connections when the hang-up box is ticked. The check blocks until it ends;
// while it runs, progressWindow (the menu bar) shows "メールのチェックをしています。" as its
// caption and the pointer is busy. A check asked for while one runs does nothing.
void CheckMail(QWidget* progressWindow = nullptr);
