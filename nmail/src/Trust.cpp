#include "Trust.h"

#include <QCryptographicHash>
#include <QHash>
#include <mutex>

namespace nmail {

namespace {

struct TrustStore
{
    std::mutex mutex;
    QList<QSslCertificate> anchors;
    QHash<QString, QByteArray> pins; // "host port" (host in lower case) -> SHA-256 digest
};

TrustStore& store()
{
    static TrustStore instance;
    return instance;
}

QString serverKey(const QString& host, quint16 port)
{
    return host.toLower() + u' ' + QString::number(port);
}

} // namespace

void setExtraTrustAnchors(const QList<QSslCertificate>& certificates)
{
    TrustStore& trust = store();
    const std::lock_guard lock(trust.mutex);
    trust.anchors = certificates;
}

QList<QSslCertificate> extraTrustAnchors()
{
    TrustStore& trust = store();
    const std::lock_guard lock(trust.mutex);
    return trust.anchors;
}

void setPinnedCertificate(const QString& host, quint16 port, const QByteArray& sha256)
{
    TrustStore& trust = store();
    const std::lock_guard lock(trust.mutex);
    if (sha256.isEmpty()) {
        trust.pins.remove(serverKey(host, port));
    } else {
        trust.pins.insert(serverKey(host, port), sha256);
    }
}

QByteArray pinnedCertificate(const QString& host, quint16 port)
{
    TrustStore& trust = store();
    const std::lock_guard lock(trust.mutex);
    return trust.pins.value(serverKey(host, port));
}

QString fingerprintText(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QByteArray fingerprintFromText(QStringView text)
{
    QByteArray hex;
    for (QChar c : text) {
        if (c == u':' || c.isSpace()) {
            continue;
        }
        const char16_t u = c.unicode();
        const bool hexDigit =
            (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!hexDigit) {
            return {};
        }
        hex += char(c.unicode());
    }
    const QByteArray digest = QByteArray::fromHex(hex);
    return hex.size() == 64 && digest.size() == 32 ? digest : QByteArray();
}

} // namespace nmail
