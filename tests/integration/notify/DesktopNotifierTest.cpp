// The desktop notification of new mail against python-dbusmock's notification daemon on a
// private bus: what reaches the service, and that a missing or hung service costs the caller
// nothing.
#include "platform/DesktopNotifier.h"

#include "MimeHeader.h"
#include "mail/NewMailLines.h"
#include "support/PrivateBusTest.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

class DesktopNotifierTest : public PrivateBusTest<DesktopNotifierTest>
{
public:
    static inline const QString BusName = QStringLiteral("notify-test");

protected:
    void startDaemon(const char* command)
    {
        const QString answer = s_mock->command(command);
        ASSERT_TRUE(answer.startsWith(QLatin1String("ok "))) << qPrintable(answer);
    }

    // Sends the lines and waits for the outcome; how long notify() itself took, in ms.
    static qint64 notify(DesktopNotifier&& notifier, const QStringList& lines,
                         std::optional<bool>& outcome)
    {
        return notify(notifier, lines, outcome);
    }
    static qint64 notify(DesktopNotifier& notifier, const QStringList& lines,
                         std::optional<bool>& outcome)
    {
        QElapsedTimer clock;
        clock.start();
        notifier.notify(lines, [&outcome](bool taken) { outcome = taken; });
        const qint64 returned = clock.elapsed();
        (void)QTest::qWaitFor([&] { return outcome.has_value(); }, 10000); // checked by the caller
        return returned;
    }

    // Makes the daemon send a signal, as when the user clicks or closes a notification.
    static void emitSignal(const QString& name, const QVariantList& arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
        call.setArguments({QStringLiteral("org.freedesktop.Notifications"), name,
                           name == u"ActionInvoked"_qs ? u"us"_qs : u"uu"_qs, arguments});
        const QDBusMessage reply = s_bus->call(call, QDBus::Block, 5000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    }

    // The arguments of every Notify the daemon received, as dbusmock logged them.
    static QList<QVariantList> notifyCalls()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("GetMethodCalls"));
        call.setArguments({QStringLiteral("Notify")});
        const QDBusMessage reply = s_bus->call(call, QDBus::Block, 5000);
        QList<QVariantList> calls;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            ADD_FAILURE() << qPrintable(reply.errorMessage());
            return calls;
        }
        const auto log = reply.arguments().constFirst().value<QDBusArgument>();
        log.beginArray();
        while (!log.atEnd()) {
            qulonglong time = 0;
            QVariantList arguments;
            log.beginStructure();
            log >> time >> arguments;
            log.endStructure();
            for (QVariant& argument : arguments) {
                if (argument.canConvert<QDBusVariant>()) {
                    argument = argument.value<QDBusVariant>().variant();
                }
            }
            calls.append(arguments);
        }
        log.endArray();
        return calls;
    }
};

// Seven new messages whose headers came RFC 2047-encoded from the server.
QStringList sevenMessages()
{
    const auto decoded = [](const char* raw) { return nmail::decodeHeaderText(raw); };
    QList<NewMail::Headline> messages = {
        {decoded("=?UTF-8?B?44Gf44G+?= <tama@example.jp>"),
         decoded("=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=")},
        {decoded("=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>"),
         decoded("=?Shift_JIS?B?grGC8YLJgr+CzQ==?=")},
        {decoded("<b@example.jp>"), decoded("<b>bold</b> & more")},
    };
    while (messages.size() < 7) {
        messages.append({decoded("c@example.jp"), decoded("plain")});
    }
    return NewMail::Lines(messages, messages.size());
}

} // namespace

