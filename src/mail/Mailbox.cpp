#include "mail/Mailbox.h"

#include "mail/MailLibrary.h"
#include "mail/NewMailTracker.h"
#include "mail/TrimNull.h"

#include <QCoreApplication>
#include <vector>

namespace {

// The size of every text buffer handed to the library; the program sets the library's buffer
// size option to the same at start.
constexpr int32_t TextBufferSize = 8192;

// The largest message buffer the check allocates. Nothing retrieved is kept, so a message the
// server claims to be larger than this is skipped rather than sized into gigabytes of spaces.
constexpr int64_t MaxMessageBuffer = 256 * 1024 * 1024;

QString text(const std::vector<char>& buffer)
{
    return TrimNull(
        QString::fromUtf8(buffer.data(), qsizetype(qstrnlen(buffer.data(), buffer.size()))));
}

QByteArray bytes(const std::vector<char>& buffer)
{
    return QByteArray(buffer.data(), qsizetype(qstrnlen(buffer.data(), buffer.size())));
}

struct Texts
{
    std::vector<char> subject, date, from, header;
    Texts()
    {
        for (auto* buffer : {&subject, &date, &from, &header})
            buffer->assign(TextBufferSize, '\0');
    }
    NewMail::Headline headline() const { return {text(from), text(subject)}; }
};

// The scheme of a server text in lower case, or empty when it names none.
QString schemeOf(const QString& serverText)
{
    const QString text = serverText.trimmed();
    const qsizetype marker = text.indexOf(QStringLiteral("://"));
    return marker < 0 ? QString() : text.left(marker).toLower();
}

// POP3 (RFC 1939): STAT's count of waiting messages, UIDL where the server keeps unique-ids,
// TOP for the headers, and RETR of every message when the check reports them all.
class Pop3Mailbox final : public Mailbox
{
public:
    Pop3Mailbox(MailLibrary& library, int32_t handle, bool apop)
        : Mailbox(library, handle), m_apop(apop)
    {
    }

    int32_t connect(const QByteArray& address) override
    {
        return m_library.Pop3ConnectHandle(m_handle, address.constData());
    }
    int32_t logIn(const QByteArray& user, const QByteArray& password) override
    {
        return m_library.Pop3Authenticate(m_handle, user.constData(), password.constData(),
                                          m_apop ? -1 : 0);
    }
    int32_t identity(int32_t n, QByteArray* identity) override
    {
        std::vector<char> buffer(TextBufferSize, '\0');
        const int32_t result = m_library.Pop3GetUidl(m_handle, n, buffer.data());
        *identity = bytes(buffer);
        return result;
    }
    int32_t headerIdentity(int32_t n, NewMail::Headline* headline, QByteArray* identity) override
    {
        Texts texts;
        const int32_t read = status(n, texts);
        *headline = texts.headline();
        const int32_t size = read < 0 ? read : m_library.Pop3GetMailSize(m_handle, n);
        if (size < 0)
            return size;
        *identity = NewMail::HeaderIdentity(bytes(texts.header), size);
        return NMAIL_OK;
    }
    int32_t headline(int32_t n, NewMail::Headline* headline) override
    {
        Texts texts;
        const int32_t result = status(n, texts);
        *headline = texts.headline();
        return result;
    }
    bool readsWholeMessages() const override { return true; }
    void readWhole(int32_t n) override
    {
        const int32_t size = m_library.Pop3GetMailSize(m_handle, n);
        // A negative or absurd size cannot size a buffer: skip that message.
        if (size < 0 || size >= MaxMessageBuffer)
            return;
        Texts texts;
        std::vector<char> body(static_cast<size_t>(size) + 1, ' ');
        m_library.Pop3GetMail(m_handle, n, texts.subject.data(), texts.date.data(),
                              texts.from.data(), texts.header.data(), body.data(), 0, 0);
    }

private:
    int32_t status(int32_t n, Texts& texts)
    {
        return m_library.Pop3GetMailStatus(m_handle, n, texts.subject.data(), texts.date.data(),
                                           texts.from.data(), texts.header.data(), 0);
    }

