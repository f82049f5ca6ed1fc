#include "Pop3Session.h"

#include "Apop.h"
#include "ByteView.h"
#include "ConnectRace.h"
#include "Cp932.h"
#include "Failures.h"
#include "HostLookup.h"
#include "Trust.h"
#include "nmail/NMail.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstring>

namespace nmail {

namespace {

// The header of one message is read whole for TOP; beyond this it is dropped. Real headers
// stay far below it; the bound only stops a server that never ends the reply.
constexpr qsizetype MaxHeaderBytes = 4 * 1024 * 1024;

// A reply may take one more second for every this many bytes the server announced for it, so
// a large message over a slow line (a 56 kbit/s modem gives about 7 KB/s) still arrives, while
// a server that trickles a byte at a time is stopped within a bounded time.
constexpr qint64 SlowestBytesPerSecond = 2048;

// The longest line a proper UIDL listing holds: a message number up to MaxMessageCount, a
// blank, a unique-id of at most 70 characters (RFC 1939 §7) and CRLF, with room for blanks a
// sloppy server adds. A longer listing is not one, and is not kept.
constexpr qsizetype MaxUidlLineBytes = 96;
constexpr qsizetype MaxUniqueIdLength = 70;

// A unique-id is 1 to 70 characters in the range 0x21 to 0x7E (RFC 1939 §7). Anything else
// could not be written into the program's files or compared as the server meant it.
bool isUniqueId(QByteArrayView id)
{
    if (id.isEmpty() || id.size() > MaxUniqueIdLength) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

QString socketText(const QAbstractSocket& socket)
{
    return socket.errorString();
}

QString serverText(const Reply& reply)
{
    return fromServerText(reply.statusLine);
}

// A decimal number of at most 18 digits, nothing else; -1 when the text is not one.
qint64 parseCount(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18) {
        return -1;
    }
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// The first blank-separated words of a +OK text ("2 320" of STAT, "1 120" of LIST).
QList<QByteArrayView> words(QByteArrayView text)
{
    QList<QByteArrayView> result;
    qsizetype pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
            ++pos;
        }
        const qsizetype start = pos;
        while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t') {
            ++pos;
        }
        if (pos > start) {
            result.append(midView(text, start, pos - start));
        }
    }
    return result;
}

