#include "Cancellation.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nmail {

Cancellation::Cancellation() : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Cancellation::~Cancellation()
{
    forget();
    if (m_wake >= 0) {
        ::close(m_wake);
    }
}

void Cancellation::cancel()
{
    // The flag first: a wait that wakes on the descriptor finds it set.
    m_cancelled = true;
    if (m_wake >= 0) {
        const eventfd_t one = 1;
        // Cannot fail but by overflowing the counter, which stays readable then too.
        (void)::eventfd_write(m_wake, one);
    }
    const std::lock_guard lock(m_mutex);
    if (m_socket >= 0) {
        ::shutdown(m_socket, SHUT_RDWR);
    }
}

bool Cancellation::watch(qintptr socket)
{
    const std::lock_guard lock(m_mutex);
    if (m_socket >= 0) {
        ::close(m_socket);
    }
    m_socket = ::fcntl(int(socket), F_DUPFD_CLOEXEC, 0);
    if (m_socket < 0) {
        return false;
    }
    // A cancel that came before the socket was watched found nothing to shut down.
    if (m_cancelled) {
        ::shutdown(m_socket, SHUT_RDWR);
        return false;
    }
    return true;
}

void Cancellation::forget()
{
    const std::lock_guard lock(m_mutex);
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

int pollOrCancel(std::vector<pollfd>& watched, int timeoutMs, const Cancellation* cancel)
{
    if (cancel && cancel->cancelled()) {
        return 0;
    }
    const int wake = cancel ? cancel->wakeDescriptor() : -1;
    if (wake >= 0) {
        watched.push_back({wake, POLLIN, 0});
    }
    const int ready = ::poll(watched.data(), nfds_t(watched.size()), timeoutMs);
    const int error = errno;
    if (wake >= 0) {
        const bool woken = watched.back().revents != 0;
        watched.pop_back();
        if (woken && ready > 0) {
            errno = error;
            return ready - 1;
        }
    }
    errno = error;
    return ready;
}

} // namespace nmail
