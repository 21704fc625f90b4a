#include "detect/scan_kernels.h"

#if defined(QMD_HAVE_X86_SCAN_KERNELS)

#include <immintrin.h>

#include "detect/scan_pixel_bits.h"

// Compiled for AVX2 function by function, so that the rest of the program
// keeps the x86-64 baseline and runs on processors without it; the kernel is
// only called after ProcessorHasAvx2().
#define QMD_AVX2 __attribute__((target("avx2")))

namespace qmd::detail {
namespace {

constexpr int kBlockPixels = 32;  // three 32-byte vectors

QMD_AVX2 inline __m256i ExceedingBytes(const std::uint8_t* a, const std::uint8_t* b, __m256i threshold)
{
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    const __m256i difference = _mm256_or_si256(_mm256_subs_epu8(va, vb), _mm256_subs_epu8(vb, va));
    return _mm256_subs_epu8(difference, threshold);
}

QMD_AVX2 inline std::uint32_t NonZeroByteBits(__m256i v)
{
    const auto zero = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_setzero_si256())));
    return ~zero;
}

// The exact search inside 32 pixels once some byte is known to exceed: the
// 96 byte bits are split into two 16-pixel halves of 48 bits each.
QMD_AVX2 inline int FirstChangedInExceedingBlock(__m256i e0, __m256i e1, __m256i e2)
{
    const std::uint64_t m0 = NonZeroByteBits(e0);
    const std::uint64_t m1 = NonZeroByteBits(e1);
    const std::uint64_t m2 = NonZeroByteBits(e2);
    const int low = FirstPixelOf16(m0 | ((m1 & 0xFFFF) << 32));
    if (low >= 0) return low;
    const int high = FirstPixelOf16((m1 >> 16) | (m2 << 16));
    return high >= 0 ? 16 + high : -1;
}

QMD_AVX2 inline int FirstChangedInBlock(const std::uint8_t* a, const std::uint8_t* b, __m256i threshold)
{
    const __m256i e0 = ExceedingBytes(a, b, threshold);
    const __m256i e1 = ExceedingBytes(a + 32, b + 32, threshold);
    const __m256i e2 = ExceedingBytes(a + 64, b + 64, threshold);
    const __m256i any = _mm256_or_si256(_mm256_or_si256(e0, e1), e2);
    if (_mm256_testz_si256(any, any)) return -1;
    return FirstChangedInExceedingBlock(e0, e1, e2);
}

// Two blocks with one test: frames without motion, the common case, then
// cost one branch per 64 pixels.
QMD_AVX2 inline int FirstChangedInDoubleBlock(const std::uint8_t* a, const std::uint8_t* b, __m256i threshold)
{
    const __m256i e0 = ExceedingBytes(a, b, threshold);
    const __m256i e1 = ExceedingBytes(a + 32, b + 32, threshold);
    const __m256i e2 = ExceedingBytes(a + 64, b + 64, threshold);
    const __m256i e3 = ExceedingBytes(a + 96, b + 96, threshold);
    const __m256i e4 = ExceedingBytes(a + 128, b + 128, threshold);
    const __m256i e5 = ExceedingBytes(a + 160, b + 160, threshold);
    const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(e0, e1), _mm256_or_si256(e2, e3)),
                                        _mm256_or_si256(e4, e5));
    if (_mm256_testz_si256(any, any)) return -1;
    const int first = FirstChangedInExceedingBlock(e0, e1, e2);
    if (first >= 0) return first;
    const int second = FirstChangedInExceedingBlock(e3, e4, e5);
    return second >= 0 ? kBlockPixels + second : -1;
}

}  // namespace

QMD_AVX2 int FirstChangedInRowAvx2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    if (pixels < kBlockPixels) return FirstChangedInRowSse2(a, b, pixels, threshold);
    const __m256i threshold32 = _mm256_set1_epi8(static_cast<char>(threshold));
    int column = 0;
    for (; column + 2 * kBlockPixels <= pixels; column += 2 * kBlockPixels) {
        const int found = FirstChangedInDoubleBlock(a + 3 * column, b + 3 * column, threshold32);
        if (found >= 0) return column + found;
    }
    if (column + kBlockPixels <= pixels) {
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold32);
        if (found >= 0) return column + found;
        column += kBlockPixels;
    }
    if (column < pixels) {
        // The remainder as one block ending at the last examined pixel; the
        // pixels it shares with the blocks before are known unchanged.
        column = pixels - kBlockPixels;
        const int found = FirstChangedInBlock(a + 3 * column, b + 3 * column, threshold32);
        if (found >= 0) return column + found;
    }
    return -1;
}

bool ProcessorHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace qmd::detail

#endif
