#include "platform/SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

namespace {
// One line each way: the request, and the answer once the kitten has come forward.
const QByteArray Request = "come-forward\n";
const QByteArray Answer = "ok\n";
} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_socketPath(folder + QStringLiteral("/mofurin.socket")),
      m_lock(folder + QStringLiteral("/mofurin.lock"))
{
    // The kitten runs for days: the lock is stale only when its process is gone, never by age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::Claim SingleInstance::Start()
{
    if (m_lock.tryLock(0)) {
        // A socket file left by a kitten that ended without clean-up would make listen fail.
        QLocalServer::removeServer(m_socketPath);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (m_server.listen(m_socketPath))
            connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::Serve);
        else
            qWarning("Mofurin: cannot listen on %s: %s", qUtf8Printable(m_socketPath),
                     qUtf8Printable(m_server.errorString()));
        return Claim::First;
    }
    if (m_lock.error() != QLockFile::LockFailedError)
        return Claim::First;

    // The running kitten may still be between taking the lock and listening: try again for a
    // while rather than give up at the first refusal.
    const QDeadlineTimer deadline(AnswerTimeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(Request);
            socket.waitForBytesWritten(int(deadline.remainingTime()));
            QByteArray reply;
            while (!reply.contains('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
                reply += socket.readAll();
            if (reply == Answer)
                return Claim::Forwarded;
        }
        QThread::msleep(100);
    }
    return Claim::NoAnswer;
}

void SingleInstance::Serve()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Only the one request is understood; anything else, or a line that never ends, is
        // dropped with the connection.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() < Request.size() && !socket->canReadLine())
                return;
            const QByteArray line = socket->read(Request.size());
            if (line == Request) {
                emit ComeForward();
                socket->write(Answer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
