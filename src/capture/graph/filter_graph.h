#pragma once
// The capture graph: a GStreamer pipeline holding the device filter, the
// frame grabber and the preview renderer. Lives on the GUI thread, and every
// operation here runs there. Nothing in it ever waits for a frame handler.
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "capture/graph/graph_member.h"
#include "capture/graph/stream_branch.h"
#include "gst/handles.h"

namespace qmd {

class IGraphMember;
class TFilter;
class TSampleGrabber;
class TVideoRenderer;
class GraphBusReader;

class TFilterGraph : public QObject {
    Q_OBJECT
public:
    explicit TFilterGraph(QObject* parent = nullptr);
    ~TFilterGraph() override;

    bool Active() const { return static_cast<bool>(pipeline_); }
    // Active and last told to run (it may still be on its way to running).
    bool MeantToRun() const;
    // true builds the pipeline with every member's element, false releases
    // it; writing the current value does nothing.
    void SetActive(bool active);

    // false (and nothing done) on an inactive graph. A refused state change
    // throws EDirectShowException. RunGraph is true for any success;
    // PauseGraph and StopGraph only for a clean one (a live source that
    // cannot preroll pauses without being clean).
    bool RunGraph();
    bool PauseGraph();
    bool StopGraph();

    // Stops the graph, unlinks every element and removes every element that
    // is not a member's.
    void StripGraph();

    // Links source -> grabber -> renderer, inserting decoders and converters
    // so that the grabber receives 24-bit BGR. Link failures are not reported
    // (the preview stays black). Throws QuiskError("Interface not supported")
    // when the graph is inactive or a member has no element.
    void RenderStream(TFilter* source, TSampleGrabber* grabber, TVideoRenderer* renderer);

    // A consumer of the source's own stream (what the source gives before it
    // is decoded), attached to the branch point while the graph runs without
    // touching the grabber: its element's "sink" pad is fed through a leaky
    // queue of its own. 0 when the graph has no stream rendered or the
    // consumer cannot take the stream. The graph holds the consumer until it
    // is detached or the graph is stripped or released.
    int AttachConsumer(gst::ElementHandle consumer);
    // Unlinks the consumer as soon as no buffer is passing to it (never
    // waiting for one); its elements leave the pipeline on this thread
    // shortly after. An unknown id does nothing.
    void DetachConsumer(int id);
    // Consumers attached and not yet detached.
    std::size_t ConsumerCount() const { return branches_.size(); }
    // Whether this consumer is still attached (a strip or a release of the
    // graph takes every consumer away).
    bool HasConsumer(int id) const { return branches_.count(id) != 0; }

    // The pipeline while active (for tests and diagnostics).
    GstElement* Pipeline() const { return pipeline_.get(); }
    const std::vector<IGraphMember*>& Members() const { return members_; }

signals:
    // An error posted by the pipeline (device unplugged, unreadable stream),
    // emitted once per failure on the GUI thread.
    void GraphError(const QString& message);
    // RenderStream has linked a source: consumers may attach to its stream.
    void StreamRendered();

private:
    friend class IGraphMember;
    void AttachMember(IGraphMember* member);
    void DetachMember(IGraphMember* member);
    void ForgetMember(IGraphMember* member);
    bool IsMemberElement(GstElement* element) const;
    void UnlinkAndRemoveInserted();
    void AddMemberElement(IGraphMember* member);
    void RemoveMemberElement(IGraphMember* member);
    void Activate();
    void Deactivate();
    void SendControl(TGraphControl notice, bool on);
    enum class AsyncChange { WaitBounded, LeaveRunning };
    // Raises the failure with the pipeline's reason; otherwise the result,
    // after waiting (bounded) for an asynchronous change unless told not to.
    GstStateChangeReturn ChangeState(GstState target, AsyncChange async = AsyncChange::WaitBounded);
    void OnBusMessage(GstMessage* message);

    gst::ElementHandle pipeline_;
    std::unique_ptr<GraphBusReader> busReader_;
    std::vector<IGraphMember*> members_;
    bool errorReported_ = false;
    std::map<int, StreamBranch> branches_;
    // Detached, waiting for their unlink to be reported on the bus.
    std::map<int, StreamBranch> detaching_;
    int lastBranchId_ = 0;
};

}  // namespace qmd
