#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

namespace nmail {

// What the library trusts for TLS besides the system's certificate authorities. Shared by
// every session of the process and safe to use from any thread.

// Certificate authorities trusted besides the system's. Only tests call this, for their own
// throwaway servers; the program never does, so its trust comes from the system's store and
// the certificates its user pinned.
void setExtraTrustAnchors(const QList<QSslCertificate>& certificates);
QList<QSslCertificate> extraTrustAnchors();

// A certificate the user trusted for one server (host and port), by its SHA-256 digest. It is
// accepted for that server whatever the authorities say, and that server must present it:
// another certificate is refused even when an authority signed it. An empty digest removes
// the pin.
void setPinnedCertificate(const QString& host, quint16 port, const QByteArray& sha256);
QByteArray pinnedCertificate(const QString& host, quint16 port);

// The SHA-256 digest of a certificate as people compare it: upper-case hex pairs joined by
// colons, as `openssl x509 -fingerprint -sha256` prints it.
QString fingerprintText(const QSslCertificate& certificate);

// A digest from its text, with or without colons; empty when the text is not 32 hex pairs.
QByteArray fingerprintFromText(QStringView text);

} // namespace nmail
