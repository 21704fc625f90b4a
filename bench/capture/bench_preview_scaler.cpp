// The preview's stretch of one frame to the main window's default preview
// (306 x 229), against the same table read a colour at a time. "Cold" takes
// each frame from a pool larger than the caches, as a frame that another core
// has just decoded is.
#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "capture/preview_scaler.h"

namespace qmd {
namespace {

std::vector<std::uint8_t> Frame(int width, int height)
{
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3 * height);
    std::uint32_t state = 12345;
    for (auto& byte : bgr) byte = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    return bgr;
}

// The same nearest-pixel table, each colour read by itself.
void ByteByByte(const std::vector<int>& offsets, const std::uint8_t* bgr, int height, int stride, QImage& target)
{
    for (int y = 0; y < target.height(); ++y) {
        const std::uint8_t* row = bgr + static_cast<std::ptrdiff_t>(y * height / target.height()) * stride;
        auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const std::uint8_t* pixel = row + offsets[static_cast<std::size_t>(x)];
            out[x] = 0xFF000000u | (std::uint32_t{pixel[2]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[0];
        }
    }
}

template <bool Plain>
void Stretch(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const bool cold = state.range(2) != 0;
    const std::size_t frameBytes = static_cast<std::size_t>(width) * 3 * height;
    const std::size_t pool = cold ? std::max<std::size_t>(2, (std::size_t{96} << 20) / frameBytes) : 1;
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t i = 0; i < pool; ++i) frames.push_back(Frame(width, height));
    std::size_t next = 0;
    QImage target(306, 229, QImage::Format_RGB32);
    PreviewScaler scaler;
    std::vector<int> offsets;
    for (int x = 0; x < target.width(); ++x) offsets.push_back(x * width / target.width() * 3);
    for (auto _ : state) {
        const std::uint8_t* bgr = frames[next].data();
        next = (next + 1) % pool;
        if constexpr (Plain)
            ByteByByte(offsets, bgr, height, width * 3, target);
        else
            scaler.Scale(bgr, width, height, width * 3, target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    for (int cold : {0, 1})
        benchmark->Args({160, 120, cold})->Args({640, 480, cold})->Args({1280, 720, cold})->Args({1920, 1080, cold});
    benchmark->ArgNames({"width", "height", "cold"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(Stretch<false>)->Name("PreviewScaler")->Apply(Sizes);
BENCHMARK(Stretch<true>)->Name("ByteByByte")->Apply(Sizes);

}  // namespace
}  // namespace qmd

BENCHMARK_MAIN();
