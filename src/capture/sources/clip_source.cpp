#include "capture/sources/clip_source.h"

#include "capture/sources/graph_elements.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/sources/source_bin_pads.h"

namespace qmd {

namespace {

// The parsebin stream the clip's bin shows (not a reference: it is only
// compared) and the decoder the bin made for it.
const char* const kChosenStreamKey = "qmd-chosen-stream";
const char* const kClipDecoderKey = "qmd-clip-decoder";

// A clip's streams come from parsebin on the thread that reads the file.
// The first video stream is decoded inside the source's bin, so that its
// "src" pad gives raw frames: JPEG images by our decoder, anything else
// compressed by decodebin (which puts no queue thread in front of a single
// decoder, as it does after a demuxer). parsebin offers its streams afresh
// each time the graph runs again; the decoder made the first time stays.
void DecodeParsedVideo(GstElement*, GstPad* pad, gpointer bin)
{
    gst::CapsHandle caps{gst_pad_query_caps(pad, nullptr)};
    const GstStructure* first =
        caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!first ||
        (!g_str_has_prefix(gst_structure_get_name(first), "video/") && !gst_structure_has_name(first, "image/jpeg")))
        return;
    GObject* container = G_OBJECT(bin);
    GST_OBJECT_LOCK(bin);
    const bool taken = g_object_get_data(container, kChosenStreamKey) != nullptr;
    if (!taken) g_object_set_data(container, kChosenStreamKey, pad);
    auto* decoder = static_cast<GstElement*>(g_object_get_data(container, kClipDecoderKey));
    GST_OBJECT_UNLOCK(bin);
    if (taken) return;  // later video streams stay unlinked

    if (gst_structure_has_name(first, "video/x-raw")) {
        ExposeVideoPad(nullptr, pad, bin);
        return;
    }
    if (!decoder) {
        const bool jpeg = gst_structure_has_name(first, "image/jpeg");
        gst::ElementHandle made = jpeg ? MakeJpegDecoder().Element : gst::MakeElement("decodebin");
        if (!made) return;  // the stream stays unlinked and the demuxer reports it
        decoder = made.get();
        gst_bin_add(GST_BIN(bin), decoder);
        if (jpeg) {
            gst::PadHandle decoded{gst_element_get_static_pad(decoder, "src")};
            ExposeVideoPad(nullptr, decoded.get(), bin);
        } else {
            g_signal_connect_object(decoder, "pad-added", G_CALLBACK(ExposeVideoPad), bin, GConnectFlags(0));
        }
        GST_OBJECT_LOCK(bin);
        g_object_set_data(container, kClipDecoderKey, decoder);  // the bin holds it
        GST_OBJECT_UNLOCK(bin);
    }
    gst::PadHandle sink{gst_element_get_static_pad(decoder, "sink")};
    gst_pad_link(pad, sink.get());
    gst_element_sync_state_with_parent(decoder);
}

void ForgetParsedVideo(GstElement* parser, GstPad* pad, gpointer bin)
{
    GST_OBJECT_LOCK(bin);
    if (g_object_get_data(G_OBJECT(bin), kChosenStreamKey) == pad)
        g_object_set_data(G_OBJECT(bin), kChosenStreamKey, nullptr);
    GST_OBJECT_UNLOCK(bin);
    ForgetVideoPad(parser, pad, bin);
}

}  // namespace

gst::ElementHandle CreateClipSource(const std::string& uri)
{
    gst::ErrorHandle error;
    GstElement* made = gst_element_make_from_uri(GST_URI_SRC, uri.c_str(), nullptr, error.out());
    if (!made) return {};
    gst::ElementHandle reader = gst::Sink(made);
    gst::ElementHandle parser = gst::MakeElement("parsebin");
    if (!parser) return {};
    gst::ElementHandle bin = gst::NewBin();
    gst_bin_add_many(GST_BIN(bin.get()), reader.get(), parser.get(), nullptr);
    if (!gst_element_link(reader.get(), parser.get())) return {};
    gst_element_add_pad(bin.get(), gst_ghost_pad_new_no_target("src", GST_PAD_SRC));
    g_signal_connect_object(parser.get(), "pad-added", G_CALLBACK(DecodeParsedVideo), bin.get(), GConnectFlags(0));
    g_signal_connect_object(parser.get(), "pad-removed", G_CALLBACK(ForgetParsedVideo), bin.get(), GConnectFlags(0));
    return bin;
}

}  // namespace qmd
