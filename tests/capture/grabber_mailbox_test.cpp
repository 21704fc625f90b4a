// What the grabber holds while its handler is in a long call (the alarm, a
// window waiting for the user): frames that arrive then are dropped when the
// call ends, so none of them may be kept meanwhile, a frame of memory each,
// except the latest, which a device switch copies.
#include <gtest/gtest.h>

#include <gst/app/gstappsrc.h>

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

    gst::ElementHandle pipeline{gst_pipeline_new(nullptr)};
    gst::ElementHandle source = gst::MakeElement("appsrc");
    gst::ElementHandle sink = gst::MakeElement("fakesink");
    ASSERT_TRUE(pipeline && source && sink);
    gst::CapsHandle caps = gst::CapsFromString("video/x-raw,format=BGR,width=4,height=2,framerate=50/1");
    g_object_set(source.get(), "caps", caps.get(), "format", GST_FORMAT_TIME, nullptr);
    g_object_set(sink.get(), "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), source.get(), grabber.MemberFilter(), sink.get(), nullptr);
    ASSERT_TRUE(gst_element_link_many(source.get(), grabber.MemberFilter(), sink.get(), nullptr));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);

    std::atomic<int> alive{0};
    const auto push = [&](int index) {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 4 * 2 * 3, nullptr);
        GST_BUFFER_PTS(buffer) = index * 20 * GST_MSECOND;
        GST_BUFFER_DURATION(buffer) = 20 * GST_MSECOND;
        ++alive;
        gst_mini_object_weak_ref(
            GST_MINI_OBJECT(buffer), [](gpointer counter, GstMiniObject*) { --*static_cast<std::atomic<int>*>(counter); },
            &alive);
        gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer);
    };
    push(0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(released.wait_for(lock, std::chrono::seconds(20), [&] { return inCall; }));
    }
    // Well past a frame's duration into the call.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (int index = 1; index <= 12; ++index) push(index);
    const bool arrived = test::WaitUntil([&] { return grabber.LastArrivalNs() != 0 && grabber.DroppedFrames() >= 11; });
    // The frame in the call, and the latest.
    EXPECT_LE(alive.load(), 2) << "frames held during the call";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_TRUE(arrived);
    EXPECT_EQ(grabber.DroppedFrames(), 12u) << "every frame of the long call is dropped";

    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    grabber.SetOnBuffer(nullptr);
    grabber.Shutdown();
    grabber.NotifyMember(TMemberNotify::Removed);
}

}  // namespace
}  // namespace qmd
