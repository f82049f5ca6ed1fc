#include "HostAddress.h"

namespace nmail {

namespace {

constexpr quint16 Pop3Port = 110;
constexpr quint16 Pop3sPort = 995;
constexpr quint16 ImapPort = 143;
constexpr quint16 ImapsPort = 993;

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
    if (!parseAuthority(rest, address)) {
        return std::nullopt;
    }
    return address;
}

bool parseAuthority(QStringView rest, HostAddress& address)
{
    QStringView host;
    QStringView port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0) {
            return false;
        }
        host = rest.mid(1, close - 1);
        QStringView after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':')) {
                return false;
            }
            port = after.mid(1);
            if (port.isEmpty()) {
                return false;
            }
        }
        if (!host.contains(u':')) {
            return false;
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
                    return false;
                }
            }
        } else {
            host = rest;
        }
    }
    if (!isAcceptableHost(host)) {
        return false;
    }
    if (!port.isEmpty()) {
        const auto number = parsePort(port);
        if (!number) {
            return false;
        }
        address.port = *number;
    }
    address.host = host.toString();
    return true;
}

std::optional<ImapAddress> parseImapAddress(const QString& text)
{
    QStringView rest = QStringView(text).trimmed();
    ImapAddress address;
    address.server.port = ImapPort;
    if (rest.startsWith(u"imaps://", Qt::CaseInsensitive)) {
        address.server.tls = true;
        address.server.port = ImapsPort;
        rest = rest.mid(8);
    } else if (rest.startsWith(u"imap+starttls://", Qt::CaseInsensitive)) {
        address.server.requireStls = true;
        rest = rest.mid(16);
    } else if (rest.startsWith(u"imap://", Qt::CaseInsensitive)) {
        rest = rest.mid(7);
    } else {
        return std::nullopt;
    }
    const qsizetype slash = rest.indexOf(u'/');
    QStringView mailbox = slash < 0 ? QStringView() : rest.mid(slash + 1);
    if (mailbox.endsWith(u'/')) {
        mailbox.chop(1);
    }
    for (QChar c : mailbox) {
        if (c.category() == QChar::Other_Control) {
            return std::nullopt;
        }
    }
    if (!parseAuthority(slash < 0 ? rest : rest.left(slash), address.server)) {
        return std::nullopt;
    }
    address.mailbox = mailbox.isEmpty() ? QStringLiteral("INBOX") : mailbox.toString();
    return address;
}

} // namespace nmail
