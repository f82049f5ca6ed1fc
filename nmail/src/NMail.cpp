// The exported C functions: a table of connections by handle (each POP3 or IMAP), the
// options, and the text of each thread's last failure. Each function checks its arguments, runs the
// session and turns its result into a number the caller can keep.
#include "nmail/NMail.h"

#include "Cp932.h"
#include "Failures.h"
#include "HostAddress.h"
#include "MimeHeader.h"
#include "Pop3Session.h"
#include "Trust.h"
#include "imap/ImapSession.h"

#include <QHash>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

using nmail::Failure;
using nmail::Pop3Session;
using nmail::imap::ImapSession;

// The size reported for a message when the size call failed: the message is then skipped.
constexpr qint64 SizeFailed = -1;

// A retrieved message may run past its reported size by this much before the rest is
// dropped unread into memory: some servers count bare LF line ends as one byte but send CRLF.
constexpr qsizetype RetrieveMargin = 64 * 1024;

// A handle becomes a POP3 or an IMAP connection when it connects. Both sessions exist from the
// start, so a cancel from another thread reaches whichever the connect picks, at any step.
struct Connection
{
    explicit Connection(nmail::Timeouts timeouts) : session(timeouts), imap(timeouts) {}
    Pop3Session session;
    ImapSession imap;
    QHash<qint64, qint64> reportedSizes; // the last result of the size call per message
    // What UIDL answered, asked once per session: the listing, or why there is none.
    std::optional<nmail::Result<QList<QByteArray>>> uniqueIds;
};

struct Library
{
    std::mutex mutex; // guards everything below
    std::map<int32_t, std::shared_ptr<Connection>> connections;
    int32_t nextHandle = 0;
    qsizetype bufferSize = 8192;
    nmail::Timeouts timeouts;
};

Library& library()
{
    static Library instance;
    return instance;
}

// The last failure is kept per thread, as errno is: a check on one thread and the push watcher
// on another each read their own reason, never the other's.
struct LastFailure
{
    QString text;
    int32_t result = NMAIL_OK;
    std::optional<Failure::Certificate> certificate;
};

LastFailure& lastFailure()
{
    thread_local LastFailure last;
    return last;
}

int32_t fail(const Failure& failure)
{
    LastFailure& last = lastFailure();
    last.text = failure.message;
    last.result = failure.code;
    last.certificate = failure.certificate;
    return failure.code;
}

int32_t fail(nmail::Why why)
{
    return fail(nmail::failure(why));
}

int32_t unknownHandle()
{
    return fail(nmail::Why::BadHandle);
}

std::shared_ptr<Connection> find(int32_t handle)
{
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    const auto it = lib.connections.find(handle);
    return it == lib.connections.end() ? nullptr : it->second;
}

qsizetype bufferSize()
{
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    return lib.bufferSize;
}

// Forgets a handle whose connect failed, as NMailPop3Connect leaves none.
void release(int32_t handle, const std::shared_ptr<Connection>& connection)
{
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    if (const auto it = lib.connections.find(handle);
        it != lib.connections.end() && it->second == connection) {
        lib.connections.erase(it);
    }
}

bool isImap(const Connection& connection)
{
    return connection.imap.state() != ImapSession::State::Disconnected;
}

// Fills the four header texts; any of them may be null.
void fillHeaderTexts(QByteArrayView header, char* subject, char* date, char* from, char* headerOut)
{
    const qsizetype size = bufferSize();
    const auto decoded = [&](const char* name) {
        return nmail::decodeHeaderText(nmail::headerField(header, name));
    };
    nmail::copyCallerText(decoded("Subject"), subject, size);
    nmail::copyCallerText(decoded("Date"), date, size);
    nmail::copyCallerText(decoded("From"), from, size);
    // The header itself goes out as the server sent it, in either encoding.
    nmail::copyCp932(header, headerOut, size);
}

} // namespace

