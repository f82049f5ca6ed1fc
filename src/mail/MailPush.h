#pragma once

// Push for the automatic check as the program runs it: a PushWatcher that follows the options,
// the server field and the saved account as they change, and asks for the automatic check the
// clock starts (CheckMail with CheckKind::Automatic). Both on the user-interface thread.

// Once, at start-up, after the automatic check's clock.
void StartMailPush();
// Ends the idle connection at once (its wait cancelled, its thread joined); at the program's end.
void EndMailPush();