    const bool m_apop;
};

// IMAP (RFC 3501): the login opens the address's mailbox read-only and counts its unseen
// messages; each has an identity "UIDVALIDITY/UID" (a new UIDVALIDITY makes every message new
// once) and headers read with BODY.PEEK. A check never reads a whole message there: reading
// one would tell nothing the headers do not, and the count and headlines are all it reports.
class ImapMailbox final : public Mailbox
{
public:
    ImapMailbox(MailLibrary& library, int32_t handle, const QString& serverText)
        : Mailbox(library, handle), m_name(mailboxName(serverText))
    {
    }

    int32_t connect(const QByteArray& address) override
    {
        return m_library.ImapConnectHandle(m_handle, address.constData());
    }
    // The APOP setting is POP3's alone.
    int32_t logIn(const QByteArray& user, const QByteArray& password) override
    {
        return m_library.ImapAuthenticate(m_handle, user.constData(), password.constData(),
                                          NMAIL_IMAP_PASSWORD);
    }
    int32_t logInWithToken(const QByteArray& user, const QByteArray& token) override
    {
        return m_library.ImapAuthenticate(m_handle, user.constData(), token.constData(),
                                          NMAIL_IMAP_BEARER);
    }
    // After a good login, the server refusing EXAMINE or SEARCH is almost always a mailbox name
    // it does not know: say which name was asked for, then the server's own words.
    QString loginFailure(int32_t result, const QString& libraryText) const override
    {
        if (result != NMAIL_ERR_SERVER)
            return libraryText;
        return QCoreApplication::translate(
                   "Mailbox", "メールボックス「%1」を開けませんでした。サーバーにその名前の"
                              "メールボックスがあるか確かめてください。\n")
                   .arg(m_name) +
               libraryText;
    }
    int32_t identity(int32_t n, QByteArray* identity) override
    {
        std::vector<char> buffer(TextBufferSize, '\0');
        const int32_t result = m_library.ImapGetUnseenId(m_handle, n, buffer.data());
        *identity = bytes(buffer);
        return result;
    }
    // Every IMAP message has an identity; nothing asks for one made from headers.
    int32_t headerIdentity(int32_t, NewMail::Headline*, QByteArray*) override
    {
        return NMAIL_ERR_ARGUMENT;
    }
    int32_t headline(int32_t n, NewMail::Headline* headline) override
    {
        Texts texts;
        const int32_t result =
            m_library.ImapGetMailStatus(m_handle, n, texts.subject.data(), texts.date.data(),
                                        texts.from.data(), texts.header.data());
        *headline = texts.headline();
        return result;
    }
    void readWhole(int32_t) override {}
    bool readsWholeMessages() const override { return false; }

private:
    // The path after the host, as the user typed it; INBOX without one.
    static QString mailboxName(const QString& serverText)
    {
        const QString text = serverText.trimmed();
        const qsizetype host = text.indexOf(QStringLiteral("://")) + 3;
        const qsizetype slash = text.indexOf(u'/', host);
        const QString path = slash < 0 ? QString() : text.mid(slash + 1);
        return path.isEmpty() ? QStringLiteral("INBOX") : path;
    }

    const QString m_name;
};

} // namespace

bool Mailbox::IsImap(const QString& serverText)
{
    const QString scheme = schemeOf(serverText);
    return scheme == QStringLiteral("imap") || scheme == QStringLiteral("imap+starttls") ||
           scheme == QStringLiteral("imaps");
}

std::unique_ptr<Mailbox> Mailbox::For(const QString& serverText, MailLibrary& library,
                                      int32_t handle, bool apop)
{
    if (IsImap(serverText))
        return std::make_unique<ImapMailbox>(library, handle, serverText);
    return std::make_unique<Pop3Mailbox>(library, handle, apop);
}
