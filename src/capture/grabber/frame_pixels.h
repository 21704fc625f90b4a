#pragma once
// The pixels of one BGR frame as rows padded to 4 bytes, one after another,
// which is how a bitmap and a frame handler expect them. GStreamer lays BGR
// out that way by default; a buffer whose video meta says otherwise is
// copied into that layout.
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/grabber/grabber_media_type.h"
#include "gst/handles.h"

namespace qmd {

class FramePixels {
public:
    // scratch receives the copy when one is needed (and keeps its capacity).
    FramePixels(GstBuffer* buffer, const GrabberMediaType& type, std::vector<std::uint8_t>& scratch);

    explicit operator bool() const { return data_ != nullptr; }
    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    // What keeps Data() alive and unchanged (the mapped frame, which holds a
    // reference to its buffer), for keeping the pixels without a copy; null
    // when they are in scratch, or when holding the frame could starve the
    // pool it came from.
    std::shared_ptr<const void> Owner() const { return keepable_ && data_ != scratchData_ ? mapped_ : nullptr; }

private:
    std::shared_ptr<const gst::MappedBuffer> mapped_;
    const std::uint8_t* scratchData_ = nullptr;
    bool keepable_ = false;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace qmd
