#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace nmail {

// The APOP timestamp of a greeting: the first "<...@...>" in it, wherever it stands
// (RFC 1939 §7 puts it last, but servers add text after it). Its inside must hold an '@' and
// no blanks or angle brackets. Empty when the greeting has none.
QByteArray apopTimestamp(QByteArrayView greeting);

// The APOP digest: MD5 of the timestamp followed by the password, in lower-case hex.
QByteArray apopDigest(QByteArrayView timestamp, QByteArrayView password);

} // namespace nmail
