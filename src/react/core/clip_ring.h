#pragma once
// The camera's stream of the last few seconds, waiting for motion: a ring of
// the source's own buffers (compressed images or access units, or raw
// pictures), bounded in time and in bytes, that always begins at a key frame,
// so that a clip made from it can be decoded from its first frame.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "gst/handles.h"

namespace qmd {

struct ClipFrame {
    gst::SampleHandle Sample;
    std::int64_t ArrivalNs = 0;  // steady clock, when it left the branch point
    std::size_t Bytes = 0;
    bool Key = false;
};

// A sample as the ring keeps it: its size, and whether it is a key frame.
ClipFrame ClipFrameOf(gst::SampleHandle sample, std::int64_t arrivalNs);

class ClipRing {
public:
    explicit ClipRing(std::size_t byteBound) : byteBound_(byteBound) {}

    // Adds a frame, then drops what is older than keepFromNs, as far as the
    // ring can while still beginning at a key frame at or before keepFromNs,
    // and whole key-frame groups from the front while over the byte bound.
    // Frames before the first key frame are useless and never kept.
    void Push(ClipFrame frame, std::int64_t keepFromNs);

    // Takes everything from the last key frame at or before fromNs (or the
    // first key frame, if none is that old) and leaves the ring empty.
    std::vector<ClipFrame> TakeFrom(std::int64_t fromNs);

    void Clear();
    std::size_t Bytes() const { return bytes_; }
    std::size_t Size() const { return frames_.size(); }

private:
    void DropFront();
    // The position of the second key frame, or the end.
    std::size_t NextGroup() const;

    std::size_t byteBound_;
    std::deque<ClipFrame> frames_;
    std::size_t bytes_ = 0;
};

}  // namespace qmd
