#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class AccountSource;
class ConnectivityEvents;
class MailLibrary;
struct OnlineAccount;

// The push watcher's periods and pauses; tests shorten them or record them.
struct PushTiming
{
    // IDLE is ended and entered again this often: RFC 2177 section 3 asks clients to do it
    // at least every 29 minutes, as servers may log out a client idle for 30.
    int idleMs = 25 * 60 * 1000;
    int firstRetryMs = 5 * 1000;
    int maxRetryMs = 5 * 60 * 1000;
    // A connection that stood this long was not a server failing over and over: after its
    // drop the pauses start from the first again.
    int stableMs = 60 * 1000;
    // A check asked for while another one runs is asked for again this much later.
    int checkRetryMs = 1000;
    // The pause actually waited for a pause of so many milliseconds (default: the same);
    // a test records the schedule and shortens it.
    std::function<int(int)> pauseMs;
    // Milliseconds, only ever moving forward (default: the steady clock).
    std::function<qint64()> clockMs;
};

// Push for the automatic check. While automatic checking is on and the server is an IMAP
// mailbox that lists IDLE (RFC 2177), one connection of its own, on a thread of its own, idles on
// the mailbox, and the automatic check is asked for the moment the server announces a message
// that was not among the unseen ones before. The check is the caller's (the same one the clock
// asks for); the watcher only says when. It asks for one as soon as its connection stands, at
// start and after every reconnect, so mail that came while nobody listened is reported too.
//
// A dropped connection is made again after a pause that starts at five seconds and doubles up
// to five minutes; at once when the network comes back or the system resumes. A failure to
// connect asks for a check once, so the failure is told as an automatic check tells it (once
// until a check succeeds). A server without IDLE is left alone: the clock's checks poll it.
//
// Everything but the connection's own thread runs on the thread that made the watcher (the
// user-interface thread); the check is asked for there.
class PushWatcher : public QObject
{
public:
    struct Setup
    {
        bool autoCheck = false; // automatic checking is on
        QString server;         // the server field as typed
        QString address;        // what the library connects to (TLS as the check demands it)
        QString user;           // the account, in the text the check logs in with
        QString password;
        // A desktop account (its Id) used instead of address, user and password: its server,
        // user name and credentials are asked of accounts on the connection's own thread.
        QString desktopAccountId;
        AccountSource* accounts = nullptr;
        bool operator==(const Setup&) const = default;
    };
    using Timing = PushTiming;
    enum class State
    {
        Off,         // not wanted, or ended
        Connecting,  // connecting or logging in
        Idling,      // IDLE on the mailbox
        Pausing,     // waiting before the next attempt
        WithoutIdle, // the server does not list IDLE: nothing to do
    };

    // check asks for the automatic check; it returns false when it could not start one (a check
    // was running), and is then asked again a little later. events may be null.
    PushWatcher(MailLibrary& library, std::function<bool()> check,
                ConnectivityEvents* events = nullptr, Timing timing = {},
                QObject* parent = nullptr);
    // Ends the connection at once.
    ~PushWatcher() override;

    // Whether a setup calls for push: automatic checking on, an IMAP address (imap://,
    // imap+starttls://, imaps://) and a whole account, or a desktop account.
    static bool Applies(const Setup& setup);
    static bool IsImapAddress(const QString& server);
    // Starts watching, starts again when the setup differs from the one watched, or ends when
    // push does not apply to it.
    void configure(const Setup& setup);
    // Ends the connection at once: its wait is cancelled and its thread joined.
    void end();
    // Drops the connection and makes it again without a pause.
    void reconnectNow();
    State state() const;
    // Told on this thread whenever the connection starts or stops idling, so the clock's
    // polling can rest while push listens.
    void onIdling(std::function<void(bool)> idling) { m_idling = std::move(idling); }

private:
    enum class Ending
    {
        WithoutIdle, // the server does not list IDLE
        Failed,      // could not connect or log in
        Lost,        // the connection stood and then broke
    };

    void run(Setup setup, quint64 generation);
    Ending session(const Setup& setup, quint64 generation, qint64& establishedAt);
    int32_t logInWithDesktopAccount(int32_t handle, const Setup& setup,
                                    const OnlineAccount& account);
    bool stopping() const; // the connection is to end or start again
    std::optional<QSet<QByteArray>> unseenIds(int32_t handle, int32_t count);
    // On the watcher's thread: asks for the check, again later while one runs.
    void askCheck();
    void askCheckFromWorker(quint64 generation);
    void setState(State state);
    bool setHandle(int32_t handle); // false when the connection is to end
    qint64 now() const;

    MailLibrary& m_library;
    std::function<bool()> m_check;
    std::function<void(bool)> m_idling;
    Timing m_timing;
    std::optional<Setup> m_watched; // what configure() last started
    QTimer m_checkRetry;
    std::thread m_thread;
    // Counts the threads started: a check a thread asked for after it was ended is not asked
    // for. Read and written on the watcher's thread only.
    quint64 m_generation = 0;

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    State m_state = State::Off;
    int32_t m_handle = -1;
    bool m_ending = false;
    bool m_reconnectNow = false;
};
