#pragma once

// A stand-in for the mail library that records every call in order and answers as scripted.
#include "mail/MailLibrary.h"
#include "nmail/NMail.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Records every call in order and answers as scripted.
class RecordingLibrary : public MailLibrary
{
public:
    QStringList calls;
    int32_t connectResult = 7;
    int32_t loginResult = 0;
    int32_t size = 100;
    // The library answers in UTF-8, as the program's libraries do.
    QByteArray error =
        QStringLiteral("ログインできませんでした。 -ERR [AUTH] Authentication failed.").toUtf8();

    int32_t Pop3Connect(const char* host) override
    {
        calls << QStringLiteral("connect %1").arg(QString::fromUtf8(host));
        return connectResult;
    }
    // The two-step connect as the check makes it, recorded as one "connect".
    int32_t Pop3NewHandle() override { return connectResult >= 0 ? connectResult : 7; }
    int32_t Pop3ConnectHandle(int32_t, const char* host) override
    {
        const int32_t handle = Pop3Connect(host);
        return handle < 0 ? handle : NMAIL_OK;
    }
    int32_t Pop3Authenticate(int32_t handle, const char* user, const char* pass,
                             int32_t apop) override
    {
        if (lost(QStringLiteral("login %1 %2 %3 %4")
                     .arg(handle)
                     .arg(QString::fromUtf8(user), QString::fromUtf8(pass))
                     .arg(apop)))
            return NMAIL_ERR_CLOSED;
        return loginResult;
    }
    // The call (as recorded, "uidl 2") at which the connection is lost: it and every later
    // call on the connection fail with NMAIL_ERR_CLOSED. Empty: the connection holds.
    QString dropAt;
    bool dropped = false;
    // Records the call; true when the connection is lost by now.
    bool lost(const QString& call)
    {
        calls << call;
        if (call == cancelAt && cancel)
            cancel();
        dropped = dropped || call == dropAt;
        return dropped;
    }
    int32_t Pop3GetMailStatus(int32_t, int32_t n, char*, char*, char*, char*, int32_t) override
    {
        return lost(QStringLiteral("status %1").arg(n)) ? NMAIL_ERR_CLOSED : 0;
    }
    int32_t Pop3GetMailSize(int32_t, int32_t n) override
    {
        return lost(QStringLiteral("size %1").arg(n)) ? NMAIL_ERR_CLOSED : size;
    }
    int32_t Pop3GetMail(int32_t, int32_t n, char*, char*, char*, char*, char* body, int32_t,
                        int32_t) override
    {
        // The buffer holds size + 1 spaces and no terminator.
        calls << QStringLiteral("mail %1 %2")
                     .arg(n)
                     .arg(qstrnlen(body, static_cast<size_t>(size) + 1));
        return 0;
    }
    // The result code of the last failure, and the certificate texts by message kind.
    int32_t lastResult = 0;
    QByteArray certificate[4];

    int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) override
    {
        if (kind != NMAIL_MESSAGE_LAST_ERROR) {
            qstrncpy(buffer, certificate[(kind - 1) & 3].constData(), static_cast<size_t>(*length));
            return 0;
        }
        calls << QStringLiteral("message");
        qstrncpy(buffer, error.constData(), static_cast<size_t>(*length));
        return 0;
    }
    int32_t GetLastResult() override { return lastResult; }
    int32_t SetPinnedCertificate(const char* host, const char* fingerprint) override
    {
        pinnedHost = QString::fromUtf8(host);
        pinned = fingerprint ? QString::fromLatin1(fingerprint) : QString();
        return 0;
    }
    QString pinned;     // what the last check pinned for its server
    QString pinnedHost; // and the server it named
    int32_t encryptedAnswer = 0;
    QList<QByteArray> uidls; // the server's unique-ids; none: the server refuses UIDL
    int32_t Pop3GetUidl(int32_t, int32_t n, char* buffer) override
    {
        if (lost(QStringLiteral("uidl %1").arg(n)))
            return NMAIL_ERR_CLOSED;
        if (uidls.isEmpty())
            return NMAIL_ERR_UIDL_REFUSED;
        qstrcpy(buffer, uidls.value(n - 1).constData());
        return 0;
    }
    // IMAP, recorded apart from POP3's calls: "imap connect ADDRESS", "imap login HANDLE USER
    // PASS HOW", "uid N" and "headers N"; uidls stand for the unseen messages' identities, and
    // every message has the sender "from N" and the subject "subject N".
    int32_t ImapConnectHandle(int32_t, const char* address) override
    {
        // The address comes in the code page, its mailbox name too.
        calls << QStringLiteral("imap connect %1").arg(QString::fromUtf8(address));
        return connectResult < 0 ? connectResult : NMAIL_OK;
    }
    int32_t ImapAuthenticate(int32_t handle, const char* user, const char* secret,
                             int32_t how) override
    {
        if (lost(QStringLiteral("imap login %1 %2 %3 %4")
                     .arg(handle)
                     .arg(QString::fromUtf8(user), QString::fromUtf8(secret))
                     .arg(how)))
            return NMAIL_ERR_CLOSED;
        return imapLoginResults.isEmpty() ? loginResult : imapLoginResults.takeFirst();
    }
    // What the IMAP logins answer in turn before loginResult (a token refused, then taken).
    QList<int32_t> imapLoginResults;
    int32_t ImapGetUnseenId(int32_t, int32_t n, char* buffer) override
    {
        if (lost(QStringLiteral("uid %1").arg(n)))
            return NMAIL_ERR_CLOSED;
        qstrcpy(buffer, uidls.value(n - 1).constData());
        return 0;
    }
    int32_t ImapGetMailStatus(int32_t, int32_t n, char* subject, char*, char* from, char*) override
    {
        if (lost(QStringLiteral("headers %1").arg(n)))
            return NMAIL_ERR_CLOSED;
        qstrcpy(subject, QByteArray("subject " + QByteArray::number(n)).constData());
        qstrcpy(from, QByteArray("from " + QByteArray::number(n)).constData());
        return 0;
    }
    // The call (as recorded) during which the check is cancelled, as 中止 would from the
    // window's thread; the call itself still answers.
    QString cancelAt;
    std::function<void()> cancel;
    int32_t Pop3Cancel(int32_t handle) override
    {
        calls << QStringLiteral("cancel %1").arg(handle);
        return 0;
    }
    int32_t Pop3IsEncrypted(int32_t) override { return encryptedAnswer; }
    int32_t Pop3Close(int32_t handle) override
    {
        calls << QStringLiteral("close %1").arg(handle);
        return 0;
    }
};
