#include "capture/preview_scaler.h"

#include <bit>
#include <cstring>

namespace qmd {

void PreviewScaler::MapColumns(int width, int targetWidth)
{
    columnOffsets_.resize(static_cast<std::size_t>(targetWidth));
    const int rowBytes = width * 3;
    wideColumns_ = 0;
    for (int x = 0; x < targetWidth; ++x) {
        const int offset = static_cast<int>(static_cast<std::int64_t>(x) * width / targetWidth) * 3;
        columnOffsets_[static_cast<std::size_t>(x)] = offset;
        // Offsets never decrease, so the columns that may be read four
        // bytes at a time are a prefix.
        if (offset + 4 <= rowBytes) wideColumns_ = x + 1;
    }
    // About one prefetch per cache line of the source row.
    const int lineBytes = 64;
    int columnsPerLine = static_cast<int>(static_cast<std::int64_t>(lineBytes) * targetWidth / rowBytes);
    prefetchMask_ = 0;
    while ((prefetchMask_ + 1) * 2 <= columnsPerLine) prefetchMask_ = prefetchMask_ * 2 + 1;
    mappedWidth_ = width;
    mappedTargetWidth_ = targetWidth;
}

void PreviewScaler::Scale(const std::uint8_t* bgr, int width, int height, int stride, QImage& target)
{
    const int targetWidth = target.width();
    const int targetHeight = target.height();
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (mappedWidth_ != width || mappedTargetWidth_ != targetWidth) MapColumns(width, targetWidth);

    const int* offsets = columnOffsets_.data();
    // Little-endian B, G, R and the next byte read as one word are already
    // 0x??RRGGBB; only the top byte needs setting. The last column of a row
    // may end at the buffer's end, so it is read byte by byte.
    const int wide = std::endian::native == std::endian::little ? wideColumns_ : 0;
    std::uint8_t* bits = target.bits();  // detaches once, not per row
    const qsizetype bytesPerLine = target.bytesPerLine();
    int previousSourceRow = -1;
    for (int y = 0; y < targetHeight; ++y) {
        const int sourceRow = static_cast<int>(static_cast<std::int64_t>(y) * height / targetHeight);
        auto* out = reinterpret_cast<std::uint32_t*>(bits + y * bytesPerLine);
        if (sourceRow == previousSourceRow) {
            // Enlarged: the row is the one just made.
            std::memcpy(out, bits + (y - 1) * bytesPerLine, static_cast<std::size_t>(targetWidth) * 4);
            continue;
        }
        previousSourceRow = sourceRow;
        const std::uint8_t* row = bgr + static_cast<std::ptrdiff_t>(sourceRow) * stride;
        // The frame was just written by another core, so the time goes in
        // waiting for memory: while this row is made, the next one is fetched.
        const int nextSourceRow = static_cast<int>(static_cast<std::int64_t>(y + 1) * height / targetHeight);
        const std::uint8_t* ahead =
            bgr + static_cast<std::ptrdiff_t>(nextSourceRow < height ? nextSourceRow : sourceRow) * stride;
        int x = 0;
        for (; x < wide; ++x) {
            if ((x & prefetchMask_) == 0) __builtin_prefetch(ahead + offsets[x]);
            std::uint32_t word;
            std::memcpy(&word, row + offsets[x], sizeof word);
            out[x] = word | 0xFF000000u;
        }
        for (; x < targetWidth; ++x) {
            const std::uint8_t* pixel = row + offsets[x];
            out[x] = 0xFF000000u | (std::uint32_t{pixel[2]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[0];
        }
    }
}

}  // namespace qmd
