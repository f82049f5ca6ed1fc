#include "HostAddress.h"

namespace nmail {

namespace {

constexpr quint16 Pop3Port = 110;
constexpr quint16 Pop3sPort = 995;

std::optional<quint16> parsePort(QStringView text)
{
    if (text.isEmpty() || text.size() > 5) {
        return std::nullopt;
    }
    for (QChar c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    const int port = text.toInt();
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return quint16(port);
}

bool isAcceptableHost(QStringView host)
{
    if (host.isEmpty()) {
        return false;
    }
    for (QChar c : host) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c == u'/' || c == u'@') {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<HostAddress> parseHostAddress(const QString& text)
{
    QStringView rest = QStringView(text).trimmed();
    HostAddress address;
    address.port = Pop3Port;
    if (rest.startsWith(u"pop3s://", Qt::CaseInsensitive)) {
        address.tls = true;
        address.port = Pop3sPort;
        rest = rest.mid(8);
    } else if (rest.startsWith(u"pop3+stls://", Qt::CaseInsensitive)) {
        address.requireStls = true;
        rest = rest.mid(12);
    } else if (rest.startsWith(u"pop3://", Qt::CaseInsensitive)) {
        rest = rest.mid(7);
    } else if (rest.contains(u"://")) {
        return std::nullopt;
    }
    // A trailing slash after the authority, as in a pasted address, means nothing here.
    if (rest.endsWith(u'/')) {
        rest.chop(1);
    }

    QStringView host;
    QStringView port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0) {
            return std::nullopt;
        }
        host = rest.mid(1, close - 1);
        QStringView after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':')) {
                return std::nullopt;
            }
            port = after.mid(1);
            if (port.isEmpty()) {
                return std::nullopt;
            }
        }
        if (!host.contains(u':')) {
            return std::nullopt;
        }
    } else {
        const qsizetype colon = rest.indexOf(u':');
        if (colon >= 0) {
            // A bare IPv6 address has several colons and no port; a name has at most one.
            if (rest.indexOf(u':', colon + 1) >= 0) {
                host = rest;
            } else {
                host = rest.left(colon);
                port = rest.mid(colon + 1);
                if (port.isEmpty()) {
                    return std::nullopt;
                }
            }
        } else {
            host = rest;
        }
    }
    if (!isAcceptableHost(host)) {
        return std::nullopt;
    }
    if (!port.isEmpty()) {
        const auto number = parsePort(port);
        if (!number) {
            return std::nullopt;
        }
        address.port = *number;
    }
    address.host = host.toString();
    return address;
}

} // namespace nmail
