// A decoder's 1280x720 YUV 4:2:0 into the grabber's 24-bit BGR: libyuv's
// two passes a row (32-bit ARGB into a small buffer, then repacked to
// 24 bits) against our one pass with AVX2, in BT.709 (an HD camera's);
// libyuv also as it runs where the processor has SSSE3 but not AVX2, which
// is what such a processor converts with. CPU time per frame.
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/cpu_id.h>

#include <cstdint>
#include <random>
#include <vector>

#include "capture/elements/yuv_frame_to_bgr.h"

namespace qmd {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

struct Picture {
    Picture()
    {
        std::mt19937 random(5);
        for (auto* plane : {&y, &u, &v, &uv})
            for (auto& byte : *plane) byte = static_cast<std::uint8_t>(random());
    }
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(kWidth * kHeight);
    std::vector<std::uint8_t> u = std::vector<std::uint8_t>(kWidth / 2 * kHeight / 2);
    std::vector<std::uint8_t> v = std::vector<std::uint8_t>(u.size());
    std::vector<std::uint8_t> uv = std::vector<std::uint8_t>(2 * u.size());
    std::vector<std::uint8_t> bgr = std::vector<std::uint8_t>(3 * kWidth * kHeight);
};

Picture& Shared()
{
    static Picture picture;
    return picture;
}

const libyuv::YuvConstants* const kMatrix = &libyuv::kYuvH709Constants;

// libyuv without its AVX2 rows, as on a processor with SSSE3 only.
void LibyuvSsse3(benchmark::State& state, bool nv12)
{
    Picture& p = Shared();
    libyuv::MaskCpuFlags(~libyuv::kCpuHasAVX2);
    for (auto _ : state) {
        if (nv12)
            libyuv::NV12ToRGB24Matrix(p.y.data(), kWidth, p.uv.data(), kWidth, p.bgr.data(), 3 * kWidth, kMatrix,
                                      kWidth, kHeight);
        else
            libyuv::I420ToRGB24Matrix(p.y.data(), kWidth, p.u.data(), kWidth / 2, p.v.data(), kWidth / 2, p.bgr.data(),
                                      3 * kWidth, kMatrix, kWidth, kHeight);
        benchmark::DoNotOptimize(p.bgr.data());
    }
    libyuv::MaskCpuFlags(-1);
    state.SetItemsProcessed(state.iterations());
}

// Through our frame functions; YuvKernel::Libyuv is libyuv as the program
// would call it.
void Convert(benchmark::State& state, bool nv12, YuvKernel kernel)
{
    Picture& p = Shared();
    bool available = false;
    for (const YuvKernel one : AvailableYuvKernels()) available = available || one == kernel;
    if (!available) {
        state.SkipWithError("this processor lacks the kernel's instructions");
        return;
    }
    for (auto _ : state) {
        if (nv12)
            Nv12ToBgr(p.y.data(), kWidth, p.uv.data(), kWidth, p.bgr.data(), 3 * kWidth, kMatrix, kWidth, kHeight,
                      kernel);
        else
            I420ToBgr(p.y.data(), kWidth, p.u.data(), kWidth / 2, p.v.data(), kWidth / 2, p.bgr.data(), 3 * kWidth,
                      kMatrix, kWidth, kHeight, kernel);
        benchmark::DoNotOptimize(p.bgr.data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(Convert, i420_libyuv, false, YuvKernel::Libyuv)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Convert, i420_avx2, false, YuvKernel::Avx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LibyuvSsse3, i420_libyuv_ssse3, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Convert, nv12_libyuv, true, YuvKernel::Libyuv)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Convert, nv12_avx2, true, YuvKernel::Avx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LibyuvSsse3, nv12_libyuv_ssse3, true)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qmd

BENCHMARK_MAIN();
