#pragma once
// The preview member: an appsink named "VideoWindow" that keeps the latest
// frame for a widget to paint. GUI-free; the widget registers a notifier
// that is called (on a streaming thread) at most once until it acknowledges.
#include <atomic>
#include <functional>
#include <mutex>

#include "capture/graph/graph_member.h"
#include "gst/handles.h"

namespace qmd {

class TVideoRenderer : public IGraphMember {
public:
    TVideoRenderer() = default;
    ~TVideoRenderer() override;

    GstElement* MemberFilter() const override { return sink_.get(); }
    std::string MemberName() const override { return "VideoWindow"; }
    void NotifyMember(TMemberNotify code) override;
    void ControlNotice(TGraphControl notice, bool on) override;

    // The frame to paint: null when there is none (graph inactive, no
    // frame yet). Its caps tell the size and stride.
    gst::SampleHandle LatestFrame() const;

    // Called from a streaming thread when a new frame arrived while no
    // notice was pending; must not block. Replacing or clearing it waits for
    // a call in progress (which only posts an event), so the receiver can be
    // destroyed safely afterwards.
    void SetFrameNotifier(std::function<void()> notifier);
    // The receiver took the notice; the next frame may post another.
    void AcknowledgeFrameNotice() { noticePending_.store(false); }

    std::uint64_t RenderedFrames() const { return rendered_.load(); }

private:
    static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);
    void Receive(gst::SampleHandle sample);
    void ClearLatest();

    gst::ElementHandle sink_;
    mutable std::mutex latestMutex_;
    gst::SampleHandle latest_;
    std::mutex notifierMutex_;
    std::function<void()> notifier_;
    std::atomic<bool> noticePending_{false};
    std::atomic<std::uint64_t> rendered_{0};
};

}  // namespace qmd
