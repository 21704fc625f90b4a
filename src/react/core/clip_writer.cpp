#include "react/core/clip_writer.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <span>

#include "capture/elements/jpeg_picture_size.h"

namespace qmd {

namespace {

// What the recorder's thread may have handed on and the disk not yet taken;
// beyond it the thread waits for the disk, and the camera's frames wait in
// its mailbox.
constexpr guint64 kQueuedBytes = 32 * 1024 * 1024;
// The longest a finished clip waits for its last writes and its index.
constexpr GstClockTime kFinishBound = 10 * GST_SECOND;
// Clusters of at most a second: a clip cut short loses no more than that.
constexpr gint64 kClusterDuration = GST_SECOND;
constexpr int kUnbuffered = 2;  // filesink's buffer-mode

std::string ErrorReason(GstMessage* message)
{
    gst::ErrorHandle error;
    gst_message_parse_error(message, error.out(), nullptr);
    return error && error->message ? error->message : "write failed";
}

// The caps a sample enters the clip with: a JPEG image's size is read from
// its own header, since a camera's stream of images says none.
gst::CapsHandle ClipCaps(GstSample* sample)
{
    GstCaps* caps = gst_sample_get_caps(sample);
    if (!caps || gst_caps_get_size(caps) == 0) return {};
    gst::CapsHandle clip{gst_caps_copy(caps)};
    GstStructure* format = gst_caps_get_structure(clip.get(), 0);
    if (gst_structure_has_name(format, "image/jpeg") && !gst_structure_has_field(format, "width")) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return {};
        const auto size = DeclaredJpegSize(std::span<const std::uint8_t>(map.data, map.size));
        gst_buffer_unmap(buffer, &map);
        if (!size) return {};
        gst_structure_set(format, "width", G_TYPE_INT, size->Width, "height", G_TYPE_INT, size->Height, nullptr);
    }
    return clip;
}

// The elements between appsrc and the muxer, as gst-launch text ending in
// a link; empty for a stream the muxer takes as it is.
std::optional<std::string> Preparation(GstCaps* caps)
{
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    if (gst_structure_has_name(format, "image/jpeg")) return std::string();
    // The access units stay as they are; the parser moves the parameter sets
    // into the track's header, which Matroska asks for.
    if (gst_structure_has_name(format, "video/x-h264")) return std::string("h264parse ! ");
    if (gst_structure_has_name(format, "video/x-h265")) return std::string("h265parse ! ");
    if (gst_structure_has_name(format, "video/x-raw")) return std::string("videoconvert ! jpegenc ! ");
    return std::nullopt;
}

}  // namespace

ClipWriter::~ClipWriter() { Abandon(); }

std::optional<std::string> ClipWriter::Open(const std::string& path, GstSample* first)
{
    Abandon();
    gst::CapsHandle caps = first ? ClipCaps(first) : gst::CapsHandle{};
    if (!caps) return std::string("the camera's stream says nothing of its pictures");
    const std::optional<std::string> preparation = Preparation(caps.get());
    if (!preparation) {
        gst::CharsHandle text{gst_caps_to_string(caps.get())};
        return "a stream of " + std::string(text.get()) + " cannot go into a clip";
    }
    const std::string description =
        "appsrc name=source format=time ! " + *preparation + "matroskamux name=muxer ! filesink name=file";
    gst::ErrorHandle error;
    pipeline_ = gst::Sink(gst_parse_launch(description.c_str(), error.out()));
    if (!pipeline_ || error) {
        pipeline_.reset();
        return "the clip's pipeline cannot be made: " + std::string(error ? error->message : "");
    }
    source_.reset(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "source"));
    gst::ElementHandle muxer{gst_bin_get_by_name(GST_BIN(pipeline_.get()), "muxer")};
    gst::ElementHandle file{gst_bin_get_by_name(GST_BIN(pipeline_.get()), "file")};
    g_object_set(source_.get(), "caps", caps.get(), "block", TRUE, "max-bytes", kQueuedBytes, nullptr);
    g_object_set(muxer.get(), "max-cluster-duration", kClusterDuration, nullptr);
    g_object_set(file.get(), "location", path.c_str(), "buffer-mode", kUnbuffered, "sync", FALSE, "async", FALSE,
                 nullptr);
    caps_ = gst::CapsHandle::Ref(gst_sample_get_caps(first));
    firstTime_.reset();
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        std::string reason = PendingError().value_or("the clip's file cannot be opened");
        Abandon();
        return reason;
    }
    return std::nullopt;
}

bool ClipWriter::Takes(GstCaps* caps) const { return caps_ && caps && gst_caps_is_equal(caps_.get(), caps); }

std::optional<std::string> ClipWriter::Write(GstSample* sample, std::int64_t arrivalNs)
{
    GstBuffer* original = gst_sample_get_buffer(sample);
    if (!pipeline_ || !original) return std::nullopt;
    // A new buffer sharing the camera's memory: only its stamps change.
    GstBuffer* buffer = gst_buffer_copy(original);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const GstClockTime dts = GST_BUFFER_DTS(buffer);
    if (!firstTime_) {
        firstArrivalNs_ = arrivalNs;
        // From the earliest stamp, so that no decoding time falls before 0.
        firstTime_ = GST_CLOCK_TIME_IS_VALID(dts) && GST_CLOCK_TIME_IS_VALID(pts) ? std::min(dts, pts)
                     : GST_CLOCK_TIME_IS_VALID(pts)                               ? pts
                                                                                  : GST_CLOCK_TIME_NONE;
    }
    const auto shifted = [this](GstClockTime t) { return t > *firstTime_ ? t - *firstTime_ : GstClockTime{0}; };
    if (GST_CLOCK_TIME_IS_VALID(*firstTime_) && GST_CLOCK_TIME_IS_VALID(pts)) {
        GST_BUFFER_PTS(buffer) = shifted(pts);
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_IS_VALID(dts) ? shifted(dts) : GST_CLOCK_TIME_NONE;
    } else {
        // A source without stamps: the time it was seen at.
        GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(std::max<std::int64_t>(0, arrivalNs - firstArrivalNs_));
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    }
    const GstFlowReturn flow = gst_app_src_push_buffer(GST_APP_SRC(source_.get()), buffer);
    if (std::optional<std::string> error = PendingError()) return error;
    if (flow != GST_FLOW_OK) return std::string("the clip stopped taking pictures: ") + gst_flow_get_name(flow);
    return std::nullopt;
}

std::optional<std::string> ClipWriter::Finish()
{
    if (!pipeline_) return std::nullopt;
    gst_app_src_end_of_stream(GST_APP_SRC(source_.get()));
    gst::BusHandle bus{gst_element_get_bus(pipeline_.get())};
    gst::MessageHandle done{gst_bus_timed_pop_filtered(
        bus.get(), kFinishBound, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))};
    std::optional<std::string> reason;
    if (!done)
        reason = "the disk did not take the clip's end in time";
    else if (GST_MESSAGE_TYPE(done.get()) == GST_MESSAGE_ERROR)
        reason = ErrorReason(done.get());
    Abandon();
    return reason;
}

void ClipWriter::Abandon()
{
    if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    source_.reset();
    pipeline_.reset();
    caps_.reset();
    firstTime_.reset();
}

std::optional<std::string> ClipWriter::PendingError()
{
    if (!pipeline_) return std::nullopt;
    gst::BusHandle bus{gst_element_get_bus(pipeline_.get())};
    gst::MessageHandle error{gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)};
    if (!error) return std::nullopt;
    return ErrorReason(error.get());
}

}  // namespace qmd
