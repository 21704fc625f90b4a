#include "detect/scan_kernels.h"

#if defined(QMD_HAVE_X86_SCAN_KERNELS)

#include <emmintrin.h>

#include "detect/scan_pixel_bits.h"

namespace qmd::detail {
namespace {

constexpr int kBlockPixels = 16;  // three 16-byte vectors

// Non-zero bytes where |a - b| > threshold: saturating subtraction both ways
// gives the absolute difference, and subtracting the threshold leaves
// something only where it was exceeded.
inline __m128i ExceedingBytes(const std::uint8_t* a, const std::uint8_t* b, __m128i threshold)
{
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i difference = _mm_or_si128(_mm_subs_epu8(va, vb), _mm_subs_epu8(vb, va));
    return _mm_subs_epu8(difference, threshold);
}

inline std::uint64_t NonZeroByteBits(__m128i v)
{
    const int zero = _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128()));
    return static_cast<std::uint64_t>(~zero & 0xFFFF);
}

// First changed pixel among the 16 at a and b, or -1.
inline int FirstChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m128i threshold)
{
    const __m128i e0 = ExceedingBytes(a, b, threshold);
    const __m128i e1 = ExceedingBytes(a + 16, b + 16, threshold);
    const __m128i e2 = ExceedingBytes(a + 32, b + 32, threshold);
    const __m128i any = _mm_or_si128(_mm_or_si128(e0, e1), e2);
    // Without motion no byte exceeds, and the block ends here.
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF) return -1;
    const std::uint64_t bytes = NonZeroByteBits(e0) | (NonZeroByteBits(e1) << 16) | (NonZeroByteBits(e2) << 32);
    return FirstPixelOf16(bytes);
}

}  // namespace

int FirstChangedInRowSse2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    if (pixels < kBlockPixels) return FirstChangedInRowPortable(a, b, pixels, threshold);
    const __m128i threshold16 = _mm_set1_epi8(static_cast<char>(threshold));
    int column = 0;
    for (; column + kBlockPixels <= pixels; column += kBlockPixels) {
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold16);
        if (found >= 0) return column + found;
    }
    if (column < pixels) {
        // The remainder as one block ending at the last examined pixel: the
        // pixels it shares with the block before are already known unchanged,
        // and nothing past the examined bytes is read.
        column = pixels - kBlockPixels;
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold16);
        if (found >= 0) return column + found;
    }
    return -1;
}

}  // namespace qmd::detail

#endif
