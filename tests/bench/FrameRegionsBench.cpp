// Building the eight frame shapes of the real pictures: pixel by pixel, each differing position
// united into the region on its own, against the run-based scan the program uses. Prints the
// time of each way for all eight frames and their ratio at the end.
#include "mascot/FramePictures.h"
#include "mascot/FrameRegions.h"
#include "unit/mascot/NaiveFrameShape.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {
std::array<QImage, 8> frames()
{
    std::array<QImage, 8> pictures;
    for (int f = 0; f < 8; ++f)
        pictures[size_t(f)] = FramePicture(f);
    return pictures;
}

void pixelByPixel(const std::array<QImage, 8>& pictures, FrameRegionArray& regions)
{
    for (size_t f = 0; f < pictures.size(); ++f)
        regions[f].Store(NaiveFrameShape(pictures[f]));
}

void runs(const std::array<QImage, 8>& pictures, FrameRegionArray& regions)
{
    BuildFrameRegions(pictures, regions);
}

void BM_PixelByPixel(benchmark::State& state)
{
    const auto pictures = frames();
    FrameRegionArray regions;
    for (auto _ : state) {
        pixelByPixel(pictures, regions);
        benchmark::DoNotOptimize(regions);
    }
}
BENCHMARK(BM_PixelByPixel)->Unit(benchmark::kMillisecond);

void BM_Runs(benchmark::State& state)
{
    const auto pictures = frames();
    FrameRegionArray regions;
    for (auto _ : state) {
        runs(pictures, regions);
        benchmark::DoNotOptimize(regions);
    }
}
BENCHMARK(BM_Runs)->Unit(benchmark::kMillisecond);

// The per-tick work: re-creating one stored shape.
void BM_RegionFromSlot(benchmark::State& state)
{
    const auto pictures = frames();
    FrameRegionArray regions;
    BuildFrameRegions(pictures, regions);
    int f = 0;
    for (auto _ : state) {
        const FrameRegion& slot = regions[size_t(f)];
        benchmark::DoNotOptimize(
            RegionFromSlot(slot, RegionTransform(), slot.dwSize() + slot.nRgnSize()));
        f = (f + 1) % 8;
    }
}
BENCHMARK(BM_RegionFromSlot)->Unit(benchmark::kMicrosecond);

double secondsPerRound(void (*work)(const std::array<QImage, 8>&, FrameRegionArray&), int rounds)
{
    const auto pictures = frames();
    FrameRegionArray regions;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        work(pictures, regions);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double slow = secondsPerRound(pixelByPixel, 5);
    const double fast = secondsPerRound(runs, 200);
    std::printf("all eight frames: pixel by pixel %.2f ms, runs %.3f ms, ratio %.0fx\n", slow * 1e3,
                fast * 1e3, slow / fast);
    return 0;
}
