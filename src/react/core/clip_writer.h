#pragma once
// One clip being written: appsrc -> (what the stream needs to enter
// Matroska) -> matroskamux -> filesink, a pipeline of its own that the
// recorder's thread feeds. JPEG images and H.264/H.265 access units enter
// the file as the camera sent them (a parser only moves the parameter sets
// into the track's header); raw pictures are compressed with jpegenc, the
// cheapest encoder that keeps up with 640x480 at 30 frames/s on one core.
//
// The file is written unbuffered and never needs its end to be read: a clip
// cut short by a kill or a power cut plays up to the last frame that reached
// the disk; a finished clip also gets its duration and index.
#include <cstdint>
#include <optional>
#include <string>

#include "gst/handles.h"

namespace qmd {

class ClipWriter {
public:
    ClipWriter() = default;
    ~ClipWriter();
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;

    // Starts a clip at `path` for samples like `first`; the reason when the
    // stream cannot go into a clip or the file cannot be made.
    std::optional<std::string> Open(const std::string& path, GstSample* first);
    bool IsOpen() const { return static_cast<bool>(pipeline_); }
    // Whether samples of these caps go on into the clip that is open.
    bool Takes(GstCaps* caps) const;

    // Adds one sample, stamped from the first one written (its bytes are not
    // copied); the reason when the clip failed (disk full, folder removed).
    std::optional<std::string> Write(GstSample* sample, std::int64_t arrivalNs);

    // Ends the file (duration and index) and closes it, waiting a bounded
    // time for the disk; the reason when that failed.
    std::optional<std::string> Finish();
    // Closes at once without ending the file (after a failure).
    void Abandon();

private:
    std::optional<std::string> PendingError();

    gst::ElementHandle pipeline_;
    gst::ElementHandle source_;
    gst::CapsHandle caps_;
    std::optional<GstClockTime> firstTime_;
    std::int64_t firstArrivalNs_ = 0;
};

}  // namespace qmd
