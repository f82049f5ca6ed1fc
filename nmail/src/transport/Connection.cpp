#include "transport/Connection.h"

#include "ConnectRace.h"
#include "Failures.h"
#include "HostLookup.h"
#include "Trust.h"
#include "nmail/NMail.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace nmail {

namespace {

// The certificate as the user is shown it, with what was wrong with it.
Failure::Certificate describe(const QSslCertificate& certificate, const QList<QSslError>& errors)
{
    Failure::Certificate report;
    report.subject = shownText(certificate.subjectDisplayName(), 120);
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm");
    //: A certificate's validity: from %1 to %2
    report.validity = QCoreApplication::translate("Connection", "%1 ～ %2")
                          .arg(certificate.effectiveDate().toLocalTime().toString(format),
                               certificate.expiryDate().toLocalTime().toString(format));
    report.fingerprint = fingerprintText(certificate);
    QStringList problems;
    for (const QSslError& error : errors) {
        QString text;
        switch (error.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            text = QCoreApplication::translate("Connection", "自己署名の証明書です");
            break;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            text = QCoreApplication::translate("Connection", "信頼できる認証局の署名がありません");
            break;
        case QSslError::HostNameMismatch:
            text = QCoreApplication::translate("Connection",
                                               "証明書の名前がサーバーの名前と合いません");
            break;
        case QSslError::CertificateExpired:
            text = QCoreApplication::translate("Connection", "証明書の有効期限が切れています");
            break;
        case QSslError::CertificateNotYetValid:
            text = QCoreApplication::translate("Connection", "証明書はまだ有効になっていません");
            break;
        default:
            text = error.errorString();
            break;
        }
        if (!problems.contains(text)) {
            problems.append(text);
        }
    }
    //: Ends each of a certificate's problems, which follow one another
    const QString stop = QCoreApplication::translate("Connection", "。");
    report.problem = problems.isEmpty() ? QString() : (problems.join(stop) + stop).trimmed();
    return report;
}

} // namespace

Connection::~Connection()
{
    m_cancel.forget();
    if (m_socket) {
        m_socket->abort();
    }
}

Result<Done> Connection::open(const HostAddress& address)
{
    if (m_cancel.cancelled()) {
        return failure(Why::Cancelled);
    }
    // Every connection may become a TLS one: STLS and STARTTLS upgrade a plain one.
    m_socket = std::make_unique<QSslSocket>();
    m_input.clear();
    const QDeadlineTimer connectDeadline(m_timeouts.connectMs);
    const auto addresses =
        lookUpHost(address.host, connectDeadline, QHostInfo::fromName, &m_cancel);
    if (!addresses.ok()) {
        return unlessCancelled(addresses.failure());
    }
    const auto winner = raceConnect(addresses.value(), address.port, connectDeadline, &m_cancel);
    if (!winner.ok()) {
        return unlessCancelled(winner.failure());
    }
    // Watched before Qt takes it, so no wait on it can miss a cancel.
    if (!m_cancel.watch(winner.value().descriptor)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        closeDescriptor(winner.value().descriptor);
        return unlessCancelled(failure(Why::ConnectFailed, reason));
    }
    if (!m_socket->setSocketDescriptor(winner.value().descriptor)) {
        closeDescriptor(winner.value().descriptor);
        return unlessCancelled(failure(Why::ConnectFailed, m_socket->errorString()));
    }
    // Our own commands are short; Nagle would only delay each one.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Each wait takes at most this much from the system: unbounded, a socket takes all the
    // kernel has buffered (tens of megabytes on a fast line while the parser is busy), and a
    // server that floods us would have it held twice over before the parser could refuse it.
    m_socket->setReadBufferSize(ReadChunkSize);
    if (address.tls) {
        if (auto secured = encrypt(address, connectDeadline); !secured.ok()) {
            return unlessCancelled(secured.failure());
        }
    }
    return Done{};
}

Result<Done> Connection::startTls(const HostAddress& address)
{
    m_input.clear();
    (void)m_socket->readAll();
    if (auto secured = encrypt(address, QDeadlineTimer(m_timeouts.connectMs)); !secured.ok()) {
        return unlessCancelled(secured.failure());
    }
    return Done{};
}

bool Connection::tlsRequired(const HostAddress& address)
{
    return address.requireStls || !pinnedCertificate(address.host, address.port).isEmpty();
}

