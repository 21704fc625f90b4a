// What the grabber holds while its handler is in a long call (the alarm, a
// window waiting for the user): frames that arrive then are dropped when the
// call ends, so none of them may be kept meanwhile, a frame of memory each,
// except the latest, which a device switch copies.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "capture/grabber/sample_grabber.h"
#include "capture/graph/graph_member.h"
#include "capture/sources/graph_elements.h"
#include "gst/handles.h"
#include "support/wait_until.h"

namespace qmd {
namespace {

TEST(GrabberMailbox, FramesArrivingDuringALongCallAreNotHeld)
{
    TSampleGrabber grabber;
    std::mutex mutex;
    std::condition_variable released;
    bool inCall = false, release = false;
    std::atomic<int> calls{0};
    grabber.SetOnBuffer([&](TSampleGrabber*, double, const std::uint8_t*, int) {
        if (++calls != 1) return;
        std::unique_lock lock(mutex);
        inCall = true;
        released.notify_all();
        released.wait(lock, [&] { return release; });
    });
    grabber.NotifyMember(TMemberNotify::Adding);

    // Frames are pushed from this thread, as a streaming thread would.
    gst::ElementHandle pipeline{gst_pipeline_new(nullptr)};
    gst::ElementHandle sink = gst::MakeElement("fakesink");
    ASSERT_TRUE(pipeline && sink);
    g_object_set(sink.get(), "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), grabber.MemberFilter(), sink.get(), nullptr);
    ASSERT_TRUE(gst_element_link(grabber.MemberFilter(), sink.get()));
    gst::PadHandle source{gst_pad_new("src", GST_PAD_SRC)};
    gst::PadHandle grabberIn{gst_element_get_static_pad(grabber.MemberFilter(), "sink")};
    ASSERT_EQ(gst_pad_link(source.get(), grabberIn.get()), GST_PAD_LINK_OK);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    gst_pad_set_active(source.get(), TRUE);
    gst_pad_push_event(source.get(), gst_event_new_stream_start("frames"));
    gst::CapsHandle caps = gst::CapsFromString("video/x-raw,format=BGR,width=4,height=2,framerate=50/1");
    gst_pad_push_event(source.get(), gst_event_new_caps(caps.get()));
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(source.get(), gst_event_new_segment(&segment));

    std::atomic<int> alive{0};
    const auto push = [&](int index) {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 4 * 2 * 3, nullptr);
        GST_BUFFER_PTS(buffer) = index * 20 * GST_MSECOND;
        GST_BUFFER_DURATION(buffer) = 20 * GST_MSECOND;
        ++alive;
        gst_mini_object_weak_ref(
            GST_MINI_OBJECT(buffer), [](gpointer counter, GstMiniObject*) { --*static_cast<std::atomic<int>*>(counter); },
            &alive);
        EXPECT_EQ(gst_pad_push(source.get(), buffer), GST_FLOW_OK);
    };
    push(0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(released.wait_for(lock, std::chrono::seconds(20), [&] { return inCall; }));
    }
    // Well past a frame's duration into the call.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (int index = 1; index <= 12; ++index) push(index);
    // The frame in the call, and the latest.
    EXPECT_LE(alive.load(), 2) << "frames held during the call";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_TRUE(test::WaitUntil([&] { return grabber.DroppedFrames() == 12; }))
        << grabber.DroppedFrames() << " of the long call's 12 frames dropped";

    gst_pad_set_active(source.get(), FALSE);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    grabber.SetOnBuffer(nullptr);
    grabber.Shutdown();
    grabber.NotifyMember(TMemberNotify::Removed);
}

}  // namespace
}  // namespace qmd
