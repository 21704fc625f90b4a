#include "capture/sources/rtsp_camera_source.h"

#include <array>
#include <mutex>
#include <string_view>

#include "capture/sources/address_credentials.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/source_bin_pads.h"

namespace qmd {

namespace {

struct RtpVideo {
    std::string_view EncodingName;  // as the camera's SDP names it
    const char* Depayloader;
    const char* Parser;  // null when the depayloader gives whole images
    const char* Caps;    // what the bin's "src" pad then gives
};

constexpr std::array kRtpVideo{
    RtpVideo{"H264", "rtph264depay", "h264parse", "video/x-h264, stream-format=byte-stream, alignment=au"},
    RtpVideo{"H265", "rtph265depay", "h265parse", "video/x-h265, stream-format=byte-stream, alignment=au"},
    RtpVideo{"JPEG", "rtpjpegdepay", nullptr, "image/jpeg"},
    RtpVideo{"MP4V-ES", "rtpmp4vdepay", "mpeg4videoparse", "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false"},
};

const RtpVideo* FindRtpVideo(const GstStructure* rtp)
{
    const char* name = rtp ? gst_structure_get_string(rtp, "encoding-name") : nullptr;
    if (!name) return nullptr;
    for (const RtpVideo& video : kRtpVideo)
        if (g_ascii_strcasecmp(video.EncodingName.data(), name) == 0) return &video;
    return nullptr;
}

bool IsVideo(const GstStructure* rtp)
{
    const char* media = rtp ? gst_structure_get_string(rtp, "media") : nullptr;
    return media && g_str_equal(media, "video");
}

// rtspsrc sets up only the streams this lets through: the camera's sound
// would cost a port and bandwidth for nothing.
gboolean SelectVideoStream(GstElement*, guint, GstCaps* caps, gpointer)
{
    return caps && gst_caps_get_size(caps) > 0 && IsVideo(gst_caps_get_structure(caps, 0));
}

// Said on the bus, as an element says it, in GStreamer's own words.
void ReportStreamError(GstElement* bin, GstStreamError code, const char* what, const char* encoding)
{
    gst::CharsHandle text{gst_error_get_message(GST_STREAM_ERROR, code)};
    gst::ErrorHandle error{g_error_new_literal(GST_STREAM_ERROR, code, text.get())};
    gst::CharsHandle debug{g_strdup_printf("%s: %s", what, encoding ? encoding : "unnamed")};
    gst_element_post_message(bin, gst_message_new_error(GST_OBJECT(bin), error.get(), debug.get()));
}

// What the depayloader has given so far, on its streaming thread only.
struct LossState {
    bool Flowing = false;  // a picture has gone by: a gap after it is a loss
    bool Waiting = false;  // since the loss, until a key frame
};

// An access unit that follows lost packets may lack some of its own, and
// the pictures after it predict from whatever it lacked: shown, they smear
// (motion that is not there), and a clip would keep them damaged. So the
// unit that marks the gap goes, and everything after it until a key frame
// that is whole. The first unit of a stream is marked too, and kept.
GstPadProbeReturn HoldBackAfterLoss(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* state = static_cast<LossState*>(data);
    GstBuffer* unit = GST_PAD_PROBE_INFO_BUFFER(info);
    const bool gap = GST_BUFFER_FLAG_IS_SET(unit, GST_BUFFER_FLAG_DISCONT);
    if (gap && state->Flowing) {
        state->Waiting = true;
        return GST_PAD_PROBE_DROP;
    }
    if (state->Waiting && GST_BUFFER_FLAG_IS_SET(unit, GST_BUFFER_FLAG_DELTA_UNIT)) return GST_PAD_PROBE_DROP;
    state->Waiting = false;
    state->Flowing = true;
    return GST_PAD_PROBE_OK;
}

// rtspsrc shows a pad for the camera's video once the camera described it,
// on rtspsrc's own thread: the depayloader and parser go behind it, and the
// bin's "src" pad shows what the parser gives.
void LinkCameraStream(GstElement*, GstPad* pad, gpointer user)
{
    GstElement* bin = GST_ELEMENT(user);
    gst::CapsHandle caps{gst_pad_get_current_caps(pad)};
    if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
    const GstStructure* rtp =
        caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!IsVideo(rtp)) return;
    gst::PadHandle ghost{gst_element_get_static_pad(bin, "src")};
    if (gst::PadHandle target{gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get()))}) return;  // one video only

    const RtpVideo* video = FindRtpVideo(rtp);
    if (!video) {
        ReportStreamError(bin, GST_STREAM_ERROR_CODEC_NOT_FOUND, "the camera sends video of an unknown encoding",
                          gst_structure_get_string(rtp, "encoding-name"));
        return;
    }
    gst::ElementHandle depayloader = gst::MakeElement(video->Depayloader);
    gst::ElementHandle parser = video->Parser ? gst::MakeElement(video->Parser) : gst::ElementHandle{};
    gst::ElementHandle filter = gst::MakeElement("capsfilter");
    if (!depayloader || (video->Parser && !parser) || !filter) {
        ReportStreamError(bin, GST_STREAM_ERROR_CODEC_NOT_FOUND, "the camera sends video of an unknown encoding",
                          gst_structure_get_string(rtp, "encoding-name"));
        return;
    }
    gst::CapsHandle out = gst::CapsFromString(video->Caps);
    g_object_set(filter.get(), "caps", out.get(), nullptr);
    // The parameter sets before every key frame: the decoder and any
    // consumer of the stream can start at the next key frame.
    if (parser) g_object_set(parser.get(), "config-interval", -1, nullptr);
    // After a loss nothing goes on until the next key frame (see
    // HoldBackAfterLoss), which the camera is asked for at once where the
    // depayloader can (H.264's).
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(depayloader.get()), "request-keyframe"))
        g_object_set(depayloader.get(), "request-keyframe", TRUE, nullptr);
    if (parser) {
        gst::PadHandle depayloaded{gst_element_get_static_pad(depayloader.get(), "src")};
        gst_pad_add_probe(depayloaded.get(), GST_PAD_PROBE_TYPE_BUFFER, HoldBackAfterLoss, new LossState,
                          [](gpointer state) { delete static_cast<LossState*>(state); });
    }

    GstElement* last = filter.get();
    gst_bin_add_many(GST_BIN(bin), depayloader.get(), filter.get(), nullptr);
    bool linked = true;
    if (parser) {
        gst_bin_add(GST_BIN(bin), parser.get());
        // Whole access units from the depayloader already: only then can it
        // hold back what follows a loss (see above).
        linked = gst_element_link_filtered(depayloader.get(), parser.get(), out.get()) &&
                 gst_element_link(parser.get(), filter.get());
    } else {
        linked = gst_element_link(depayloader.get(), filter.get());
    }
    gst::PadHandle filtered{gst_element_get_static_pad(last, "src")};
    gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), filtered.get());
    gst::PadHandle sink{gst_element_get_static_pad(depayloader.get(), "sink")};
    linked = linked && gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK;
    gst_element_sync_state_with_parent(filter.get());
    if (parser) gst_element_sync_state_with_parent(parser.get());
    gst_element_sync_state_with_parent(depayloader.get());
    if (!linked)
        ReportStreamError(bin, GST_STREAM_ERROR_FAILED, "cannot link the camera's stream", video->EncodingName.data());
}