// Whether a CAPA listing (one capability per line, its name first) holds the given name.
bool hasCapability(QByteArrayView listing, QByteArrayView name)
{
    qsizetype start = 0;
    while (start < listing.size()) {
        qsizetype end = listing.indexOf('\n', start);
        if (end < 0) {
            end = listing.size();
        }
        const auto fields = words(midView(listing, start, end - start).trimmed());
        if (!fields.isEmpty() && fields[0].compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The certificate as the user is shown it, with what was wrong with it.
Failure::Certificate describe(const QSslCertificate& certificate, const QList<QSslError>& errors)
{
    Failure::Certificate report;
    report.subject = certificate.subjectDisplayName();
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm");
    report.validity = certificate.effectiveDate().toLocalTime().toString(format) +
                      QStringLiteral(" ～ ") +
                      certificate.expiryDate().toLocalTime().toString(format);
    report.fingerprint = fingerprintText(certificate);
    QStringList problems;
    for (const QSslError& error : errors) {
        QString text;
        switch (error.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            text = QStringLiteral("自己署名の証明書です");
            break;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            text = QStringLiteral("信頼できる認証局の署名がありません");
            break;
        case QSslError::HostNameMismatch:
            text = QStringLiteral("証明書の名前がサーバーの名前と合いません");
            break;
        case QSslError::CertificateExpired:
            text = QStringLiteral("証明書の有効期限が切れています");
            break;
        case QSslError::CertificateNotYetValid:
            text = QStringLiteral("証明書はまだ有効になっていません");
            break;
        default:
            text = error.errorString();
            break;
        }
        if (!problems.contains(text)) {
            problems.append(text);
        }
    }
    report.problem = problems.join(QStringLiteral("。")) + (problems.isEmpty() ? "" : "。");
    return report;
}

} // namespace

Failure makeFailure(int32_t code, const QString& sentence, const QString& detail)
{
    Failure failure;
    failure.code = code;
    failure.message = detail.isEmpty() ? sentence : sentence + u' ' + detail;
    return failure;
}

const Pop3Session::CommandInfo& Pop3Session::info(Command command)
{
    // Which replies are multi-line, in which states each command may be sent, and whether a
    // reply line that is neither +OK nor -ERR just means "no" (CAPA is optional, and some
    // servers answer it with anything) instead of a broken stream.
    constexpr unsigned Greeting = 1u << unsigned(State::Disconnected);
    constexpr unsigned Login = 1u << unsigned(State::Authorization);
    constexpr unsigned Mailbox = 1u << unsigned(State::Transaction);
    static const std::array<CommandInfo, 12> table{{
        {Command::Greeting, "", false, Greeting, false},
        {Command::User, "USER", false, Login, false},
        {Command::Pass, "PASS", false, Login, false},
        {Command::Apop, "APOP", false, Login, false},
        {Command::Stls, "STLS", false, Login, false},
        {Command::Stat, "STAT", false, Mailbox, false},
        {Command::List, "LIST", false, Mailbox, false},
        {Command::Top, "TOP", true, Mailbox, false},
        {Command::Retr, "RETR", true, Mailbox, false},
        {Command::Uidl, "UIDL", true, Mailbox, false},
        {Command::Capa, "CAPA", true, Login | Mailbox, true},
        {Command::Quit, "QUIT", false, Login | Mailbox, false},
    }};
    return table[size_t(command)];
}

Pop3Session::Pop3Session(Timeouts timeouts) : m_timeouts(timeouts) {}

Pop3Session::~Pop3Session()
{
    m_cancel.forget();
    if (m_socket) {
        m_socket->abort();
    }
}

void Pop3Session::setState(State state)
{
    m_state = state;
    if (state == State::Broken || state == State::Disconnected) {
        m_cancel.forget();
        if (m_socket) {
            m_socket->abort();
        }
        m_input.clear();
        m_pending.clear();
        m_pipelining = false;
    }
}

Failure Pop3Session::breakWith(Failure why)
{
    setState(State::Broken);
    // Whatever a cancel made the wait end with (a lost connection, a failed handshake), the
    // caller asked for it.
    return m_cancel.cancelled() ? failure(Why::Cancelled) : why;
}

Failure Pop3Session::timedOut()
{
    return breakWith(failure(Why::ReplyTimedOut));
}

Failure Pop3Session::connectionLost()
{
    return breakWith(failure(Why::ConnectionLost, socketText(*m_socket)));
}

Result<Done> Pop3Session::open(const HostAddress& address)
{
    if (m_state != State::Disconnected) {
        return failure(Why::SessionInUse);
    }
    if (m_cancel.cancelled()) {
        return breakWith(failure(Why::Cancelled));
    }
    // Every connection may become a TLS one: STLS upgrades a plain one.
    m_socket = std::make_unique<QSslSocket>();
    const QDeadlineTimer connectDeadline(m_timeouts.connectMs);
    const auto addresses =
        lookUpHost(address.host, connectDeadline, QHostInfo::fromName, &m_cancel);
    if (!addresses.ok()) {
        return breakWith(addresses.failure());
    }
    const auto winner = raceConnect(addresses.value(), address.port, connectDeadline, &m_cancel);
    if (!winner.ok()) {
        return breakWith(winner.failure());
    }
    // Watched before Qt takes it, so no wait on it can miss a cancel.
    if (!m_cancel.watch(winner.value().descriptor)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        closeDescriptor(winner.value().descriptor);
        return breakWith(failure(Why::ConnectFailed, reason));
    }
    if (!m_socket->setSocketDescriptor(winner.value().descriptor)) {
        closeDescriptor(winner.value().descriptor);
        return breakWith(failure(Why::ConnectFailed, socketText(*m_socket)));
    }
    // Our own replies are short; Nagle would only delay each command.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (address.tls) {
        if (auto secured = encrypt(address, connectDeadline); !secured.ok()) {
            return breakWith(secured.failure());
        }
    }

    auto greeting = run(Command::Greeting, {});
    if (!greeting.ok()) {
        // Whatever went wrong, the caller sees a failed connection.
        Failure lost = greeting.failure();
        if (lost.code == NMAIL_ERR_TIMEOUT) {
            lost = failure(Why::NoGreetingInTime);
        } else if (lost.code == NMAIL_ERR_CLOSED) {
            lost = failure(Why::ClosedBeforeGreeting, socketText(*m_socket));
        }
        lost.code = NMAIL_ERR_CONNECT;
        return breakWith(lost);
    }
    if (!greeting.value().ok) {
        return breakWith(failure(Why::GreetingRefused, serverText(greeting.value())));
    }
    m_greeting = greeting.value().statusLine;
    setState(State::Authorization);
    if (!address.tls) {
        if (auto upgraded = upgrade(address); !upgraded.ok()) {
            return breakWith(upgraded.failure());
        }
    }
    return Done{};
}

Result<Done> Pop3Session::upgrade(const HostAddress& address)
{
    const auto capa = run(Command::Capa, {});
    if (!capa.ok()) {
        return capa.failure();
    }
    if (!capa.value().ok || !hasCapability(capa.value().body, "STLS")) {
        // A server the user pinned a certificate for speaks TLS: when STLS is missing it was
        // stripped on the way, and going on would send the password in the clear.
        if (address.requireStls || !pinnedCertificate(address.host, address.port).isEmpty()) {
            return failure(Why::TlsMissing);
        }
        return Done{};
    }
    if (auto stls = okOr(Why::StlsRefused, run(Command::Stls, {})); !stls.ok()) {
        return stls.failure();
    }
    // Whatever arrived before the handshake was not protected by it, so none of it may be
    // read as the server's words under TLS (RFC 2595 §4; the STARTTLS injection attacks).
    m_input.clear();
    (void)m_socket->readAll();
    if (auto secured = encrypt(address, QDeadlineTimer(m_timeouts.connectMs)); !secured.ok()) {
        return secured.failure();
    }
    // The capabilities may differ once the connection is private (RFC 2595 §4).
    if (const auto again = run(Command::Capa, {}); !again.ok()) {
        return again.failure();
    }
    return Done{};
}

Result<Done> Pop3Session::encrypt(const HostAddress& address, const QDeadlineTimer& deadline)
{
    QSslSocket* tls = m_socket.get();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (const auto anchors = extraTrustAnchors(); !anchors.isEmpty()) {
        config.addCaCertificates(anchors);
    }
    tls->setSslConfiguration(config);
    // The certificate is checked against the name the user gave, not the address.
    tls->setPeerVerifyName(address.host);
    const QByteArray pin = pinnedCertificate(address.host, address.port);
    QList<QSslError> problems;
    // Emitted inside the handshake when verification fails: the certificate the user pinned
    // for this server is accepted whatever the authorities say.
    const auto watch =
        QObject::connect(tls, &QSslSocket::sslErrors, tls, [&](const QList<QSslError>& errors) {
            problems = errors;
            if (!pin.isEmpty() &&
                tls->peerCertificate().digest(QCryptographicHash::Sha256) == pin) {
                tls->ignoreSslErrors();
            }
        });
    tls->startClientEncryption();
    const bool encrypted = tls->waitForEncrypted(int(qMax<qint64>(1, deadline.remainingTime())));
    QObject::disconnect(watch);
    const QSslCertificate peer = tls->peerCertificate();
    if (!pin.isEmpty() && !peer.isNull() && peer.digest(QCryptographicHash::Sha256) != pin) {
        // Even a certificate an authority signed: the user trusted another one for this server.
        Failure changed = failure(Why::CertificateChanged);
        changed.certificate = describe(peer, problems);
        return changed;
    }
    if (encrypted) {
        return Done{};
    }
    if (!problems.isEmpty() && !peer.isNull()) {
        Failure untrusted = failure(Why::CertificateUntrusted, describe(peer, problems).problem);
        untrusted.certificate = describe(peer, problems);
        return untrusted;
    }
    QStringList reasons;
    for (const QSslError& error : tls->sslHandshakeErrors()) {
        reasons.append(error.errorString());
    }
    if (reasons.isEmpty()) {
        reasons.append(socketText(*m_socket));
    }
    return failure(Why::TlsFailed, reasons.join(QStringLiteral("; ")));
}

void Pop3Session::cancel()
{
    // Nothing on the QSslSocket is safe from another thread; the cancellation shuts the
    // connection down beneath it, so every wait on it ends, and wakes the waits before it.
    m_cancel.cancel();
}

bool Pop3Session::encrypted() const
{
    const QSslSocket* tls = m_socket.get();
    return tls && tls->isEncrypted();
}

Result<qint64> Pop3Session::login(QByteArrayView userId, QByteArrayView password, bool apop)
{
    // A line end inside either value would end our command early and let the rest be read as
    // a command of its own (a DELE, say), so such values never reach the server.
    for (QByteArrayView value : {userId, password}) {
        if (value.contains('\r') || value.contains('\n') || value.contains('\0')) {
            return failure(Why::BadAccountText);
        }
    }
    if (m_state != State::Authorization) {
        return failure(m_state == State::Transaction ? Why::AlreadyLoggedIn : Why::NotConnected);
    }

    if (apop) {
        const QByteArray timestamp = apopTimestamp(m_greeting);
        if (timestamp.isEmpty()) {
            // Falling back to USER/PASS would send the password in the clear, which is what
            // the user chose APOP to avoid (RFC 1939 §7).
            return failure(Why::NoApopTimestamp, fromServerText(m_greeting));
        }
        QByteArray argument = userId.toByteArray();
        argument += ' ';
        argument += apopDigest(timestamp, password);
        if (auto reply = okOr(Why::LoginRefused, run(Command::Apop, argument)); !reply.ok()) {
            return reply.failure();
        }
    } else {
        if (auto user = okOr(Why::LoginRefused, run(Command::User, userId)); !user.ok()) {
            return user.failure();
        }
        if (auto pass = okOr(Why::LoginRefused, run(Command::Pass, password)); !pass.ok()) {
            return pass.failure();
        }
    }
    setState(State::Transaction);

    const auto stat = okOr(Why::StatRefused, run(Command::Stat, {}));
    if (!stat.ok()) {
        return stat.failure();
    }
    const auto fields = words(stat.value().text);
    const qint64 count = fields.isEmpty() ? -1 : parseCount(fields[0]);
    if (count < 0 || count > MaxMessageCount) {
        return breakWith(failure(Why::BadStat, serverText(stat.value())));
    }
    m_messageCount = count;
    // Only a check with mail to fetch gains from pipelining; an empty mailbox costs nothing
    // more. CAPA is a question, never a condition of the login: a server that does not know
    // it, or answers with anything but a proper listing, is spoken to one command at a time,
    // and even a connection lost here leaves the count STAT gave (the calls after it fail).
    if (count > 0) {
        const auto capa = run(Command::Capa, {});
        m_pipelining =
            capa.ok() && capa.value().ok && hasCapability(capa.value().body, "PIPELINING");
    }
    return count;
}

Result<Done> Pop3Session::checkNumber(qint64 number) const
{
    if (m_state != State::Transaction) {
        return failure(m_state == State::Authorization ? Why::NotLoggedIn : Why::NotConnected);
    }
    if (number < 1 || number > m_messageCount) {
        return failure(Why::NoSuchMessage, QString::number(number));
    }
    return Done{};
}

Result<Reply> Pop3Session::okOr(Why refused, Result<Reply> reply)
{
    if (reply.ok() && !reply.value().ok) {
        return failure(refused, serverText(reply.value()));
    }
    return reply;
}

Result<QByteArray> Pop3Session::top(qint64 number)
{
    if (auto valid = checkNumber(number); !valid.ok()) {
        return valid.failure();
    }
    std::vector<Request> ahead;
    if (m_pipelining) {
        ahead.push_back({Command::List, QByteArray::number(number)});
    }
    auto reply = okOr(Why::TopRefused,
                      run(Command::Top, QByteArray::number(number) + " 0", MaxHeaderBytes, ahead));
    if (!reply.ok()) {
        return reply.failure();
    }
    return std::move(reply).value().body;
}

Result<qint64> Pop3Session::list(qint64 number)
{
    if (auto valid = checkNumber(number); !valid.ok()) {
        return valid.failure();
    }
    const auto reply = okOr(Why::ListRefused, run(Command::List, QByteArray::number(number)));
    if (!reply.ok()) {
        return reply.failure();
    }
    // "+OK n size". A size that is negative or does not leave room for the caller's NUL in a
    // 32-bit length is not a size at all.
    const auto fields = words(reply.value().text);
    const qint64 size = fields.size() < 2 ? -1 : parseCount(fields[1]);
    if (fields.size() < 2 || parseCount(fields[0]) != number || size < 0 ||
        size > qint64(INT32_MAX) - 1) {
        return failure(Why::BadList, serverText(reply.value()));
    }
    return size;
}

Result<QList<QByteArray>> Pop3Session::uidl()
{
    if (m_state != State::Transaction) {
        return failure(m_state == State::Authorization ? Why::NotLoggedIn : Why::NotConnected);
    }
    const qsizetype limit = qsizetype(m_messageCount + 1) * MaxUidlLineBytes;
    const auto reply = okOr(Why::UidlRefused, run(Command::Uidl, {}, limit, {}, limit));
    if (!reply.ok()) {
        return reply.failure();
    }
    if (reply.value().bodyCut) {
        return failure(Why::BadUidl);
    }
    // "n unique-id" per line, every message exactly once. The reply was read to its end, so
    // a bad listing leaves the session in step and usable.
    QList<QByteArray> ids(m_messageCount);
    qsizetype listed = 0;
    const QByteArray& body = reply.value().body;
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = body.indexOf('\n', start);
        if (end < 0) {
            end = body.size();
        }
        const QByteArrayView line = midView(body, start, end - start).trimmed();
        start = end + 1;
        const auto fields = words(line);
        const qint64 number = fields.size() == 2 ? parseCount(fields[0]) : -1;
        if (number < 1 || number > m_messageCount || !ids[number - 1].isEmpty() ||
            !isUniqueId(fields[1])) {
            return failure(Why::BadUidl, fromServerText(midView(line, 0, 200)));
        }
        ids[number - 1] = fields[1].toByteArray();
        ++listed;
    }
    if (listed != m_messageCount) {
        return failure(Why::BadUidl, QStringLiteral("%1 / %2").arg(listed).arg(m_messageCount));
    }
    return ids;
}

