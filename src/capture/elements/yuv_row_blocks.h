#pragma once
// One row of a vector kernel in whole blocks, the last pixels through a block
// of buffers of our own: a row may end where its buffer ends, and a whole
// block there would read and write past it. Included by the kernel's file,
// which first defines QMD_YUV_TARGET as its instruction set's target
// attribute, so that its block is inlined here.
//
// A Kernel has kBlockPixels; Matrix LoadMatrix(const libyuv::YuvConstants*);
// LoadPlanar(const uint8_t* u, const uint8_t* v) and LoadInterleaved(const
// uint8_t* uv), which give a vector of the block's kBlockPixels / 2 U, V
// pairs; and Block(const uint8_t* y, vector uv, uint8_t* bgr, const Matrix&),
// which writes its 3 * kBlockPixels bytes.
#include <cstdint>
#include <cstring>

#ifndef QMD_YUV_TARGET
#error "QMD_YUV_TARGET names the instruction set of the kernel that includes this"
#endif

namespace libyuv {
struct YuvConstants;
}

namespace qmd::detail {

template <class Kernel>
struct PlanarChroma {
    static constexpr int kSamples = Kernel::kBlockPixels / 2;
    const std::uint8_t* U;
    const std::uint8_t* V;
    // The block's U, V pairs from sample `at` on.
    QMD_YUV_TARGET auto Load(int at) const { return Kernel::LoadPlanar(U + at, V + at); }
    // The same of the last `count` samples, reading nothing past them.
    QMD_YUV_TARGET auto LoadLast(int at, int count) const
    {
        std::uint8_t u[kSamples] = {}, v[kSamples] = {};
        std::memcpy(u, U + at, count);
        std::memcpy(v, V + at, count);
        return Kernel::LoadPlanar(u, v);
    }
};

template <class Kernel>
struct InterleavedChroma {
    static constexpr int kSamples = Kernel::kBlockPixels / 2;
    const std::uint8_t* UV;
    QMD_YUV_TARGET auto Load(int at) const { return Kernel::LoadInterleaved(UV + 2 * at); }
    QMD_YUV_TARGET auto LoadLast(int at, int count) const
    {
        std::uint8_t uv[2 * kSamples] = {};
        std::memcpy(uv, UV + 2 * at, 2 * count);
        return Kernel::LoadInterleaved(uv);
    }
};

template <class Kernel, class Chroma>
QMD_YUV_TARGET void RowInBlocks(const std::uint8_t* y, Chroma chroma, std::uint8_t* bgr,
                                const libyuv::YuvConstants* matrix, int width)
{
    constexpr int kBlock = Kernel::kBlockPixels;
    const auto m = Kernel::LoadMatrix(matrix);
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) Kernel::Block(y + x, chroma.Load(x / 2), bgr + 3 * x, m);
    const int rest = width - x;
    if (rest == 0) return;
    std::uint8_t luma[kBlock] = {};
    std::uint8_t out[3 * kBlock];
    std::memcpy(luma, y + x, rest);
    Kernel::Block(luma, chroma.LoadLast(x / 2, (rest + 1) / 2), out, m);
    std::memcpy(bgr + 3 * x, out, 3 * rest);
}

}  // namespace qmd::detail
