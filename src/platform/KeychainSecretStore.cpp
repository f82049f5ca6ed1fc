#include "platform/KeychainSecretStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

using QKeychain::Job;

SecretStore::Result Unavailable(const QString& error, const QString& detail)
{
    return {SecretStore::Status::Unavailable, QString(), error, detail};
}

QString NoStoreText()
{
    return QStringLiteral("デスクトップのキーリング(パスワードの保管庫)が見つからないか、"
                          "応答しませんでした。");
}

// Starts the job and waits for its answer in a local event loop that leaves user input queued.
// The job is never deleted here: on a time-out the keyring may still answer later into the
// job's memory, so the job stays alive and deletes itself when that answer comes (QtKeychain
// jobs delete themselves once finished). QtKeychain runs one job at a time, so calls made
// after such a time-out queue behind it and time out as well until the keyring answers.
SecretStore::Result Run(Job* job, int timeoutMs, bool removing)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        delete job; // never started, so nothing will answer into it
        return Unavailable(NoStoreText(),
                           QStringLiteral("called without an event loop on the application's "
                                          "thread"));
    }

    SecretStore::Result result;
    bool answered = false;
    QEventLoop loop;
    QObject::connect(job, &Job::finished, &loop, [&](Job* done) {
        answered = true;
        switch (done->error()) {
        case QKeychain::NoError:
            result.status = SecretStore::Status::Ok;
            if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
                result.secret = read->textData();
            break;
        case QKeychain::EntryNotFound:
            // Nothing to remove is what a removal wants.
            result.status = removing ? SecretStore::Status::Ok : SecretStore::Status::NotFound;
            break;
        case QKeychain::AccessDeniedByUser:
        case QKeychain::AccessDenied:
            result = Unavailable(QStringLiteral("デスクトップのキーリングがロックされたままで、"
                                                "使うことを許可されませんでした。"),
                                 done->errorString());
            break;
        default:
            result = Unavailable(NoStoreText(), done->errorString());
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answered)
        return Unavailable(QStringLiteral("デスクトップのキーリングが時間内に応答しませんでした。"),
                           QStringLiteral("no answer within %1 ms").arg(timeoutMs));
    return result;
}

} // namespace

SecretStore::Result KeychainSecretStore::Read(const QString& account)
{
    auto* job = new QKeychain::ReadPasswordJob(ServiceName);
    job->setKey(account);
    return Run(job, m_timeouts.operationMs, false);
}

SecretStore::Result KeychainSecretStore::Write(const QString& account, const QString& secret)
{
    auto* job = new QKeychain::WritePasswordJob(ServiceName);
    job->setKey(account);
    job->setTextData(secret);
    return Run(job, m_timeouts.operationMs, false);
}

SecretStore::Result KeychainSecretStore::Remove(const QString& account)
{
    auto* job = new QKeychain::DeletePasswordJob(ServiceName);
    job->setKey(account);
    return Run(job, m_timeouts.operationMs, true);
}
