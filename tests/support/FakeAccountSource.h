#pragma once

// The desktop's online accounts as a test wants them: a list that answers or not, accounts
// that need attention or vanish, and credentials counted and numbered by renewal, so a test
// sees which token reached the server. The real service's stand-in is in tests/integration.
#include "platform/OnlineAccounts.h"

#include <QMutex>
#include <QMutexLocker>

class FakeAccountSource : public AccountSource
{
public:
    bool answers = true;       // the service answers the list
    QList<OnlineAccount> list; // its mail accounts
    bool silent = false;       // find() gets no answer (not the same as the account gone)
    QString credentialsError;  // every credentials() call fails with this
    int credentialsCalls = 0;
    int renewals = 0;

    // A Google-like OAuth2 account on the given server text's host.
    static OnlineAccount OAuth2Account(const QString& id, const QString& host)
    {
        OnlineAccount account;
        account.id = id;
        account.path = QStringLiteral("/org/gnome/OnlineAccounts/Accounts/") + id;
        account.provider = QStringLiteral("Google");
        account.email = QStringLiteral("kitten@example.com");
        account.imapHost = host;
        account.imapUser = QStringLiteral("kitten@example.com");
        account.imapSsl = true;
        account.login = OnlineAccount::Login::OAuth2;
        return account;
    }

    void change(const QList<OnlineAccount>& accounts)
    {
        {
            const QMutexLocker locked(&m_mutex);
            list = accounts;
        }
        emit accountsChanged();
    }

    bool available() const override { return answers; }
    QList<OnlineAccount> accounts() const override
    {
        const QMutexLocker locked(&m_mutex);
        return list;
    }
    std::optional<OnlineAccount> find(const QString& id, QString* error, bool* gone,
                                      const Cancelled&) override
    {
        const QMutexLocker locked(&m_mutex);
        if (gone)
            *gone = false;
        if (!silent) {
            for (const OnlineAccount& account : list) {
                if (account.id == id)
                    return account;
            }
        }
        if (gone)
            *gone = !silent;
        *error = silent ? QStringLiteral("サービスが応答しません。")
                        : QStringLiteral("アカウントが見つかりません。");
        return std::nullopt;
    }
    // OAuth2: token-0, then token-1 after the first renewal, and so on; else the password.
    AccountCredentials credentials(const OnlineAccount& account, bool renew,
                                   const Cancelled&) override
    {
        const QMutexLocker locked(&m_mutex);
        ++credentialsCalls;
        if (renew)
            ++renewals;
        AccountCredentials got;
        got.login = account.login;
        if (!credentialsError.isEmpty())
            got.error = credentialsError;
        else if (account.attentionNeeded)
            got.error = QStringLiteral("もう一度サインインしてください。");
        else
            got.secret = account.login == OnlineAccount::Login::OAuth2
                             ? "token-" + QByteArray::number(renewals)
                             : QByteArrayLiteral("account-password");
        return got;
    }

private:
    mutable QMutex m_mutex;
};
