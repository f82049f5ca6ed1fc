#include "platform/OnlineAccounts.h"

#include "platform/Services.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QMap>
#include <QThread>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.gnome.OnlineAccounts");
const QString ManagerPath = QStringLiteral("/org/gnome/OnlineAccounts");
const QString AccountsPath = QStringLiteral("/org/gnome/OnlineAccounts/Accounts/");
const QString ObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString AccountInterface = QStringLiteral("org.gnome.OnlineAccounts.Account");
const QString MailInterface = QStringLiteral("org.gnome.OnlineAccounts.Mail");
const QString OAuth2Interface = QStringLiteral("org.gnome.OnlineAccounts.OAuth2Based");
const QString PasswordInterface = QStringLiteral("org.gnome.OnlineAccounts.PasswordBased");

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

// How often a waiting call looks at its cancel flag: a cancel is seen within this.
constexpr int CancelPollMs = 20;

QString notAnswering()
{
    return QCoreApplication::translate(
        "OnlineAccounts", "デスクトップのオンラインアカウントのサービスが応答しません。");
}

QString signInAgain()
{
    return QCoreApplication::translate(
        "OnlineAccounts", "システムの設定の「オンラインアカウント」で、このアカウントにもう一度"
                          "サインインしてください。");
}

// A call that got no answer: the service is missing, hung, or the wait was given up.
bool isSilence(const QDBusMessage& reply)
{
    static const QStringList silences = {
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
        QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
    };
    return silences.contains(reply.errorName());
}

QDBusMessage methodCall(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, path, interface, method);
    message.setArguments(arguments);
    return message;
}

// Sends the call and waits for its reply, within timeoutMs, and no longer than a poll once
// cancelled says so. The reply is fetched by Qt D-Bus's own thread, so this thread needs no
// event loop.
QDBusMessage callAndWait(const QDBusConnection& bus, const QDBusMessage& message, int timeoutMs,
                         const AccountSource::Cancelled& cancelled)
{
    const QDBusPendingCall pending = bus.asyncCall(message, timeoutMs);
    const QDeadlineTimer deadline(timeoutMs + 1000);
    while (!pending.isFinished()) {
        if ((cancelled && cancelled()) || deadline.hasExpired())
            return QDBusMessage::createError(QDBusError::Timeout, QStringLiteral("not waited for"));
        QThread::msleep(CancelPollMs);
    }
    return pending.reply();
}

// One account from the object manager's description of it; none when it offers no IMAP mail.
std::optional<OnlineAccount> accountFrom(const QDBusObjectPath& path, const InterfaceMap& object)
{
    if (!path.path().startsWith(AccountsPath) || !object.contains(AccountInterface) ||
        !object.contains(MailInterface))
        return std::nullopt;
    const QVariantMap account = object.value(AccountInterface);
    const QVariantMap mail = object.value(MailInterface);
    if (account.value(QStringLiteral("MailDisabled")).toBool() ||
        !mail.value(QStringLiteral("ImapSupported")).toBool())
        return std::nullopt;
    OnlineAccount found;
    if (object.contains(OAuth2Interface))
        found.login = OnlineAccount::Login::OAuth2;
    else if (object.contains(PasswordInterface))
        found.login = OnlineAccount::Login::Password;
    else
        return std::nullopt;
    found.id = account.value(QStringLiteral("Id")).toString();
    found.path = path.path();
    found.provider = account.value(QStringLiteral("ProviderName")).toString();
    found.attentionNeeded = account.value(QStringLiteral("AttentionNeeded")).toBool();
    found.email = mail.value(QStringLiteral("EmailAddress")).toString();
    found.imapHost = mail.value(QStringLiteral("ImapHost")).toString();
    found.imapUser = mail.value(QStringLiteral("ImapUserName")).toString();
    found.imapSsl = mail.value(QStringLiteral("ImapUseSsl")).toBool();
    found.imapStartTls = mail.value(QStringLiteral("ImapUseTls")).toBool();
    if (found.id.isEmpty() || found.imapHost.isEmpty())
        return std::nullopt;
    return found;
}

QList<OnlineAccount> accountsFrom(const QDBusMessage& reply)
{
    QList<OnlineAccount> accounts;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
        !reply.arguments().first().canConvert<QDBusArgument>())
        return accounts;
    const ObjectMap objects = qdbus_cast<ObjectMap>(reply.arguments().first());
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        if (std::optional<OnlineAccount> account = accountFrom(object.key(), object.value()))
            accounts.append(*account);
    }
    return accounts;
}

} // namespace

