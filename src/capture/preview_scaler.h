#pragma once
// Stretches a BGR frame to a target size (nearest pixel) and converts it to
// 32-bit RGB in one pass: the cheapest picture the backing store can take
// without a further conversion or scaling by the painter.
#include <QImage>

#include <cstdint>
#include <vector>

namespace qmd {

class PreviewScaler {
public:
    // target keeps its size and format; it must be Format_RGB32.
    void Scale(const std::uint8_t* bgr, int width, int height, int stride, QImage& target);

private:
    void MapColumns(int width, int targetWidth);

    std::vector<int> columnOffsets_;  // source byte offset per target column
    int wideColumns_ = 0;             // leading columns whose pixel has a byte after it in the row
    int prefetchMask_ = 0;            // the next row is fetched at columns where (x & mask) == 0
    int mappedWidth_ = -1;
    int mappedTargetWidth_ = -1;
};

}  // namespace qmd
