#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// A mail account the user signed in to in the desktop's settings (GNOME Online Accounts).
struct OnlineAccount
{
    enum class Login
    {
        OAuth2,   // an access token, renewed by the service
        Password, // the password the user gave the service
    };
    QString id;       // the service's own Id, what the options file keeps
    QString path;     // the account's object on the bus
    QString provider; // the provider's name as the service shows it ("Google")
    QString email;
    QString imapHost; // host, or host:port
    QString imapUser;
    bool imapSsl = false;      // TLS from the first byte
    bool imapStartTls = false; // STARTTLS
    Login login = Login::Password;
    bool attentionNeeded = false; // the user must sign in again in the desktop's settings

    // The server as the program's server field writes it: imaps://, imap+starttls:// or imap://.
    QString serverAddress() const;
};

// What a login takes from the service. The secret goes to the server over TLS and nowhere else:
// no file, no message, no log line.
struct AccountCredentials
{
    OnlineAccount::Login login = OnlineAccount::Login::Password;
    QByteArray secret;
    QString error; // empty when the secret is there; else one Japanese sentence for the user
};

// The desktop's accounts as the program uses them. The settings dialog shows the list, which is
// kept without waiting: watch() asks for it, accountsChanged() says when it arrived or changed.
// The mail check asks for one account and its credentials: both calls wait (within a time-out)
// and stop waiting within a fraction of a second once cancelled says so: they are for the
// check's worker thread, never for the user-interface thread.
class AccountSource : public QObject
{
    Q_OBJECT
public:
    using Cancelled = std::function<bool()>;
    using QObject::QObject;

    virtual void watch() {}
    // Whether the service answered the last time it was asked.
    virtual bool available() const = 0;
    // Its mail accounts (IMAP offered, mail not turned off), in the service's order.
    virtual QList<OnlineAccount> accounts() const = 0;

    // The account as the service has it now; an error sentence where it is gone, no longer
    // offers mail or the service does not answer. gone (may be null) tells the first two apart
    // from the service's silence: the choice of such an account is to be given up.
    virtual std::optional<OnlineAccount> find(const QString& id, QString* error, bool* gone,
                                              const Cancelled& cancelled) = 0;
    // A fresh token or the password; renew first asks the service to renew the credentials
    // (after the server refused a token).
    virtual AccountCredentials credentials(const OnlineAccount& account, bool renew,
                                           const Cancelled& cancelled) = 0;

signals:
    void accountsChanged();
};

// The desktop's accounts in use: the services' own (CurrentServices().accounts), else the
// desktop's online-accounts service, made on first use.
AccountSource& DesktopAccounts();

// The desktop's online-accounts service, org.gnome.OnlineAccounts on the session bus. The list
// for the settings dialog is kept without ever waiting on the bus: watch() asks for it, and
// accountsChanged() says when it arrived or when the desktop added, removed or changed an
// account (the service may also start or end while the kitten runs).
class GnomeOnlineAccounts : public AccountSource
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 5000;
    // Renewing a token may ask the provider over the network.
    static constexpr int RenewTimeoutMs = 30000;

    explicit GnomeOnlineAccounts(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);

    void watch() override;
    bool available() const override { return m_available; }
    QList<OnlineAccount> accounts() const override { return m_accounts; }

    std::optional<OnlineAccount> find(const QString& id, QString* error, bool* gone,
                                      const Cancelled& cancelled) override;
    AccountCredentials credentials(const OnlineAccount& account, bool renew,
                                   const Cancelled& cancelled) override;

    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }

private slots:
    void refresh();

private:
    QDBusConnection m_bus;
    int m_timeoutMs = DefaultTimeoutMs;
    bool m_available = false;
    bool m_watching = false;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
    QList<OnlineAccount> m_accounts;
};
