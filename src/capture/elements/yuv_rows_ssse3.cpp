#include "capture/elements/yuv_rows.h"

#if defined(QMD_HAVE_X86_YUV_KERNELS)

#include <libyuv/row.h>
#include <tmmintrin.h>

#include <cstring>

#include "capture/elements/bgr_interleave.h"

// Compiled for SSSE3 function by function, so that the rest of the program
// keeps the x86-64 baseline; the kernels are only called after
// ProcessorHasSsse3().
#define QMD_SSSE3 __attribute__((target("ssse3")))

namespace qmd::detail {
namespace {

constexpr int kBlockPixels = 16;

struct Matrix {
    __m128i ToB, ToG, ToR, YScale, YBias;
};

inline __m128i Load(const void* bytes) { return _mm_loadu_si128(static_cast<const __m128i*>(bytes)); }

// The first 16 bytes of each: libyuv repeats every coefficient across the vector.
QMD_SSSE3 Matrix LoadMatrix(const libyuv::YuvConstants* matrix)
{
    return {Load(matrix->kUVToB), Load(matrix->kUVToG), Load(matrix->kUVToR), Load(matrix->kYToRgb),
            Load(matrix->kYBiasToRgb)};
}

// Blue, green and red of 8 pixels, 16 bits each: `y16` holds each Y twice
// (y * 257), `uv` each pixel's U, V pair.
QMD_SSSE3 inline void EightPixels(__m128i y16, __m128i uv, const Matrix& m, __m128i& b, __m128i& g, __m128i& r)
{
    uv = _mm_sub_epi8(uv, _mm_set1_epi8(static_cast<char>(0x80)));
    const __m128i luma = _mm_add_epi16(_mm_mulhi_epu16(y16, m.YScale), m.YBias);
    b = _mm_srai_epi16(_mm_adds_epi16(luma, _mm_maddubs_epi16(m.ToB, uv)), 6);
    g = _mm_srai_epi16(_mm_subs_epi16(luma, _mm_maddubs_epi16(m.ToG, uv)), 6);
    r = _mm_srai_epi16(_mm_adds_epi16(luma, _mm_maddubs_epi16(m.ToR, uv)), 6);
}

QMD_SSSE3 inline __m128i Chunk(__m128i b, __m128i g, __m128i r, int chunk)
{
    const auto& masks = kBgrShuffles.Mask[chunk];
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, Load(masks[0])), _mm_shuffle_epi8(g, Load(masks[1]))),
                        _mm_shuffle_epi8(r, Load(masks[2])));
}

// 16 pixels: 16 Y bytes and the 8 U, V pairs in `uv`, into 48 bytes.
QMD_SSSE3 inline void Block(const std::uint8_t* y, __m128i uv, std::uint8_t* bgr, const Matrix& m)
{
    const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    __m128i b0, g0, r0, b1, g1, r1;
    EightPixels(_mm_unpacklo_epi8(luma, luma), _mm_unpacklo_epi16(uv, uv), m, b0, g0, r0);
    EightPixels(_mm_unpackhi_epi8(luma, luma), _mm_unpackhi_epi16(uv, uv), m, b1, g1, r1);
    const __m128i b = _mm_packus_epi16(b0, b1);
    const __m128i g = _mm_packus_epi16(g0, g1);
    const __m128i r = _mm_packus_epi16(r0, r1);
    for (int chunk = 0; chunk < 3; ++chunk)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 16 * chunk), Chunk(b, g, r, chunk));
}

struct PlanarChroma {
    const std::uint8_t* U;
    const std::uint8_t* V;
    // The 8 U, V pairs from sample `at` on.
    QMD_SSSE3 __m128i Load(int at) const
    {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(U + at)),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(V + at)));
    }
    // The same of the last `count` (at most 8) samples, reading nothing past them.
    QMD_SSSE3 __m128i LoadLast(int at, int count) const
    {
        std::uint8_t u[8] = {}, v[8] = {};
        std::memcpy(u, U + at, count);
        std::memcpy(v, V + at, count);
        return PlanarChroma{u, v}.Load(0);
    }
};

struct InterleavedChroma {
    const std::uint8_t* UV;
    QMD_SSSE3 __m128i Load(int at) const { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(UV + 2 * at)); }
    QMD_SSSE3 __m128i LoadLast(int at, int count) const
    {
        std::uint8_t uv[16] = {};
        std::memcpy(uv, UV + 2 * at, 2 * count);
        return InterleavedChroma{uv}.Load(0);
    }
};

template <class Chroma>
QMD_SSSE3 void Row(const std::uint8_t* y, Chroma chroma, std::uint8_t* bgr, const libyuv::YuvConstants* matrix,
                   int width)
{
    const Matrix m = LoadMatrix(matrix);
    int x = 0;
    for (; x + kBlockPixels <= width; x += kBlockPixels) Block(y + x, chroma.Load(x / 2), bgr + 3 * x, m);
    const int rest = width - x;
    if (rest == 0) return;
    // The last pixels through a block of our own, as the row may end at the
    // end of its buffer.
    std::uint8_t luma[kBlockPixels] = {};
    std::uint8_t out[3 * kBlockPixels];
    std::memcpy(luma, y + x, rest);
    Block(luma, chroma.LoadLast(x / 2, (rest + 1) / 2), out, m);
    std::memcpy(bgr + 3 * x, out, 3 * rest);
}

}  // namespace

QMD_SSSE3 void PlanarRowToBgrSsse3(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                                   std::uint8_t* bgr, const libyuv::YuvConstants* matrix, int width)
{
    Row(y, PlanarChroma{u, v}, bgr, matrix, width);
}

QMD_SSSE3 void InterleavedRowToBgrSsse3(const std::uint8_t* y, const std::uint8_t* uv, std::uint8_t* bgr,
                                        const libyuv::YuvConstants* matrix, int width)
{
    Row(y, InterleavedChroma{uv}, bgr, matrix, width);
}

}  // namespace qmd::detail

#endif