TEST_F(DesktopNotifierTest, TheDaemonGetsTheTitleAndTheDecodedLines)
{
    struct Case
    {
        const char* daemon; // the fixture command that starts it
        QString lastTwoLines;
    };
    const Case cases[] = {
        // The default daemon reads markup: a subject is escaped so it shows as typed.
        {"start-notifications",
         u"b@example.jp — &lt;b&gt;bold&lt;/b&gt; &amp; more\nc@example.jp — plain"_qs},
        {R"(start-notifications {"capabilities": "body"})",
         u"b@example.jp — <b>bold</b> & more\nc@example.jp — plain"_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.daemon);
        startDaemon(c.daemon);
        std::optional<bool> outcome;
        notify(DesktopNotifier(*s_bus), sevenMessages(), outcome);
        EXPECT_EQ(outcome, true);
        const QList<QVariantList> calls = notifyCalls();
        ASSERT_EQ(calls.size(), 1);
        const QVariantList& arguments = calls.constFirst();
        ASSERT_EQ(arguments.size(), 8);
        EXPECT_EQ(arguments[0].toString(), u"モフリちゃん"_qs); // app_name
        EXPECT_EQ(arguments[3].toString(), u"モフリちゃん"_qs); // summary
        const QString body = arguments[4].toString();
        EXPECT_EQ(body.toStdString(), (u"たま — テスト\n山田 — こんにちは\n"_qs + c.lastTwoLines +
                                       u"\nc@example.jp — plain\nほか 2 通"_qs)
                                          .toStdString());
    }
}

TEST_F(DesktopNotifierTest, NoDaemonOrAHungOneNeverHoldsTheCaller)
{
    const QStringList lines = {u"たま — テスト"_qs};
    {
        SCOPED_TRACE("no daemon on the bus");
        ASSERT_EQ(s_mock->command("stop-notifications"), u"ok"_qs);
        std::optional<bool> outcome;
        EXPECT_LT(notify(DesktopNotifier(*s_bus), lines, outcome), 100);
        EXPECT_EQ(outcome, false);
    }
    {
        SCOPED_TRACE("a daemon that never answers");
        startDaemon("start-notifications");
        ASSERT_EQ(s_mock->command("freeze-notifications"), u"ok"_qs);
        QElapsedTimer clock;
        clock.start();
        std::optional<bool> outcome;
        EXPECT_LT(notify(DesktopNotifier(*s_bus, 300), lines, outcome), 100);
        EXPECT_EQ(outcome, false);
        EXPECT_GE(clock.elapsed(), 250);
        EXPECT_LT(clock.elapsed(), 3000);
        ASSERT_EQ(s_mock->command("thaw-notifications"), u"ok"_qs);
    }
}

// Clicking the notification (its default action) is offered where the daemon has actions, and
// is heard only for our own notifications while they are shown.
TEST_F(DesktopNotifierTest, OnlyAClickOnOurOwnNotificationOpensTheMail)
{
    startDaemon(R"(start-notifications {"capabilities": "body actions"})");
    DesktopNotifier notifier(*s_bus);
    QSignalSpy opened(&notifier, &DesktopNotifier::opened);
    std::optional<bool> outcome;
    notify(notifier, {u"たま — テスト"_qs}, outcome);
    ASSERT_EQ(outcome, true);
    const QList<QVariantList> calls = notifyCalls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.constFirst()[5].toStringList(),
              (QStringList{u"default"_qs, u"メールを読む"_qs}));

    // The fresh daemon numbers its notifications from 1: ours is 1.
    emitSignal(u"ActionInvoked"_qs, {2u, u"default"_qs}); // another program's
    emitSignal(u"ActionInvoked"_qs, {1u, u"other"_qs});
    emitSignal(u"ActionInvoked"_qs, {1u, u"default"_qs});
    ASSERT_TRUE(opened.wait(5000));
    QTest::qWait(200);
    EXPECT_EQ(opened.size(), 1);
    emitSignal(u"NotificationClosed"_qs, {1u, 2u});
    emitSignal(u"ActionInvoked"_qs, {1u, u"default"_qs});
    QTest::qWait(300);
    EXPECT_EQ(opened.size(), 1);
}
