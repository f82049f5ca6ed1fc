#pragma once

#include "mail/NewMailLines.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

class AccountSource;
class MailLibrary;
class Mailbox;
struct OnlineAccount;

// The account a check logs in with.
struct MailAccount
{
    QString userId;
    QString password;
};

// One check of a mailbox (POP3, or IMAP's unseen messages) through the mail library, with no
// window: connect, take the account, log in, walk the messages counted, close. What the user
// sees of it is the caller's: the check reports its progress and outcome as data, and asks the
// caller at the two points where the user's settings or eyes come in (the account, taken once
// the connection stands; a failed login's reason, told before the connection closes). It may
// run on any one thread; cancel() may come from another.
class MailCheck
{
public:
    struct Request
    {
        QString server;    // handed to the library as it is; its scheme chooses the protocol
        bool apop = false; // POP3 only
        // Report only messages no earlier check reported: their identities (UIDL, IMAP's
        // UIDVALIDITY/UID, or one made from the headers where a POP3 server keeps none) against
        // reported, and only their headers are fetched. Otherwise every waiting message is
        // walked whole, as always (IMAP: only their headers).
        bool newOnly = false;
        QSet<QByteArray> reported;
        // A desktop account (its Id) to use instead of server and the account hook: its
        // server, user name and credentials, asked of accounts on the check's own thread.
        QString desktopAccountId;
        AccountSource* accounts = nullptr;
    };
    struct Outcome
    {
        // What the notice shows: the number of messages to report, 0 when there was no login,
        // or the login's negative result.
        int32_t count = 0;
        bool connected = false;         // false: the connection failed (see failure)
        bool accountIncomplete = false; // no login: the stored ID or password is empty
        bool encrypted = false;         // the connection was TLS (imaps://, STLS, ...)
        bool cancelled = false;         // stopped on request; count is what was known then
        int32_t failureCode = 0;        // the library's result for a failed connect or login
        QString failure;                // the library's reason, when the connect or login failed
        // The connection failed while the messages were being walked (after the login):
        // failure and failureCode say why, count stays what was known, headlines hold only
        // what was read, and nothing is to be remembered.
        bool walkFailed = false;
        struct Certificate
        {
            QString subject, validity, fingerprint, problem;
        };
        std::optional<Certificate> certificate; // when the server's certificate was the reason
        QList<NewMail::Headline> headlines;     // sender and subject of each message reported
        // New-only checks that went through: every identity the server holds now, to remember
        // as reported.
        std::optional<QList<QByteArray>> remember;
        // The server connected to, as the library was given it (a desktop account's is the
        // service's).
        QString server;
        // The desktop account chosen is gone or no longer offers mail (failure says so): the
        // choice is to be given up.
        bool desktopAccountGone = false;
    };
    struct Hooks
    {
        std::function<MailAccount()> account;
        std::function<void(const Outcome&)> loginFailed;        // may be empty
        std::function<void(int32_t n, int32_t total)> progress; // may be empty
    };

    explicit MailCheck(MailLibrary& library);

    Outcome run(const Request& request, const Hooks& hooks);
    // Ends the check as soon as it can, at any step from the connect on: a call that waits on
    // the server fails at once, and no further message is asked for; the connection is still
    // closed.
    void cancel();

private:
    QString lastMessage(int32_t kind);
    void logInWithDesktopAccount(Mailbox& mailbox, AccountSource& accounts,
                                 const OnlineAccount& account, Outcome& outcome);
    void walkWholeMessages(Mailbox& mailbox, Outcome& outcome, const Hooks& hooks);
    void reportNewOnly(Mailbox& mailbox, const Request& request, Outcome& outcome,
                       const Hooks& hooks);
    void walkFailed(int32_t result, Outcome& outcome);

    MailLibrary& m_library;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int32_t> m_handle{-1};
};
