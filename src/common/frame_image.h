#pragma once
// One captured frame: 24 bits per pixel in blue, green, red byte order, each
// row padded to a multiple of 4 bytes, scan line 0 the top row of the picture.
// The rows are kept top-down in one block, so a scan can walk them with plain
// pointers. Resizing to the size it already has keeps the block: copying one
// frame after another of the same size allocates nothing.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmd {

class FrameImage {
public:
    FrameImage() = default;

    // Bytes per row for a 24-bit picture of the given width.
    static constexpr int StrideFor(int width) { return ((width * 24 + 31) / 32) * 4; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    std::size_t ImageSize() const { return pixels_.size(); }

    // Gives the picture a new size; the pixels are then undefined unless the
    // size was unchanged. Negative sizes are treated as 0.
    void Resize(int width, int height);
    void Clear() { Resize(0, 0); }

    // Checked access: throws QuiskError("Scan line index out of range").
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;

    // Unchecked access for the hot loops that have already bounded y.
    std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }

    std::uint8_t* Bits() { return pixels_.data(); }
    const std::uint8_t* Bits() const { return pixels_.data(); }

    bool operator==(const FrameImage& other) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace qmd
