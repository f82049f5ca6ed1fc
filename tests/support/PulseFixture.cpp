#include "support/PulseFixture.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts argv as a child that dies with this process. Its standard output goes to stdoutFd
// (or /dev/null when -1), its standard error to /dev/null unless logPath is given.
pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd, const std::string& logPath = {})
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(stdoutFd >= 0 ? stdoutFd : null, STDOUT_FILENO);
    const int err =
        logPath.empty() ? null : open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(err >= 0 ? err : null, STDERR_FILENO);
    execvp(args[0], args.data());
    _exit(127);
}

// Waits up to timeout for the child to end; true when it has been reaped.
bool WaitGone(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Terminate(pid_t pid)
{
    kill(pid, SIGTERM);
    if (!WaitGone(pid, std::chrono::milliseconds(5000))) {
        kill(pid, SIGKILL);
        WaitGone(pid, std::chrono::milliseconds(5000));
    }
}

// Runs a command to its end (up to timeout) and tells whether it exited with 0.
bool RunQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)
{
    const pid_t pid = Spawn(argv, -1);
    if (pid < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

} // namespace

PulseServer::PulseServer() : m_folderPath(m_folder.path()) {}

PulseServer::~PulseServer()
{
    stop();
}

void PulseServer::useForThisProcess() const
{
    const QByteArray folder = QFile::encodeName(m_folderPath);
    QFile config(m_folderPath + QStringLiteral("/client.conf"));
    if (config.open(QIODevice::WriteOnly))
        config.write("autospawn = no\n");
    setenv("XDG_RUNTIME_DIR", folder.constData(), 1);
    setenv("PULSE_RUNTIME_PATH", (folder + "/pulse").constData(), 1);
    setenv("PULSE_SERVER", ("unix:" + folder + "/pulse/native").constData(), 1);
    setenv("PULSE_CLIENTCONFIG", (folder + "/client.conf").constData(), 1);
    setenv("PULSE_STATE_PATH", (folder + "/state").constData(), 1);
}

bool PulseServer::start(QString* error)
{
    if (!m_folder.isValid()) {
        *error = QStringLiteral("no temporary folder for the sound server");
        return false;
    }
    stop();
    useForThisProcess();
    QDir().mkpath(m_folderPath + QStringLiteral("/pulse"));
    const std::string log =
        QFile::encodeName(m_folderPath + QStringLiteral("/pulse.log")).toStdString();
    m_pid = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--disable-shm=yes",
                   "--load=module-null-sink sink_name=test",
                   "--load=module-native-protocol-unix auth-anonymous=1", "--log-target=stderr"},
                  -1, log);
    if (m_pid < 0) {
        *error = QStringLiteral("cannot start pulseaudio");
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            QFile logFile(QString::fromStdString(log));
            logFile.open(QIODevice::ReadOnly);
            *error = QStringLiteral("pulseaudio ended at start: ") +
                     QString::fromLocal8Bit(logFile.readAll().right(2000));
            return false;
        }
        if (RunQuietly({"pactl", "set-default-sink", "test"}, std::chrono::seconds(2)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    stop();
    *error = QStringLiteral("pulseaudio did not answer within 10 s");
    return false;
}

void PulseServer::stop()
{
    if (m_pid > 0)
        Terminate(m_pid);
    m_pid = -1;
}

SteadyTime Recording::timeOf(size_t index) const
{
    // The piece holding the sample arrived when its last sample had been recorded; the sample
    // itself was heard that many samples earlier.
    for (const auto& [end, arrival] : arrivals) {
        if (index < end) {
            const auto earlier =
                std::chrono::microseconds(static_cast<int64_t>(end - index) * 1000000 / RecordRate);
            return arrival - earlier;
        }
    }
    return arrivals.empty() ? SteadyTime() : arrivals.back().second;
}

size_t Recording::indexAt(SteadyTime t) const
{
    for (const auto& [end, arrival] : arrivals) {
        if (arrival >= t) {
            const auto ahead =
                std::chrono::duration_cast<std::chrono::microseconds>(arrival - t).count();
            const auto back = static_cast<size_t>(ahead * RecordRate / 1000000);
            return end > back ? end - back : 0;
        }
    }
    return samples.size();
}

double Recording::levelDb(size_t begin, size_t end) const
{
    end = std::min(end, samples.size());
    if (begin >= end)
        return -200.0;
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / static_cast<double>(end - begin)) / 32768.0;
    return rms > 0.0 ? 20.0 * std::log10(rms) : -200.0;
}

size_t Recording::firstLoud(double thresholdDb, size_t from) const
{
    constexpr size_t window = RecordRate / 200;
    for (size_t i = from; i + window <= samples.size(); i += window / 5) {
        if (levelDb(i, i + window) > thresholdDb) {
            // The first sample inside the window that stands out.
            const double limit = 32768.0 * std::pow(10.0, thresholdDb / 20.0);
            for (size_t j = i; j < i + window; ++j)
                if (std::abs(static_cast<double>(samples[j])) > limit)
                    return j;
            return i;
        }
    }
    return samples.size();
}

size_t Recording::lastLoud(double thresholdDb) const
{
    constexpr size_t window = RecordRate / 200;
    for (size_t i = samples.size(); i >= window; i -= window / 5)
        if (levelDb(i - window, i) > thresholdDb)
            return i;
    return 0;
}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(QString* error)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = QStringLiteral("no pipe for the recorder");
        return false;
    }
    // The child's end must survive exec; dup2 onto stdout clears close-on-exec for it.
    m_pid = Spawn({"parec", "-d", "test.monitor", "--raw", "--format=s16le", "--channels=1",
                   "--rate=" + std::to_string(RecordRate), "--latency-msec=5"},
                  fds[1]);
    close(fds[1]);
    if (m_pid < 0) {
        close(fds[0]);
        *error = QStringLiteral("cannot start parec");
        return false;
    }
    m_reader = std::thread([this, fd = fds[0]] { readLoop(fd); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_gotData && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!m_gotData) {
        stop();
        *error = QStringLiteral("parec recorded nothing within 5 s");
        return false;
    }
    // A fresh recording of a monitor may begin with what the sink played just before it; that
    // start is dropped so the recording holds only what was heard from now on.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::lock_guard lock(m_mutex);
    m_recording = Recording();
    return true;
}

void MonitorRecorder::readLoop(int fd)
{
    std::vector<char> buffer(4096);
    std::vector<char> carry;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const SteadyTime now = std::chrono::steady_clock::now();
        carry.insert(carry.end(), buffer.begin(), buffer.begin() + n);
        const size_t whole = carry.size() / 2;
        std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < whole; ++i) {
            int16_t s;
            std::memcpy(&s, carry.data() + 2 * i, 2);
            m_recording.samples.push_back(s);
        }
        carry.erase(carry.begin(), carry.begin() + static_cast<std::ptrdiff_t>(whole * 2));
        m_recording.arrivals.emplace_back(m_recording.samples.size(), now);
        m_gotData = true;
    }
    close(fd);
}

Recording MonitorRecorder::stop()
{
    if (m_pid > 0)
        Terminate(m_pid);
    m_pid = -1;
    if (m_reader.joinable())
        m_reader.join();
    std::lock_guard lock(m_mutex);
    Recording out = std::move(m_recording);
    m_recording = Recording();
    m_gotData = false;
    return out;
}
