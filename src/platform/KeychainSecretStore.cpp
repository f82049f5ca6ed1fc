#include "platform/KeychainSecretStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibrary>
#include <QThread>
#include <QTimer>
#include <functional>
#include <qt6keychain/keychain.h>

namespace {

using QKeychain::Job;
using Status = SecretStore::Status;

SecretStore::Result Unavailable(const QString& error, const QString& detail)
{
    return {Status::Unavailable, QString(), error, detail};
}

QString NoStoreText()
{
    return QCoreApplication::translate(
        "KeychainSecretStore", "デスクトップのキーリング(パスワードの保管庫)が見つからないか、"
                               "応答しませんでした。");
}

// libsecret, which QtKeychain uses for the Secret Service, keeps one connection to it for the
// whole process, with the encryption session it opened there. When the keyring daemon restarts,
// that session is gone and every later write fails ("The session wrapping the secret does not
// exist") until the connection is dropped; the next call then opens a fresh one. QtKeychain
// offers no way to do this, so the function is looked up in the library QtKeychain loaded.
void ForgetSecretServiceConnection()
{
    using Disconnect = void (*)();
    static const auto disconnect = reinterpret_cast<Disconnect>(
        QLibrary::resolve(QStringLiteral("secret-1"), 0, "secret_service_disconnect"));
    if (disconnect != nullptr)
        disconnect();
}

// Starts the job and waits for its answer in a local event loop that leaves user input queued.
// The job is never deleted here: on a time-out the keyring may still answer later into the
// job's memory, so the job stays alive and deletes itself when that answer comes (QtKeychain
// jobs delete themselves once finished). QtKeychain runs one job at a time, so calls made
// after such a time-out queue behind it and time out as well until the keyring answers.
SecretStore::Result Run(Job* job, int timeoutMs, bool removing, bool& retryable)
{
    SecretStore::Result result;
    bool answered = false;
    QEventLoop loop;
    QObject::connect(job, &Job::finished, &loop, [&](Job* done) {
        answered = true;
        switch (done->error()) {
        case QKeychain::NoError:
            result.status = Status::Ok;
            if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                result.secret = read->textData();
            break;
        case QKeychain::EntryNotFound:
            // Nothing to remove is what a removal wants.
            result.status = removing ? Status::Ok : Status::NotFound;
            break;
        case QKeychain::AccessDeniedByUser:
        case QKeychain::AccessDenied:
            // The user said no to the unlock prompt: asking again would only prompt again.
            result = Unavailable(
                QCoreApplication::translate("KeychainSecretStore",
                                            "デスクトップのキーリングがロックされたままで、"
                                            "使うことを許可されませんでした。"),
                done->errorString());
            break;
        default:
            result = Unavailable(NoStoreText(), done->errorString());
            retryable = true;
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answered)
        return Unavailable(
            QCoreApplication::translate("KeychainSecretStore",
                                        "デスクトップのキーリングが時間内に応答しませんでした。"),
            QStringLiteral("no answer within %1 ms").arg(timeoutMs));
    return result;
}

// Runs a fresh job from makeJob; a failure that a stale connection explains gets one more try
// over a new connection.
SecretStore::Result RunWithRetry(const std::function<Job*()>& makeJob, int timeoutMs, bool removing)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread())
        return Unavailable(NoStoreText(), QStringLiteral("called off the application's thread"));
    bool retryable = false;
    SecretStore::Result result = Run(makeJob(), timeoutMs, removing, retryable);
    if (!retryable)
        return result;
    ForgetSecretServiceConnection();
    retryable = false;
    return Run(makeJob(), timeoutMs, removing, retryable);
}

} // namespace

SecretStore::Result KeychainSecretStore::Read(const QString& account)
{
    return RunWithRetry(
        [&] {
            auto* job = new QKeychain::ReadPasswordJob(ServiceName);
            job->setKey(account);
            return job;
        },
        m_timeouts.operationMs, false);
}

SecretStore::Result KeychainSecretStore::Write(const QString& account, const QString& secret)
{
    return RunWithRetry(
        [&] {
            auto* job = new QKeychain::WritePasswordJob(ServiceName);
            job->setKey(account);
            job->setTextData(secret);
            return job;
        },
        m_timeouts.operationMs, false);
}

SecretStore::Result KeychainSecretStore::Remove(const QString& account)
{
    return RunWithRetry(
        [&] {
            auto* job = new QKeychain::DeletePasswordJob(ServiceName);
            job->setKey(account);
            return job;
        },
        m_timeouts.operationMs, true);
}
