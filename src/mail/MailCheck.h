#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class MailLibrary;

// The account a check logs in with.
struct MailAccount
{
    QString userId;
    QString password;
};

// One check of a POP3 mailbox through the mail library, with no window: connect, take the
// account, log in, walk every waiting message (its header texts, its size, the message) in
// ascending order, close. What the user sees of it is the caller's: the check reports its
// progress and outcome as data, and asks the caller at the two points where the user's
// settings or eyes come in (the account, read after the connection is made; a failed login's
// reason, shown before the connection closes).
class MailCheck
{
public:
    struct Outcome
    {
        // What the notice shows: the number of waiting messages, 0 when there was no login, or
        // the login's negative result.
        int32_t count = 0;
        bool connected = false;         // false: the connection failed (see failure)
        bool accountIncomplete = false; // no login: the stored ID or password is empty
        bool encrypted = false;         // the connection was TLS (pop3s:// or STLS)
        int32_t failureCode = 0;        // the library's result for a failed connect or login
        QString failure;                // the library's reason, when the connect or login failed
        struct Certificate
        {
            QString subject, validity, fingerprint, problem;
        };
        std::optional<Certificate> certificate; // when the server's certificate was the reason
    };
    using AccountSource = std::function<MailAccount()>;
    using LoginFailed = std::function<void(const Outcome&)>;
    using Progress = std::function<void(int32_t message, int32_t total)>;

    explicit MailCheck(MailLibrary& library);

    // server is handed to the library as it is; apop chooses APOP for the login. account is
    // asked once the connection stands; loginFailed (may be empty) hears a failed login while
    // the connection is still open; progress (may be empty) hears each message as it starts.
    Outcome run(const QString& server, bool apop, const AccountSource& account,
                const LoginFailed& loginFailed = {}, const Progress& progress = {});

private:
    QString lastMessage(int32_t kind);

    MailLibrary& m_library;
};
