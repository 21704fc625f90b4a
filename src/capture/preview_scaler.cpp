#include "capture/preview_scaler.h"

#include <cstring>

namespace qmd {

void PreviewScaler::Scale(const std::uint8_t* bgr, int width, int height, int stride, QImage& target)
{
    const int targetWidth = target.width();
    const int targetHeight = target.height();
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (mappedWidth_ != width || mappedTargetWidth_ != targetWidth) {
        columnOffsets_.resize(static_cast<std::size_t>(targetWidth));
        for (int x = 0; x < targetWidth; ++x)
            columnOffsets_[static_cast<std::size_t>(x)] =
                static_cast<int>(static_cast<std::int64_t>(x) * width / targetWidth) * 3;
        mappedWidth_ = width;
        mappedTargetWidth_ = targetWidth;
    }
    const int* offsets = columnOffsets_.data();
    int previousSourceRow = -1;
    for (int y = 0; y < targetHeight; ++y) {
        const int sourceRow = static_cast<int>(static_cast<std::int64_t>(y) * height / targetHeight);
        auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(y));
        if (sourceRow == previousSourceRow) {
            // Enlarged: the row is the one just made.
            std::memcpy(out, target.constScanLine(y - 1), static_cast<std::size_t>(targetWidth) * 4);
            continue;
        }
        previousSourceRow = sourceRow;
        const std::uint8_t* row = bgr + static_cast<std::ptrdiff_t>(sourceRow) * stride;
        for (int x = 0; x < targetWidth; ++x) {
            const std::uint8_t* pixel = row + offsets[x];
            out[x] = 0xFF000000u | (std::uint32_t{pixel[2]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[0];
        }
    }
}

}  // namespace qmd
