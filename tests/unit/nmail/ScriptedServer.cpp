#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int PollMs = 20;

} // namespace

ScriptedServer::ScriptedServer(std::string greeting, Responder responder)
    : m_greeting(std::move(greeting)), m_responder(std::move(responder))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("the scripted POP3 server could not listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

std::vector<std::string> ScriptedServer::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<std::vector<std::string>> ScriptedServer::batches() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::vector<std::string>> result;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i == 0 || m_batchOf[i] != m_batchOf[i - 1]) {
            result.emplace_back();
        }
        result.back().push_back(m_lines[i]);
    }
    return result;
}

void ScriptedServer::serve()
{
    while (!m_stop) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, PollMs) <= 0) {
            continue;
        }
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        ++m_connections;
        serveClient(client);
        ::close(client);
    }
}

bool ScriptedServer::sendAll(int client, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size() && !m_stop) {
        pollfd writable{client, POLLOUT, 0};
        if (::poll(&writable, 1, PollMs) <= 0) {
            continue;
        }
        const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += size_t(n);
    }
    return !m_stop;
}

void ScriptedServer::serveClient(int client)
{
    if (!m_greeting.empty() && !sendAll(client, m_greeting)) {
        return;
    }
    std::string pending;
    size_t reads = 0;
    while (!m_stop) {
        pollfd readable{client, POLLIN, 0};
        if (::poll(&readable, 1, PollMs) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return;
        }
        pending.append(chunk, size_t(n));
        ++reads;
        size_t lf;
        while ((lf = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            {
                std::lock_guard lock(m_mutex);
                m_lines.push_back(line);
                m_batchOf.push_back(size_t(m_connections) * 1000000 + reads);
            }
            const Answer answer = m_responder(line);
            if (answer.trickle) {
                for (size_t i = 0; !m_stop && !answer.bytes.empty(); ++i) {
                    if (!sendAll(client, answer.bytes.substr(i % answer.bytes.size(), 1))) {
                        return;
                    }
                    ::usleep(5000);
                }
                return;
            }
            if (answer.paceMs > 0) {
                for (size_t at = 0; at < answer.bytes.size(); at += 256) {
                    if (!sendAll(client, answer.bytes.substr(at, 256))) {
                        return;
                    }
                    ::usleep(useconds_t(answer.paceMs) * 1000);
                }
            } else if (!sendAll(client, answer.bytes)) {
                return;
            }
            if (answer.close) {
                return;
            }
        }
    }
}

ScriptedServer::Responder ScriptedServer::mailbox(std::vector<std::string> messages,
                                                  bool pipelining)
{
    return [messages, pipelining](const std::string& line) -> Answer {
        const std::string verb = line.substr(0, line.find(' '));
        const auto number = [&]() -> size_t {
            const size_t space = line.find(' ');
            return space == std::string::npos ? 0 : std::stoul(line.substr(space + 1));
        };
        if (verb == "USER" || verb == "PASS" || verb == "APOP") {
            return {"+OK\r\n"};
        }
        if (verb == "STAT") {
            return {"+OK " + std::to_string(messages.size()) + " 0\r\n"};
        }
        if (verb == "CAPA" && pipelining) {
            return {"+OK Capability list follows\r\nTOP\r\nUIDL\r\nPIPELINING\r\n.\r\n"};
        }
        if (verb == "QUIT") {
            return {"+OK bye\r\n", true};
        }
        if (line == "UIDL") {
            std::string listing = "+OK\r\n";
            for (size_t n = 1; n <= messages.size(); ++n) {
                listing += std::to_string(n) + " " + uniqueId(n) + "\r\n";
            }
            return {listing + ".\r\n"};
        }
        const size_t n = number();
        if (n < 1 || n > messages.size()) {
            return {"-ERR no such message\r\n"};
        }
        const std::string& message = messages[n - 1];
        if (verb == "LIST") {
            return {"+OK " + std::to_string(n) + " " + std::to_string(message.size()) + "\r\n"};
        }
        if (verb == "TOP" || verb == "RETR") {
            std::string text = message;
            if (verb == "TOP") {
                // The header; for lines > 0 also the blank line and as many body lines.
                size_t lines = std::stoul(line.substr(line.rfind(' ') + 1));
                size_t end = message.find("\r\n\r\n") + (lines > 0 ? 4 : 2);
                for (; lines > 0 && end < message.size(); --lines) {
                    const size_t next = message.find("\r\n", end);
                    end = next == std::string::npos ? message.size() : next + 2;
                }
                text = message.substr(0, end);
            }
            // Dot-stuffing (RFC 1939 §3).
            std::string stuffed;
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find("\r\n", start);
                end = end == std::string::npos ? text.size() : end + 2;
                if (text[start] == '.') {
                    stuffed += '.';
                }
                stuffed += text.substr(start, end - start);
                start = end;
            }
            return {"+OK\r\n" + stuffed + ".\r\n"};
        }
        return {"-ERR unknown command\r\n"};
    };
}
