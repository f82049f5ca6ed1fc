#include "platform/NetworkManagerDialUp.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QMap>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace {

const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString NmInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString ActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString DeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString SettingsInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// NMActiveConnectionState: a connection already going down needs no second hang-up.
constexpr uint StateDeactivating = 3;
constexpr uint StateDeactivated = 4;

// At least one millisecond, so that an expired deadline never turns into QtDBus's default
// time-out (a negative value means "the default", 25 s).
int remainingMs(const QDeadlineTimer& deadline, int cap)
{
    const qint64 left = deadline.remainingTime();
    if (left < 0) // the deadline never expires
        return cap;
    return static_cast<int>(std::clamp<qint64>(left, 1, cap));
}

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(NmService, path, interface, method);
    message.setArguments(arguments);
    // No interactive authorisation: nothing may ask the user anything from here.
    message.setInteractiveAuthorizationAllowed(false);
    return bus.call(message, QDBus::Block, timeoutMs);
}

// The single value of a reply, unwrapped from the variant that Properties.Get returns.
bool replyValue(const QDBusMessage& reply, QVariant& value)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    value = reply.arguments().constFirst();
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return true;
}

// Object paths arrive either as a demarshalled list or still as a D-Bus argument, depending on
// how deeply they were nested in the reply.
bool toPathList(const QVariant& value, QList<QDBusObjectPath>& paths)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentSignature() != QLatin1String("ao"))
            return false;
        paths = qdbus_cast<QList<QDBusObjectPath>>(argument);
        return true;
    }
    if (value.canConvert<QList<QDBusObjectPath>>()) {
        paths = value.value<QList<QDBusObjectPath>>();
        return true;
    }
    return false;
}

QVariantMap toVariantMap(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == QLatin1String("a{sv}"))
            return qdbus_cast<QVariantMap>(argument);
        return {};
    }
    return value.toMap();
}

using SettingsMap = QMap<QString, QVariantMap>;

bool toSettings(const QVariant& value, SettingsMap& settings)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return false;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{sa{sv}}"))
        return false;
    settings = qdbus_cast<SettingsMap>(argument);
    return true;
}

} // namespace

NetworkManagerDialUp::NetworkManagerDialUp(QDBusConnection bus, Timeouts timeouts)
    : m_bus(std::move(bus)), m_timeouts(timeouts)
{
}

QDBusConnection NetworkManagerDialUp::BusFromEnvironment()
{
    const QString choice = qEnvironmentVariable("MOFURIN_DIALUP_BUS");
    if (choice.isEmpty() || choice == QLatin1String("system"))
        return QDBusConnection::systemBus();
    if (choice == QLatin1String("session"))
        return QDBusConnection::sessionBus();
    return QDBusConnection::connectToBus(choice, QStringLiteral("mofurin-dialup"));
}

bool NetworkManagerDialUp::IsDialUp(const ActiveConnectionInfo& info)
{
    if (info.state == StateDeactivating || info.state == StateDeactivated)
        return false;
    // PPPoE and mobile broadband (GSM/UMTS/LTE modems and CDMA) always run over PPP or a
    // modem's dial-up bearer.
    if (info.type == QLatin1String("pppoe") || info.type == QLatin1String("gsm") ||
        info.type == QLatin1String("cdma"))
        return true;
    // ADSL is dial-up when it carries PPP; plain IP over ATM is not.
    if (info.type == QLatin1String("adsl"))
        return info.adslProtocol == QLatin1String("pppoa") ||
               info.adslProtocol == QLatin1String("pppoe");
    // Bluetooth is dial-up for DUN, not for personal-area networking. When the settings could
    // not be read, a ppp interface on its device still gives a DUN link away.
    if (info.type == QLatin1String("bluetooth")) {
        if (!info.bluetoothType.isEmpty())
            return info.bluetoothType == QLatin1String("dun");
        return std::any_of(info.ipInterfaces.cbegin(), info.ipInterfaces.cend(),
                           [](const QString& name) { return name.startsWith(u"ppp"); });
    }
    return false;
}

