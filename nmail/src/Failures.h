#pragma once

#include "Result.h"

namespace nmail {

// Every way a call of the library fails, each with its stable result code and the one
// sentence the user reads, in the user's language; the server's or the system's own words
// follow it.
enum class Why
{
    // Arguments and handles
    BadHandle,
    BadOptionValue,
    UnknownOption,
    NoHostName,
    BadHostName,
    SessionInUse,
    BadAccountText,
    AlreadyLoggedIn,
    NotLoggedIn,
    NoSuchMessage,
    SizeUnknown,
    // Reaching the server
    HostNotFound,
    LookupTimedOut,
    ConnectFailed,
    ConnectTimedOut,
    TlsFailed,
    CertificateUntrusted,
    CertificateChanged,
    StlsRefused,
    TlsMissing,
    NoGreetingInTime,
    ClosedBeforeGreeting,
    GreetingRefused,
    // Logging in
    LoginRefused,
    NoApopTimestamp,
    // The mailbox
    StatRefused,
    BadStat,
    TopRefused,
    ListRefused,
    BadList,
    UidlRefused,
    BadUidl,
    RetrieveRefused,
    MessageTooLarge,
    BufferTooSmall,
    // The stream
    ReplyTimedOut,
    ConnectionLost,
    Cancelled, // the caller ended the connection (NMailPop3Cancel)
    NotConnected,
    LineTooLong,
    ReplyTooLarge,
    BadReply,
    // IMAP
    StartTlsRefused,
    StartTlsMissing,
    LoginDisabled,
    BearerNeedsTls,
    NoBearerMechanism,
    TokenRefused,
    ExamineRefused,
    SearchRefused,
    FetchRefused,
    IdleRefused,
    ServerBye,
};

Failure failure(Why why, const QString& detail = {});

// Outside text (a server's words, a certificate's name) as the user is shown it: on one line,
// control characters and line ends as spaces, and at most maxLength characters, a cut marked
// with "…". A few lines of it say enough; more would only grow a box past the screen.
QString shownText(const QString& text, qsizetype maxLength = 300);

} // namespace nmail
