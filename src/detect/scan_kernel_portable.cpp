#include <cstdlib>

#include "detect/scan_kernels.h"

namespace qmd::detail {

int FirstChangedInRowPortable(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    for (int column = 0; column < pixels; ++column, a += 3, b += 3) {
        // Channel by channel: in a still picture the first test already
        // fails, and the other two are never made.
        if (std::abs(a[0] - b[0]) <= threshold) continue;
        if (std::abs(a[1] - b[1]) <= threshold) continue;
        if (std::abs(a[2] - b[2]) <= threshold) continue;
        return column;
    }
    return -1;
}

int ChangedInRowPortable(const std::uint8_t* a, const std::uint8_t* b, int pixels, std::uint8_t threshold)
{
    int changed = 0;
    for (int column = 0; column < pixels; ++column, a += 3, b += 3)
        changed += std::abs(a[0] - b[0]) > threshold && std::abs(a[1] - b[1]) > threshold &&
                   std::abs(a[2] - b[2]) > threshold;
    return changed;
}

}  // namespace qmd::detail
