#include "Pop3Session.h"

#include "Apop.h"
#include "ByteView.h"
#include "Cp932.h"
#include "Failures.h"
#include "nmail/NMail.h"

#include <QList>
#include <algorithm>
#include <array>

namespace nmail {

namespace {

// The header of one message is read whole for TOP; beyond this it is dropped. Real headers
// stay far below it; the bound only stops a server that never ends the reply.
constexpr qsizetype MaxHeaderBytes = 4 * 1024 * 1024;

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

} // namespace

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

Pop3Session::Pop3Session(Timeouts timeouts) : m_connection(timeouts) {}

Pop3Session::~Pop3Session() = default;

void Pop3Session::setState(State state)
{
    m_state = state;
    if (state == State::Broken || state == State::Disconnected) {
        m_connection.drop();
        m_pending.clear();
        m_pipelining = false;
    }
}

Failure Pop3Session::breakWith(Failure why)
{
    setState(State::Broken);
    return m_connection.unlessCancelled(why);
}

Result<Done> Pop3Session::open(const HostAddress& address)
{
    if (m_state != State::Disconnected) {
        return failure(Why::SessionInUse);
    }
    if (auto opened = m_connection.open(address); !opened.ok()) {
        return breakWith(opened.failure());
    }

    auto greeting = run(Command::Greeting, {});
    if (!greeting.ok()) {
        // Whatever went wrong, the caller sees a failed connection.
        Failure lost = greeting.failure();
        if (lost.code == NMAIL_ERR_TIMEOUT) {
            lost = failure(Why::NoGreetingInTime);
        } else if (lost.code == NMAIL_ERR_CLOSED) {
            lost = failure(Why::ClosedBeforeGreeting, m_connection.errorText());
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
        if (Connection::tlsRequired(address)) {
            return failure(Why::TlsMissing);
        }
        return Done{};
    }
    if (auto stls = okOr(Why::StlsRefused, run(Command::Stls, {})); !stls.ok()) {
        return stls.failure();
    }
    if (auto secured = m_connection.startTls(address); !secured.ok()) {
        return secured.failure();
    }
    // The capabilities may differ once the connection is private (RFC 2595 §4).
    if (const auto again = run(Command::Capa, {}); !again.ok()) {
        return again.failure();
    }
    return Done{};
}

void Pop3Session::cancel()
{
    m_connection.cancel();
}

bool Pop3Session::encrypted() const
{
    return m_connection.encrypted();
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
    m_connection.close();
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

Result<Reply> Pop3Session::run(Command command, QByteArrayView argument, qsizetype bodyLimit,
                               const std::vector<Request>& ahead, qint64 expectedBytes)
{
    const CommandInfo& entry = info(command);
    if ((entry.states & (1u << unsigned(m_state))) == 0) {
        return failure(Why::NotConnected);
    }
    if (m_connection.cancelled()) {
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
    const Deadline deadline = m_connection.replyDeadline(expectedBytes);
    if (!lines.isEmpty()) {
        if (auto sent = m_connection.send(lines, deadline.overall); !sent.ok()) {
            return breakWith(sent.failure());
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
        if (auto reply = receive(info(command), 1, m_connection.replyDeadline(0)); !reply.ok()) {
            return reply.failure();
        }
    }
    return Done{};
}

Result<Reply> Pop3Session::receive(const CommandInfo& entry, qsizetype bodyLimit,
                                   const Deadline& deadline)
{
    m_parser.begin(entry.multiLine, bodyLimit);
    QByteArray& input = m_connection.input();
    for (;;) {
        if (!input.isEmpty()) {
            qsizetype used = 0;
            const auto status = m_parser.feed(input, &used);
            input.remove(0, used);
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
        if (auto more = m_connection.receiveMore(deadline.overall, deadline.idleMs); !more.ok()) {
            return breakWith(more.failure());
        }
    }
}

} // namespace nmail
