#include "common/frame_image.h"

#include <cstring>

#include "common/quisk_error.h"

namespace qmd {

void FrameImage::Resize(int width, int height)
{
    if (width <= 0 || height <= 0) width = height = 0;
    if (shared_) {
        // The pixels stay only when the size does.
        if (width == width_ && height == height_) return Unshare();
        shared_ = nullptr;
        owner_.reset();
    }
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width);
    pixels_.resize(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height));
}

void FrameImage::Share(int width, int height, const std::uint8_t* bits, std::shared_ptr<const void> owner)
{
    if (width <= 0 || height <= 0 || !bits) return Clear();
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width);
    shared_ = bits;
    owner_ = std::move(owner);
    // The block of its own is not needed while shared; freed, so that two
    // slots of shared frames do not also keep two copies' worth of memory.
    std::vector<std::uint8_t>().swap(pixels_);
}

void FrameImage::Unshare()
{
    pixels_.assign(shared_, shared_ + ImageSize());
    shared_ = nullptr;
    owner_.reset();
}

bool FrameImage::operator==(const FrameImage& other) const
{
    return width_ == other.width_ && height_ == other.height_ && stride_ == other.stride_ &&
           (ImageSize() == 0 || std::memcmp(Bits(), other.Bits(), ImageSize()) == 0);
}

std::uint8_t* FrameImage::ScanLine(int y)
{
    if (y < 0 || y >= height_) throw QuiskError("Scan line index out of range");
    return Row(y);
}

const std::uint8_t* FrameImage::ScanLine(int y) const
{
    if (y < 0 || y >= height_) throw QuiskError("Scan line index out of range");
    return Row(y);
}

}  // namespace qmd