Result<Pop3Session::Message> Pop3Session::retrieve(qint64 number, qint64 announcedSize,
                                                   qsizetype storeLimit)
{
    if (auto valid = checkNumber(number); !valid.ok()) {
        return valid.failure();
    }
    std::vector<Request> ahead;
    if (m_pipelining && number < m_messageCount) {
        ahead.push_back({Command::Top, QByteArray::number(number + 1) + " 0"});
        ahead.push_back({Command::List, QByteArray::number(number + 1)});
    }
    const qint64 expected = qMax<qint64>(0, announcedSize);
    // RETR marks a message as read (Dovecot sets \Seen) and some hosted services stop offering
    // what POP3 downloaded, so a check that reads a message must not use it. TOP with at least
    // as many lines as the message has octets returns the whole message and changes nothing
    // (RFC 1939 §7). Only a server that refuses TOP is asked with RETR.
    auto reply = Result<Reply>(Reply{});
    if (!m_topRefused) {
        const QByteArray lines = QByteArray::number(qMax<qint64>(1, expected));
        reply = run(Command::Top, QByteArray::number(number) + ' ' + lines, storeLimit, ahead,
                    expected);
        m_topRefused = reply.ok() && !reply.value().ok;
    }
    if (m_topRefused) {
        reply = run(Command::Retr, QByteArray::number(number), storeLimit, ahead, expected);
    }
    reply = okOr(Why::RetrieveRefused, std::move(reply));
    if (!reply.ok()) {
        return reply.failure();
    }
    Message message;
    message.cut = reply.value().bodyCut;
    message.bytes = std::move(reply).value().body;
    return message;
}