bool NetworkManagerDialUp::networkManagerPresent() const
{
    if (!m_bus.isConnected())
        return false;
    // Ask the bus itself, with a short time-out, instead of letting a call to an absent name
    // wait for service activation.
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    message << NmService;
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_timeouts.nameOwnerMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

bool NetworkManagerDialUp::readInfo(const QString& activePath, int timeoutMs,
                                    ActiveConnectionInfo& info) const
{
    QVariant value;
    if (!replyValue(call(m_bus, activePath, PropertiesInterface, QStringLiteral("GetAll"),
                         {ActiveInterface}, timeoutMs),
                    value))
        return false;
    const QVariantMap properties = toVariantMap(value);
    info.type = properties.value(QStringLiteral("Type")).toString();
    info.state = properties.value(QStringLiteral("State")).toUInt();

    if (info.type == QLatin1String("bluetooth") || info.type == QLatin1String("adsl")) {
        const QVariant connection = properties.value(QStringLiteral("Connection"));
        const QString settingsPath = connection.value<QDBusObjectPath>().path();
        SettingsMap settings;
        if (!settingsPath.isEmpty() && settingsPath != QLatin1String("/") &&
            replyValue(call(m_bus, settingsPath, SettingsInterface, QStringLiteral("GetSettings"),
                            {}, timeoutMs),
                       value) &&
            toSettings(value, settings)) {
            info.bluetoothType = settings.value(QStringLiteral("bluetooth"))
                                     .value(QStringLiteral("type"))
                                     .toString();
            info.adslProtocol =
                settings.value(QStringLiteral("adsl")).value(QStringLiteral("protocol")).toString();
        }
        QList<QDBusObjectPath> devices;
        if (info.type == QLatin1String("bluetooth") && info.bluetoothType.isEmpty() &&
            toPathList(properties.value(QStringLiteral("Devices")), devices)) {
            for (const QDBusObjectPath& device : std::as_const(devices)) {
                if (replyValue(call(m_bus, device.path(), PropertiesInterface,
                                    QStringLiteral("Get"),
                                    {DeviceInterface, QStringLiteral("IpInterface")}, timeoutMs),
                               value))
                    info.ipInterfaces << value.toString();
            }
        }
    }
    return true;
}

bool NetworkManagerDialUp::EnumConnections(std::vector<DialUpConnection>& table)
{
    table.clear();
    m_stopWaiting = false;
    // No bus, or no NetworkManager on it: a machine without a dial-up service.
    if (!networkManagerPresent())
        return true;

    const QDeadlineTimer deadline(m_timeouts.enumerationMs);
    QVariant value;
    QList<QDBusObjectPath> active;
    if (!replyValue(call(m_bus, NmPath, PropertiesInterface, QStringLiteral("Get"),
                         {NmInterface, QStringLiteral("ActiveConnections")},
                         remainingMs(deadline, m_timeouts.callMs)),
                    value) ||
        !toPathList(value, active))
        return false;

    std::vector<DialUpConnection> found;
    for (const QDBusObjectPath& path : std::as_const(active)) {
        // A slow bus must not stretch the enumeration without end: past the deadline the
        // list is incomplete, and an incomplete list counts as a failed enumeration.
        if (deadline.hasExpired())
            return false;
        ActiveConnectionInfo info;
        // An active connection that vanished between the list and this read has already gone
        // down; there is nothing left of it to hang up.
        if (!readInfo(path.path(), remainingMs(deadline, m_timeouts.callMs), info))
            continue;
        if (!IsDialUp(info))
            continue;
        if (found.size() == static_cast<std::size_t>(MaxConnections))
            return false; // more dial-up connections than the table holds
        found.push_back({path.path()});
    }
    table = std::move(found);
    return true;
}

void NetworkManagerDialUp::HangUp(const DialUpConnection& connection)
{
    // Only what the enumeration produced is sent on; anything else is not an object path.
    if (!QDBusObjectPath(connection.handle).path().startsWith(u'/'))
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(NmService, NmPath, NmInterface,
                                                          QStringLiteral("DeactivateConnection"));
    message << QVariant::fromValue(QDBusObjectPath(connection.handle));
    message.setInteractiveAuthorizationAllowed(false);
    if (m_stopWaiting) {
        m_bus.send(message);
        return;
    }
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_timeouts.hangUpMs);
    // The result is not examined, except that a service which stopped answering is not waited
    // for again in this run.
    if (reply.type() == QDBusMessage::ErrorMessage &&
        (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
         reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout")))
        m_stopWaiting = true;
}
