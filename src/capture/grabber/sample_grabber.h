#pragma once
// The frame grabber member: a bin that accepts 24-bit BGR only and passes
// the frames on to the renderer. Every frame is handed to OnBuffer on the
// grabber's own frame thread (never the GUI thread, never GStreamer's), one
// at a time.
//
// The streaming thread only takes a reference to the frame into a small
// mailbox and returns; the frame thread empties it. So nothing a handler does
// (even waiting for the GUI thread) can hold up the pipeline, and no graph
// operation on the GUI thread ever waits for a handler.
//
// After a handler call longer than a frame's duration (the alarm, a window
// waiting for the user) the frames in the mailbox are dropped, so the next
// frame handled is one delivered after the call, never a picture from before
// it. Frames arriving once a call has lasted that long are not queued at all:
// each would hold a frame's memory until the call ends, only to be dropped.
// After a shorter call the frames stay, as a camera's next frame would simply
// wait for it: that keeps a clip's first two frames, which arrive together
// as playback starts.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "capture/grabber/grabber_media_type.h"
#include "capture/graph/graph_member.h"
#include "gst/handles.h"

namespace qmd {

class FrameImage;

class TSampleGrabber : public IGraphMember {
public:
    using TOnBuffer =
        std::function<void(TSampleGrabber* sender, double SampleTime, const std::uint8_t* pBuffer, int BufferLen)>;

    // Samples the mailbox holds before the oldest is dropped.
    static constexpr std::size_t kMailboxCapacity = 4;

    TSampleGrabber();
    ~TSampleGrabber() override;

    // Called for every frame on the frame thread. An exception it throws is
    // reported (category qmd.capture) and goes no further.
    void SetOnBuffer(TOnBuffer handler);

    // Copies a frame into bitmap using the connected media type. false (and
    // the bitmap unchanged) for no bitmap, an empty buffer, no connected type,
    // or a type that is not 24-bit video with a VideoInfo header. Called from
    // the handler with the frame it was given, the bitmap shares the frame's
    // memory where that can be (see FrameToImage) rather than copying it.
    bool FrameToBitmap(FrameImage* bitmap, const std::uint8_t* buffer, int length);
    // The same with the latest frame the grabber has seen; false before the
    // first frame.
    bool LatestFrameToBitmap(FrameImage* bitmap);

    // The media type of the frame being delivered (or last delivered); tests
    // may set it to describe frames they hand to FrameToBitmap.
    std::optional<GrabberMediaType> ConnectedMediaType() const;
    void SetConnectedMediaType(std::optional<GrabberMediaType> type);

    GstElement* MemberFilter() const override { return bin_.get(); }
    std::string MemberName() const override { return "SampleGrabber"; }
    void NotifyMember(TMemberNotify code) override;
    void ControlNotice(TGraphControl notice, bool on) override;

    // Frames delivered to OnBuffer and frames dropped unhandled (the handler
    // was far behind, or they arrived before a long call ended), since the
    // grabber was created.
    std::uint64_t DeliveredFrames() const { return delivered_.load(); }
    std::uint64_t DroppedFrames() const { return dropped_.load(); }

    // When the latest buffer reached the grabber (nanoseconds of
    // std::chrono::steady_clock, 0 before the first) and the time between the
    // last two; a camera watch reads them from any thread.
    std::int64_t LastArrivalNs() const { return lastArrivalNs_.load(); }
    std::int64_t ArrivalIntervalNs() const { return arrivalIntervalNs_.load(); }

    // Stops the frame thread (joins it). Called at program end, after every
    // wait the handler may be in has been released.
    void Shutdown();

private:
    struct Frame {
        gst::BufferHandle Buffer;
        std::optional<GrabberMediaType> Type;
        Frame Copy() const { return Frame{gst::NewRef(Buffer.get()), Type}; }
    };

    static GstPadProbeReturn OnPadProbe(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    void Receive(GstBuffer* buffer);
    void ReceiveCaps(GstCaps* caps);
    void FrameThreadLoop();
    void Deliver(const Frame& frame, const TOnBuffer* handler);
    void DropQueuedFrames();
    void DropQueuedFramesLocked();  // with mutex_ held
    void BuildBin();
    void ReleaseBin();

    gst::ElementHandle bin_;
    gst::PadHandle probePad_;
    gulong probeId_ = 0;

    // The one lock of the grabber. It guards everything below up to
    // repacked_, which the streaming thread (frames and caps in), the frame
    // thread (frames out, the type of the frame delivered, the handler) and
    // the GUI thread (the latest frame, the handler, clearing on removal)
    // share. Each holds it only for a few assignments: never across a
    // handler call or a call into GStreamer that may wait.
    mutable std::mutex mutex_;
    std::condition_variable mailboxReady_;
    std::deque<Frame> mailbox_;
    std::optional<Frame> latest_;
    std::optional<GrabberMediaType> incomingType_;   // the caps of the frames to come
    std::optional<GrabberMediaType> connectedType_;  // the type of the frame delivered last
    std::shared_ptr<const TOnBuffer> handler_;
    // During a handler call: when (steady clock, ns) it becomes a long one,
    // whose frames arriving meanwhile are dropped.
    std::optional<std::int64_t> longCallFromNs_;
    bool stopping_ = false;

    // Unguarded: only the frame thread touches them, and it calls the
    // handler, so calls never overlap.
    std::vector<std::uint8_t> repacked_;
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> dropped_{0};
    // Written by the streaming thread only, as plain atomic stores.
    std::atomic<std::int64_t> lastArrivalNs_{0};
    std::atomic<std::int64_t> arrivalIntervalNs_{0};
    std::thread frameThread_;
};

}  // namespace qmd
