#include "capture/core/frame_pixels.h"

#include <gst/video/gstvideometa.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/frame_image.h"

namespace qmd {

FramePixels::FramePixels(GstBuffer* buffer, const GrabberMediaType& type, std::vector<std::uint8_t>& scratch)
    : mapped_(buffer, GST_MAP_READ)
{
    if (!mapped_) return;
    data_ = mapped_.data();
    size_ = mapped_.size();
    const GstVideoMeta* meta = gst_buffer_get_video_meta(buffer);
    const int width = type.Header.Width;
    const int rows = std::abs(type.Header.Height);
    const std::size_t stride = static_cast<std::size_t>(FrameImage::StrideFor(width));
    if (!meta || (meta->offset[0] == 0 && static_cast<std::size_t>(meta->stride[0]) == stride)) return;

    scratch.resize(stride * static_cast<std::size_t>(rows));
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int row = 0; row < rows; ++row) {
        const std::size_t from = meta->offset[0] + static_cast<std::size_t>(row) * meta->stride[0];
        std::uint8_t* to = scratch.data() + static_cast<std::size_t>(row) * stride;
        const std::size_t available = from < size_ ? std::min(rowBytes, size_ - from) : 0;
        if (available) std::memcpy(to, data_ + from, available);
        std::memset(to + available, 0, stride - available);
    }
    data_ = scratch.data();
    size_ = scratch.size();
}

}  // namespace qmd
