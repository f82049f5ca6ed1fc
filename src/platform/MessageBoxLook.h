#pragma once

class QMessageBox;
class QString;

// Makes a message box behave as every box of the program must:
// - its text is plain text: much of what the boxes show comes from outside (a server's reply, a
//   system error, a file name), and rich text would render a hostile server's markup;
// - while it is open it stays above the kitten, the bar and the notice, which all stay above
//   other windows, so a box that waits for the user is never hidden beneath them;
// - the pointer over it is the arrow, even while the program shows a busy pointer.
// Call it after the text is set and before the box is shown (exec() or open()).
void PrepareMessageBox(QMessageBox& box);

// The title of every box that reports a failure: 「エラー」, in the user's language.
QString ErrorBoxTitle();
