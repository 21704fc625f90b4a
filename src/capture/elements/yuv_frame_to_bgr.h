#pragma once
// A whole YUV 4:2:0 frame (I420 or NV12) into 24-bit BGR in one pass a row,
// byte for byte what libyuv's I420ToRGB24Matrix and NV12ToRGB24Matrix make
// of it with the same matrix (libyuv's "RGB24" is B, G, R in memory), which
// go through 32-bit ARGB and repack it. Row r takes chroma row r / 2; the
// last row of an odd height has a chroma row to itself. Each output row
// gets exactly width * 3 bytes; nothing after them is touched.
#include <cstdint>
#include <span>

namespace libyuv {
struct YuvConstants;
}

namespace qmd {

// Libyuv: libyuv's own conversion, for processors without AVX2 and other
// than x86-64 (where it has kernels of its own, NEON on ARM). Below AVX2 a
// one-pass kernel of ours was measured no faster than libyuv's SSSE3 rows.
enum class YuvKernel { Libyuv, Avx2 };

// The kernels this processor can run, the fastest of them (used by
// default), and their names (for the tests and the benchmark).
std::span<const YuvKernel> AvailableYuvKernels();
YuvKernel ActiveYuvKernel();
const char* YuvKernelName(YuvKernel kernel);

// False, with nothing written, for an empty size or a missing plane.
bool I420ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride, const std::uint8_t* v,
               int vStride, std::uint8_t* bgr, int bgrStride, const libyuv::YuvConstants* matrix, int width, int height,
               YuvKernel kernel = ActiveYuvKernel());
bool Nv12ToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* uv, int uvStride, std::uint8_t* bgr,
               int bgrStride, const libyuv::YuvConstants* matrix, int width, int height,
               YuvKernel kernel = ActiveYuvKernel());

}  // namespace qmd
