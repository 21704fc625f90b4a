#include "capture/sources/video_decoder.h"

#include <array>

#include "capture/elements/libav_video_decoder.h"
#include "capture/elements/register_elements.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/sources/source_bin_pads.h"

namespace qmd {

namespace {

struct DecoderChoice {
    const char* Caps;
    std::array<const char*, 2> Factories;  // hardware first; null: none
};

const std::array kDecoderChoices{
    DecoderChoice{"video/x-h264", {"vah264dec", kLibavDecoderName}},
    DecoderChoice{"video/x-h265", {"vah265dec", kLibavDecoderName}},
    DecoderChoice{"video/mpeg, mpegversion=(int)4, systemstream=(boolean)false", {kLibavDecoderName, nullptr}},
};

void PostNoDecoder(GstElement* bin, const GstCaps* caps)
{
    gst::CharsHandle text{gst_error_get_message(GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND)};
    gst::ErrorHandle error{g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, text.get())};
    gst::CharsHandle debug{g_strdup_printf("no decoder for %" GST_PTR_FORMAT, static_cast<const void*>(caps))};
    gst_element_post_message(bin, gst_message_new_error(GST_OBJECT(bin), error.get(), debug.get()));
}

// Adds the decoder to the bin between its two pads; false, leaving nothing
// behind, when it cannot open (a VA-API decoder without its device).
bool PlugDecoder(GstElement* bin, gst::ElementHandle decoder)
{
    if (!decoder) return false;
    gst_bin_add(GST_BIN(bin), decoder.get());
    if (gst_element_set_state(decoder.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(decoder.get(), GST_STATE_NULL);
        gst_bin_remove(GST_BIN(bin), decoder.get());
        return false;
    }
    gst::PadHandle sink{gst_element_get_static_pad(decoder.get(), "sink")};
    gst::PadHandle ghostSink{gst_element_get_static_pad(bin, "sink")};
    gst_ghost_pad_set_target(GST_GHOST_PAD(ghostSink.get()), sink.get());
    if (gst::PadHandle src{gst_element_get_static_pad(decoder.get(), "src")})
        ExposeVideoPad(nullptr, src.get(), bin);
    else  // decodebin shows its pad once it has seen the stream
        g_signal_connect_object(decoder.get(), "pad-added", G_CALLBACK(ExposeVideoPad), bin, GConnectFlags(0));
    gst_element_sync_state_with_parent(decoder.get());
    return true;
}

// The stream's caps reach the bin on the streaming thread before its first
// data: the decoder is chosen for them then, once.
GstPadProbeReturn PlugDecoderForCaps(GstPad* pad, GstPadProbeInfo* info, gpointer bin)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    bool plugged = false;
    for (const std::string& name : VideoDecodersFor(caps))
        if ((plugged = PlugDecoder(GST_ELEMENT(bin), gst::MakeElement(name.c_str())))) break;
    if (!plugged) {
        gst::CapsHandle jpeg = gst::CapsFromString("image/jpeg");
        plugged = PlugDecoder(GST_ELEMENT(bin), gst_caps_is_subset(caps, jpeg.get()) ? MakeJpegDecoder().Element
                                                                                     : gst::MakeElement("decodebin"));
    }
    if (!plugged) PostNoDecoder(GST_ELEMENT(bin), caps);
    gst_pad_remove_probe(pad, GST_PAD_PROBE_INFO_ID(info));
    return GST_PAD_PROBE_OK;
}

}  // namespace

std::vector<std::string> VideoDecodersFor(const GstCaps* caps)
{
    std::vector<std::string> decoders;
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps) || !RegisterOwnElements()) return decoders;
    for (const DecoderChoice& choice : kDecoderChoices) {
        gst::CapsHandle kind{gst_caps_from_string(choice.Caps)};
        if (!gst_caps_is_subset(caps, kind.get())) continue;
        for (const char* name : choice.Factories) {
            gst::ObjectHandle<GstElementFactory> factory{name ? gst_element_factory_find(name) : nullptr};
            // A stream in a form the decoder does not take (H.264 cut into
            // NAL units rather than pictures) is for decodebin.
            if (!factory || !gst_element_factory_can_sink_all_caps(factory.get(), caps)) continue;
            // Without libavcodec our decoder would fail to open with an
            // error on the bus; decodebin then says what is missing.
            if (g_str_equal(name, kLibavDecoderName) && !LibavDecoderCanOpen()) continue;
            decoders.emplace_back(name);
        }
    }
    return decoders;
}

gst::ElementHandle MakeVideoDecoderBin()
{
    gst::ElementHandle bin = gst::NewBin();
    GstPad* sink = gst_ghost_pad_new_no_target("sink", GST_PAD_SINK);
    gst_element_add_pad(bin.get(), sink);
    gst_element_add_pad(bin.get(), gst_ghost_pad_new_no_target("src", GST_PAD_SRC));
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, PlugDecoderForCaps, bin.get(), nullptr);
    return bin;
}

}  // namespace qmd
