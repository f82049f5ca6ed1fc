// How long the meow takes to be heard: starts a private PulseAudio server with a null sink,
// records its monitor, plays the meow the way the kitten does (stop, then a background play)
// several times, and prints the time from each call to the first recorded sample above the
// noise floor, then the median. The first run includes opening the output; the rest show the
// steady state, and whether the median meets the 50 ms goal. Exits non-zero only when the meow
// was never heard: a busy machine makes a slow run, not a broken build.
//
// Usage: bench_sound_latency [runs]

#include "platform/Services.h"
#include "sound/AudioOutputService.h"
#include "sound/PlayWave.h"
#include "sound/SoundService.h"
#include "support/PulseFixture.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The null sink's silence is exact zeros; anything above this is sound.
constexpr double NoiseFloorDb = -60.0;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const QString meow = QStringLiteral(MOFURIN_SOURCE_DIR "/resources/Kouka.wav");

    PulseServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "the sound server did not start: %s\n", qPrintable(error));
        return 2;
    }
    AudioOutputService output;
    Services services;
    services.sound = &output;
    const UseServices inUse(services);
    // As the bar and the notice do: open the output ahead of the first meow.
    PrepareSound();
    std::this_thread::sleep_for(1500ms);

    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        MonitorRecorder recorder;
        if (!recorder.start(&error)) {
            std::fprintf(stderr, "the recorder did not start: %s\n", qPrintable(error));
            return 2;
        }
        std::this_thread::sleep_for(300ms);
        PlayWave(QString(), 0, 0, 0, -1);
        const SteadyTime call = std::chrono::steady_clock::now();
        const int result = PlayWave(meow, 0, 0, 0, 0);
        std::this_thread::sleep_for(1000ms);
        const Recording rec = recorder.stop();
        const size_t first = rec.firstLoud(NoiseFloorDb, rec.indexAt(call));
        if (result != 0 || first >= rec.samples.size()) {
            std::printf("run %d: result %d, not heard\n", i + 1, result);
            continue;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(rec.timeOf(first) - call).count();
        latencies.push_back(ms);
        std::printf("run %d: %.1f ms\n", i + 1, ms);
        std::fflush(stdout);
    }
    PlayWave(QString(), 0, 0, 0, -1);
    if (latencies.empty()) {
        std::printf("the meow was never heard\n");
        return 1;
    }
    std::vector<double> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("meow start latency: median %.1f ms, min %.1f ms, max %.1f ms over %zu runs\n",
                median, sorted.front(), sorted.back(), sorted.size());
    std::printf("goal of 50 ms: %s\n", median < 50.0 ? "met" : "missed");
    return 0;
}
