// The frame comparison at 640x480, 1920x1080 and 3840x2160 on frames without
// motion (a full pass), next to the plain pixel loop and to one memcpy of a
// frame, the yardstick of memory speed. Run with the same build type the
// program ships in (RelWithDebInfo).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "common/frame_image.h"
#include "detect/frame_scan.h"

namespace {

constexpr std::uint8_t kThreshold = 40;

// A random scene and the same scene with camera noise well under the
// threshold: nothing in it counts, so every row is scanned to the end.
struct StillPair {
    StillPair(int width, int height)
    {
        std::mt19937 random(7);
        previous.Resize(width, height);
        current.Resize(width, height);
        for (std::size_t i = 0; i < previous.ImageSize(); ++i) {
            const auto value = static_cast<std::uint8_t>(random() % 240);
            previous.Bits()[i] = value;
            current.Bits()[i] = static_cast<std::uint8_t>(value + random() % 9);
        }
        delivered.assign(current.Bits(), current.Bits() + current.ImageSize());
    }

    qmd::FrameImage previous;
    qmd::FrameImage current;
    std::vector<std::uint8_t> delivered;  // the frame as the grabber hands it over
};

StillPair& PairFor(benchmark::State& state)
{
    static std::vector<std::unique_ptr<StillPair>> pairs;
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    for (auto& pair : pairs)
        if (pair->current.Width() == width && pair->current.Height() == height) return *pair;
    pairs.push_back(std::make_unique<StillPair>(width, height));
    return *pairs.back();
}

void ReportFrames(benchmark::State& state, const qmd::FrameImage& frame)
{
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(frame.ImageSize()));
}

void BM_Scan(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    for (auto _ : state) {
        auto found = qmd::FirstChangedPixel(pair.previous, pair.current, kThreshold);
        benchmark::DoNotOptimize(found);
        if (found) state.SkipWithError("motion in a still pair");
    }
    state.SetLabel(qmd::ScanKernelName(qmd::ActiveScanKernel()));
    ReportFrames(state, pair.current);
}

// Each narrower kernel as well, for the processors that lack the wider ones.
void BM_ScanWith(benchmark::State& state, qmd::ScanKernel kernel)
{
    StillPair& pair = PairFor(state);
    for (auto _ : state) {
        auto found = qmd::FirstChangedPixelWith(kernel, pair.previous, pair.current, kThreshold);
        benchmark::DoNotOptimize(found);
    }
    ReportFrames(state, pair.current);
}

// The count of changed pixels outside two ignored areas (a quarter of the
// picture), to a smallest area of 0.5 % and with a light bound of 50 %: on a
// still pair a full pass over the spans left, through the same kernels.
void BM_CountWithAreas(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    qmd::ScanPlan plan;
    plan.Rebuild(pair.current.Width(), pair.current.Height(), {{0, 0, 0.5, 0.25}, {0.6, 0.5, 0.4, 0.3}}, 1);
    const std::atomic<std::uint8_t> threshold{kThreshold};
    const std::int64_t pixels = static_cast<std::int64_t>(pair.current.Width()) * pair.current.Height();
    const qmd::CountRule rule{pixels / 200, pixels / 2};
    for (auto _ : state) {
        auto counted = qmd::CountChangedPixels(pair.previous, pair.current, plan, threshold, rule);
        benchmark::DoNotOptimize(counted);
        if (counted.Motion || counted.LightChange) state.SkipWithError("motion in a still pair");
    }
    ReportFrames(state, pair.current);
}

// A light switched on: every pixel brighter by more than the threshold, with
// the light bound at 50 %. Counting walks the changed pixels one by one until
// the bound is passed; this is the dearest frame a bound can meet.
void BM_CountLightStep(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    qmd::FrameImage lit = pair.previous;
    for (std::size_t i = 0; i < lit.ImageSize(); ++i) lit.Bits()[i] = static_cast<std::uint8_t>(lit.Bits()[i] / 4 + 120);
    qmd::ScanPlan plan;
    const std::atomic<std::uint8_t> threshold{kThreshold};
    const std::int64_t pixels = static_cast<std::int64_t>(lit.Width()) * lit.Height();
    const qmd::CountRule rule{1, pixels / 2};
    qmd::FrameImage dark = pair.previous;
    for (std::size_t i = 0; i < dark.ImageSize(); ++i) dark.Bits()[i] = static_cast<std::uint8_t>(dark.Bits()[i] / 4);
    for (auto _ : state) {
        auto counted = qmd::CountChangedPixels(dark, lit, plan, threshold, rule);
        benchmark::DoNotOptimize(counted);
        if (!counted.LightChange) state.SkipWithError("the light step was not seen");
    }
    ReportFrames(state, lit);
}

void BM_CopyAndScan(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    for (auto _ : state) {
        std::memcpy(pair.current.Bits(), pair.delivered.data(), pair.delivered.size());
        auto found = qmd::FirstChangedPixel(pair.previous, pair.current, kThreshold);
        benchmark::DoNotOptimize(found);
    }
    ReportFrames(state, pair.current);
}

void BM_Reference(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    for (auto _ : state) {
        auto found = qmd::FirstChangedPixelReference(pair.previous, pair.current, kThreshold);
        benchmark::DoNotOptimize(found);
    }
    ReportFrames(state, pair.current);
}

void BM_Memcpy(benchmark::State& state)
{
    StillPair& pair = PairFor(state);
    for (auto _ : state) {
        std::memcpy(pair.current.Bits(), pair.delivered.data(), pair.delivered.size());
        benchmark::DoNotOptimize(pair.current.Bits());
        benchmark::ClobberMemory();
    }
    ReportFrames(state, pair.current);
}

// On a machine shared with other work the fastest repetition is the one
// least disturbed, so it is reported next to the mean and the median.
double Fastest(const std::vector<double>& times)
{
    return times.empty() ? 0.0 : *std::min_element(times.begin(), times.end());
}

void FrameSizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
    benchmark->ComputeStatistics("min", Fastest);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(FrameSizes);
BENCHMARK(BM_Scan)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_ScanWith, sse2, qmd::ScanKernel::Sse2)->Apply(FrameSizes);
BENCHMARK_CAPTURE(BM_ScanWith, avx2, qmd::ScanKernel::Avx2)->Apply(FrameSizes);
BENCHMARK(BM_CountWithAreas)->Apply(FrameSizes);
BENCHMARK(BM_CountLightStep)->Apply(FrameSizes);
BENCHMARK(BM_CopyAndScan)->Apply(FrameSizes);
BENCHMARK(BM_Reference)->Apply(FrameSizes);