void Pop3Session::quit()
{
    if (m_state == State::Authorization || m_state == State::Transaction) {
        // The reply only tells that the server heard us; a failure changes nothing now.
        (void)run(Command::Quit, {});
    }
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->disconnectFromHost();
    }
    setState(State::Disconnected);
}

QByteArray Pop3Session::commandLine(Command command, QByteArrayView argument)
{
    QByteArray line = info(command).verb;
    if (!argument.isEmpty()) {
        line += ' ';
        line += argument;
    }
    line += "\r\n";
    return line;
}

Pop3Session::Deadline Pop3Session::replyDeadline(qint64 expectedBytes) const
{
    return {QDeadlineTimer(m_timeouts.replyMs + expectedBytes * 1000 / SlowestBytesPerSecond),
            m_timeouts.replyMs};
}

Result<Reply> Pop3Session::run(Command command, QByteArrayView argument, qsizetype bodyLimit,
                               const std::vector<Request>& ahead, qint64 expectedBytes)
{
    const CommandInfo& entry = info(command);
    if ((entry.states & (1u << unsigned(m_state))) == 0) {
        return failure(Why::NotConnected);
    }
    if (m_cancel.cancelled()) {
        return breakWith(failure(Why::Cancelled));
    }
    const Request request{command, argument.toByteArray()};
    const bool sentAhead = !m_pending.empty() && m_pending.front() == request;
    if (sentAhead) {
        m_pending.pop_front();
    } else if (auto drained = drainPending(); !drained.ok()) {
        return drained.failure();
    }

    QByteArray lines;
    if (!sentAhead && command != Command::Greeting) {
        lines = commandLine(command, argument);
    }
    for (const Request& next : ahead) {
        if (std::find(m_pending.begin(), m_pending.end(), next) == m_pending.end()) {
            lines += commandLine(next.command, next.argument);
            m_pending.push_back(next);
        }
    }
    const Deadline deadline = replyDeadline(expectedBytes);
    if (!lines.isEmpty()) {
        if (auto sent = send(lines, deadline.overall); !sent.ok()) {
            return sent.failure();
        }
    }
    return receive(entry, bodyLimit > 0 ? bodyLimit : ReplyParser::MaxBodyDefault, deadline);
}

