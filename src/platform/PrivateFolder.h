#pragma once

#include <QString>

// A folder that only this user can reach, for the single-instance lock and socket.
//
// The session's runtime folder (XDG_RUNTIME_DIR) where it is set and private; otherwise
// "mofurin" in the user's cache folder (XDG_CACHE_HOME, by default ~/.cache), made with mode
// 0700 on first need. Qt's own fallback, /tmp/runtime-$USER, is never used: in a shared /tmp
// another user may have made that folder, or a link by that name, first.
//
// A folder counts as private when it is a real folder (not a link), owned by this user, and
// neither readable nor writable by anybody else. Empty when no such folder can be had.
QString PrivateRuntimeFolder();

// The check itself, on one path: true when it is a private folder as above. A folder of this
// user's with looser rights is tightened to 0700 only when tighten is set.
bool IsPrivateFolder(const QString& path, bool tighten = false);
