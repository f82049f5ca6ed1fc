#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A POP3 server for tests, on a thread of its own: it sends a greeting, records every line
// the client sends and answers each one as the test's responder says. It serves one client at
// a time on 127.0.0.1 and stops, closing everything, when destroyed.
class ScriptedServer
{
public:
    struct Answer
    {
        std::string bytes;    // sent as is (line ends included)
        bool close = false;   // close the connection after sending bytes
        bool trickle = false; // send bytes one at a time, round and round, until the client
                              // goes away
        int paceMs = 0;       // > 0: send bytes in pieces of 256, paceMs apart (a slow line)
    };
    using Responder = std::function<Answer(const std::string& line)>;

    // An empty greeting sends nothing: the server stays silent after accepting.
    ScriptedServer(std::string greeting, Responder responder);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return m_port; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> lines() const; // every line received, without its line end
    // The same lines grouped by the read that brought them: commands sent together in one
    // write arrive in one group.
    std::vector<std::vector<std::string>> batches() const;
    int connections() const { return m_connections; }

    // A responder for the usual mailbox: USER/PASS/APOP accepted, STAT with count messages,
    // LIST, TOP and RETR of the given messages, UIDL with uniqueId(n) for message n, QUIT. CAPA
    // lists PIPELINING when asked to, and is an unknown command otherwise.
    static Responder mailbox(std::vector<std::string> messages, bool pipelining = false);
    static std::string uniqueId(size_t n) { return "<uid-" + std::to_string(n) + "~!>"; }

private:
    void serve();
    void serveClient(int client);
    bool sendAll(int client, const std::string& bytes);

    std::string m_greeting;
    Responder m_responder;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<size_t> m_batchOf; // for each line, the number of the read it came in
    std::thread m_thread;
};
