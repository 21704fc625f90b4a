#pragma once
// One captured frame: 24 bits per pixel in blue, green, red byte order, each
// row padded to a multiple of 4 bytes, scan line 0 the top row of the picture.
// The rows are kept top-down in one block, so a scan can walk them with plain
// pointers. Resizing to the size it already has keeps the block: copying one
// frame after another of the same size allocates nothing.
//
// A picture may also share a block someone else owns (a decoded frame laid
// out the same way) instead of copying it: it keeps the owner alive and only
// reads the block. The first write through a non-const accessor, or a
// resize, gives it a block of its own first, so sharing never shows.
#include <cstddef>
#include <cstdint>
#include <memory>
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
    std::size_t ImageSize() const { return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_); }

    // Gives the picture a new size; the pixels are then undefined unless the
    // size was unchanged. Negative sizes are treated as 0.
    void Resize(int width, int height);
    void Clear() { Resize(0, 0); }

    // Takes the picture of width x height whose rows (StrideFor(width) bytes
    // each, top-down) start at bits, without copying; owner keeps them alive
    // and unchanged for as long as this picture (or a copy of it) shares them.
    void Share(int width, int height, const std::uint8_t* bits, std::shared_ptr<const void> owner);
    bool Shared() const { return shared_ != nullptr; }

    // Checked access: throws QuiskError("Scan line index out of range").
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;

    // Unchecked access for the hot loops that have already bounded y.
    std::uint8_t* Row(int y) { return Bits() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return Bits() + static_cast<std::size_t>(y) * stride_; }

    std::uint8_t* Bits()
    {
        if (shared_) Unshare();
        return pixels_.data();
    }
    const std::uint8_t* Bits() const { return shared_ ? shared_ : pixels_.data(); }

    // Same size and the same bytes, whoever owns them.
    bool operator==(const FrameImage& other) const;

private:
    void Unshare();  // copies the shared block into a block of its own

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> pixels_;  // empty while shared
    const std::uint8_t* shared_ = nullptr;
    std::shared_ptr<const void> owner_;
};

}  // namespace qmd
