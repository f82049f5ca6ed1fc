#pragma once

#include <QString>

// What the program remembers about the security of each mail server, in a profile file of its
// own beside the options file: that it has spoken TLS there (so a later session that is not
// offered STLS, a sign of someone stripping it on the way, is refused until the user agrees),
// and the one certificate the user chose to trust for it, which says just as much: a server
// with a trusted certificate is a TLS server. A server is its host and port.
class ServerTrust
{
public:
    explicit ServerTrust(QString filePath);

    // The server a server text names, as "host port" in lower case: "Mail.example.jp",
    // "pop3://mail.example.jp:110" and "pop3+stls://mail.example.jp" are one server, and so are
    // "imap://mail.example.jp" and "imap+starttls://mail.example.jp:143/Lists" (an IMAP
    // address's mailbox is not part of its server).
    static QString keyOf(const QString& serverText);
    // A key as the user is shown it: "mail.example.jp:993", "[::1]:110".
    static QString shownName(const QString& key);
    // The text to hand the mail library: STLS (STARTTLS for imap://) is demanded where TLS was
    // spoken before and the user named no scheme of their own, or only the one that upgrades
    // when it can.
    static QString connectText(const QString& serverText, bool tlsSeen);
    // The text to pin a certificate with in the mail library: a POP3 server text as it is, an
    // IMAP address as the host and port alone (a pin is for the server, whatever its mailbox).
    static QString pinText(const QString& serverText);

    bool tlsSeen(const QString& key) const;
    bool setTlsSeen(const QString& key, bool seen);
    // Whether TLS is to be demanded there: it was spoken there, or a certificate is trusted.
    bool tlsExpected(const QString& key) const;
    // The user accepted that the server no longer speaks TLS: neither is remembered any more.
    bool forgetTls(const QString& key);
    QString pinnedCertificate(const QString& key) const; // SHA-256 fingerprint, or empty
    bool setPinnedCertificate(const QString& key, const QString& fingerprint);

private:
    QString m_filePath;
};
