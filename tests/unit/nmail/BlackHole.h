#pragma once

#include <QtGlobal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// A listener on [::1]:port that takes one connection and never accepts it: with its backlog
// full, the kernel drops every further SYN, so a connect there hangs like one into a black
// hole. False when the machine has no IPv6 loopback or the port is taken; port 0 takes a free
// one.
class BlackHole
{
public:
    explicit BlackHole(quint16 port)
    {
        m_listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_listener, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 0) != 0) {
            return;
        }
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin6_port);
        // Fill the backlog until a connect stays pending.
        for (int i = 0; i < 8 && !m_ready; ++i) {
            const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            m_fillers.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd done{fd, POLLOUT, 0};
            m_ready = ::poll(&done, 1, 300) == 0;
        }
    }
    ~BlackHole()
    {
        for (int fd : m_fillers) {
            ::close(fd);
        }
        ::close(m_listener);
    }
    bool ready() const { return m_ready; }
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    bool m_ready = false;
    quint16 m_port = 0;
};
