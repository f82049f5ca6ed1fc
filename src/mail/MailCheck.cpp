#include "mail/MailCheck.h"

#include "codepage/CodePage.h"
#include "mail/MailLibrary.h"
#include "mail/NewMailTracker.h"
#include "mail/TrimNull.h"

#include <vector>

namespace {

constexpr int32_t TextBufferSize = 8192;

// The largest message buffer the check allocates. Nothing retrieved is kept, so a message the
// server claims to be larger than this is skipped rather than sized into gigabytes of spaces.
constexpr int64_t MaxMessageBuffer = 256 * 1024 * 1024;

QString text(const std::vector<char>& buffer)
{
    return TrimNull(
        FromCodePage(QByteArrayView(buffer.data(), qstrnlen(buffer.data(), buffer.size()))));
}

struct Texts
{
    std::vector<char> subject, date, from, header;
    Texts()
    {
        for (auto* buffer : {&subject, &date, &from, &header})
            buffer->assign(TextBufferSize, '\0');
    }
};

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

NewMail::Headline MailCheck::headline(int32_t handle, int32_t n, QByteArray* header,
                                      int32_t* result)
{
    Texts texts;
    const int32_t status =
        m_library.Pop3GetMailStatus(handle, n, texts.subject.data(), texts.date.data(),
                                    texts.from.data(), texts.header.data(), 0);
    if (result)
        *result = status;
    if (header)
        *header = QByteArray(texts.header.data(), qstrnlen(texts.header.data(), TextBufferSize));
    return {text(texts.from), text(texts.subject)};
}

MailCheck::Outcome MailCheck::run(const Request& request, const Hooks& hooks)
{
    Outcome outcome;
    const QByteArray host = ToCodePage(request.server);
    // The handle comes before the connection, so that a cancel reaches the connect too: its
    // lookup, race, greeting and TLS handshake may each wait for a long time-out.
    const int32_t handle = m_library.Pop3NewHandle();
    m_handle = handle;
    if (m_cancelled && handle >= 0) // cancelled before the handle was there to cancel
        m_library.Pop3Cancel(handle);
    if (handle < 0 || m_library.Pop3ConnectHandle(handle, host.constData()) < 0) {
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
    const MailAccount login = hooks.account ? hooks.account() : MailAccount{};
    if (m_cancelled) {
        outcome.cancelled = true;
    } else if (login.userId.isEmpty() || login.password.isEmpty()) {
        outcome.accountIncomplete = true;
    } else {
        const QByteArray user = ToCodePage(login.userId);
        const QByteArray password = ToCodePage(login.password);
        outcome.count = m_library.Pop3Authenticate(handle, user.constData(), password.constData(),
                                                   request.apop ? -1 : 0);
        if (outcome.count < 0) {
            outcome.failure = lastMessage(NMAIL_MESSAGE_LAST_ERROR);
            outcome.failureCode = outcome.count;
            if (hooks.loginFailed)
                hooks.loginFailed(outcome);
        } else if (request.newOnly) {
            reportNewOnly(handle, request, outcome, hooks);
        } else {
            walkWholeMessages(handle, outcome, hooks);
        }
        outcome.cancelled = m_cancelled;
    }
    // Close on every path past the connect.
    m_handle = -1;
    m_library.Pop3Close(handle);
    return outcome;
}

// Every waiting message in ascending order: its header texts, its size, the whole message.
void MailCheck::walkWholeMessages(int32_t handle, Outcome& outcome, const Hooks& hooks)
{
    for (int32_t n = 1; n <= outcome.count && !m_cancelled; ++n) {
        if (hooks.progress)
            hooks.progress(n, outcome.count);
        outcome.headlines.append(headline(handle, n));
        const int32_t size = m_library.Pop3GetMailSize(handle, n);
        // A negative or absurd size cannot size a buffer: skip that message.
        if (size < 0 || size >= MaxMessageBuffer)
            continue;
        Texts texts;
        std::vector<char> body(static_cast<size_t>(size) + 1, ' ');
        m_library.Pop3GetMail(handle, n, texts.subject.data(), texts.date.data(), texts.from.data(),
                              texts.header.data(), body.data(), 0, 0);
    }
}

void MailCheck::walkFailed(int32_t result, Outcome& outcome)
{
    outcome.walkFailed = true;
    outcome.failureCode = result;
    outcome.failure = lastMessage(NMAIL_MESSAGE_LAST_ERROR);
}

// Only what no earlier check reported: the server's unique-ids (one UIDL for all), or, where it
// keeps none, identities made from each message's headers; then the headers of the new ones.
// Only the server's -ERR to UIDL says it keeps no unique-ids. Any other failure (a time-out, a
// lost connection, a listing that is not one) ends the check as failed: the messages it could
// not identify are neither reported nor remembered, so the file of reported messages keeps
// what it held, and no headline stands for a header that was never read.
void MailCheck::reportNewOnly(int32_t handle, const Request& request, Outcome& outcome,
                              const Hooks& hooks)
{
    const int32_t waiting = outcome.count;
    QList<QByteArray> identities;
    QHash<int32_t, NewMail::Headline> known;
    std::vector<char> buffer(TextBufferSize, '\0');
    bool byHeaders = false;
    for (int32_t n = 1; n <= waiting && !m_cancelled; ++n) {
        const int32_t result = m_library.Pop3GetUidl(handle, n, buffer.data());
        if (result == NMAIL_ERR_UIDL_REFUSED) {
            byHeaders = true;
            break;
        }
        if (result < 0) {
            walkFailed(result, outcome);
            return;
        }
        identities.append(QByteArray(buffer.data(), qstrnlen(buffer.data(), buffer.size())));
    }
    if (byHeaders) {
        identities.clear();
        for (int32_t n = 1; n <= waiting && !m_cancelled; ++n) {
            if (hooks.progress)
                hooks.progress(n, waiting);
            QByteArray header;
            int32_t result = 0;
            const NewMail::Headline read = headline(handle, n, &header, &result);
            const int32_t size = result < 0 ? result : m_library.Pop3GetMailSize(handle, n);
            if (size < 0) {
                walkFailed(size, outcome);
                return;
            }
            known.insert(n, read);
            identities.append(NewMail::HeaderIdentity(header, size));
        }
    }
    if (m_cancelled)
        return;
    const NewMail::Sorting sorting = NewMail::Sort(identities, request.reported);
    outcome.count = int32_t(sorting.newMessages.size());
    for (const qint64 n : sorting.newMessages) {
        if (m_cancelled)
            return;
        if (hooks.progress && !byHeaders)
            hooks.progress(int32_t(outcome.headlines.size()) + 1, outcome.count);
        if (known.contains(int32_t(n))) {
            outcome.headlines.append(known.value(int32_t(n)));
            continue;
        }
        int32_t result = 0;
        const NewMail::Headline read = headline(handle, int32_t(n), nullptr, &result);
        if (result < 0) {
            walkFailed(result, outcome);
            return;
        }
        outcome.headlines.append(read);
    }
    outcome.remember = sorting.remember;
}
