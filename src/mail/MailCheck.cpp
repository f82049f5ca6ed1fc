#include "mail/MailCheck.h"

#include "mail/MailLibrary.h"
#include "mail/Mailbox.h"
#include "mail/NewMailLines.h"
#include "mail/NewMailTracker.h"
#include "mail/TrimNull.h"
#include "platform/OnlineAccounts.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace {

constexpr int32_t TextBufferSize = 8192;

QString text(const std::vector<char>& buffer)
{
    return TrimNull(
        QString::fromUtf8(buffer.data(), qsizetype(qstrnlen(buffer.data(), buffer.size()))));
}

} // namespace

MailCheck::MailCheck(MailLibrary& library) : m_library(library) {}

void MailCheck::cancel()
{
    m_cancelled = true;
    if (const int32_t handle = m_handle.load(); handle >= 0)
        m_library.Pop3Cancel(handle);
}

QString MailCheck::lastMessage(int32_t kind)
{
    std::vector<char> buffer(TextBufferSize, '\0');
    int32_t length = TextBufferSize;
    m_library.GetMessage(kind, buffer.data(), &length);
    buffer.back() = '\0';
    return text(buffer);
}

MailCheck::Outcome MailCheck::run(const Request& request, const Hooks& hooks)
{
    Outcome outcome;
    // A desktop account's server and everything else come from the service, asked here on the
    // check's thread; where the account is gone or the service is silent there is nothing to
    // connect to.
    QString server = request.server;
    std::optional<OnlineAccount> desktop;
    if (!request.desktopAccountId.isEmpty() && request.accounts) {
        desktop = request.accounts->find(request.desktopAccountId, &outcome.failure,
                                         &outcome.desktopAccountGone,
                                         [this] { return m_cancelled.load(); });
        if (!desktop) {
            outcome.failureCode = NMAIL_ERR_ARGUMENT;
            outcome.cancelled = m_cancelled;
            return outcome;
        }
        server = desktop->serverAddress();
    }
    outcome.server = server;
    const QByteArray address = server.toUtf8();
    // The handle comes before the connection, so that a cancel reaches the connect too: its
    // lookup, race, greeting and TLS handshake may each wait for a long time-out. Handles,
    // cancelling and closing are the same for every protocol.
    const int32_t handle = m_library.Pop3NewHandle();
    m_handle = handle;
    if (m_cancelled && handle >= 0) // cancelled before the handle was there to cancel
        m_library.Pop3Cancel(handle);
    const std::unique_ptr<Mailbox> mailbox = Mailbox::For(server, m_library, handle, request.apop);
    if (handle < 0 || mailbox->connect(address) < 0) {
        // The library released the handle.
        m_handle = -1;
        // A connection that could not be made is not "no new mail": the caller says why.
        outcome.failure = lastMessage(NMAIL_MESSAGE_LAST_ERROR);
        outcome.failureCode = m_library.GetLastResult();
        if (outcome.failureCode == NMAIL_ERR_CERTIFICATE ||
            outcome.failureCode == NMAIL_ERR_CERTIFICATE_CHANGED) {
            outcome.certificate =
                Outcome::Certificate{lastMessage(NMAIL_MESSAGE_CERTIFICATE_SUBJECT),
                                     lastMessage(NMAIL_MESSAGE_CERTIFICATE_VALIDITY),
                                     lastMessage(NMAIL_MESSAGE_CERTIFICATE_FINGERPRINT),
                                     lastMessage(NMAIL_MESSAGE_CERTIFICATE_PROBLEM)};
        }
        outcome.cancelled = m_cancelled;
        return outcome;
    }
    outcome.connected = true;
    outcome.encrypted = m_library.Pop3IsEncrypted(handle) == 1;

    // The account, read afresh for every check.
    const MailAccount login =
        desktop ? MailAccount{} : (hooks.account ? hooks.account() : MailAccount{});
    if (m_cancelled) {
        outcome.cancelled = true;
    } else if (!desktop && (login.userId.isEmpty() || login.password.isEmpty())) {
        outcome.accountIncomplete = true;
    } else {
        if (desktop) {
            logInWithDesktopAccount(*mailbox, *request.accounts, *desktop, outcome);
        } else {
            outcome.count = mailbox->logIn(login.userId.toUtf8(), login.password.toUtf8());
            if (outcome.count < 0 && !m_cancelled) {
                outcome.failure =
                    mailbox->loginFailure(outcome.count, lastMessage(NMAIL_MESSAGE_LAST_ERROR));
                outcome.failureCode = outcome.count;
            }
        }
        if (outcome.count < 0) {
            // A login stopped by 中止 has nothing to tell: the user asked it to stop.
            if (hooks.loginFailed && !m_cancelled)
                hooks.loginFailed(outcome);
        } else if (request.newOnly) {
            reportNewOnly(*mailbox, request, outcome, hooks);
        } else {
            walkWholeMessages(*mailbox, outcome, hooks);
        }
        outcome.cancelled = m_cancelled;
    }
    // Close on every path past the connect.
    m_handle = -1;
    m_library.Pop3Close(handle);
    return outcome;
}

