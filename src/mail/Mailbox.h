#pragma once

#include "mail/NewMailLines.h"
#include "nmail/NMail.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class MailLibrary;

// One mailbox on a server, as a check walks it, over one connection of the mail library. The
// messages a check considers are numbered 1 to the count the login gave: for POP3 every
// waiting message, for IMAP the unseen ones. Cancelling and closing are the library's for both
// protocols (one handle kind), so they stay with the check.
class Mailbox
{
public:
    // The mailbox a server text names: IMAP for imap://, imap+starttls:// and imaps://, POP3 for
    // anything else, as the text has always been read.
    static bool IsImap(const QString& serverText);
    static std::unique_ptr<Mailbox> For(const QString& serverText, MailLibrary& library,
                                        int32_t handle, bool apop);

    virtual ~Mailbox() = default;
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    // NMAIL_OK or a negative result; on failure the library has released the handle.
    virtual int32_t connect(const QByteArray& address) = 0;
    // Logs in: the number of messages to consider, or a negative result.
    virtual int32_t logIn(const QByteArray& user, const QByteArray& password) = 0;
    // Logs in with an OAuth2 bearer token (IMAP only; the library sends it over TLS alone):
    // as logIn, NMAIL_ERR_TOKEN_REFUSED when the server refused the token.
    virtual int32_t logInWithToken(const QByteArray& /*user*/, const QByteArray& /*token*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    // The text to show for a failed login, from the library's own.
    virtual QString loginFailure(int32_t /*result*/, const QString& libraryText) const
    {
        return libraryText;
    }
    // The server's identity of message n: NMAIL_OK, NMAIL_ERR_UIDL_REFUSED when the server
    // keeps none (the connection stays usable), or another negative result.
    virtual int32_t identity(int32_t n, QByteArray* identity) = 0;
    // Where the server keeps no identities: one made from message n's headers, with its
    // headline. NMAIL_OK or a negative result.
    virtual int32_t headerIdentity(int32_t n, NewMail::Headline* headline,
                                   QByteArray* identity) = 0;
    // Sender and subject of message n. NMAIL_OK or a negative result.
    virtual int32_t headline(int32_t n, NewMail::Headline* headline) = 0;
    // What a check that reports every message does with message n besides its headline, and
    // whether that is more than nothing (then every message is walked).
    virtual void readWhole(int32_t n) = 0;
    virtual bool readsWholeMessages() const = 0;

protected:
    Mailbox(MailLibrary& library, int32_t handle) : m_library(library), m_handle(handle) {}

    MailLibrary& m_library;
    const int32_t m_handle;
};