extern "C" {

int32_t NMailInitializeWinSock()
{
    return NMAIL_OK;
}

int32_t NMailSetOption(int32_t option, int32_t value)
{
    if (value < 1) {
        return fail(nmail::Why::BadOptionValue);
    }
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    switch (option) {
    case NMAIL_OPTION_BUFFER_SIZE:
        lib.bufferSize = value;
        return NMAIL_OK;
    case NMAIL_OPTION_CONNECT_TIMEOUT:
        lib.timeouts.connectMs = value;
        return NMAIL_OK;
    case NMAIL_OPTION_REPLY_TIMEOUT:
        lib.timeouts.replyMs = value;
        return NMAIL_OK;
    case NMAIL_OPTION_TEXT_ENCODING:
        if (value != NMAIL_TEXT_CP932 && value != NMAIL_TEXT_UTF8) {
            return fail(nmail::Why::BadOptionValue);
        }
        nmail::setCallerUsesUtf8(value == NMAIL_TEXT_UTF8);
        return NMAIL_OK;
    default:
        return fail(nmail::failure(nmail::Why::UnknownOption));
    }
}

int32_t NMailEndWinSock()
{
    std::map<int32_t, std::shared_ptr<Connection>> open;
    {
        Library& lib = library();
        std::lock_guard lock(lib.mutex);
        open.swap(lib.connections);
    }
    // Dropping the connections closes their sockets without a word to the servers: this runs
    // at shutdown, which must not wait on them.
    return NMAIL_OK;
}

int32_t NMailPop3NewHandle()
{
    Library& lib = library();
    std::lock_guard lock(lib.mutex);
    auto connection = std::make_shared<Connection>(lib.timeouts);
    // Handles count up and wrap within the non-negative range, skipping ones still in use.
    int32_t handle = lib.nextHandle;
    while (lib.connections.count(handle)) {
        handle = handle == INT32_MAX ? 0 : handle + 1;
    }
    lib.nextHandle = handle == INT32_MAX ? 0 : handle + 1;
    lib.connections.emplace(handle, std::move(connection));
    return handle;
}

int32_t NMailPop3ConnectHandle(int32_t handle, const char* host)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    if (connection->session.state() != Pop3Session::State::Disconnected || isImap(*connection)) {
        return fail(nmail::Why::SessionInUse);
    }
    std::optional<nmail::HostAddress> address;
    Failure why;
    if (!host) {
        why = nmail::failure(nmail::Why::NoHostName);
    } else if (address = nmail::parseHostAddress(nmail::fromCallerText(host)); !address) {
        why = nmail::failure(nmail::Why::BadHostName, nmail::fromCallerText(host));
    } else if (auto opened = connection->session.open(*address); !opened.ok()) {
        why = opened.failure();
    } else {
        return NMAIL_OK;
    }
    release(handle, connection);
    return fail(why);
}

int32_t NMailPop3Connect(const char* host)
{
    const int32_t handle = NMailPop3NewHandle();
    return NMailPop3ConnectHandle(handle, host) == NMAIL_OK ? handle : NMAIL_ERR_CONNECT;
}

int32_t NMailPop3Authenticate(int32_t handle, const char* userId, const char* password,
                              int32_t apop)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    // POP3 sends the account as bytes, in code page 932 as it always has; a caller speaking
    // UTF-8 has its text sent so too, or as UTF-8 when code page 932 cannot hold it.
    const auto wire = [](const char* text) {
        if (!text || !nmail::callerUsesUtf8()) {
            return QByteArray(text);
        }
        const QString decoded = nmail::fromCallerText(text);
        return FitsCodePage(decoded) ? ToCodePage(decoded) : decoded.toUtf8();
    };
    const auto count = connection->session.login(wire(userId), wire(password), apop != 0);
    if (!count.ok()) {
        return fail(count.failure());
    }
    return int32_t(count.value());
}

int32_t NMailPop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date,
                               char* from, char* header, int32_t /*flag*/)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const auto lines = connection->session.top(mailNo);
    if (!lines.ok()) {
        return fail(lines.failure());
    }
    fillHeaderTexts(lines.value(), subject, date, from, header);
    return NMAIL_OK;
}

int32_t NMailPop3GetMailSize(int32_t handle, int32_t mailNo)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const auto size = connection->session.list(mailNo);
    if (!size.ok()) {
        connection->reportedSizes.insert(mailNo, SizeFailed);
        return fail(size.failure());
    }
    connection->reportedSizes.insert(mailNo, size.value());
    return int32_t(size.value());
}

