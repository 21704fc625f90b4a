#include "capture/grabber/sample_grabber.h"

#include <pthread.h>

#include <chrono>

#include "capture/graph/capture_log.h"
#include "capture/grabber/frame_pixels.h"
#include "capture/sources/graph_elements.h"
#include "common/caught_exception.h"
#include "common/frame_image.h"
#include "common/quisk_error.h"
#include "gst/init.h"

namespace qmd {

namespace {

// GST_DEBUG=qmdgrabber:6 traces what the grabber's pad probe takes in.
GST_DEBUG_CATEGORY_STATIC(qmd_grabber_debug);
#define GST_CAT_DEFAULT qmd_grabber_debug

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(qmd_grabber_debug, "qmdgrabber", 0, "Quisk Motion Detector frame grabber");
        return true;
    }();
    (void)initialised;
}

// The frame a grabber is handing to its handler on this thread: a bitmap
// made from exactly these pixels during the call shares them, no copy.
struct DeliveredFrame {
    const TSampleGrabber* grabber;
    const FramePixels& pixels;
    const GrabberMediaType& type;
};
thread_local const DeliveredFrame* tDelivered = nullptr;

std::int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Zero when the frame does not say: then any call is a long one.
std::chrono::nanoseconds FrameDuration(GstBuffer* buffer)
{
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    return std::chrono::nanoseconds(GST_CLOCK_TIME_IS_VALID(duration) ? duration : 0);
}

}  // namespace

TSampleGrabber::TSampleGrabber()
{
    gst::EnsureInitialized();
    InitDebugCategory();
    {
        gst::ElementHandle probe = gst::MakeElement("capsfilter");
        if (!probe) throw QuiskError("The SampleGrabber Filter is not available on this system.");
    }
    frameThread_ = std::thread([this] { FrameThreadLoop(); });
}

TSampleGrabber::~TSampleGrabber()
{
    DetachFromGraph();
    Shutdown();
}

void TSampleGrabber::Shutdown()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        mailbox_.clear();
    }
    mailboxReady_.notify_all();
    if (!frameThread_.joinable()) return;
    if (frameThread_.get_id() == std::this_thread::get_id())
        frameThread_.detach();  // asked from a handler: the thread ends when it returns
    else
        frameThread_.join();
}

void TSampleGrabber::SetOnBuffer(TOnBuffer handler)
{
    auto shared = handler ? std::make_shared<const TOnBuffer>(std::move(handler)) : nullptr;
    std::lock_guard lock(mutex_);
    handler_ = std::move(shared);
}

std::optional<GrabberMediaType> TSampleGrabber::ConnectedMediaType() const
{
    std::lock_guard lock(mutex_);
    return connectedType_;
}

void TSampleGrabber::SetConnectedMediaType(std::optional<GrabberMediaType> type)
{
    std::lock_guard lock(mutex_);
    connectedType_ = std::move(type);
}

bool TSampleGrabber::FrameToBitmap(FrameImage* bitmap, const std::uint8_t* buffer, int length)
{
    if (!bitmap || !buffer || length <= 0) return false;
    const auto size = static_cast<std::size_t>(length);
    if (const DeliveredFrame* delivered = tDelivered; delivered && delivered->grabber == this &&
                                                      delivered->pixels.Data() == buffer &&
                                                      delivered->pixels.Size() == size)
        return FrameToImage(delivered->type, buffer, size, delivered->pixels.Owner(), *bitmap);
    const auto type = ConnectedMediaType();
    if (!type) return false;
    return CopyFrameToImage(*type, buffer, size, *bitmap);
}

bool TSampleGrabber::LatestFrameToBitmap(FrameImage* bitmap)
{
    if (!bitmap) return false;
    Frame latest;
    {
        std::lock_guard lock(mutex_);
        if (latest_) latest = latest_->Copy();
    }
    if (!latest.Buffer || !latest.Type) return false;
    std::vector<std::uint8_t> scratch;
    FramePixels pixels(latest.Buffer.get(), *latest.Type, scratch);
    if (!pixels || pixels.Size() == 0) return false;
    return FrameToImage(*latest.Type, pixels.Data(), pixels.Size(), pixels.Owner(), *bitmap);
}

void TSampleGrabber::NotifyMember(TMemberNotify code)
{
    switch (code) {
    case TMemberNotify::Adding: BuildBin(); return;
    case TMemberNotify::Added: return;
    case TMemberNotify::Removing:
        // Stopped before the frames are withdrawn, so none arrives after.
        if (bin_) gst_element_set_state(bin_.get(), GST_STATE_NULL);
        return;
    case TMemberNotify::Removed:
        ReleaseBin();
        {
            std::lock_guard lock(mutex_);
            mailbox_.clear();
            latest_.reset();
            incomingType_.reset();
            connectedType_.reset();
        }
        return;
    case TMemberNotify::Refresh: return;  // the accepted type never changes
    }
}

void TSampleGrabber::ControlNotice(TGraphControl notice, bool on)
{
    if (notice == TGraphControl::Stop || (notice == TGraphControl::ActivationChanged && !on)) DropQueuedFrames();
}

void TSampleGrabber::DropQueuedFrames()
{
    std::lock_guard lock(mutex_);
    DropQueuedFramesLocked();
}

void TSampleGrabber::DropQueuedFramesLocked()
{
    dropped_.fetch_add(mailbox_.size());
    mailbox_.clear();
}

