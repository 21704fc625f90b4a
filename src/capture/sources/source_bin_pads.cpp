#include "capture/sources/source_bin_pads.h"

#include "gst/handles.h"

namespace qmd {

namespace {

// GST_DEBUG=qmdsourcebin:5 traces which pad a source bin shows.
GST_DEBUG_CATEGORY_STATIC(qmd_source_bin_debug);
#define GST_CAT_DEFAULT qmd_source_bin_debug

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(qmd_source_bin_debug, "qmdsourcebin", 0, "Quisk Motion Detector source bins");
        return true;
    }();
    (void)initialised;
}

GstPadProbeReturn PostEndOfCameraStream(GstPad*, GstPadProbeInfo* info, gpointer bin)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_EOS) return GST_PAD_PROBE_OK;
    GST_DEBUG_OBJECT(bin, "the camera ended its stream");
    gst::CharsHandle text{gst_error_get_message(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ)};
    gst::ErrorHandle error{g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text.get())};
    gst_element_post_message(GST_ELEMENT(bin),
                             gst_message_new_error(GST_OBJECT(bin), error.get(), "the camera ended its stream"));
    return GST_PAD_PROBE_OK;
}

}  // namespace

void ExposeVideoPad(GstElement*, GstPad* pad, gpointer bin)
{
    gst::CapsHandle caps{gst_pad_query_caps(pad, nullptr)};
    const GstStructure* first =
        caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!first || !g_str_has_prefix(gst_structure_get_name(first), "video/")) return;
    gst::PadHandle ghost{gst_element_get_static_pad(GST_ELEMENT(bin), "src")};
    gst::PadHandle target{gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get()))};
    if (target) return;
    InitDebugCategory();
    GST_DEBUG_OBJECT(bin, "shows %" GST_PTR_FORMAT, pad);
    gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), pad);
}

void ForgetVideoPad(GstElement*, GstPad* pad, gpointer bin)
{
    gst::PadHandle ghost{gst_element_get_static_pad(GST_ELEMENT(bin), "src")};
    gst::PadHandle target{gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get()))};
    if (target.get() == pad) gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), nullptr);
}

void ReportEndOfCameraStream(GstPad* src, GstElement* bin)
{
    InitDebugCategory();
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &PostEndOfCameraStream, bin, nullptr);
}

}  // namespace qmd