Result<Done> Pop3Session::drainPending()
{
    while (!m_pending.empty()) {
        const Command command = m_pending.front().command;
        m_pending.pop_front();
        // Each dropped reply has its own deadline, as it would have had if asked for; its
        // body is parsed to find its end but not kept.
        if (auto reply = receive(info(command), 1, replyDeadline(0)); !reply.ok()) {
            return reply.failure();
        }
    }
    return Done{};
}

Result<Done> Pop3Session::send(const QByteArray& line, const QDeadlineTimer& deadline)
{
    if (m_socket->write(line) != line.size()) {
        return connectionLost();
    }
    // A command fits the socket's send buffer at once; waiting only when it did not saves a
    // poll per command.
    m_socket->flush();
    while (m_socket->bytesToWrite() > 0) {
        if (deadline.hasExpired()) {
            return timedOut();
        }
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime()))) {
            if (deadline.hasExpired()) {
                return timedOut();
            }
            return connectionLost();
        }
    }
    return Done{};
}

Result<Reply> Pop3Session::receive(const CommandInfo& entry, qsizetype bodyLimit,
                                   const Deadline& deadline)
{
    m_parser.begin(entry.multiLine, bodyLimit);
    QDeadlineTimer idle(deadline.idleMs);
    for (;;) {
        if (!m_input.isEmpty()) {
            qsizetype used = 0;
            const auto status = m_parser.feed(m_input, &used);
            m_input.remove(0, used);
            if (status == ReplyParser::Status::Complete) {
                return m_parser.takeReply();
            }
            if (status == ReplyParser::Status::Failed && entry.oddStatusMeansNo &&
                m_parser.error() == ReplyParser::Error::BadStatusLine) {
                // The odd line was read whole, so the stream is still in step.
                Reply refusal = m_parser.takeReply();
                refusal.ok = false;
                return refusal;
            }
            if (status == ReplyParser::Status::Failed) {
                const bool tooLong = m_parser.error() == ReplyParser::Error::LineTooLong;
                return breakWith(
                    tooLong ? failure(Why::LineTooLong)
                            : failure(Why::BadReply,
                                      fromServerText(m_parser.reply().statusLine.left(200))));
            }
        }
        if (m_socket->bytesAvailable() > 0) {
            m_input += m_socket->readAll();
            idle.setRemainingTime(deadline.idleMs);
            continue;
        }
        if (deadline.overall.hasExpired() || idle.hasExpired()) {
            return timedOut();
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            return connectionLost();
        }
        const qint64 wait = qMin(deadline.overall.remainingTime(), idle.remainingTime());
        if (!m_socket->waitForReadyRead(int(qMax<qint64>(1, wait)))) {
            if (m_socket->bytesAvailable() > 0) {
                continue;
            }
            if (deadline.overall.hasExpired() || idle.hasExpired()) {
                return timedOut();
            }
            return connectionLost();
        }
    }
}

} // namespace nmail
