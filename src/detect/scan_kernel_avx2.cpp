#include "detect/scan_kernels.h"

#if defined(QMD_HAVE_X86_SCAN_KERNELS)

#include <immintrin.h>

#include <bit>

#include "detect/scan_pixel_bits.h"
#include "detect/scan_registers.h"

// Compiled for AVX2 function by function, so that the rest of the program
// keeps the x86-64 baseline and runs on processors without it; the kernel is
// only called after ProcessorHasAvx2().
#define QMD_AVX2 __attribute__((target("avx2")))

namespace qmd::detail {
namespace {

constexpr int kBlockPixels = 32;  // three 32-byte vectors

QMD_AVX2 inline __m256i AbsoluteDifference(const std::uint8_t* a, const std::uint8_t* b)
{
    __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    KeepInRegisters(va, vb);
    return _mm256_or_si256(_mm256_subs_epu8(va, vb), _mm256_subs_epu8(vb, va));
}

// Bit i set where byte i of the difference exceeds the threshold.
QMD_AVX2 inline std::uint64_t ExceedingByteBits(__m256i difference, __m256i threshold)
{
    const __m256i excess = _mm256_subs_epu8(difference, threshold);
    const auto zero =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(excess, _mm256_setzero_si256())));
    return ~zero;
}

// Whether any byte of the largest differences exceeds the threshold: without
// motion none does, and the exact search is skipped.
QMD_AVX2 inline bool AnyExceeds(__m256i largest, __m256i threshold)
{
    const __m256i excess = _mm256_subs_epu8(largest, threshold);
    return !_mm256_testz_si256(excess, excess);
}

// The exact search in 32 pixels (96 differences in three vectors): the byte
// bits are split into two 16-pixel halves of 48 bits each.
QMD_AVX2 inline int FirstChangedOf32(__m256i d0, __m256i d1, __m256i d2, __m256i threshold)
{
    const std::uint64_t m0 = ExceedingByteBits(d0, threshold) & 0xFFFFFFFFULL;
    const std::uint64_t m1 = ExceedingByteBits(d1, threshold) & 0xFFFFFFFFULL;
    const std::uint64_t m2 = ExceedingByteBits(d2, threshold) & 0xFFFFFFFFULL;
    const int low = FirstPixelOf16(m0 | ((m1 & 0xFFFF) << 32));
    if (low >= 0) return low;
    const int high = FirstPixelOf16((m1 >> 16) | (m2 << 16));
    return high >= 0 ? 16 + high : -1;
}

QMD_AVX2 inline int FirstChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m256i threshold)
{
    const __m256i d0 = AbsoluteDifference(a, b);
    const __m256i d1 = AbsoluteDifference(a + 32, b + 32);
    const __m256i d2 = AbsoluteDifference(a + 64, b + 64);
    const __m256i largest = _mm256_max_epu8(_mm256_max_epu8(d0, d1), d2);
    if (!AnyExceeds(largest, threshold)) return -1;
    return FirstChangedOf32(d0, d1, d2, threshold);
}

QMD_AVX2 inline int ChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m256i threshold)
{
    const __m256i d0 = AbsoluteDifference(a, b);
    const __m256i d1 = AbsoluteDifference(a + 32, b + 32);
    const __m256i d2 = AbsoluteDifference(a + 64, b + 64);
    const __m256i largest = _mm256_max_epu8(_mm256_max_epu8(d0, d1), d2);
    if (!AnyExceeds(largest, threshold)) return 0;
    const std::uint64_t m0 = ExceedingByteBits(d0, threshold) & 0xFFFFFFFFULL;
    const std::uint64_t m1 = ExceedingByteBits(d1, threshold) & 0xFFFFFFFFULL;
    const std::uint64_t m2 = ExceedingByteBits(d2, threshold) & 0xFFFFFFFFULL;
    return std::popcount(ChangedPixelBitsOf16(m0 | ((m1 & 0xFFFF) << 32))) +
           std::popcount(ChangedPixelBitsOf16((m1 >> 16) | (m2 << 16)));
}

}  // namespace

QMD_AVX2 int ChangedInRowAvx2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    const __m256i threshold32 = _mm256_set1_epi8(static_cast<char>(threshold));
    int changed = 0;
    int column = 0;
    for (; column + kBlockPixels <= pixels; column += kBlockPixels)
        changed += ChangedInBlock(a + 3 * column, b + 3 * column, threshold32);
    return changed + ChangedInRowSse2(a + 3 * column, b + 3 * column, pixels - column, threshold);
}

QMD_AVX2 int FirstChangedInRowAvx2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    if (pixels < kBlockPixels) return FirstChangedInRowSse2(a, b, pixels, threshold);
    const __m256i threshold32 = _mm256_set1_epi8(static_cast<char>(threshold));
    int column = 0;
    for (; column + kBlockPixels <= pixels; column += kBlockPixels) {
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold32);
        if (found >= 0) return column + found;
    }
    if (column < pixels) {
        // The remainder as one block ending at the last examined pixel; the
        // pixels it shares with the block before are known unchanged.
        column = pixels - kBlockPixels;
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold32);
        if (found >= 0) return column + found;
    }
    return -1;
}

}  // namespace qmd::detail

#endif