// The login with a desktop account's credentials, which go to a TLS connection alone. A token
// the server refuses is renewed once (the service asks the provider) and tried again; a second
// refusal wants the user to sign in again in the desktop's settings. The secret is in no text
// this makes.
void MailCheck::logInWithDesktopAccount(Mailbox& mailbox, AccountSource& accounts,
                                        const OnlineAccount& account, Outcome& outcome)
{
    if (!outcome.encrypted) {
        outcome.count = NMAIL_ERR_TLS_MISSING;
        outcome.failureCode = outcome.count;
        outcome.failure = QCoreApplication::translate(
            "MailCheck", "サーバーが暗号化を提供していないため、デスクトップの"
                         "アカウントの資格情報を送らずに接続をやめました。");
        return;
    }
    const QByteArray user = account.imapUser.toUtf8();
    for (const bool renew : {false, true}) {
        const AccountCredentials credentials =
            accounts.credentials(account, renew, [this] { return m_cancelled.load(); });
        if (m_cancelled) {
            outcome.count = NMAIL_ERR_CLOSED;
            outcome.failureCode = outcome.count;
            return;
        }
        if (!credentials.error.isEmpty()) {
            outcome.count = NMAIL_ERR_LOGIN;
            outcome.failureCode = outcome.count;
            outcome.failure = credentials.error;
            return;
        }
        outcome.count = credentials.login == OnlineAccount::Login::OAuth2
                            ? mailbox.logInWithToken(user, credentials.secret)
                            : mailbox.logIn(user, credentials.secret);
        if (outcome.count != NMAIL_ERR_TOKEN_REFUSED || m_cancelled)
            break;
    }
    if (outcome.count >= 0)
        return;
    outcome.failureCode = outcome.count;
    outcome.failure =
        outcome.count == NMAIL_ERR_TOKEN_REFUSED
            ? QCoreApplication::translate(
                  "MailCheck", "サーバーがデスクトップのアカウントの資格情報を受け付けません。"
                               "システムの設定の「オンラインアカウント」で、このアカウントにもう"
                               "一度サインインしてください。")
            : mailbox.loginFailure(outcome.count, lastMessage(NMAIL_MESSAGE_LAST_ERROR));
}