int32_t NMailPop3GetUidl(int32_t handle, int32_t mailNo, char* buffer)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    if (!connection->uniqueIds) {
        connection->uniqueIds = connection->session.uidl();
        if (!connection->uniqueIds->ok() &&
            connection->uniqueIds->failure().code != NMAIL_ERR_UIDL_REFUSED &&
            connection->uniqueIds->failure().code != NMAIL_ERR_PROTOCOL) {
            // Not the server's answer but a fault of the moment (not logged in, a lost
            // connection): nothing worth keeping.
            const Failure fault = connection->uniqueIds->failure();
            connection->uniqueIds.reset();
            return fail(fault);
        }
    }
    const auto& listing = *connection->uniqueIds;
    if (!listing.ok()) {
        return fail(listing.failure());
    }
    if (mailNo < 1 || mailNo > listing.value().size()) {
        return fail(nmail::failure(nmail::Why::NoSuchMessage, QString::number(mailNo)));
    }
    if (nmail::copyBytes(listing.value()[mailNo - 1], buffer, bufferSize()).cut) {
        return fail(nmail::Why::BufferTooSmall);
    }
    return NMAIL_OK;
}

int32_t NMailPop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                         char* header, char* body, int32_t /*flag*/, int32_t /*reserved*/)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    qint64 size = connection->reportedSizes.value(mailNo, SizeFailed - 1);
    if (size == SizeFailed) {
        // The caller sized the buffer from a failed size call: there is no safe size to write.
        return fail(nmail::Why::SizeUnknown);
    }
    if (size < 0) {
        const auto listed = connection->session.list(mailNo);
        if (!listed.ok()) {
            return fail(listed.failure());
        }
        size = listed.value();
    }
    const auto message =
        connection->session.retrieve(mailNo, size, qsizetype(size) + RetrieveMargin);
    if (!message.ok()) {
        return fail(message.failure());
    }
    const QByteArray& bytes = message.value().bytes;
    fillHeaderTexts(nmail::headerOf(bytes), subject, date, from, header);
    const auto copied = nmail::copyBytes(bytes, body, qsizetype(size) + 1);
    if (copied.cut || message.value().cut) {
        return fail(nmail::failure(nmail::Why::MessageTooLarge,
                                   QStringLiteral("%1 / %2").arg(size).arg(bytes.size())));
    }
    return NMAIL_OK;
}

int32_t NMailGetMessage(int32_t kind, char* buffer, int32_t* length)
{
    if (kind < NMAIL_MESSAGE_LAST_ERROR || kind > NMAIL_MESSAGE_CERTIFICATE_PROBLEM || !buffer ||
        !length || *length < 1) {
        return NMAIL_ERR_ARGUMENT;
    }
    QString text;
    {
        const LastFailure& last = lastFailure();
        const auto& certificate = last.certificate;
        switch (kind) {
        case NMAIL_MESSAGE_LAST_ERROR:
            text = last.text;
            break;
        case NMAIL_MESSAGE_CERTIFICATE_SUBJECT:
            text = certificate ? certificate->subject : QString();
            break;
        case NMAIL_MESSAGE_CERTIFICATE_VALIDITY:
            text = certificate ? certificate->validity : QString();
            break;
        case NMAIL_MESSAGE_CERTIFICATE_FINGERPRINT:
            text = certificate ? certificate->fingerprint : QString();
            break;
        default:
            text = certificate ? certificate->problem : QString();
            break;
        }
    }
    *length = int32_t(nmail::copyCallerText(text, buffer, *length).written);
    return NMAIL_OK;
}

int32_t NMailGetLastResult()
{
    return lastFailure().result;
}

int32_t NMailPop3IsEncrypted(int32_t handle)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const bool encrypted =
        isImap(*connection) ? connection->imap.encrypted() : connection->session.encrypted();
    return encrypted ? 1 : 0;
}

int32_t NMailSetPinnedCertificate(const char* host, const char* fingerprint)
{
    // An IMAP address pins its server as a POP3 one does: by host and port.
    auto address = host ? nmail::parseHostAddress(nmail::fromCallerText(host)) : std::nullopt;
    if (const auto imap =
            host ? nmail::parseImapAddress(nmail::fromCallerText(host)) : std::nullopt) {
        address = imap->server;
    }
    if (!address) {
        return fail(nmail::Why::BadHostName);
    }
    const QString text = fingerprint ? QString::fromLatin1(fingerprint) : QString();
    const QByteArray digest = nmail::fingerprintFromText(text);
    if (!text.trimmed().isEmpty() && digest.isEmpty()) {
        return fail(nmail::Why::BadOptionValue);
    }
    nmail::setPinnedCertificate(address->host, address->port, digest);
    return NMAIL_OK;
}

