#include "mail/MailCheck.h"

#include "codepage/CodePage.h"
#include "mail/MailLibrary.h"
#include "mail/TrimNull.h"
#include "nmail/NMail.h"

#include <array>
#include <vector>

namespace {

constexpr int32_t TextBufferSize = 8192;

// The largest message buffer the check allocates. Nothing retrieved is kept, so a message the
// server claims to be larger than this is skipped rather than sized into gigabytes of spaces.
constexpr int64_t MaxMessageBuffer = 256 * 1024 * 1024;

} // namespace

MailCheck::MailCheck(MailLibrary& library) : m_library(library) {}

QString MailCheck::lastMessage(int32_t kind)
{
    std::vector<char> buffer(TextBufferSize, '\0');
    int32_t length = TextBufferSize;
    m_library.GetMessage(kind, buffer.data(), &length);
    buffer.back() = '\0';
    return TrimNull(
        FromCodePage(QByteArrayView(buffer.data(), qstrnlen(buffer.data(), TextBufferSize))));
}

MailCheck::Outcome MailCheck::run(const QString& server, bool apop, const AccountSource& account,
                                  const LoginFailed& loginFailed, const Progress& progress)
{
    Outcome outcome;
    const QByteArray host = ToCodePage(server);
    const int32_t handle = m_library.Pop3Connect(host.constData());
    if (handle == -1) {
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
        return outcome;
    }
    outcome.connected = true;
    outcome.encrypted = m_library.Pop3IsEncrypted(handle) == 1;

    // The account, read afresh for every check.
    const MailAccount login = account ? account() : MailAccount{};
    if (login.userId.isEmpty() || login.password.isEmpty()) {
        outcome.accountIncomplete = true;
    } else {
        const QByteArray user = ToCodePage(login.userId);
        const QByteArray password = ToCodePage(login.password);
        outcome.count = m_library.Pop3Authenticate(handle, user.constData(), password.constData(),
                                                   apop ? -1 : 0);
        std::array<std::vector<char>, 4> texts;
        for (auto& text : texts)
            text.assign(TextBufferSize, '\0');
        for (int32_t n = 1; n <= outcome.count; ++n) {
            if (progress)
                progress(n, outcome.count);
            m_library.Pop3GetMailStatus(handle, n, texts[0].data(), texts[1].data(),
                                        texts[2].data(), texts[3].data(), 0);
            const int32_t size = m_library.Pop3GetMailSize(handle, n);
            // A negative or absurd size cannot size a buffer: skip that message.
            if (size < 0 || size >= MaxMessageBuffer)
                continue;
            std::vector<char> body(static_cast<size_t>(size) + 1, ' ');
            m_library.Pop3GetMail(handle, n, texts[0].data(), texts[1].data(), texts[2].data(),
                                  texts[3].data(), body.data(), 0, 0);
        }
        if (outcome.count < 0) {
            outcome.failure = lastMessage(NMAIL_MESSAGE_LAST_ERROR);
            outcome.failureCode = outcome.count;
            if (loginFailed)
                loginFailed(outcome);
        }
    }
    // Close on every path past the connect.
    m_library.Pop3Close(handle);
    return outcome;
}
