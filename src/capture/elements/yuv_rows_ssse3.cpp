#include "capture/elements/yuv_rows.h"

#if defined(QMD_HAVE_X86_YUV_KERNELS)

#include <libyuv/row.h>
#include <tmmintrin.h>

#include "capture/elements/bgr_interleave.h"

// Compiled for SSSE3 function by function, so that the rest of the program
// keeps the x86-64 baseline; the kernels are only called after
// ProcessorHasSsse3().
#define QMD_YUV_TARGET __attribute__((target("ssse3")))
#include "capture/elements/yuv_row_blocks.h"

namespace qmd::detail {
namespace {

struct Ssse3Kernel {
    static constexpr int kBlockPixels = 16;

    struct Matrix {
        __m128i ToB, ToG, ToR, YScale, YBias;
    };

    static __m128i Load(const void* bytes) { return _mm_loadu_si128(static_cast<const __m128i*>(bytes)); }

    // The first 16 bytes of each: libyuv repeats every coefficient across the vector.
    QMD_YUV_TARGET static Matrix LoadMatrix(const libyuv::YuvConstants* matrix)
    {
        return {Load(matrix->kUVToB), Load(matrix->kUVToG), Load(matrix->kUVToR), Load(matrix->kYToRgb),
                Load(matrix->kYBiasToRgb)};
    }

    // The 8 U, V pairs of 16 pixels.
    QMD_YUV_TARGET static __m128i LoadPlanar(const std::uint8_t* u, const std::uint8_t* v)
    {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)));
    }
    QMD_YUV_TARGET static __m128i LoadInterleaved(const std::uint8_t* uv) { return Load(uv); }

    // Blue, green and red of 8 pixels, 16 bits each: `y16` holds each Y twice
    // (y * 257), `uv` each pixel's U, V pair.
    QMD_YUV_TARGET static void EightPixels(__m128i y16, __m128i uv, const Matrix& m, __m128i& b, __m128i& g, __m128i& r)
    {
        uv = _mm_sub_epi8(uv, _mm_set1_epi8(static_cast<char>(0x80)));
        const __m128i luma = _mm_add_epi16(_mm_mulhi_epu16(y16, m.YScale), m.YBias);
        b = _mm_srai_epi16(_mm_adds_epi16(luma, _mm_maddubs_epi16(m.ToB, uv)), 6);
        g = _mm_srai_epi16(_mm_subs_epi16(luma, _mm_maddubs_epi16(m.ToG, uv)), 6);
        r = _mm_srai_epi16(_mm_adds_epi16(luma, _mm_maddubs_epi16(m.ToR, uv)), 6);
    }

    QMD_YUV_TARGET static __m128i Chunk(__m128i b, __m128i g, __m128i r, int chunk)
    {
        const auto& masks = kBgrShuffles.Mask[chunk];
        return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, Load(masks[0])), _mm_shuffle_epi8(g, Load(masks[1]))),
                            _mm_shuffle_epi8(r, Load(masks[2])));
    }

    // 16 pixels: 16 Y bytes and the 8 U, V pairs in `uv`, into 48 bytes.
    QMD_YUV_TARGET static void Block(const std::uint8_t* y, __m128i uv, std::uint8_t* bgr, const Matrix& m)
    {
        const __m128i luma = Load(y);
        __m128i b0, g0, r0, b1, g1, r1;
        EightPixels(_mm_unpacklo_epi8(luma, luma), _mm_unpacklo_epi16(uv, uv), m, b0, g0, r0);
        EightPixels(_mm_unpackhi_epi8(luma, luma), _mm_unpackhi_epi16(uv, uv), m, b1, g1, r1);
        const __m128i b = _mm_packus_epi16(b0, b1);
        const __m128i g = _mm_packus_epi16(g0, g1);
        const __m128i r = _mm_packus_epi16(r0, r1);
        for (int chunk = 0; chunk < 3; ++chunk)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 16 * chunk), Chunk(b, g, r, chunk));
    }
};

}  // namespace

QMD_YUV_TARGET void PlanarRowToBgrSsse3(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                                        std::uint8_t* bgr, const libyuv::YuvConstants* matrix, int width)
{
    RowInBlocks<Ssse3Kernel>(y, PlanarChroma<Ssse3Kernel>{u, v}, bgr, matrix, width);
}

QMD_YUV_TARGET void InterleavedRowToBgrSsse3(const std::uint8_t* y, const std::uint8_t* uv, std::uint8_t* bgr,
                                             const libyuv::YuvConstants* matrix, int width)
{
    RowInBlocks<Ssse3Kernel>(y, InterleavedChroma<Ssse3Kernel>{uv}, bgr, matrix, width);
}

}  // namespace qmd::detail

#endif
