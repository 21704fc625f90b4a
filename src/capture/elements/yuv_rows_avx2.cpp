#include "capture/elements/yuv_rows.h"

#if defined(QMD_HAVE_X86_YUV_KERNELS)

#include <immintrin.h>
#include <libyuv/row.h>

#include "capture/elements/bgr_interleave.h"

// Compiled for AVX2 function by function, so that the rest of the program
// keeps the x86-64 baseline and runs on processors without it; the kernels
// are only called after ProcessorHasAvx2().
#define QMD_YUV_TARGET __attribute__((target("avx2")))
#include "capture/elements/yuv_row_blocks.h"

namespace qmd::detail {
namespace {

struct Avx2Kernel {
    static constexpr int kBlockPixels = 32;

    struct Matrix {
        __m256i ToB, ToG, ToR, YScale, YBias;
    };

    QMD_YUV_TARGET static __m256i Load(const void* bytes)
    {
        return _mm256_loadu_si256(static_cast<const __m256i*>(bytes));
    }

    QMD_YUV_TARGET static Matrix LoadMatrix(const libyuv::YuvConstants* matrix)
    {
        return {Load(matrix->kUVToB), Load(matrix->kUVToG), Load(matrix->kUVToR), Load(matrix->kYToRgb),
                Load(matrix->kYBiasToRgb)};
    }

    // The 16 U, V pairs of 32 pixels: pairs 0-7 in the low half, 8-15 in the
    // high one.
    QMD_YUV_TARGET static __m256i LoadPlanar(const std::uint8_t* u, const std::uint8_t* v)
    {
        const __m128i u16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
        const __m128i v16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
        return _mm256_set_m128i(_mm_unpackhi_epi8(u16, v16), _mm_unpacklo_epi8(u16, v16));
    }
    QMD_YUV_TARGET static __m256i LoadInterleaved(const std::uint8_t* uv) { return Load(uv); }

    // Blue, green and red of 16 pixels, 16 bits each: `y16` holds each Y twice
    // (y * 257), `uv` each pixel's U, V pair.
    QMD_YUV_TARGET static void SixteenPixels(__m256i y16, __m256i uv, const Matrix& m, __m256i& b, __m256i& g,
                                             __m256i& r)
    {
        uv = _mm256_sub_epi8(uv, _mm256_set1_epi8(static_cast<char>(0x80)));
        const __m256i luma = _mm256_add_epi16(_mm256_mulhi_epu16(y16, m.YScale), m.YBias);
        b = _mm256_srai_epi16(_mm256_adds_epi16(luma, _mm256_maddubs_epi16(m.ToB, uv)), 6);
        g = _mm256_srai_epi16(_mm256_subs_epi16(luma, _mm256_maddubs_epi16(m.ToG, uv)), 6);
        r = _mm256_srai_epi16(_mm256_adds_epi16(luma, _mm256_maddubs_epi16(m.ToR, uv)), 6);
    }

    // A 16-byte shuffle for both halves.
    QMD_YUV_TARGET static __m256i Mask(const std::int8_t (&mask)[16])
    {
        return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(mask)));
    }

    // pshufb works within each 128-bit half: every half weaves its own 16 pixels.
    QMD_YUV_TARGET static __m256i Chunk(__m256i b, __m256i g, __m256i r, int chunk)
    {
        const auto& masks = kBgrShuffles.Mask[chunk];
        return _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(b, Mask(masks[0])), _mm256_shuffle_epi8(g, Mask(masks[1]))),
            _mm256_shuffle_epi8(r, Mask(masks[2])));
    }

    // 32 pixels: 32 Y bytes and their 16 U, V pairs, into 96 bytes.
    QMD_YUV_TARGET static void Block(const std::uint8_t* y, __m256i uv, std::uint8_t* bgr, const Matrix& m)
    {
        // Unpacking works within halves too: the low unpacks hold pixels 0-7
        // and 16-23, the high ones 8-15 and 24-31, and packing the two puts
        // pixels 0-15 in the low half and 16-31 in the high one.
        const __m256i luma = Load(y);
        __m256i b0, g0, r0, b1, g1, r1;
        SixteenPixels(_mm256_unpacklo_epi8(luma, luma), _mm256_unpacklo_epi16(uv, uv), m, b0, g0, r0);
        SixteenPixels(_mm256_unpackhi_epi8(luma, luma), _mm256_unpackhi_epi16(uv, uv), m, b1, g1, r1);
        const __m256i b = _mm256_packus_epi16(b0, b1);
        const __m256i g = _mm256_packus_epi16(g0, g1);
        const __m256i r = _mm256_packus_epi16(r0, r1);
        // Chunk k's low half is bytes 16k.. of pixels 0-15, its high half the
        // same of pixels 16-31 (48 bytes on).
        const __m256i c0 = Chunk(b, g, r, 0);
        const __m256i c1 = Chunk(b, g, r, 1);
        const __m256i c2 = Chunk(b, g, r, 2);
        auto* out = reinterpret_cast<__m256i*>(bgr);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(c0, c1, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(c2, c0, 0x30));
        _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(c1, c2, 0x31));
    }
};

}  // namespace

QMD_YUV_TARGET void PlanarRowToBgrAvx2(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                                       std::uint8_t* bgr, const libyuv::YuvConstants* matrix, int width)
{
    RowInBlocks<Avx2Kernel>(y, PlanarChroma<Avx2Kernel>{u, v}, bgr, matrix, width);
}

QMD_YUV_TARGET void InterleavedRowToBgrAvx2(const std::uint8_t* y, const std::uint8_t* uv, std::uint8_t* bgr,
                                            const libyuv::YuvConstants* matrix, int width)
{
    RowInBlocks<Avx2Kernel>(y, InterleavedChroma<Avx2Kernel>{uv}, bgr, matrix, width);
}

}  // namespace qmd::detail

#endif
