#include "capture/elements/yuv_frame_to_bgr.h"

#include <libyuv/convert_argb.h>

#include <array>
#include <cstddef>

#include "capture/elements/yuv_rows.h"

namespace qmd {
namespace {

bool Valid(const void* y, const void* chroma, const void* bgr, const libyuv::YuvConstants* matrix, int width,
           int height)
{
    return y && chroma && bgr && matrix && width > 0 && height > 0;
}

#if defined(QMD_HAVE_X86_YUV_KERNELS)

template <class Byte>
Byte* Row(Byte* plane, int stride, int row)
{
    return plane + static_cast<std::ptrdiff_t>(stride) * row;
}

#endif

// A kernel the processor lacks falls back to the fastest it has (those it
// has are the first of the enumeration's order).
YuvKernel Runnable(YuvKernel kernel)
{
    const auto available = AvailableYuvKernels();
    return static_cast<std::size_t>(kernel) < available.size() ? kernel : available.back();
}

}  // namespace

std::span<const YuvKernel> AvailableYuvKernels()
{
    static const std::array<YuvKernel, 2> all{YuvKernel::Libyuv, YuvKernel::Avx2};
#if defined(QMD_HAVE_X86_YUV_KERNELS)
    static const std::size_t count = ProcessorHasAvx2() ? 2 : 1;
#else
    static const std::size_t count = 1;
#endif
    return std::span<const YuvKernel>(all.data(), count);
}

YuvKernel ActiveYuvKernel()
{
    static const YuvKernel kernel = AvailableYuvKernels().back();
    return kernel;
}

const char* YuvKernelName(YuvKernel kernel)
{
    switch (kernel) {
    case YuvKernel::Libyuv: return "libyuv";
    case YuvKernel::Avx2: return "AVX2";
    }
    return "?";
}

bool I420ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride, const std::uint8_t* v,
               int vStride, std::uint8_t* bgr, int bgrStride, const libyuv::YuvConstants* matrix, int width, int height,
               YuvKernel kernel)
{
    if (!Valid(y, u, bgr, matrix, width, height) || !v) return false;
    kernel = Runnable(kernel);
#if defined(QMD_HAVE_X86_YUV_KERNELS)
    if (kernel != YuvKernel::Libyuv) {
        for (int row = 0; row < height; ++row)
            detail::PlanarRowToBgrAvx2(Row(y, yStride, row), Row(u, uStride, row / 2), Row(v, vStride, row / 2), Row(bgr, bgrStride, row),
                     matrix, width);
        return true;
    }
#endif
    return libyuv::I420ToRGB24Matrix(y, yStride, u, uStride, v, vStride, bgr, bgrStride, matrix, width, height) == 0;
}

bool Nv12ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* uv, int uvStride, std::uint8_t* bgr,
               int bgrStride, const libyuv::YuvConstants* matrix, int width, int height, YuvKernel kernel)
{
    if (!Valid(y, uv, bgr, matrix, width, height)) return false;
    kernel = Runnable(kernel);
#if defined(QMD_HAVE_X86_YUV_KERNELS)
    if (kernel != YuvKernel::Libyuv) {
        for (int row = 0; row < height; ++row)
            detail::InterleavedRowToBgrAvx2(Row(y, yStride, row), Row(uv, uvStride, row / 2), Row(bgr, bgrStride, row), matrix, width);
        return true;
    }
#endif
    return libyuv::NV12ToRGB24Matrix(y, yStride, uv, uvStride, bgr, bgrStride, matrix, width, height) == 0;
}

}  // namespace qmd
