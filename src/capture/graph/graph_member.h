#pragma once
// The protocol between the graph and the components that put an element into
// it: the device filter, the frame grabber and the preview renderer.
#include <gst/gst.h>

#include <string>

namespace qmd {

class TFilterGraph;

enum class TMemberNotify { Adding, Added, Removing, Removed, Refresh };
enum class TGraphControl { Play, Pause, Stop, ActivationChanged };

class IGraphMember {
public:
    virtual ~IGraphMember();
    IGraphMember() = default;
    IGraphMember(const IGraphMember&) = delete;
    IGraphMember& operator=(const IGraphMember&) = delete;

    // The member's element while the graph is active (null when it has none).
    virtual GstElement* MemberFilter() const = 0;
    // Also the element's name inside the pipeline.
    virtual std::string MemberName() const = 0;
    virtual void NotifyMember(TMemberNotify code) = 0;
    // Play, pause, stop and activation notices; `on` only matters for the last.
    virtual void ControlNotice(TGraphControl notice, bool on);

    // Attaches to a graph (detaching from the previous one); attaching to an
    // active graph adds the member's element at once, detaching removes it.
    void SetFilterGraph(TFilterGraph* graph);
    TFilterGraph* FilterGraph() const { return graph_; }

protected:
    // Members call this first in their destructors, while their own state
    // still exists, so that the graph can take their element out.
    void DetachFromGraph() { SetFilterGraph(nullptr); }

private:
    friend class TFilterGraph;
    TFilterGraph* graph_ = nullptr;
};

}  // namespace qmd
