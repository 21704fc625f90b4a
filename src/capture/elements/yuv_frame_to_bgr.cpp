#include "capture/elements/yuv_frame_to_bgr.h"

#include <array>
#include <cstddef>

#include "capture/elements/yuv_rows.h"

namespace qmd {
namespace {

struct RowKernels {
    detail::PlanarRowToBgr Planar;
    detail::InterleavedRowToBgr Interleaved;
};

// A kernel the processor lacks falls back to the next narrower one.
RowKernels KernelsFor(YuvKernel kernel)
{
    switch (kernel) {
#if defined(QMD_HAVE_X86_YUV_KERNELS)
    case YuvKernel::Avx2:
        if (ProcessorHasAvx2()) return {detail::PlanarRowToBgrAvx2, detail::InterleavedRowToBgrAvx2};
        [[fallthrough]];
    case YuvKernel::Ssse3:
        if (ProcessorHasSsse3()) return {detail::PlanarRowToBgrSsse3, detail::InterleavedRowToBgrSsse3};
        break;
#else
    case YuvKernel::Avx2:
    case YuvKernel::Ssse3:
#endif
    case YuvKernel::Portable: break;
    }
    return {detail::PlanarRowToBgrPortable, detail::InterleavedRowToBgrPortable};
}

const RowKernels& KernelsOf(YuvKernel kernel)
{
    static const std::array<RowKernels, 3> kernels{KernelsFor(YuvKernel::Portable), KernelsFor(YuvKernel::Ssse3),
                                                   KernelsFor(YuvKernel::Avx2)};
    return kernels[static_cast<std::size_t>(kernel)];
}

const std::uint8_t* Row(const std::uint8_t* plane, int stride, int row)
{
    return plane + static_cast<std::ptrdiff_t>(stride) * row;
}

bool Valid(const void* y, const void* chroma, const void* bgr, const libyuv::YuvConstants* matrix, int width,
           int height)
{
    return y && chroma && bgr && matrix && width > 0 && height > 0;
}

}  // namespace

std::span<const YuvKernel> AvailableYuvKernels()
{
#if defined(QMD_HAVE_X86_YUV_KERNELS)
    static const std::array<YuvKernel, 3> all{YuvKernel::Portable, YuvKernel::Ssse3, YuvKernel::Avx2};
    static const std::size_t count = ProcessorHasSsse3() ? (ProcessorHasAvx2() ? 3 : 2) : 1;
    return std::span<const YuvKernel>(all.data(), count);
#else
    static const std::array<YuvKernel, 1> portableOnly{YuvKernel::Portable};
    return portableOnly;
#endif
}

YuvKernel ActiveYuvKernel()
{
    static const YuvKernel kernel = AvailableYuvKernels().back();
    return kernel;
}

const char* YuvKernelName(YuvKernel kernel)
{
    switch (kernel) {
    case YuvKernel::Portable: return "portable";
    case YuvKernel::Ssse3: return "SSSE3";
    case YuvKernel::Avx2: return "AVX2";
    }
    return "?";
}

bool I420ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride, const std::uint8_t* v,
               int vStride, std::uint8_t* bgr, int bgrStride, const libyuv::YuvConstants* matrix, int width, int height,
               YuvKernel kernel)
{
    if (!Valid(y, u, bgr, matrix, width, height) || !v) return false;
    const detail::PlanarRowToBgr rowToBgr = KernelsOf(kernel).Planar;
    for (int row = 0; row < height; ++row)
        rowToBgr(Row(y, yStride, row), Row(u, uStride, row / 2), Row(v, vStride, row / 2),
                 bgr + static_cast<std::ptrdiff_t>(bgrStride) * row, matrix, width);
    return true;
}

bool Nv12ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* uv, int uvStride, std::uint8_t* bgr,
               int bgrStride, const libyuv::YuvConstants* matrix, int width, int height, YuvKernel kernel)
{
    if (!Valid(y, uv, bgr, matrix, width, height)) return false;
    const detail::InterleavedRowToBgr rowToBgr = KernelsOf(kernel).Interleaved;
    for (int row = 0; row < height; ++row)
        rowToBgr(Row(y, yStride, row), Row(uv, uvStride, row / 2), bgr + static_cast<std::ptrdiff_t>(bgrStride) * row,
                 matrix, width);
    return true;
}

}  // namespace qmd
