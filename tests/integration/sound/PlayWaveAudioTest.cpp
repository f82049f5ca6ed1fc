// PlayWave through the real sound service into a private PulseAudio server's null sink. Each
// test records the sink's monitor and measures what was heard, and when.

#include "platform/Services.h"
#include "sound/AudioOutputService.h"
#include "sound/PlayWave.h"
#include "support/PulseFixture.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Samples quieter than this are the null sink's silence; the meow is far above it.
constexpr double NoiseFloorDb = -60.0;

PulseServer* g_server = nullptr;
// The program's sound output, in use for every test once the server runs.
AudioOutputService* g_output = nullptr;
UseServices* g_outputInUse = nullptr;

QString Meow()
{
    return QStringLiteral(MOFURIN_SOURCE_DIR "/resources/Kouka.wav");
}

std::chrono::milliseconds Since(SteadyTime start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

double Ms(SteadyTime later, SteadyTime earlier)
{
    return std::chrono::duration<double, std::milli>(later - earlier).count();
}

// A 16-bit mono 44.1 kHz WAV file of a 440 Hz tone, exactly totalBytes long (header included;
// a byte beyond a whole sample pads the file).
QByteArray ToneWave(qint64 totalBytes)
{
    const qint64 dataBytes = (totalBytes - 44) & ~qint64(1);
    QByteArray wav;
    auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](quint16 v) {
        wav.append(static_cast<char>(v & 0xFF));
        wav.append(static_cast<char>(v >> 8));
    };
    wav.append("RIFF");
    put32(static_cast<quint32>(36 + dataBytes));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(44100);
    put32(88200);
    put16(2);
    put16(16);
    wav.append("data");
    put32(static_cast<quint32>(dataBytes));
    for (qint64 i = 0; i < dataBytes / 2; ++i) {
        const auto s = static_cast<qint16>(9000.0 * std::sin(2.0 * M_PI * 440.0 * i / 44100.0));
        put16(static_cast<quint16>(s));
    }
    while (wav.size() < totalBytes)
        wav.append('\0');
    return wav;
}

class SoundServerEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        g_server = new PulseServer;
        QString error;
        ASSERT_TRUE(g_server->start(&error)) << error.toStdString();
        g_output = new AudioOutputService;
        Services services;
        services.sound = g_output;
        g_outputInUse = new UseServices(services);
    }
    void TearDown() override
    {
        PlayWave(QString(), 0, 0, 0, -1);
        delete g_outputInUse;
        delete g_output;
        delete g_server;
        g_server = nullptr;
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment);

class PlayWaveAudio : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(g_server, nullptr);
        if (!g_server->running()) {
            QString error;
            ASSERT_TRUE(g_server->start(&error)) << error.toStdString();
        }
        PlayWave(QString(), 0, 0, 0, -1);
        QString error;
        ASSERT_TRUE(m_recorder.start(&error)) << error.toStdString();
        // The recording runs a while before the sound, so its start is silence.
        std::this_thread::sleep_for(300ms);
    }
    void TearDown() override
    {
        PlayWave(QString(), 0, 0, 0, -1);
        m_recorder.stop();
    }

    MonitorRecorder m_recorder;
};

TEST_F(PlayWaveAudio, MeowIsHeardPromptlyForItsWholeLengthAndCallReturnsAtOnce)
{
    const SteadyTime call = std::chrono::steady_clock::now();
    ASSERT_EQ(PlayWave(Meow(), 0, 0, 0, 0), 0);
    EXPECT_LT(Since(call), 100ms) << "a background play returns at once";
    std::this_thread::sleep_for(1300ms);
    const Recording rec = m_recorder.stop();

    const size_t from = rec.indexAt(call);
    EXPECT_LT(rec.levelDb(0, from), NoiseFloorDb) << "silence before the call";
    const size_t first = rec.firstLoud(NoiseFloorDb, from);
    ASSERT_LT(first, rec.samples.size()) << "the meow was not heard";
    const size_t last = rec.lastLoud(NoiseFloorDb);
    const double heardMs = 1000.0 * static_cast<double>(last - first) / RecordRate;
    EXPECT_NEAR(heardMs, 780.0, 80.0) << "the whole meow, once";
    EXPECT_GT(rec.levelDb(first, last), -30.0) << "at its own level";
    const double latency = Ms(rec.timeOf(first), call);
    std::printf("meow start latency: %.1f ms\n", latency);
    EXPECT_LT(latency, 100.0);
}