// Every message counted, in ascending order: its headline, then whatever else the mailbox
// reads of it (POP3: the whole message, as it always has). The headlines kept are those of the
// newest messages, as many as the notification and the notice's tooltip show: the mail that
// just came, not the oldest waiting. A mailbox that reads nothing more (IMAP) reads only those:
// an IMAP mailbox may hold thousands of unseen messages, and a request for each would hold every
// check and push up for minutes.
void MailCheck::walkWholeMessages(Mailbox& mailbox, Outcome& outcome, const Hooks& hooks)
{
    const int32_t first = mailbox.readsWholeMessages()
                              ? 1
                              : std::max<int32_t>(1, outcome.count - NewMail::MaxLines + 1);
    for (int32_t n = first; n <= outcome.count && !m_cancelled; ++n) {
        if (hooks.progress)
            hooks.progress(n - first + 1, outcome.count - first + 1);
        // A header that could not be read (the connection broke, say) gives no headline: an
        // empty sender and subject would be reported as if a message had them. The count
        // STAT gave stands, as it always has for a drop during the retrieval.
        NewMail::Headline read;
        if (mailbox.headline(n, &read) == NMAIL_OK)
            outcome.headlines.append(read);
        mailbox.readWhole(n);
    }
    if (outcome.headlines.size() > NewMail::MaxLines)
        outcome.headlines.remove(0, outcome.headlines.size() - NewMail::MaxLines);
}

void MailCheck::walkFailed(int32_t result, Outcome& outcome)
{
    outcome.walkFailed = true;
    outcome.failureCode = result;
    outcome.failure = lastMessage(NMAIL_MESSAGE_LAST_ERROR);
}

// Only what no earlier check reported: the server's identities (POP3's UIDL, IMAP's
// UIDVALIDITY/UID of each unseen message), or, where a POP3 server keeps none, identities made
// from each message's headers; then the headers of the new ones. Only the server's -ERR to
// UIDL says it keeps no unique-ids. Any other failure (a time-out, a
// lost connection, a listing that is not one) ends the check as failed: the messages it could
// not identify are neither reported nor remembered, so the file of reported messages keeps
// what it held, and no headline stands for a header that was never read.
void MailCheck::reportNewOnly(Mailbox& mailbox, const Request& request, Outcome& outcome,
                              const Hooks& hooks)
{
    const int32_t waiting = outcome.count;
    QList<QByteArray> identities;
    QHash<int32_t, NewMail::Headline> known;
    bool byHeaders = false;
    for (int32_t n = 1; n <= waiting && !m_cancelled; ++n) {
        QByteArray identity;
        const int32_t result = mailbox.identity(n, &identity);
        if (result == NMAIL_ERR_UIDL_REFUSED) {
            byHeaders = true;
            break;
        }
        if (result < 0) {
            walkFailed(result, outcome);
            return;
        }
        identities.append(identity);
    }
    if (byHeaders) {
        identities.clear();
        for (int32_t n = 1; n <= waiting && !m_cancelled; ++n) {
            if (hooks.progress)
                hooks.progress(n, waiting);
            NewMail::Headline read;
            QByteArray identity;
            if (const int32_t result = mailbox.headerIdentity(n, &read, &identity); result < 0) {
                walkFailed(result, outcome);
                return;
            }
            known.insert(n, read);
            identities.append(identity);
        }
    }
    if (m_cancelled)
        return;
    const NewMail::Sorting sorting = NewMail::Sort(identities, request.reported);
    outcome.count = int32_t(sorting.newMessages.size());
    // The headers of the newest new messages, as many as the user can be shown, no more.
    const int32_t shown = std::min<int32_t>(outcome.count, NewMail::MaxLines);
    for (const qint64 n : sorting.newMessages.mid(outcome.count - shown)) {
        if (m_cancelled)
            return;
        if (hooks.progress && !byHeaders)
            hooks.progress(int32_t(outcome.headlines.size()) + 1, shown);
        if (known.contains(int32_t(n))) {
            outcome.headlines.append(known.value(int32_t(n)));
            continue;
        }
        NewMail::Headline read;
        if (const int32_t result = mailbox.headline(int32_t(n), &read); result < 0) {
            walkFailed(result, outcome);
            return;
        }
        outcome.headlines.append(read);
    }
    outcome.remember = sorting.remember;
}
