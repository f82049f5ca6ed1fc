#include "platform/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// Runs the call without waiting and hands its reply to then, on this thread, once it is there
// or has failed (a missing service answers at once, a hung one within timeoutMs).
void callAsync(const QDBusConnection& bus, const QString& method, const QVariantList& arguments,
               int timeoutMs, std::function<void(const QDBusMessage&)> then)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
    message.setArguments(arguments);
    // Owned by itself: it deletes itself once the reply has been handed on.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [then = std::move(then)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         then(finished->reply());
                     });
}

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, int timeoutMs, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_timeoutMs(timeoutMs)
{
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifier::actionInvoked(uint id, const QString& action)
{
    // Every program's notifications raise this signal; only ours open the mail program.
    if (action == QLatin1String("default") && m_shown->contains(id))
        emit opened();
}

void DesktopNotifier::notificationClosed(uint id, uint /*reason*/)
{
    m_shown->remove(id);
}

QString DesktopNotifier::bodyText(const QStringList& lines, bool markup)
{
    QString body = lines.join(u'\n');
    if (markup) {
        // The three the notification markup knows; a quote needs no escape outside a tag.
        body.replace(u'&', QStringLiteral("&amp;"))
            .replace(u'<', QStringLiteral("&lt;"))
            .replace(u'>', QStringLiteral("&gt;"));
    }
    return body;
}

void DesktopNotifier::notify(const QStringList& lines, std::function<void(bool)> done)
{
    if (!done) {
        done = [](bool) {};
    }
    // Whether the body is read as markup decides how it must be written, so the service's
    // capabilities come first.
    const QDBusConnection bus = m_bus;
    const int timeoutMs = m_timeoutMs;
    callAsync(
        bus, QStringLiteral("GetCapabilities"), {}, timeoutMs,
        [bus, timeoutMs, lines, done, shown = m_shown](const QDBusMessage& capabilities) {
            if (capabilities.type() != QDBusMessage::ReplyMessage ||
                capabilities.arguments().isEmpty()) {
                done(false);
                return;
            }
            const QStringList offered = capabilities.arguments().constFirst().toStringList();
            const bool markup = offered.contains(QStringLiteral("body-markup"));
            // Clicking the notification opens the mail program.
            const QStringList actions =
                offered.contains(QStringLiteral("actions"))
                    //: The notification's button that opens the mail program
                    ? QStringList{QStringLiteral("default"), tr("メールを読む")}
                    : QStringList();
            //: The kitten's name, the notification's title
            const QString name = tr("モフリちゃん");
            const QVariantMap hints{{QStringLiteral("category"), QStringLiteral("email.arrived")},
                                    {QStringLiteral("desktop-entry"), QStringLiteral("mofurin")}};
            // app_name, replaces_id, app_icon, summary, body, actions, hints,
            // expire_timeout (-1: as the service likes).
            const QVariantList arguments{
                name,  0u, QStringLiteral("mail-unread"), name, bodyText(lines, markup), actions,
                hints, -1};
            callAsync(bus, QStringLiteral("Notify"), arguments, timeoutMs,
                      [done, shown](const QDBusMessage& reply) {
                          const bool taken = reply.type() == QDBusMessage::ReplyMessage &&
                                             !reply.arguments().isEmpty();
                          if (taken)
                              shown->insert(reply.arguments().constFirst().toUInt());
                          done(taken);
                      });
        });
}
