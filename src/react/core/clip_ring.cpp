#include "react/core/clip_ring.h"

#include <utility>

namespace qmd {

ClipFrame ClipFrameOf(gst::SampleHandle sample, std::int64_t arrivalNs)
{
    ClipFrame frame;
    frame.ArrivalNs = arrivalNs;
    if (GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr) {
        frame.Bytes = gst_buffer_get_size(buffer);
        // JPEG images and raw pictures are each a key frame; access units
        // between key frames carry the delta flag from their parser.
        frame.Key = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    }
    frame.Sample = std::move(sample);
    return frame;
}

void ClipRing::Push(ClipFrame frame, std::int64_t keepFromNs)
{
    if (frames_.empty() && !frame.Key) return;
    bytes_ += frame.Bytes;
    frames_.push_back(std::move(frame));
    // Whole groups go while the next one still starts early enough.
    for (std::size_t next = NextGroup(); next < frames_.size() && frames_[next].ArrivalNs <= keepFromNs;
         next = NextGroup()) {
        for (std::size_t i = 0; i < next; ++i) DropFront();
    }
    while (bytes_ > byteBound_ && !frames_.empty()) {
        const std::size_t next = NextGroup();
        for (std::size_t i = 0; i < next; ++i) DropFront();
    }
}

std::vector<ClipFrame> ClipRing::TakeFrom(std::int64_t fromNs)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        if (frames_[i].ArrivalNs > fromNs) break;
        if (frames_[i].Key) start = i;
    }
    std::vector<ClipFrame> taken;
    taken.reserve(frames_.size() - start);
    for (std::size_t i = start; i < frames_.size(); ++i) taken.push_back(std::move(frames_[i]));
    Clear();
    return taken;
}

void ClipRing::Clear()
{
    frames_.clear();
    bytes_ = 0;
}

void ClipRing::DropFront()
{
    bytes_ -= frames_.front().Bytes;
    frames_.pop_front();
}

std::size_t ClipRing::NextGroup() const
{
    for (std::size_t i = 1; i < frames_.size(); ++i)
        if (frames_[i].Key) return i;
    return frames_.size();
}

}  // namespace qmd
