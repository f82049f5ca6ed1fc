#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), titled with the program's name. Nothing
// here waits on the bus: every call is asynchronous and bounded by a time-out, so a service
// that hangs never holds the caller, and no service on the bus just means no notification.
// The answers arrive through the event loop of the calling thread, which must run one (the
// user-interface thread does).
//
// Where the service offers actions, each notification offers its default action (clicking
// it), and opened() says the user took it; the action signal is followed for this notifier's
// own notifications only.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 3000;

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             int timeoutMs = DefaultTimeoutMs, QObject* parent = nullptr);

    // Shows the lines as the body of one notification. Returns at once; done, when given, is
    // called later on this thread: true when the service took the notification, false when
    // there is none, it failed or it did not answer in time. Nothing is ever shown to the user
    // about a failure: a notification is a courtesy.
    void notify(const QStringList& lines, std::function<void(bool)> done = {});

    // The body: the lines joined by line feeds. A service that reads markup gets &, < and >
    // escaped, so that a subject is shown as the plain text it is.
    static QString bodyText(const QStringList& lines, bool markup);

signals:
    // The user clicked one of our notifications (its default action).
    void opened();

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
    // The ids the service gave our notifications that are still shown; shared with the
    // replies still on their way.
    std::shared_ptr<QSet<uint>> m_shown = std::make_shared<QSet<uint>>();
};
