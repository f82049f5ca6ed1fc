#pragma once

#include <QtGlobal>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <vector>

namespace nmail {

// Ends the waits of one connection from another thread, at every step: the name lookup, the
// connection race, and each wait on the connected socket (greeting, replies, TLS handshake).
// It belongs to the connection, not to a protocol, so any session over the transport can use
// it.
//
// Waits that poll() descriptors of their own watch wakeDescriptor() beside them (see
// pollOrCancel). The waits inside Qt's socket (waitForReadyRead, waitForEncrypted) cannot, so
// the connected socket is handed over with watch(): a cancel shuts it down, which ends those
// waits as a lost connection. The shutdown goes to a duplicate of the socket that only this
// object closes, under the same lock, so it always reaches the connection it was meant for:
// the number Qt closes (on abort, or by itself when the server hangs up) may be reused by the
// process at once, for the display's or the session bus's connection, and is never touched.
class Cancellation
{
public:
    Cancellation();
    ~Cancellation();
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    // From any thread, any number of times. Every wait from now on ends at once too.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    // Readable from the cancel on, for good; -1 when the system had no descriptor to spare.
    int wakeDescriptor() const { return m_wake; }

    // Watches a connected socket, which stays its owner's: a cancel shuts it down from now on.
    // False when the socket cannot be watched (no descriptor to spare) or the cancel came
    // first; the socket is then shut down already.
    bool watch(qintptr socket);
    // Stops watching; the owner closes its socket whenever it likes, before or after.
    void forget();

private:
    std::mutex m_mutex; // held around every shutdown and the close of m_socket
    std::atomic<bool> m_cancelled{false};
    int m_wake = -1;   // an eventfd, written once by cancel()
    int m_socket = -1; // our own duplicate of the watched socket
};

// poll() on the given descriptors and, when there is one, the cancellation's wake descriptor:
// poll's own result for the given ones (-1 with errno, 0 when none became ready in time). A
// cancel wakes it, and cancel->cancelled() then tells the caller to stop.
int pollOrCancel(std::vector<pollfd>& watched, int timeoutMs, const Cancellation* cancel);

} // namespace nmail