Result<Done> Connection::encrypt(const HostAddress& address, const QDeadlineTimer& deadline)
{
    QSslSocket* tls = m_socket.get();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (const auto anchors = extraTrustAnchors(); !anchors.isEmpty()) {
        config.addCaCertificates(anchors);
    }
    tls->setSslConfiguration(config);
    // The certificate is checked against the name the user gave, not the address.
    tls->setPeerVerifyName(address.host);
    const QByteArray pin = pinnedCertificate(address.host, address.port);
    QList<QSslError> problems;
    // Emitted inside the handshake when verification fails: the certificate the user pinned
    // for this server is accepted whatever the authorities say.
    const auto watch =
        QObject::connect(tls, &QSslSocket::sslErrors, tls, [&](const QList<QSslError>& errors) {
            problems = errors;
            if (!pin.isEmpty() &&
                tls->peerCertificate().digest(QCryptographicHash::Sha256) == pin) {
                tls->ignoreSslErrors();
            }
        });
    tls->startClientEncryption();
    const bool encrypted = tls->waitForEncrypted(int(qMax<qint64>(1, deadline.remainingTime())));
    QObject::disconnect(watch);
    const QSslCertificate peer = tls->peerCertificate();
    if (!pin.isEmpty() && !peer.isNull() && peer.digest(QCryptographicHash::Sha256) != pin) {
        // Even a certificate an authority signed: the user trusted another one for this server.
        Failure changed = failure(Why::CertificateChanged);
        changed.certificate = describe(peer, problems);
        return changed;
    }
    if (encrypted) {
        return Done{};
    }
    if (!problems.isEmpty() && !peer.isNull()) {
        Failure untrusted = failure(Why::CertificateUntrusted, describe(peer, problems).problem);
        untrusted.certificate = describe(peer, problems);
        return untrusted;
    }
    QStringList reasons;
    for (const QSslError& error : tls->sslHandshakeErrors()) {
        reasons.append(error.errorString());
    }
    if (reasons.isEmpty()) {
        reasons.append(m_socket->errorString());
    }
    return failure(Why::TlsFailed, reasons.join(QStringLiteral("; ")));
}

bool Connection::connected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool Connection::encrypted() const
{
    const QSslSocket* tls = m_socket.get();
    return tls && tls->isEncrypted();
}

Failure Connection::unlessCancelled(Failure why) const
{
    // Whatever a cancel made the wait end with (a lost connection, a failed handshake), the
    // caller asked for it.
    return m_cancel.cancelled() ? failure(Why::Cancelled) : why;
}

Failure Connection::timedOut() const
{
    return unlessCancelled(failure(Why::ReplyTimedOut));
}

Failure Connection::lost() const
{
    return unlessCancelled(
        failure(Why::ConnectionLost, m_socket ? m_socket->errorString() : QString()));
}

Result<Done> Connection::send(const QByteArray& bytes, const QDeadlineTimer& deadline)
{
    if (m_cancel.cancelled()) {
        return failure(Why::Cancelled);
    }
    if (!m_socket || m_socket->write(bytes) != bytes.size()) {
        return lost();
    }
    // A command fits the socket's send buffer at once; waiting only when it did not saves a
    // poll per command.
    m_socket->flush();
    while (m_socket->bytesToWrite() > 0) {
        if (deadline.hasExpired()) {
            return timedOut();
        }
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime()))) {
            return deadline.hasExpired() ? timedOut() : lost();
        }
    }
    return Done{};
}

Result<Done> Connection::receiveMore(const QDeadlineTimer& overall, int idleMs)
{
    if (m_cancel.cancelled()) {
        return failure(Why::Cancelled);
    }
    if (!m_socket) {
        return lost();
    }
    const QDeadlineTimer idle(idleMs);
    for (;;) {
        if (m_socket->bytesAvailable() > 0) {
            m_input += m_socket->readAll();
            return Done{};
        }
        if (overall.hasExpired() || idle.hasExpired()) {
            return timedOut();
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            return lost();
        }
        const qint64 wait = qMin(overall.remainingTime(), idle.remainingTime());
        if (!m_socket->waitForReadyRead(int(qMax<qint64>(1, wait)))) {
            if (m_socket->bytesAvailable() > 0) {
                continue;
            }
            if (overall.hasExpired() || idle.hasExpired()) {
                return timedOut();
            }
            return lost();
        }
    }
}

Deadline Connection::replyDeadline(qint64 expectedBytes) const
{
    return {QDeadlineTimer(m_timeouts.replyMs + expectedBytes * 1000 / SlowestBytesPerSecond),
            m_timeouts.replyMs};
}

void Connection::close()
{
    if (connected()) {
        m_socket->disconnectFromHost();
    }
    drop();
}

void Connection::drop()
{
    m_cancel.forget();
    if (m_socket) {
        m_socket->abort();
    }
    m_input.clear();
}

} // namespace nmail