TEST_F(PlayWaveAudio, SynchronousPlayReturnsWhenTheMeowHasEnded)
{
    const SteadyTime call = std::chrono::steady_clock::now();
    ASSERT_EQ(PlayWave(Meow(), -1, 0, 0, 0), 0);
    const auto took = Since(call);
    EXPECT_GE(took, 700ms);
    EXPECT_LT(took, 1500ms);
    std::this_thread::sleep_for(200ms);
    const Recording rec = m_recorder.stop();
    const size_t first = rec.firstLoud(NoiseFloorDb, rec.indexAt(call));
    ASSERT_LT(first, rec.samples.size());
    // Nothing is heard after the call has returned (plus the output's short buffer).
    const size_t afterReturn = rec.indexAt(call + took + 100ms);
    EXPECT_LT(rec.levelDb(afterReturn, rec.samples.size()), NoiseFloorDb);
}

// Shorter than the output's buffer, which a fresh stream waits to fill before it plays.
TEST_F(PlayWaveAudio, ASoundShorterThanTheBufferIsHeardAndWaitedForByItsOwnLength)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.wav"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(ToneWave(44 + 8820)), 44 + 8820); // 100 ms
    f.close();
    const SteadyTime call = std::chrono::steady_clock::now();
    ASSERT_EQ(PlayWave(path, -1, 0, 0, 0), 0);
    const auto took = Since(call);
    EXPECT_GE(took, 90ms);
    EXPECT_LT(took, 180ms) << "the silence after the sound is not waited for";
    std::this_thread::sleep_for(300ms);
    const Recording rec = m_recorder.stop();
    const size_t first = rec.firstLoud(NoiseFloorDb, rec.indexAt(call));
    ASSERT_LT(first, rec.samples.size()) << "the short sound was not heard";
    const double heardMs =
        1000.0 * static_cast<double>(rec.lastLoud(NoiseFloorDb) - first) / RecordRate;
    EXPECT_NEAR(heardMs, 100.0, 30.0);
}

TEST_F(PlayWaveAudio, StopSilencesALoopWithin100Ms)
{
    ASSERT_EQ(PlayWave(Meow(), 0, -1, 0, 0), 0);
    std::this_thread::sleep_for(1800ms); // past the end of the first pass: it loops
    const SteadyTime stop = std::chrono::steady_clock::now();
    PlayWave(QString(), 0, 0, 0, -1);
    std::this_thread::sleep_for(600ms);
    const Recording rec = m_recorder.stop();
    std::printf("sound ends %.1f ms after the stop\n",
                Ms(rec.timeOf(rec.lastLoud(NoiseFloorDb)), stop));
    EXPECT_GT(rec.levelDb(rec.indexAt(stop - 1000ms), rec.indexAt(stop)), -40.0)
        << "the loop played before the stop";
    EXPECT_LT(rec.levelDb(rec.indexAt(stop + 100ms), rec.samples.size()), NoiseFloorDb)
        << "silent from 100 ms after the stop";
}

TEST_F(PlayWaveAudio, NoStopRefusesWhileALoopPlaysAndTheLoopGoesOn)
{
    ASSERT_EQ(PlayWave(Meow(), 0, -1, 0, 0), 0);
    std::this_thread::sleep_for(300ms);
    const SteadyTime refused = std::chrono::steady_clock::now();
    EXPECT_EQ(PlayWave(Meow(), 0, 0, 0, 0), 4);
    EXPECT_EQ(PlayWave(Meow(), 0, 0, -1, 0), 4);
    std::this_thread::sleep_for(2000ms);
    const Recording rec = m_recorder.stop();
    // Every 200 ms stretch of the two seconds after the refusals still holds the loop: with
    // passes of 0.78 s back to back there is no gap that long.
    for (int ms = 0; ms < 1800; ms += 200) {
        const size_t a = rec.indexAt(refused + std::chrono::milliseconds(ms));
        const size_t b = rec.indexAt(refused + std::chrono::milliseconds(ms + 200));
        EXPECT_GT(rec.levelDb(a, b), -45.0) << "the loop stopped " << ms << " ms after";
    }
}