void TSampleGrabber::BuildBin()
{
    ReleaseBin();
    gst::ElementHandle accept = gst::MakeElement("capsfilter", "accept");
    if (!accept) return;
    gst::CapsHandle bgr = gst::CapsFromString("video/x-raw,format=BGR");
    g_object_set(accept.get(), "caps", bgr.get(), nullptr);

    gst::ElementHandle bin = gst::NewBin(MemberName().c_str());
    gst_bin_add(GST_BIN(bin.get()), accept.get());
    gst::PadHandle sink{gst_element_get_static_pad(accept.get(), "sink")};
    gst::PadHandle src{gst_element_get_static_pad(accept.get(), "src")};
    gst_element_add_pad(bin.get(), gst_ghost_pad_new("sink", sink.get()));
    gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", src.get()));

    // The frames are taken where they leave the accepting filter: one
    // sink in the pipeline (the renderer), no extra thread, no copy.
    probeId_ = gst_pad_add_probe(src.get(),
                                 GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                 GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                                 &TSampleGrabber::OnPadProbe, this, nullptr);
    probePad_ = std::move(src);
    bin_ = std::move(bin);
}

void TSampleGrabber::ReleaseBin()
{
    // Down first: once its pads are inactive no probe call is running.
    if (bin_) gst_element_set_state(bin_.get(), GST_STATE_NULL);
    if (probePad_ && probeId_) gst_pad_remove_probe(probePad_.get(), probeId_);
    probeId_ = 0;
    probePad_.reset();
    bin_.reset();
}

GstPadProbeReturn TSampleGrabber::OnPadProbe(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    auto* grabber = static_cast<TSampleGrabber*>(self);
    try {
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
            grabber->Receive(GST_PAD_PROBE_INFO_BUFFER(info));
        } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
            GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
            for (guint i = 0; i < gst_buffer_list_length(list); ++i) grabber->Receive(gst_buffer_list_get(list, i));
        } else if (GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info); event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            grabber->ReceiveCaps(caps);
        }
    } catch (...) {
        // Out of memory at worst; the frame is lost, the stream goes on.
        qCWarning(lcCapture, "frame dropped: %s", CaughtExceptionText().c_str());
    }
    return GST_PAD_PROBE_OK;
}

void TSampleGrabber::ReceiveCaps(GstCaps* caps)
{
    auto type = GrabberMediaType::FromCaps(caps);
    GST_DEBUG("frames to come: %" GST_PTR_FORMAT "%s", caps, type ? "" : " (not taken)");
    std::lock_guard lock(mutex_);
    incomingType_ = std::move(type);
}

// Streaming thread: keep a reference, wake the frame thread, return.
void TSampleGrabber::Receive(GstBuffer* buffer)
{
    const std::int64_t now = SteadyNowNs();
    if (const std::int64_t before = lastArrivalNs_.exchange(now); before != 0) arrivalIntervalNs_.store(now - before);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || !incomingType_) return;
        Frame frame{gst::NewRef(buffer), incomingType_};
        latest_ = frame.Copy();
        if (longCallFromNs_ && now >= *longCallFromNs_) {
            // The call in progress has lasted longer than a frame already, so
            // this frame would be dropped as it ends: it is let go now rather
            // than held (a frame of memory each) for as long as the call lasts.
            dropped_.fetch_add(1);
            return;
        }
        if (mailbox_.size() >= kMailboxCapacity) {
            GST_LOG("mailbox full: the oldest frame is dropped");
            mailbox_.pop_front();
            dropped_.fetch_add(1);
        }
        wake = mailbox_.empty();
        mailbox_.push_back(std::move(frame));
    }
    if (wake) mailboxReady_.notify_one();
}

void TSampleGrabber::FrameThreadLoop()
{
    // Named for top, perf and the per-thread figures of the measurements.
    pthread_setname_np(pthread_self(), "qmd-frames");
    for (;;) {
        Frame frame;
        std::shared_ptr<const TOnBuffer> handler;
        {
            std::unique_lock lock(mutex_);
            mailboxReady_.wait(lock, [this] { return stopping_ || !mailbox_.empty(); });
            if (stopping_) return;
            frame = std::move(mailbox_.front());
            mailbox_.pop_front();
            connectedType_ = frame.Type;
            handler = handler_;
            longCallFromNs_ = SteadyNowNs() + FrameDuration(frame.Buffer.get()).count();
        }
        // The frame thread's one catch: nothing a handler throws ends the
        // thread, and the next frame is handled as usual.
        try {
            Deliver(frame, handler.get());
        } catch (...) {
            qCWarning(lcCapture, "frame handler: %s", CaughtExceptionText().c_str());
        }
        // The call ends here: a frame delivered from now on is handled.
        const std::int64_t ended = SteadyNowNs();
        std::lock_guard lock(mutex_);
        if (longCallFromNs_ && ended >= *longCallFromNs_) DropQueuedFramesLocked();
        longCallFromNs_.reset();
    }
}

void TSampleGrabber::Deliver(const Frame& frame, const TOnBuffer* handler)
{
    if (!handler) return;
    FramePixels pixels(frame.Buffer.get(), *frame.Type, repacked_);
    if (!pixels) return;
    const GstClockTime pts = GST_BUFFER_PTS(frame.Buffer.get());
    const double sampleTime = GST_CLOCK_TIME_IS_VALID(pts) ? static_cast<double>(pts) / GST_SECOND : 0.0;

    // Counted as delivered even when the handler fails.
    struct CountDelivery {
        std::atomic<std::uint64_t>& delivered;
        ~CountDelivery() { delivered.fetch_add(1); }
    } const count{delivered_};
    const DeliveredFrame delivered{this, pixels, *frame.Type};
    struct Delivering {
        explicit Delivering(const DeliveredFrame& frame) { tDelivered = &frame; }
        ~Delivering() { tDelivered = nullptr; }
    } const delivering{delivered};
    (*handler)(this, sampleTime, pixels.Data(), static_cast<int>(pixels.Size()));
}

}  // namespace qmd
