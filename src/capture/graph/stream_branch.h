#pragma once
// The branch point on a source's own stream: a tee (allow-not-linked)
// between the source and its decoding, whose first pad feeds the decoded
// branch (converters, grabber, renderer). Further consumers of what the
// source itself gives (a camera's compressed images or access units, or its
// raw video) attach and detach there while the graph runs, each behind a
// leaky queue of its own, so that neither the grabber nor its thread ever
// waits for them.
#include <gst/gst.h>

#include <optional>

#include "gst/handles.h"

namespace qmd {

inline constexpr const char* kBranchPointName = "branch-point";

// Adds the tee to the pipeline, links sourcePad to it and gives the tee's
// pad for the decoded branch; null when that failed.
gst::PadHandle InsertBranchPoint(GstBin* pipeline, GstPad* sourcePad);

struct StreamBranch {
    gst::ElementHandle Tee;
    gst::PadHandle TeePad;
    gst::ElementHandle Queue;
    gst::ElementHandle Consumer;
};

// Adds a queue and the consumer (whose "sink" pad takes the stream; a sink
// is made not to preroll, a bin's sinks should not) to the pipeline, brings them to its state and links a new pad of the tee to them.
// Nothing when the pipeline has no branch point or a link failed (then
// nothing is left behind).
std::optional<StreamBranch> LinkStreamBranch(GstBin* pipeline, gst::ElementHandle consumer);

// Unlinks the branch from the tee once the tee's pad is idle: at once when
// no buffer is passing it, else right after the one that is (the queue takes
// it without waiting), on whatever thread that is; then says so on the
// pipeline's bus, where UnlinkedBranchId() reads `id` back.
void UnlinkStreamBranchWhenIdle(const StreamBranch& branch, int id);
std::optional<int> UnlinkedBranchId(GstMessage* message);

// Stops the branch's elements, takes them out of the pipeline and gives the
// tee its pad back; what is no longer in the pipeline (stripped meanwhile)
// is left alone.
void RemoveStreamBranch(GstBin* pipeline, StreamBranch& branch);

}  // namespace qmd
