#include "detect/scan_kernels.h"

#if defined(QMD_HAVE_X86_SCAN_KERNELS)

#include <emmintrin.h>

#include <bit>

#include "detect/scan_pixel_bits.h"
#include "detect/scan_registers.h"

namespace qmd::detail {
namespace {

constexpr int kBlockPixels = 16;  // three 16-byte vectors

// Saturating subtraction both ways: one of the two is 0, the other the
// absolute difference.
inline __m128i AbsoluteDifference(const std::uint8_t* a, const std::uint8_t* b)
{
    __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    KeepInRegisters(va, vb);
    return _mm_or_si128(_mm_subs_epu8(va, vb), _mm_subs_epu8(vb, va));
}

// Bit i set where byte i of the difference exceeds the threshold: subtracting
// the threshold leaves something only there.
inline std::uint64_t ExceedingByteBits(__m128i difference, __m128i threshold)
{
    const __m128i excess = _mm_subs_epu8(difference, threshold);
    const int zero = _mm_movemask_epi8(_mm_cmpeq_epi8(excess, _mm_setzero_si128()));
    return static_cast<std::uint64_t>(~zero & 0xFFFF);
}

// First changed pixel among the 16 at a and b, or -1.
inline int FirstChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m128i threshold)
{
    const __m128i d0 = AbsoluteDifference(a, b);
    const __m128i d1 = AbsoluteDifference(a + 16, b + 16);
    const __m128i d2 = AbsoluteDifference(a + 32, b + 32);
    // Without motion not even the largest difference exceeds, and the block
    // ends here.
    const __m128i largest = _mm_max_epu8(_mm_max_epu8(d0, d1), d2);
    if (ExceedingByteBits(largest, threshold) == 0) return -1;
    const std::uint64_t bytes = ExceedingByteBits(d0, threshold) | (ExceedingByteBits(d1, threshold) << 16) |
                                (ExceedingByteBits(d2, threshold) << 32);
    return FirstPixelOf16(bytes);
}

// How many of the 16 pixels at a and b changed.
inline int ChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m128i threshold)
{
    const __m128i d0 = AbsoluteDifference(a, b);
    const __m128i d1 = AbsoluteDifference(a + 16, b + 16);
    const __m128i d2 = AbsoluteDifference(a + 32, b + 32);
    const __m128i largest = _mm_max_epu8(_mm_max_epu8(d0, d1), d2);
    if (ExceedingByteBits(largest, threshold) == 0) return 0;
    const std::uint64_t bytes = ExceedingByteBits(d0, threshold) | (ExceedingByteBits(d1, threshold) << 16) |
                                (ExceedingByteBits(d2, threshold) << 32);
    return std::popcount(ChangedPixelBitsOf16(bytes));
}

}  // namespace

int ChangedInRowSse2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    const __m128i threshold16 = _mm_set1_epi8(static_cast<char>(threshold));
    int changed = 0;
    int column = 0;
    for (; column + kBlockPixels <= pixels; column += kBlockPixels)
        changed += ChangedInBlock(a + 3 * column, b + 3 * column, threshold16);
    // The remainder pixel by pixel: a block ending at the last pixel would
    // count some twice.
    return changed + ChangedInRowPortable(a + 3 * column, b + 3 * column, pixels - column, threshold);
}

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
