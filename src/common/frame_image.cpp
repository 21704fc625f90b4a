#include "common/frame_image.h"

#include "common/quisk_error.h"

namespace qmd {

void FrameImage::Resize(int width, int height)
{
    if (width <= 0 || height <= 0) width = height = 0;
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width);
    pixels_.resize(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height));
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
