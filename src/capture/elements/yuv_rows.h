#pragma once
// The AVX2 row kernels behind the YUV 4:2:0 to BGR conversion. Each turns
// one row of `width` pixels into 3 bytes a pixel (blue, green, red) in one
// pass, with libyuv's fixed-point arithmetic on the coefficients of
// `matrix`, so that every byte is the one libyuv's own SIMD rows make. Only
// for x86-64 with AVX2: elsewhere libyuv's own conversion is used. A chroma
// sample covers two pixels; the last one of an odd width covers one.
// Nothing beyond the row's `width` luma bytes, (width + 1) / 2 chroma
// samples and width * 3 output bytes is read or written.
#include <cstdint>

#include "common/processor_features.h"

namespace libyuv {
struct YuvConstants;
}

namespace qmd::detail {

#if defined(__x86_64__)
#define QMD_HAVE_X86_YUV_KERNELS 1
void PlanarRowToBgrAvx2(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr,
                        const libyuv::YuvConstants* matrix, int width);
void InterleavedRowToBgrAvx2(const std::uint8_t* y, const std::uint8_t* uv, std::uint8_t* bgr,
                             const libyuv::YuvConstants* matrix, int width);
#endif

}  // namespace qmd::detail
