#include "capture/grabber/frame_pixels.h"

#include <gst/video/gstvideometa.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/frame_image.h"

namespace qmd {

namespace {

// Keeping a frame after its delivery is safe only where its pool cannot run
// dry for it: a buffer of no pool, or of a pool without a limit, which is
// what decoders and converters make when nothing downstream asks for one. A
// capture driver's few buffers are copied instead, so the camera never waits
// for a picture the detection still holds.
bool MayOutliveDelivery(GstBuffer* buffer)
{
    if (!buffer->pool) return true;
    gst::StructureHandle config{gst_buffer_pool_get_config(buffer->pool)};
    guint size = 0, minBuffers = 0, maxBuffers = 1;
    return config && gst_buffer_pool_config_get_params(config.get(), nullptr, &size, &minBuffers, &maxBuffers) &&
           maxBuffers == 0;
}

}  // namespace

FramePixels::FramePixels(GstBuffer* buffer, const GrabberMediaType& type, std::vector<std::uint8_t>& scratch)
    : mapped_(std::make_shared<const gst::MappedBuffer>(buffer, GST_MAP_READ))
{
    if (!*mapped_) return;
    data_ = mapped_->data();
    size_ = mapped_->size();
    keepable_ = MayOutliveDelivery(buffer);
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
    data_ = scratchData_ = scratch.data();
    size_ = scratch.size();
}

}  // namespace qmd
