#pragma once

#include <QString>

// The text up to, not including, its first NUL character; the text itself when it has none.
QString TrimNull(const QString& text);