TEST_F(PlayWaveAudio, MemoryPlaybackTakesTheLargestFileAndRefusesOneByteMore)
{
    QTemporaryDir dir;
    const QString largest = dir.filePath(QStringLiteral("largest.wav"));
    const QString tooLarge = dir.filePath(QStringLiteral("toolarge.wav"));
    for (const auto& [path, size] : {std::pair{largest, qint64(2097152)}, {tooLarge, 2097153}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(ToneWave(size)), size);
    }
    EXPECT_EQ(PlayWave(tooLarge, 0, 0, -1, 0), 1);
    const SteadyTime call = std::chrono::steady_clock::now();
    ASSERT_EQ(PlayWave(largest, 0, 0, -1, 0), 0);
    EXPECT_EQ(SoundBuffer().size(), 2097152);
    std::this_thread::sleep_for(700ms);
    const Recording rec = m_recorder.stop();
    const size_t first = rec.firstLoud(NoiseFloorDb, rec.indexAt(call));
    ASSERT_LT(first, rec.samples.size()) << "the 2,097,152-byte file was not heard";
    EXPECT_GT(rec.levelDb(first, rec.samples.size()), -20.0);
}

TEST_F(PlayWaveAudio, AServerThatStopsAnsweringIsRefusedAtOnceAndWorksWhenItAnswersAgain)
{
    ASSERT_EQ(PlayWave(Meow(), 0, 0, 0, -1), 0);
    m_recorder.stop();
    ASSERT_EQ(::kill(g_server->pid(), SIGSTOP), 0);
    // Whatever happens below, the server answers again before the next test.
    struct Resume
    {
        ~Resume() { ::kill(g_server->pid(), SIGCONT); }
    } resume;
    std::this_thread::sleep_for(700ms);

    for (const qint16 synchronous : {qint16(0), qint16(-1)}) {
        const SteadyTime call = std::chrono::steady_clock::now();
        EXPECT_EQ(PlayWave(Meow(), synchronous, 0, 0, -1), 4) << "synchronous " << synchronous;
        EXPECT_LT(Since(call), 1000ms) << "synchronous " << synchronous;
    }

    ::kill(g_server->pid(), SIGCONT);
    const SteadyTime resumed = std::chrono::steady_clock::now();
    int result = 4;
    while (result != 0 && Since(resumed) < 5000ms) {
        std::this_thread::sleep_for(100ms);
        result = PlayWave(Meow(), 0, 0, 0, -1);
    }
    EXPECT_EQ(result, 0) << "still refused 5 s after the server answered again";
}

// Last: it takes the server away.
TEST_F(PlayWaveAudio, WithoutServerTheCallFailsFastAndWorksAgainOnceItIsBack)
{
    // A server that goes away in the middle of a sound.
    ASSERT_EQ(PlayWave(Meow(), 0, -1, 0, 0), 0);
    std::this_thread::sleep_for(300ms);
    m_recorder.stop();
    g_server->stop();

    for (int i = 0; i < 2; ++i) {
        const SteadyTime call = std::chrono::steady_clock::now();
        EXPECT_EQ(PlayWave(Meow(), 0, 0, 0, -1), 4);
        EXPECT_LT(Since(call), 1000ms);
    }
    const SteadyTime call = std::chrono::steady_clock::now();
    EXPECT_EQ(PlayWave(Meow(), 0, 0, -1, -1), 4);
    EXPECT_LT(Since(call), 1000ms);

    QString error;
    ASSERT_TRUE(g_server->start(&error)) << error.toStdString();
    ASSERT_TRUE(m_recorder.start(&error)) << error.toStdString();
    // Qt Multimedia reconnects to the sound server every 3 s while it is away, so the meow
    // works again within that time; each attempt still fails fast.
    const SteadyTime back = std::chrono::steady_clock::now();
    SteadyTime again;
    int result = -1;
    while (result != 0 && Since(back) < 5000ms) {
        again = std::chrono::steady_clock::now();
        result = PlayWave(Meow(), 0, 0, 0, -1);
        EXPECT_LT(Since(again), 1000ms);
        if (result != 0)
            std::this_thread::sleep_for(200ms);
    }
    ASSERT_EQ(result, 0) << "no meow within 5 s of the server's return";
    std::printf("meow works again %lld ms after the server's return\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(again - back).count()));
    std::this_thread::sleep_for(1200ms);
    const Recording rec = m_recorder.stop();
    EXPECT_LT(rec.firstLoud(NoiseFloorDb, rec.indexAt(again)), rec.samples.size())
        << "the meow was not heard after the server came back";
}

} // namespace
