#include "imap/ImapSession.h"

#include "Cp932.h"
#include "imap/MailboxName.h"
#include "nmail/NMail.h"
#include "sasl/Sasl.h"

#include <algorithm>
#include <array>

namespace nmail::imap {

namespace {

// A reply may carry this much (a SEARCH of a large mailbox, a header block) and still get the
// time a slow line needs; a server that trickles without end is stopped after it.
constexpr qint64 ExpectedReplyBytes = 64 * 1024;

// The header fields a check shows: sender, subject and date, and the id that tells messages
// apart. BODY.PEEK leaves \Seen as it is (RFC 3501 §6.4.5), where BODY[] would set it.
constexpr const char* HeaderFetch =
    " (UID BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID)])";

bool isUntagged(const Response& response, QByteArrayView status)
{
    return response.kind == Response::Kind::Untagged && response.status == status;
}

// Untagged data that tells the mailbox changed while idling (RFC 2177 §3): new messages
// (EXISTS, RECENT), gone ones (EXPUNGE), or flags changed elsewhere (FETCH), any of which can
// change what is unseen.
bool announcesChange(const Response& response)
{
    return response.kind == Response::Kind::Untagged &&
           (response.status == "EXISTS" || response.status == "RECENT" ||
            response.status == "EXPUNGE" || response.status == "FETCH");
}

QString serverText(const Response& response)
{
    return fromServerText(response.text.left(500));
}

// A positive 32-bit number from digits; nothing for anything else (RFC 3501 §9, nz-number).
std::optional<quint32> nzNumber(QByteArrayView digits)
{
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    if (!ok || value == 0 || value > 0xffffffffu) {
        return std::nullopt;
    }
    return quint32(value);
}

} // namespace

ImapSession::ImapSession(Timeouts timeouts) : m_connection(timeouts) {}

const ImapSession::CommandInfo& ImapSession::info(Command command)
{
    // In which states each command may be sent (RFC 3501 §6). There is no STORE, EXPUNGE or
    // SELECT: a check opens the mailbox read-only and never changes it.
    constexpr unsigned Fresh = 1u << unsigned(State::NotAuthenticated);
    constexpr unsigned Known = 1u << unsigned(State::Authenticated);
    constexpr unsigned Open = 1u << unsigned(State::Selected);
    static const std::array<CommandInfo, 10> table{{
        {Command::Capability, "CAPABILITY", Fresh | Known | Open},
        {Command::StartTls, "STARTTLS", Fresh},
        {Command::Authenticate, "AUTHENTICATE", Fresh},
        {Command::Login, "LOGIN", Fresh},
        {Command::List, "LIST", Known | Open},
        {Command::Examine, "EXAMINE", Known | Open},
        {Command::Search, "UID SEARCH", Open},
        {Command::Fetch, "UID FETCH", Open},
        {Command::Idle, "IDLE", Open},
        {Command::Logout, "LOGOUT", Fresh | Known | Open},
    }};
    return table[size_t(command)];
}

void ImapSession::setState(State state)
{
    m_state = state;
    if (state == State::Broken || state == State::Disconnected) {
        m_connection.drop();
        m_reader.begin();
    }
}

Failure ImapSession::breakWith(Failure why)
{
    setState(State::Broken);
    return m_connection.unlessCancelled(why);
}

Failure ImapSession::refusal(Why why, const Response& response)
{
    return failure(why, serverText(response));
}

bool ImapSession::hasCapability(QByteArrayView name) const
{
    return std::any_of(m_capabilities.begin(), m_capabilities.end(), [&](const QByteArray& item) {
        return item.compare(name, Qt::CaseInsensitive) == 0;
    });
}

void ImapSession::take(const Response& response)
{
    if (response.code == "CAPABILITY") {
        m_capabilities = response.codeText.simplified().split(' ');
        ++m_capabilityUpdates;
    } else if (isUntagged(response, "CAPABILITY")) {
        m_capabilities.clear();
        for (const Value& item : response.items) {
            if (item.kind == Value::Kind::Atom) {
                m_capabilities.append(item.bytes);
            }
        }
        ++m_capabilityUpdates;
    }
    if (isUntagged(response, "BYE")) {
        m_bye = response.text;
    }
}

Result<Response> ImapSession::read(const QDeadlineTimer& overall, int idleMs, bool quietTimeout)
{
    QByteArray& input = m_connection.input();
    for (;;) {
        if (!input.isEmpty()) {
            qsizetype used = 0;
            const auto status = m_reader.feed(input, &used);
            input.remove(0, used);
            m_replyBytes += used;
            if (m_replyBytes > MaxReplyBytes) {
                return breakWith(failure(Why::ReplyTooLarge));
            }
            if (status == ResponseReader::Status::Complete) {
                Response response = m_reader.takeResponse();
                m_reader.begin();
                take(response);
                return response;
            }
            if (status == ResponseReader::Status::Failed) {
                return breakWith(m_reader.error() == ResponseReader::Error::LineTooLong
                                     ? failure(Why::LineTooLong)
                                     : failure(Why::BadReply));
            }
        }
        if (auto more = m_connection.receiveMore(overall, idleMs); !more.ok()) {
            if (quietTimeout && more.failure().code == NMAIL_ERR_TIMEOUT &&
                !m_connection.cancelled()) {
                return more.failure();
            }
            if (m_bye && more.failure().code == NMAIL_ERR_CLOSED) {
                return breakWith(failure(Why::ServerBye, fromServerText(m_bye->left(500))));
            }
            return breakWith(more.failure());
        }
    }
}

Result<Response> ImapSession::run(Command command, const QList<QByteArray>& pieces,
                                  const Untagged& untagged,
                                  const std::optional<QByteArray>& challengeAnswer)
{
    if ((info(command).states & (1u << unsigned(m_state))) == 0) {
        return failure(m_state == State::NotAuthenticated ? Why::NotLoggedIn : Why::NotConnected);
    }
    if (m_connection.cancelled()) {
        return breakWith(failure(Why::Cancelled));
    }
    const QByteArray tag = 'A' + QByteArray::number(++m_tag);
    const Deadline deadline = m_connection.replyDeadline(ExpectedReplyBytes);
    beginReply();
    qsizetype next = 0;
    bool answered = false;
    const auto sendLine = [&](const QByteArray& line) -> Result<Done> {
        if (auto sent = m_connection.send(line + "\r\n", deadline.overall); !sent.ok()) {
            return breakWith(sent.failure());
        }
        return Done{};
    };
    if (auto sent = sendLine(tag + ' ' + pieces[next++]); !sent.ok()) {
        return sent.failure();
    }
    for (;;) {
        auto response = read(deadline.overall, deadline.idleMs);
        if (!response.ok()) {
            return response.failure();
        }
        const Response& r = response.value();
        switch (r.kind) {
        case Response::Kind::Tagged:
            if (r.tag != tag) {
                return breakWith(failure(Why::BadReply, fromServerText(r.tag)));
            }
            return response;
        case Response::Kind::Continuation:
            if (next < pieces.size()) {
                if (auto sent = sendLine(pieces[next++]); !sent.ok()) {
                    return sent.failure();
                }
            } else if (challengeAnswer && !answered) {
                answered = true;
                if (auto sent = sendLine(*challengeAnswer); !sent.ok()) {
                    return sent.failure();
                }
            } else {
                // A go-ahead for nothing we have to send: the stream is out of step.
                return breakWith(failure(Why::BadReply, serverText(r)));
            }
            break;
        case Response::Kind::Untagged:
            if (r.status == "BYE" && command != Command::Logout) {
                return breakWith(failure(Why::ServerBye, serverText(r)));
            }
            if (untagged) {
                untagged(r);
            }
            break;
        }
    }
}

Result<Done> ImapSession::open(const ImapAddress& address)
{
    if (m_state != State::Disconnected) {
        return failure(Why::SessionInUse);
    }
    const auto mailbox = quoteMailboxName(address.mailbox);
    if (!mailbox) {
        return failure(Why::BadHostName, address.mailbox);
    }
    m_mailbox = *mailbox;
    m_mailboxName = address.mailbox;
    m_server = address.server;
    m_capabilities.clear();
    m_bye.reset();
    if (auto opened = m_connection.open(m_server); !opened.ok()) {
        return breakWith(opened.failure());
    }
    m_reader.begin();
    beginReply();
    const Deadline deadline = m_connection.replyDeadline();
    const auto greeting = read(deadline.overall, deadline.idleMs);
    if (!greeting.ok()) {
        // Whatever went wrong, the caller sees a failed connection.
        Failure lost = greeting.failure();
        if (lost.code == NMAIL_ERR_TIMEOUT) {
            lost = failure(Why::NoGreetingInTime);
        } else if (lost.code == NMAIL_ERR_CLOSED && !m_connection.cancelled()) {
            lost = failure(Why::ClosedBeforeGreeting, m_connection.errorText());
        }
        lost.code = NMAIL_ERR_CONNECT;
        return breakWith(lost);
    }
    const Response& hello = greeting.value();
    if (hello.kind != Response::Kind::Untagged ||
        (hello.status != "OK" && hello.status != "PREAUTH")) {
        return breakWith(failure(Why::GreetingRefused, serverText(hello)));
    }
    setState(hello.status == "PREAUTH" ? State::Authenticated : State::NotAuthenticated);
    if (m_capabilities.isEmpty()) {
        if (auto asked = capabilities(); !asked.ok()) {
            return asked.failure();
        }
    }
    if (!m_server.tls) {
        // STARTTLS is only possible before the login (RFC 3501 §6.2.1); a PREAUTH server
        // that a TLS one must be is refused below.
        if (hasCapability("STARTTLS") && m_state == State::NotAuthenticated) {
            if (auto upgraded = startTls(m_server); !upgraded.ok()) {
                return breakWith(upgraded.failure());
            }
        } else if (Connection::tlsRequired(m_server)) {
            return breakWith(failure(Why::StartTlsMissing));
        }
    }
    return Done{};
}

Result<Done> ImapSession::capabilities()
{
    const auto reply = run(Command::Capability, {"CAPABILITY"});
    if (!reply.ok()) {
        return reply.failure();
    }
    return Done{};
}

Result<Done> ImapSession::startTls(const HostAddress& server)
{
    const auto reply = run(Command::StartTls, {"STARTTLS"});
    if (!reply.ok()) {
        return reply.failure();
    }
    if (reply.value().status != "OK") {
        // Offered, then refused: going on in the clear is what an attacker who made the
        // server refuse would want.
        return refusal(Why::StartTlsRefused, reply.value());
    }
    if (auto secured = m_connection.startTls(server); !secured.ok()) {
        return secured.failure();
    }
    // What the server said before the handshake was not protected by it; it is asked again
    // (RFC 3501 §6.2.1).
    m_reader.begin();
    m_capabilities.clear();
    return capabilities();
}

Result<Done> ImapSession::authenticate(const QByteArray& user, const QByteArray& secret, Secret how)
{
    // With SASL-IR (RFC 4959) the client's first message goes with the command, saving a round
    // trip; otherwise it follows the server's empty go-ahead.
    const auto sasl = [&](const QByteArray& mechanism, const QByteArray& message) {
        const QByteArray encoded = message.isEmpty() ? "=" : message.toBase64();
        if (hasCapability("SASL-IR")) {
            return QList<QByteArray>{"AUTHENTICATE " + mechanism + ' ' + encoded};
        }
        return QList<QByteArray>{"AUTHENTICATE " + mechanism, encoded};
    };
    if (how == Secret::Bearer) {
        // A token is as good as the password for as long as it lasts.
        if (!encrypted()) {
            return failure(Why::BearerNeedsTls);
        }
        QList<QByteArray> pieces;
        QByteArray abort;
        if (hasCapability("AUTH=OAUTHBEARER")) {
            pieces = sasl("OAUTHBEARER",
                          sasl::oauthBearer(user, m_server.host.toUtf8(), m_server.port, secret));
            abort = sasl::oauthBearerAbort().toBase64();
        } else if (hasCapability("AUTH=XOAUTH2")) {
            pieces = sasl("XOAUTH2", sasl::xoauth2(user, secret));
        } else {
            return failure(Why::NoBearerMechanism);
        }
        // A refused token comes back as a challenge holding the error, which the server wants
        // answered before its NO (RFC 7628 §3.2.3): ^A for OAUTHBEARER, an empty line for
        // XOAUTH2.
        const auto reply = run(Command::Authenticate, pieces, {}, abort);
        if (!reply.ok()) {
            return reply.failure();
        }
        if (reply.value().status != "OK") {
            return refusal(Why::TokenRefused, reply.value());
        }
        return Done{};
    }
    if (hasCapability("LOGINDISABLED")) {
        return failure(Why::LoginDisabled);
    }
    QList<QByteArray> pieces;
    if (hasCapability("AUTH=PLAIN")) {
        pieces = sasl("PLAIN", sasl::plain(user, secret));
    } else {
        // LOGIN's arguments are astrings: an atom or a quoted string where they fit, else a
        // literal, sent after the server's go-ahead.
        pieces = {"LOGIN"};
        for (const QByteArray& field : {user, secret}) {
            if (const auto quoted = quoteAstring(field)) {
                pieces.last() += ' ' + *quoted;
            } else {
                pieces.last() += " {" + QByteArray::number(field.size()) + '}';
                pieces.append(field);
            }
        }
    }
    // An unexpected challenge to PLAIN is answered with '*', which cancels the exchange.
    const bool plain = pieces.first().startsWith("AUTHENTICATE");
    const auto reply = run(plain ? Command::Authenticate : Command::Login, pieces, {},
                           plain ? std::optional<QByteArray>("*") : std::nullopt);
    if (!reply.ok()) {
        return reply.failure();
    }
    if (reply.value().status != "OK") {
        return refusal(Why::LoginRefused, reply.value());
    }
    return Done{};
}

Result<qint64> ImapSession::login(const QByteArray& user, const QByteArray& secret, Secret how)
{
    // A line end would end our command early and let the rest be read as one of its own (a
    // STORE, say); a NUL or ^A would end a SASL field early.
    for (const QByteArray& value : {user, secret}) {
        if (value.contains('\r') || value.contains('\n') || !sasl::fitsPlain(value) ||
            (how == Secret::Bearer && !sasl::fitsBearer(value))) {
            return failure(Why::BadAccountText);
        }
    }
    if (m_state == State::NotAuthenticated) {
        const quint32 told = m_capabilityUpdates;
        if (auto in = authenticate(user, secret, how); !in.ok()) {
            return in.failure();
        }
        setState(State::Authenticated);
        // The capabilities change with the login (IDLE may appear only now); most servers say
        // the new ones in the OK, the others are asked.
        if (m_capabilityUpdates == told) {
            if (auto asked = capabilities(); !asked.ok()) {
                return asked.failure();
            }
        }
    } else if (m_state != State::Authenticated) {
        return failure(m_state == State::Selected ? Why::AlreadyLoggedIn : Why::NotConnected);
    }
    if (m_mailboxName.contains(u'/')) {
        if (auto named = serversMailboxName(); !named.ok()) {
            return named.failure();
        }
    }
    m_uidValidity = 0;
    const auto examined = run(Command::Examine, {"EXAMINE " + m_mailbox}, [&](const Response& r) {
        if (r.code == "UIDVALIDITY") {
            m_uidValidity = nzNumber(r.codeText.trimmed()).value_or(0);
        }
    });
    if (!examined.ok()) {
        return examined.failure();
    }
    if (examined.value().status != "OK") {
        return refusal(Why::ExamineRefused, examined.value());
    }
    setState(State::Selected);
    return search();
}

Result<Done> ImapSession::serversMailboxName()
{
    // The address parts levels with "/", as a path does; the server has its own separator
    // (Dovecot's Maildir++ folders use "."), which LIST "" "" tells (RFC 3501 §6.3.8).
    QByteArray separator;
    const auto listed = run(Command::List, {"LIST \"\" \"\""}, [&](const Response& r) {
        if (isUntagged(r, "LIST") && r.items.size() >= 2 &&
            r.items[1].kind == Value::Kind::String && r.items[1].bytes.size() == 1) {
            separator = r.items[1].bytes;
        }
    });
    if (!listed.ok()) {
        return listed.failure();
    }
    // A server without levels, or one that did not say, gets the name as written.
    if (separator.isEmpty() || separator == "/") {
        return Done{};
    }
    const auto mailbox =
        quoteMailboxName(QString(m_mailboxName).replace(u'/', QLatin1Char(separator[0])));
    if (!mailbox) {
        return failure(Why::BadHostName, m_mailboxName);
    }
    m_mailbox = *mailbox;
    return Done{};
}

Result<qint64> ImapSession::refresh()
{
    return search();
}

Result<qint64> ImapSession::search()
{
    // All the SEARCH responses of the command together hold at most as many UIDs as one
    // response may: a server that repeats SEARCH would otherwise have the list keep four bytes
    // for every two it sends, until the command's bound on bytes ended it.
    QList<quint32> found;
    bool tooMany = false;
    const auto reply = run(Command::Search, {"UID SEARCH UNSEEN"}, [&](const Response& r) {
        if (isUntagged(r, "SEARCH")) {
            for (const Value& item : r.items) {
                if (found.size() == ResponseReader::MaxItems) {
                    tooMany = true;
                    return;
                }
                if (item.kind == Value::Kind::Number && item.number > 0 &&
                    item.number <= 0xffffffffu) {
                    found.append(quint32(item.number));
                }
            }
        }
    });
    if (!reply.ok()) {
        return reply.failure();
    }
    if (reply.value().status != "OK") {
        return refusal(Why::SearchRefused, reply.value());
    }
    if (tooMany) {
        return failure(Why::ReplyTooLarge);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    m_unseen = std::move(found);
    return qint64(m_unseen.size());
}

Result<QByteArray> ImapSession::headers(quint32 uid)
{
    QByteArray header;
    const auto reply = run(Command::Fetch, {"UID FETCH " + QByteArray::number(uid) + HeaderFetch},
                           [&](const Response& r) {
                               if (!isUntagged(r, "FETCH") || r.items.empty() ||
                                   r.items[0].kind != Value::Kind::List) {
                                   return;
                               }
                               // Pairs of name and value; other FETCH data (flags changed
                               // elsewhere, another message) may come along and is not ours.
                               const std::vector<Value>& pairs = r.items[0].list;
                               std::optional<quint32> itsUid;
                               const Value* body = nullptr;
                               for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
                                   const QByteArray name = pairs[i].bytes.toUpper();
                                   if (name == "UID" && pairs[i + 1].kind == Value::Kind::Number) {
                                       itsUid = quint32(pairs[i + 1].number);
                                   } else if (name.startsWith("BODY[HEADER.FIELDS") &&
                                              pairs[i + 1].kind == Value::Kind::String) {
                                       body = &pairs[i + 1];
                                   }
                               }
                               if (body && itsUid == uid) {
                                   header = body->bytes;
                               }
                           });
    if (!reply.ok()) {
        return reply.failure();
    }
    if (reply.value().status != "OK") {
        return refusal(Why::FetchRefused, reply.value());
    }
    return header;
}

Result<bool> ImapSession::idle(int timeoutMs)
{
    if (m_state != State::Selected) {
        return failure(m_state == State::NotAuthenticated || m_state == State::Authenticated
                           ? Why::NotLoggedIn
                           : Why::NotConnected);
    }
    if (m_connection.cancelled()) {
        return breakWith(failure(Why::Cancelled));
    }
    const QByteArray tag = 'A' + QByteArray::number(++m_tag);
    Deadline deadline = m_connection.replyDeadline();
    beginReply();
    if (auto sent = m_connection.send(tag + " IDLE\r\n", deadline.overall); !sent.ok()) {
        return breakWith(sent.failure());
    }
    bool announced = false;
    // Each response until the go-ahead, then each during the wait, then each until the
    // tagged end after DONE: the tagged one ends IDLE (fault set when it failed), as a BYE
    // ends the connection.
    enum class Step
    {
        Going,
        Ended,
        Failed
    };
    Failure fault;
    const auto handle = [&](const Response& r) {
        if (r.kind == Response::Kind::Tagged) {
            if (r.tag != tag) {
                fault = breakWith(failure(Why::BadReply, fromServerText(r.tag)));
                return Step::Failed;
            }
            if (r.status != "OK") {
                fault = refusal(Why::IdleRefused, r);
                return Step::Failed;
            }
            return Step::Ended;
        }
        if (isUntagged(r, "BYE")) {
            fault = breakWith(failure(Why::ServerBye, serverText(r)));
            return Step::Failed;
        }
        announced = announced || announcesChange(r);
        return Step::Going;
    };
    Step step = Step::Going;
    for (bool going = false; !going;) {
        auto response = read(deadline.overall, deadline.idleMs);
        if (!response.ok()) {
            return response.failure();
        }
        going = response.value().kind == Response::Kind::Continuation;
        if (!going) {
            step = handle(response.value());
        }
        if (step != Step::Going) {
            break;
        }
    }
    // The wait itself: silence is what idling is, so only its own time limit applies.
    const QDeadlineTimer until(qMax(0, timeoutMs));
    while (step == Step::Going && !announced) {
        const int left = int(qMax<qint64>(0, until.remainingTime()));
        auto response = read(until, qMax(1, left), true);
        if (!response.ok()) {
            if (response.failure().code == NMAIL_ERR_TIMEOUT && m_state == State::Selected) {
                break;
            }
            return response.failure();
        }
        if (response.value().kind != Response::Kind::Continuation) {
            step = handle(response.value());
        }
    }
    if (step == Step::Going) {
        deadline = m_connection.replyDeadline();
        if (auto sent = m_connection.send("DONE\r\n", deadline.overall); !sent.ok()) {
            return breakWith(sent.failure());
        }
    }
    while (step == Step::Going) {
        auto response = read(deadline.overall, deadline.idleMs);
        if (!response.ok()) {
            return response.failure();
        }
        if (response.value().kind != Response::Kind::Continuation) {
            step = handle(response.value());
        }
    }
    if (step == Step::Failed) {
        return fault;
    }
    return announced;
}

void ImapSession::logout()
{
    if (m_state == State::NotAuthenticated || m_state == State::Authenticated ||
        m_state == State::Selected) {
        // The answer only tells that the server heard us; a failure changes nothing now.
        (void)run(Command::Logout, {"LOGOUT"});
    }
    m_connection.close();
    setState(State::Disconnected);
}

} // namespace nmail::imap
