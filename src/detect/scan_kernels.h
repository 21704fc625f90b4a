#pragma once
// The row kernels behind FirstChangedPixel. Each looks at the first `pixels`
// pixels of two rows (3 bytes each, nothing beyond them is read) and returns
// the column of the first pixel whose three bytes all differ by more than
// `threshold`, or -1.
#include <cstdint>

#include "common/processor_features.h"

namespace qmd::detail {

using RowScan = int (*)(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
// How many of the pixels have changed, by the same rule.
using RowCount = int (*)(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);

int FirstChangedInRowPortable(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
int ChangedInRowPortable(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);

#if defined(__x86_64__)
#define QMD_HAVE_X86_SCAN_KERNELS 1
int FirstChangedInRowSse2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
int FirstChangedInRowAvx2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
int ChangedInRowSse2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
int ChangedInRowAvx2(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold);
#endif

}  // namespace qmd::detail
