#include <cstdlib>

#include "detect/scan_kernels.h"

namespace qmd::detail {

int FirstChangedInRowPortable(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    for (int column = 0; column < pixels; ++column, a += 3, b += 3) {
        // One test of all three channels instead of three branches: the
        // compiler turns this into straight-line code.
        const bool blue = std::abs(a[0] - b[0]) > threshold;
        const bool green = std::abs(a[1] - b[1]) > threshold;
        const bool red = std::abs(a[2] - b[2]) > threshold;
        if (blue & green & red) return column;
    }
    return -1;
}

}  // namespace qmd::detail
