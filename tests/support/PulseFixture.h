#pragma once

// A private PulseAudio server with one null sink ("test"), and a recorder of that sink's
// monitor, for the sound tests. The server runs in a temporary folder of its own
// (XDG_RUNTIME_DIR), in its own process group, and dies with the test process even when the
// test crashes.

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

using SteadyTime = std::chrono::steady_clock::time_point;

// The monitor is recorded as 16-bit mono at this rate.
inline constexpr size_t RecordRate = 44100;

class PulseServer
{
public:
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the server (and points this process at it) and waits up to 10 s until it answers
    // with the null sink as the default. False with a reason in error when it cannot start.
    bool start(QString* error);
    // Stops the server by its PID and waits for it to be gone.
    void stop();
    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

private:
    // Sets XDG_RUNTIME_DIR, PULSE_SERVER and friends so that this process and its children
    // talk to this server only, and never start one of their own.
    void useForThisProcess() const;

    QTemporaryDir m_folder;
    QString m_folderPath;
    pid_t m_pid = -1;
};

// What the recorder heard: the samples, and for each piece read from the recorder the index
// just past its last sample with the time it arrived.
struct Recording
{
    std::vector<int16_t> samples;
    std::vector<std::pair<size_t, SteadyTime>> arrivals;

    // When the sample at index was heard.
    SteadyTime timeOf(size_t index) const;
    // The index of the sample heard at t (samples.size() when t is past the end).
    size_t indexAt(SteadyTime t) const;
    // The RMS level of samples [begin, end) in dB of full scale; -200 for no samples.
    double levelDb(size_t begin, size_t end) const;
    // The first sample from `from` on in a 5 ms window above the threshold; samples.size()
    // when there is none.
    size_t firstLoud(double thresholdDb, size_t from = 0) const;
    // The end of the last 5 ms window above the threshold; 0 when there is none.
    size_t lastLoud(double thresholdDb) const;
};

// Records the null sink's monitor with parec, timing each piece by its arrival.
class MonitorRecorder
{
public:
    MonitorRecorder() = default;
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    // Starts the recorder and waits up to 5 s until samples flow.
    bool start(QString* error);
    // Stops the recorder and hands over what it heard.
    Recording stop();

private:
    void readLoop(int fd);

    pid_t m_pid = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    Recording m_recording;
    std::atomic<bool> m_gotData = false;
};
