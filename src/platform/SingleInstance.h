#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <map>

class QSocketNotifier;

// One kitten per user. The first start holds a lock file in the user's runtime folder for as long
// as it runs and listens on a local socket beside it; a later start finds the lock held, asks
// the running kitten through the socket to come forward, and ends. A lock or socket left behind
// by a kitten that crashed (or was ended at once, which runs no clean-up) is taken over: the lock
// names the process that held it, and that process no longer runs.
//
// The socket is a Unix domain socket of the system's own, watched by Qt Core's socket notifier:
// Qt Network would be linked into every start for these two lines of talk. Where there are no
// Unix domain sockets every start is the first, as before there was a guard.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // folder: where the lock and the socket live; private to the user (PrivateRuntimeFolder()).
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim
    {
        First,     // this process is the kitten; ComeForward is emitted when another start asks
        Forwarded, // a running kitten was asked to come forward and said it did
        NoAnswer,  // a running kitten holds the lock but did not answer in time
    };
    // Where the folder is unusable (empty, missing, not writable) the guard cannot work: the start
    // goes on as First, the way the program ran before there was a guard.
    Claim Start();

    // How long a later start keeps trying to reach the kitten (which may be starting itself),
    // and how long the kitten waits for a caller's request before it hangs up.
    static constexpr int AnswerTimeoutMs = 5000;

signals:
    void ComeForward();

private:
    void Listen();
    void Accept();
    void Read(int fd);
    void HangUp(int fd);

    QString m_folder;
    QString m_socketPath;
    QLockFile m_lock;
    int m_listener = -1; // listens only in the first process
    QSocketNotifier* m_accepting = nullptr;
    struct Caller
    {
        QSocketNotifier* readable;
        QByteArray received;
    };
    std::map<int, Caller> m_callers;
};
