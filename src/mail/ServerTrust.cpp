#include "mail/ServerTrust.h"

#include "mail/Mailbox.h"
#include "settings/ProfileFile.h"

namespace {

const QString TlsSection = QStringLiteral("TLS");
const QString PinSection = QStringLiteral("PIN");

struct Parts
{
    QString scheme; // "", "pop3", "pop3+stls", "pop3s", "imap", "imap+starttls" or "imaps"
    QString rest;   // what follows the scheme
};

Parts split(const QString& serverText)
{
    QString text = serverText.trimmed();
    const qsizetype marker = text.indexOf(QStringLiteral("://"));
    if (marker < 0) {
        return {QString(), text};
    }
    return {text.left(marker).toLower(), text.mid(marker + 3)};
}

} // namespace

ServerTrust::ServerTrust(QString filePath) : m_filePath(std::move(filePath)) {}

QString ServerTrust::keyOf(const QString& serverText)
{
    const Parts parts = split(serverText);
    QString rest = parts.rest.toLower();
    // An IMAP address may name a mailbox after the host; the server is the same for all.
    const bool imap = Mailbox::IsImap(serverText);
    if (imap) {
        rest = rest.section(u'/', 0, 0);
    }
    if (rest.endsWith(u'/')) {
        rest.chop(1);
    }
    QString host = rest;
    QString port;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        host = rest.mid(1, close - 1);
        if (close >= 0 && rest.mid(close + 1).startsWith(u':')) {
            port = rest.mid(close + 2);
        }
    } else if (rest.count(u':') == 1) {
        host = rest.section(u':', 0, 0);
        port = rest.section(u':', 1);
    }
    if (port.isEmpty()) {
        port = parts.scheme == QStringLiteral("pop3s")   ? QStringLiteral("995")
               : parts.scheme == QStringLiteral("imaps") ? QStringLiteral("993")
               : imap                                    ? QStringLiteral("143")
                                                         : QStringLiteral("110");
    }
    return host + u' ' + port;
}

QString ServerTrust::shownName(const QString& key)
{
    const QString host = key.section(u' ', 0, 0);
    const QString port = key.section(u' ', 1);
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + port;
}

QString ServerTrust::connectText(const QString& serverText, bool tlsSeen)
{
    const Parts parts = split(serverText);
    if (!tlsSeen) {
        return serverText;
    }
    if (parts.scheme == QStringLiteral("imap")) {
        return QStringLiteral("imap+starttls://") + parts.rest;
    }
    if (!(parts.scheme.isEmpty() || parts.scheme == QStringLiteral("pop3"))) {
        return serverText;
    }
    return QStringLiteral("pop3+stls://") + parts.rest;
}

QString ServerTrust::pinText(const QString& serverText)
{
    if (!Mailbox::IsImap(serverText)) {
        return serverText;
    }
    const QString key = keyOf(serverText);
    const QString host = key.section(u' ', 0, 0);
    const QString port = key.section(u' ', 1);
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + port;
}

bool ServerTrust::tlsSeen(const QString& key) const
{
    return Profile::GetInt(m_filePath, TlsSection, key, 0) == 1;
}

bool ServerTrust::setTlsSeen(const QString& key, bool seen)
{
    return Profile::WriteString(m_filePath, TlsSection, key,
                                seen ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ServerTrust::tlsExpected(const QString& key) const
{
    return tlsSeen(key) || !pinnedCertificate(key).isEmpty();
}

bool ServerTrust::forgetTls(const QString& key)
{
    const bool unseen = setTlsSeen(key, false);
    return setPinnedCertificate(key, QString()) && unseen;
}

QString ServerTrust::pinnedCertificate(const QString& key) const
{
    return Profile::GetString(m_filePath, PinSection, key);
}

bool ServerTrust::setPinnedCertificate(const QString& key, const QString& fingerprint)
{
    return Profile::WriteString(m_filePath, PinSection, key, fingerprint);
}
