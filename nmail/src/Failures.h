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

} // namespace nmail
