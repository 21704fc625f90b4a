#include "capture/graph/graph_member.h"

#include "capture/graph/filter_graph.h"

namespace qmd {

IGraphMember::~IGraphMember()
{
    // A member's own destructor detaches with notifications while its state
    // still exists; this only keeps the graph from holding a dangling pointer.
    if (graph_) graph_->ForgetMember(this);
}

void IGraphMember::ControlNotice(TGraphControl, bool) {}

void IGraphMember::SetFilterGraph(TFilterGraph* graph)
{
    if (graph == graph_) return;
    if (graph_) {
        TFilterGraph* previous = graph_;
        previous->DetachMember(this);
        graph_ = nullptr;
    }
    if (graph) {
        graph_ = graph;
        graph->AttachMember(this);
    }
}

}  // namespace qmd
