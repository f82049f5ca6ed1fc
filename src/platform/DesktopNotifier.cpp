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

DesktopNotifier::DesktopNotifier(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs)
{
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

void DesktopNotifier::notify(const QStringList& lines, std::function<void(bool)> done) const
{
    if (!done) {
        done = [](bool) {};
    }
    // Whether the body is read as markup decides how it must be written, so the service's
    // capabilities come first.
    const QDBusConnection bus = m_bus;
    const int timeoutMs = m_timeoutMs;
    callAsync(bus, QStringLiteral("GetCapabilities"), {}, timeoutMs,
              [bus, timeoutMs, lines, done](const QDBusMessage& capabilities) {
                  if (capabilities.type() != QDBusMessage::ReplyMessage ||
                      capabilities.arguments().isEmpty()) {
                      done(false);
                      return;
                  }
                  const bool markup = capabilities.arguments().constFirst().toStringList().contains(
                      QStringLiteral("body-markup"));
                  const QString name = QStringLiteral("モフリちゃん");
                  const QVariantMap hints{
                      {QStringLiteral("category"), QStringLiteral("email.arrived")},
                      {QStringLiteral("desktop-entry"), QStringLiteral("mofurin")}};
                  // app_name, replaces_id, app_icon, summary, body, actions, hints,
                  // expire_timeout (-1: as the service likes).
                  const QVariantList arguments{name,
                                               0u,
                                               QStringLiteral("mail-unread"),
                                               name,
                                               bodyText(lines, markup),
                                               QStringList(),
                                               hints,
                                               -1};
                  callAsync(bus, QStringLiteral("Notify"), arguments, timeoutMs,
                            [done](const QDBusMessage& reply) {
                                done(reply.type() == QDBusMessage::ReplyMessage);
                            });
              });
}