int32_t NMailPop3Cancel(int32_t handle)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    connection->session.cancel();
    connection->imap.cancel();
    return NMAIL_OK;
}

int32_t NMailPop3Close(int32_t handle)
{
    std::shared_ptr<Connection> connection;
    {
        Library& lib = library();
        std::lock_guard lock(lib.mutex);
        const auto it = lib.connections.find(handle);
        if (it == lib.connections.end()) {
            return fail(nmail::failure(nmail::Why::BadHandle));
        }
        connection = std::move(it->second);
        lib.connections.erase(it);
    }
    if (isImap(*connection)) {
        connection->imap.logout();
    } else {
        connection->session.quit();
    }
    return NMAIL_OK;
}

int32_t NMailImapConnectHandle(int32_t handle, const char* address)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    if (connection->session.state() != Pop3Session::State::Disconnected || isImap(*connection)) {
        return fail(nmail::Why::SessionInUse);
    }
    std::optional<nmail::ImapAddress> parsed;
    Failure why;
    if (!address) {
        why = nmail::failure(nmail::Why::NoHostName);
        why.code = NMAIL_ERR_ARGUMENT;
    } else if (parsed = nmail::parseImapAddress(nmail::fromCallerText(address)); !parsed) {
        why = nmail::failure(nmail::Why::BadHostName, nmail::fromCallerText(address));
        why.code = NMAIL_ERR_ARGUMENT;
    } else if (auto opened = connection->imap.open(*parsed); !opened.ok()) {
        why = opened.failure();
    } else {
        return NMAIL_OK;
    }
    release(handle, connection);
    return fail(why);
}

int32_t NMailImapAuthenticate(int32_t handle, const char* user, const char* secret, int32_t how)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    if (how != NMAIL_IMAP_PASSWORD && how != NMAIL_IMAP_BEARER) {
        return fail(nmail::Why::BadOptionValue);
    }
    // SASL and IMAP's own strings are UTF-8, whatever the caller's encoding.
    const auto utf8 = [](const char* text) { return nmail::fromCallerText(text).toUtf8(); };
    const auto count = connection->imap.login(
        utf8(user), utf8(secret),
        how == NMAIL_IMAP_BEARER ? ImapSession::Secret::Bearer : ImapSession::Secret::Password);
    if (!count.ok()) {
        return fail(count.failure());
    }
    return int32_t(count.value());
}

int32_t NMailImapGetUnseenId(int32_t handle, int32_t index, char* buffer)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const auto& unseen = connection->imap.unseen();
    if (index < 1 || index > unseen.size()) {
        return fail(nmail::failure(nmail::Why::NoSuchMessage, QString::number(index)));
    }
    const QByteArray id = QByteArray::number(connection->imap.uidValidity()) + '/' +
                          QByteArray::number(unseen[index - 1]);
    if (nmail::copyBytes(id, buffer, bufferSize()).cut) {
        return fail(nmail::Why::BufferTooSmall);
    }
    return NMAIL_OK;
}

int32_t NMailImapGetMailStatus(int32_t handle, int32_t index, char* subject, char* date, char* from,
                               char* header)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const auto& unseen = connection->imap.unseen();
    if (index < 1 || index > unseen.size()) {
        return fail(nmail::failure(nmail::Why::NoSuchMessage, QString::number(index)));
    }
    const auto lines = connection->imap.headers(unseen[index - 1]);
    if (!lines.ok()) {
        return fail(lines.failure());
    }
    fillHeaderTexts(nmail::headerOf(lines.value()), subject, date, from, header);
    return NMAIL_OK;
}

int32_t NMailImapHasIdle(int32_t handle)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    return connection->imap.hasCapability("IDLE") ? 1 : 0;
}

int32_t NMailImapIdle(int32_t handle, int32_t timeoutMs)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    if (timeoutMs < 0) {
        return fail(nmail::Why::BadOptionValue);
    }
    const auto announced = connection->imap.idle(timeoutMs);
    if (!announced.ok()) {
        return fail(announced.failure());
    }
    return announced.value() ? 1 : 0;
}

int32_t NMailImapRefresh(int32_t handle)
{
    const auto connection = find(handle);
    if (!connection) {
        return unknownHandle();
    }
    const auto count = connection->imap.refresh();
    if (!count.ok()) {
        return fail(count.failure());
    }
    return int32_t(count.value());
}

} // extern "C"
