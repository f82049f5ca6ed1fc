#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One kitten per user. The first start holds a lock file in the user's runtime folder for as long
// as it runs and listens on a local socket beside it; a later start finds the lock held, asks
// the running kitten through the socket to come forward, and ends. A lock or socket left behind
// by a kitten that crashed (or was ended at once, which runs no clean-up) is taken over: the lock
// names the process that held it, and that process no longer runs.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // folder: where the lock and the socket live; private to the user (XDG_RUNTIME_DIR).
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);

    enum class Claim
    {
        First,     // this process is the kitten; ComeForward is emitted when another start asks
        Forwarded, // a running kitten was asked to come forward and said it did
        NoAnswer,  // a running kitten holds the lock but did not answer in time
    };
    // Where the folder is unusable (missing, not writable) the guard cannot work: the start goes
    // on as First, the way the program ran before there was a guard.
    Claim Start();

    // How long a later start keeps trying to reach the kitten (which may be starting itself).
    static constexpr int AnswerTimeoutMs = 5000;

signals:
    void ComeForward();

private:
    void Serve();

    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer m_server; // owned here; listens only in the first process
};
