#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

// A real Dovecot for C++ tests: runs tests/support/dovecot_fixture.py --serve with the given
// users and messages, and stops it (by closing its standard input, then by killing it) when
// destroyed. The JSON configuration is the one that script documents.
class DovecotFixture
{
public:
    DovecotFixture() = default;
    ~DovecotFixture();
    DovecotFixture(const DovecotFixture&) = delete;
    DovecotFixture& operator=(const DovecotFixture&) = delete;

    // The mailboxes the Dovecot suites share: "tama" (password "secret") with two generated
    // messages of about 3,000 bytes and a last one with a Japanese subject and a line that needs
    // dot-stuffing; "empty" (password "nothing") with none.
    static constexpr const char* TamaAndEmpty = R"({"users": {
  "tama": {"password": "secret", "messages": [
    {"count": 2, "size": 3000},
    "Subject: =?UTF-8?B?44GK44Gv44KI44GG?=\nFrom: a@example.jp\n\n.dot\nlast line\n"]},
  "empty": {"password": "nothing"}
}})";

    // Starts the server; false with a reason when it could not.
    bool start(const QByteArray& configJson, QString* error);

    // The JSON may also hold "tls": false (plain POP3 only, logins in the clear allowed) and
    // "certificate_name" (the name the server's certificate is made out to); see the script.
    int pop3 = 0;   // POP3 with STLS (unless "tls" is false), APOP timestamp in the greeting
    int pop3s = 0;  // TLS from the first byte (0 without "tls")
    int imap = 0;   // IMAP on the same mailboxes, STARTTLS offered (unless "tls" is false)
    int imaps = 0;  // IMAP over TLS from the first byte (0 without "tls")
    QString caFile; // the server's self-signed certificate
    QString untrustedCaFile; // a certificate that did not sign the server's
    QString logFile;
    QString mailFolder; // one Maildir per user below it: mailFolder/USER/Maildir

    // IMAP as Dovecot serves a client from elsewhere (0 without "tls"): each port is a relay on
    // 127.0.0.1 that names a documentation address as the client, for which Dovecot takes no
    // login from 127.0.0.1's exemption but applies its TLS rules.
    int imapStartTlsRequired = 0; // STARTTLS offered, LOGINDISABLED until it is taken
    int imapNoStartTls = 0;       // no STARTTLS, logins in the clear taken
    int imapLoginDisabled = 0;    // no STARTTLS and LOGINDISABLED: no login possible
    // What the client sent on each connection through the relay at port, in the order they
    // were made, each whole once both sides closed (waits up to 10 s for that); and forgotten.
    QList<QByteArray> takeRelayed(int port) const;

private:
    QString m_relayedFolder;
    QProcess m_process;
    QString m_configPath;
};
