#include "capture/graph/stream_branch.h"

#include <memory>
#include <utility>

#include "capture/sources/graph_elements.h"

namespace qmd {

namespace {

// A consumer that falls behind loses its oldest buffers, never the grabber
// its frames: a tee pushes to its pads in turn on the source's thread.
constexpr guint kBranchQueueBuffers = 30;
constexpr const char* kUnlinkedMessage = "qmd-branch-unlinked";

gst::ElementHandle BranchPointOf(GstBin* pipeline)
{
    return gst::ElementHandle(gst_bin_get_by_name(pipeline, kBranchPointName));
}

bool InPipeline(GstBin* pipeline, GstElement* element)
{
    return element && GST_OBJECT_PARENT(element) == GST_OBJECT(pipeline);
}

}  // namespace

gst::PadHandle InsertBranchPoint(GstBin* pipeline, GstPad* sourcePad)
{
    gst::ElementHandle tee = gst::MakeElement("tee", kBranchPointName);
    if (!tee) return {};
    // With no consumer attached, or one whose pad is unlinked, the stream goes on.
    g_object_set(tee.get(), "allow-not-linked", TRUE, nullptr);
    gst_bin_add(pipeline, tee.get());
    gst_element_sync_state_with_parent(tee.get());
    gst::PadHandle sink{gst_element_get_static_pad(tee.get(), "sink")};
    if (!sink || gst_pad_link(sourcePad, sink.get()) != GST_PAD_LINK_OK) return {};
    return gst::PadHandle(gst_element_request_pad_simple(tee.get(), "src_%u"));
}

std::optional<StreamBranch> LinkStreamBranch(GstBin* pipeline, gst::ElementHandle consumer)
{
    StreamBranch branch{BranchPointOf(pipeline), {}, gst::MakeElement("queue"), std::move(consumer)};
    if (!branch.Tee || !branch.Queue || !branch.Consumer) return std::nullopt;
    g_object_set(branch.Queue.get(), "leaky", 2 /* downstream: the oldest go */, "max-size-buffers",
                 kBranchQueueBuffers, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
    // A sink that joins a running graph must not make it preroll again.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(branch.Consumer.get()), "async"))
        g_object_set(branch.Consumer.get(), "async", FALSE, nullptr);
    gst_bin_add_many(pipeline, branch.Queue.get(), branch.Consumer.get(), nullptr);
    if (!gst_element_link(branch.Queue.get(), branch.Consumer.get())) {
        RemoveStreamBranch(pipeline, branch);
        return std::nullopt;
    }
    // Running before the first buffer reaches them.
    gst_element_sync_state_with_parent(branch.Consumer.get());
    gst_element_sync_state_with_parent(branch.Queue.get());
    branch.TeePad.reset(gst_element_request_pad_simple(branch.Tee.get(), "src_%u"));
    gst::PadHandle queueSink{gst_element_get_static_pad(branch.Queue.get(), "sink")};
    if (!branch.TeePad || !queueSink || gst_pad_link(branch.TeePad.get(), queueSink.get()) != GST_PAD_LINK_OK) {
        RemoveStreamBranch(pipeline, branch);
        return std::nullopt;
    }
    return branch;
}

void UnlinkStreamBranchWhenIdle(const StreamBranch& branch, int id)
{
    if (!branch.TeePad) return;
    gst_pad_add_probe(
        branch.TeePad.get(), GST_PAD_PROBE_TYPE_IDLE,
        [](GstPad* pad, GstPadProbeInfo*, gpointer data) {
            if (gst::PadHandle peer{gst_pad_get_peer(pad)}) gst_pad_unlink(pad, peer.get());
            // The state changes and the removal belong to the thread that
            // owns the graph, which reads the bus.
            if (gst::ElementHandle tee{gst_pad_get_parent_element(pad)}) {
                GstStructure* done =
                    gst_structure_new(kUnlinkedMessage, "id", G_TYPE_INT, GPOINTER_TO_INT(data), nullptr);
                gst_element_post_message(tee.get(), gst_message_new_application(GST_OBJECT(tee.get()), done));
            }
            return GST_PAD_PROBE_REMOVE;
        },
        GINT_TO_POINTER(id), nullptr);
}

std::optional<int> UnlinkedBranchId(GstMessage* message)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_APPLICATION) return std::nullopt;
    const GstStructure* said = gst_message_get_structure(message);
    int id = 0;
    if (!said || !gst_structure_has_name(said, kUnlinkedMessage) || !gst_structure_get_int(said, "id", &id))
        return std::nullopt;
    return id;
}

void RemoveStreamBranch(GstBin* pipeline, StreamBranch& branch)
{
    for (GstElement* element : {branch.Queue.get(), branch.Consumer.get()}) {
        if (!InPipeline(pipeline, element)) continue;
        gst_element_set_state(element, GST_STATE_NULL);
        gst_bin_remove(pipeline, element);
    }
    if (branch.TeePad && InPipeline(pipeline, branch.Tee.get()) &&
        GST_PAD_PARENT(branch.TeePad.get()) == branch.Tee.get())
        gst_element_release_request_pad(branch.Tee.get(), branch.TeePad.get());
    branch = {};
}

}  // namespace qmd