// rtspsrc makes one element of every RTSP extension in the registry as it
// starts, loading their plug-ins: RealServer's and Windows Media Services'
// dialects, which no camera speaks and which cost a third of a megabyte. It
// takes only extensions ranked for autoplugging, and reads the list when its
// own plug-in loads, so they are ranked out (in this process) before that.
void LeaveOutServerExtensions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GList* extensions = gst_registry_feature_filter(
            gst_registry_get(),
            [](GstPluginFeature* feature, gpointer) -> gboolean {
                return GST_IS_ELEMENT_FACTORY(feature) &&
                       gst_element_factory_has_interface(GST_ELEMENT_FACTORY(feature), "GstRTSPExtension");
            },
            FALSE, nullptr);
        for (GList* at = extensions; at; at = at->next)
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(at->data), GST_RANK_NONE);
        gst_plugin_feature_list_free(extensions);
    });
}

}  // namespace

gst::ElementHandle CreateRtspCameraSource(const AddressCredentials& address)
{
    LeaveOutServerExtensions();
    gst::ElementHandle source = gst::MakeElement("rtspsrc");
    if (!source) return {};
    g_object_set(source.get(), "location", address.Address.c_str(), "latency", kRtspLatencyMs, "drop-on-latency", TRUE,
                 nullptr);
    SetCredentialProperties(G_OBJECT(source.get()), address);
    // UDP first; rtspsrc asks again for RTP over the RTSP connection (TCP)
    // when no UDP packet arrives within the timeout (a firewall, a NAT).
    g_object_set(source.get(), "timeout", kRtspUdpTimeoutUs, nullptr);

    gst::ElementHandle bin = gst::NewBin();
    gst_bin_add(GST_BIN(bin.get()), source.get());
    // Until the camera has described its stream, the pad tells what it may give.
    gst::CapsHandle stream{gst_caps_new_empty()};
    for (const RtpVideo& video : kRtpVideo) gst_caps_append(stream.get(), gst::CapsFromString(video.Caps).release());
    auto templ = gst::Sink(gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, stream.get()));
    GstPad* src = gst_ghost_pad_new_no_target_from_template("src", templ.get());
    gst_element_add_pad(bin.get(), src);
    g_signal_connect_object(source.get(), "select-stream", G_CALLBACK(SelectVideoStream), bin.get(), GConnectFlags(0));
    g_signal_connect_object(source.get(), "pad-added", G_CALLBACK(LinkCameraStream), bin.get(), GConnectFlags(0));
    ReportEndOfCameraStream(src, bin.get());
    return bin;
}

}  // namespace qmd