QString OnlineAccount::serverAddress() const
{
    const QString scheme = imapSsl        ? QStringLiteral("imaps://")
                           : imapStartTls ? QStringLiteral("imap+starttls://")
                                          : QStringLiteral("imap://");
    return scheme + imapHost;
}

AccountSource& DesktopAccounts()
{
    if (AccountSource* chosen = CurrentServices().accounts)
        return *chosen;
    static auto* service = new GnomeOnlineAccounts; // lives until the process ends
    return *service;
}

GnomeOnlineAccounts::GnomeOnlineAccounts(QDBusConnection bus, QObject* parent)
    : AccountSource(parent), m_bus(std::move(bus))
{
}

void GnomeOnlineAccounts::watch()
{
    if (!m_watching) {
        m_watching = true;
        // The service may come and go while the kitten runs; each change of its accounts is
        // answered by asking for the whole list again, which is short.
        auto* owner =
            new QDBusServiceWatcher(Service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &GnomeOnlineAccounts::refresh);
        for (const char* signal : {"InterfacesAdded", "InterfacesRemoved"})
            m_bus.connect(Service, ManagerPath, ObjectManager, QString::fromLatin1(signal), this,
                          SLOT(refresh()));
        // A property of any account (its attention flag, mail turned off) changing.
        m_bus.connect(Service, QString(), Properties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(refresh()));
    }
    refresh();
}

void GnomeOnlineAccounts::refresh()
{
    if (m_refreshing) {
        m_refreshAgain = true;
        return;
    }
    m_refreshing = true;
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(methodCall(ManagerPath, ObjectManager, QStringLiteral("GetManagedObjects")),
                        m_timeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                m_available = reply.type() == QDBusMessage::ReplyMessage;
                m_accounts = accountsFrom(reply);
                m_refreshing = false;
                if (m_refreshAgain) {
                    m_refreshAgain = false;
                    refresh();
                    return;
                }
                emit accountsChanged();
            });
}

std::optional<OnlineAccount> GnomeOnlineAccounts::find(const QString& id, QString* error,
                                                       bool* gone, const Cancelled& cancelled)
{
    if (gone)
        *gone = false;
    const QDBusMessage reply = callAndWait(
        m_bus, methodCall(ManagerPath, ObjectManager, QStringLiteral("GetManagedObjects")),
        m_timeoutMs, cancelled);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        *error = notAnswering();
        return std::nullopt;
    }
    for (const OnlineAccount& account : accountsFrom(reply)) {
        if (account.id == id)
            return account;
    }
    if (gone)
        *gone = true;
    *error = QCoreApplication::translate(
        "OnlineAccounts", "デスクトップのアカウントが見つからないか、メールに使わない設定に"
                          "なりました。「設定」で選び直してください。");
    return std::nullopt;
}

AccountCredentials GnomeOnlineAccounts::credentials(const OnlineAccount& account, bool renew,
                                                    const Cancelled& cancelled)
{
    AccountCredentials got;
    got.login = account.login;
    if (account.attentionNeeded) {
        got.error = signInAgain();
        return got;
    }
    if (renew) {
        const QDBusMessage renewed = callAndWait(
            m_bus, methodCall(account.path, AccountInterface, QStringLiteral("EnsureCredentials")),
            RenewTimeoutMs, cancelled);
        if (renewed.type() != QDBusMessage::ReplyMessage) {
            got.error = isSilence(renewed) ? notAnswering() : signInAgain();
            return got;
        }
    }
    const QDBusMessage reply =
        account.login == OnlineAccount::Login::OAuth2
            ? callAndWait(
                  m_bus,
                  methodCall(account.path, OAuth2Interface, QStringLiteral("GetAccessToken")),
                  m_timeoutMs, cancelled)
            : callAndWait(m_bus,
                          methodCall(account.path, PasswordInterface, QStringLiteral("GetPassword"),
                                     {QStringLiteral("imap-password")}),
                          m_timeoutMs, cancelled);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // No answer at all is the service's fault; an error it answers with (the provider
        // refused to renew, the user revoked the access) wants the user to sign in again.
        got.error = isSilence(reply) ? notAnswering() : signInAgain();
        return got;
    }
    const QString secret =
        reply.arguments().isEmpty() ? QString() : reply.arguments().first().toString();
    if (secret.isEmpty()) {
        got.error = signInAgain();
        return got;
    }
    got.secret = secret.toUtf8();
    return got;
}
