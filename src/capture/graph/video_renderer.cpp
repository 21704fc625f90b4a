#include "capture/graph/video_renderer.h"

#include "capture/graph/capture_log.h"
#include "capture/sources/graph_elements.h"
#include "common/caught_exception.h"

namespace qmd {

TVideoRenderer::~TVideoRenderer() { DetachFromGraph(); }

void TVideoRenderer::NotifyMember(TMemberNotify code)
{
    switch (code) {
    case TMemberNotify::Adding: {
        gst::ElementHandle sink = gst::MakeElement("appsink", MemberName().c_str());
        if (!sink) return;
        gst::CapsHandle bgr = gst::CapsFromString("video/x-raw,format=BGR");
        // Paced by the clock like a video sink, so a file plays at its own
        // rate; at most one frame waits, older ones are dropped. No QoS: it
        // would make decoders skip late frames, which the grabber upstream
        // must still receive.
        g_object_set(sink.get(), "caps", bgr.get(), "sync", TRUE, "max-buffers", 1u, "drop", TRUE, "enable-last-sample",
                     FALSE, "qos", FALSE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &TVideoRenderer::OnNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, this, nullptr);
        sink_ = std::move(sink);
        return;
    }
    case TMemberNotify::Added: return;
    case TMemberNotify::Removing:
        if (sink_) gst_element_set_state(sink_.get(), GST_STATE_NULL);
        return;
    case TMemberNotify::Removed:
        sink_.reset();
        ClearLatest();
        return;
    case TMemberNotify::Refresh: return;
    }
}

void TVideoRenderer::ControlNotice(TGraphControl notice, bool on)
{
    if (notice == TGraphControl::ActivationChanged && !on) ClearLatest();
}

gst::SampleHandle TVideoRenderer::LatestFrame() const
{
    std::lock_guard lock(latestMutex_);
    return gst::NewRef(latest_.get());
}

void TVideoRenderer::SetFrameNotifier(std::function<void()> notifier)
{
    std::lock_guard lock(notifierMutex_);
    notifier_ = std::move(notifier);
    noticePending_.store(false);
}

GstFlowReturn TVideoRenderer::OnNewSample(GstAppSink* sink, gpointer self)
{
    gst::SampleHandle sample{gst_app_sink_pull_sample(sink)};
    if (!sample) return GST_FLOW_OK;
    try {
        static_cast<TVideoRenderer*>(self)->Receive(std::move(sample));
    } catch (...) {
        // The streaming thread's way back into GStreamer: the frame is not
        // shown, the stream goes on.
        qCWarning(lcCapture, "preview: %s", CaughtExceptionText().c_str());
    }
    return GST_FLOW_OK;
}

void TVideoRenderer::Receive(gst::SampleHandle sample)
{
    {
        std::lock_guard lock(latestMutex_);
        latest_ = std::move(sample);
    }
    rendered_.fetch_add(1);
    if (noticePending_.exchange(true)) return;
    std::lock_guard lock(notifierMutex_);
    if (notifier_)
        notifier_();
    else
        noticePending_.store(false);
}

void TVideoRenderer::ClearLatest()
{
    {
        std::lock_guard lock(latestMutex_);
        latest_.reset();
    }
    if (noticePending_.exchange(true)) return;
    std::lock_guard lock(notifierMutex_);
    if (notifier_)
        notifier_();
    else
        noticePending_.store(false);
}

}  // namespace qmd
