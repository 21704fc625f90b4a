// The capture graph with the built-in test source: member protocol, frames
// on the frame thread, strip, format change, errors, and the GUI thread
// never waiting for a frame handler.
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/capture_test_support.h"
#include "capture/graph/check_graph_result.h"
#include "capture/graph/stream_branch.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/system_device_source.h"
#include "capture/graph_fixture.h"
#include "common/frame_image.h"
#include "common/quisk_error.h"
#include "support/captured_log.h"

namespace qmd::test {
namespace {

// Counts frames and remembers what the handler saw of them.
struct FrameLog {
    std::atomic<int> frames{0};
    std::atomic<bool> onGuiThread{false};
    std::atomic<int> lastLength{0};
    std::mutex mutex;
    std::optional<GrabberMediaType> lastType;

    TSampleGrabber::TOnBuffer Handler(QThread* guiThread)
    {
        return [this, guiThread](TSampleGrabber* sender, double, const std::uint8_t*, int length) {
            if (QThread::currentThread() == guiThread) onGuiThread = true;
            {
                std::lock_guard lock(mutex);
                lastType = sender->ConnectedMediaType();
            }
            lastLength = length;
            ++frames;
        };
    }
};

using Graph = GraphFixture;

TEST_F(Graph, InactiveGraphDoesNothing)
{
    EXPECT_FALSE(graph.Active());
    EXPECT_FALSE(graph.RunGraph());
    EXPECT_FALSE(graph.PauseGraph());
    EXPECT_FALSE(graph.StopGraph());
    EXPECT_NO_THROW(graph.StripGraph());
    EXPECT_NO_THROW(graph.SetActive(false));
    EXPECT_FALSE(graph.Active());
    try {
        graph.RenderStream(&filter, &grabber, &renderer);
        FAIL();
    } catch (const QuiskError& error) {
        EXPECT_STREQ(error.what(), "Interface not supported");
    }
}

TEST_F(Graph, EmptyBaseFilterAddsNoDeviceElement)
{
    graph.SetActive(true);
    GstElement* pipeline = graph.Pipeline();
    graph.SetActive(true);  // already active: nothing happens
    EXPECT_EQ(graph.Pipeline(), pipeline);
    EXPECT_EQ(filter.MemberFilter(), nullptr);
    EXPECT_EQ(filter.DeviceElement(), nullptr);
    EXPECT_EQ(ElementNames(), (std::set<std::string>{"SampleGrabber", "VideoWindow"}));
    EXPECT_THROW(graph.RenderStream(&filter, &grabber, &renderer), QuiskError);
    EXPECT_EQ(gst_caps_get_size(filter.OfferedCaps().get()), 0u);
}

TEST_F(Graph, TestSourceFramesReachTheHandlerOnItsOwnThread)
{
    FrameLog log;
    grabber.SetOnBuffer(log.Handler(QThread::currentThread()));
    StoreTestSource();
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.frames >= 5; }));
    EXPECT_FALSE(log.onGuiThread);
    EXPECT_EQ(log.lastLength, 640 * 480 * 3);
    {
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.lastType, GrabberMediaType::TopDownBgr(640, 480));
    }
    FrameImage latest;
    EXPECT_TRUE(grabber.LatestFrameToBitmap(&latest));
    EXPECT_EQ(latest.Width(), 640);
    EXPECT_EQ(latest.Height(), 480);
    EXPECT_EQ(grabber.DroppedFrames(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return renderer.RenderedFrames() > 0; }));
    EXPECT_TRUE(renderer.LatestFrame());
}

TEST_F(Graph, StripLeavesExactlyTheThreeMembersUnlinked)
{
    FrameLog log;
    grabber.SetOnBuffer(log.Handler(nullptr));
    StoreTestSource();
    Start();
    ASSERT_TRUE(WaitUntil([&] { return log.frames >= 2; }));
    EXPECT_GT(ElementNames().size(), 3u);  // the converter was inserted
    graph.StripGraph();
    EXPECT_EQ(ElementNames(), (std::set<std::string>{"Filter", "SampleGrabber", "VideoWindow"}));
    EXPECT_FALSE(AnyPadLinked());

    // And the graph renders and runs again after it.
    const int before = log.frames;
    graph.RenderStream(&filter, &grabber, &renderer);
    graph.RunGraph();
    EXPECT_TRUE(WaitUntil([&] { return log.frames >= before + 2; }));
}

TEST_F(Graph, PauseOfALiveSourceIsNotCleanButRunAndStopAre)
{
    StoreTestSource();
    Start();
    EXPECT_FALSE(graph.PauseGraph());  // a live source cannot preroll
    EXPECT_TRUE(graph.RunGraph());
    EXPECT_TRUE(graph.StopGraph());
    EXPECT_TRUE(graph.RunGraph());
}

TEST_F(Graph, TestSourceOffersSeveralSizesAndAChosenOneApplies)
{
    StoreTestSource();
    Start();
    gst::CapsHandle offered = filter.OfferedCaps();
    ASSERT_GE(gst_caps_get_size(offered.get()), 3u);
    std::set<std::pair<int, int>> sizes;
    int chosen = -1;
    for (guint i = 0; i < gst_caps_get_size(offered.get()); ++i) {
        int width = 0, height = 0;
        const GstStructure* s = gst_caps_get_structure(offered.get(), i);
        gst_structure_get_int(s, "width", &width);
        gst_structure_get_int(s, "height", &height);
        sizes.insert({width, height});
        if (width == 320) chosen = static_cast<int>(i);
    }
    EXPECT_TRUE(sizes.count({320, 240}) && sizes.count({640, 480}) && sizes.count({1280, 720}));

    FrameLog log;
    grabber.SetOnBuffer(log.Handler(nullptr));
    // The format command's order: stop, choose, render, run.
    graph.StopGraph();
    gst::CapsHandle one{gst_caps_copy_nth(offered.get(), static_cast<guint>(chosen))};
    filter.SetFormat(one.get());
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &renderer);
    graph.RunGraph();
    ASSERT_TRUE(WaitUntil([&] { return log.frames >= 2; }));
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.lastType, GrabberMediaType::TopDownBgr(320, 240));
    EXPECT_EQ(log.lastLength, 320 * 240 * 3);
}

// The handler waits for the GUI thread (as a modal window in a reaction
// does) while the GUI thread stops, strips and releases the graph.
TEST_F(Graph, HandlerWaitingForTheGuiThreadDoesNotHangGraphOperations)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    std::atomic<int> calls{0};
    grabber.SetOnBuffer([&](TSampleGrabber*, double, const std::uint8_t*, int) {
        ++calls;
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        // Bounded, so that a broken build fails instead of hanging the suite.
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return released; });
    });
    StoreTestSource();
    Start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(15), [&] { return entered; }));
    }
    graph.PauseGraph();
    graph.RunGraph();
    graph.StopGraph();
    graph.StripGraph();
    graph.SetActive(false);
    // A device switch while the handler still waits.
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &renderer);
    graph.RunGraph();
    graph.StripGraph();
    graph.SetActive(false);
    {
        std::lock_guard lock(mutex);
        EXPECT_FALSE(released);  // everything above finished while the handler waited
        released = true;
    }
    changed.notify_all();
    EXPECT_EQ(calls, 1);
    grabber.Shutdown();
}

// A handler call that lasts (the alarm, a window waiting for the user) leaves
// no old pictures behind: the next frame handled left the grabber after the
// call ended. Frames are told apart by their time stamps.
TEST_F(Graph, FramesDeliveredDuringALongHandlerCallAreNeverHandled)
{
    using Clock = std::chrono::steady_clock;
    struct Arrivals {
        std::mutex mutex;
        std::map<double, Clock::time_point> byStamp;
    } arrivals;
    std::mutex mutex;
    std::vector<double> handled;
    Clock::time_point blockStarted, blockEnded;
    std::uint64_t renderedBefore = 0, renderedAfter = 0;
    grabber.SetOnBuffer([&](TSampleGrabber*, double sampleTime, const std::uint8_t*, int) {
        std::size_t calls = 0;
        {
            std::lock_guard lock(mutex);
            handled.push_back(sampleTime);
            calls = handled.size();
        }
        if (calls != 3) return;
        const auto started = Clock::now();
        const auto rendered = renderer.RenderedFrames();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::lock_guard lock(mutex);
        blockStarted = started;
        renderedBefore = rendered;
        renderedAfter = renderer.RenderedFrames();
        blockEnded = Clock::now();
    });
    StoreTestSource();
    Start();
    // Downstream of the grabber's own probe: a frame is stamped only after the
    // grabber has taken it.
    gst::PadHandle grabberOut{gst_element_get_static_pad(grabber.MemberFilter(), "src")};
    ASSERT_TRUE(grabberOut);
    gst_pad_add_probe(
        grabberOut.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            auto* arrivals = static_cast<Arrivals*>(data);
            const GstClockTime pts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
            std::lock_guard lock(arrivals->mutex);
            arrivals->byStamp[static_cast<double>(pts) / GST_SECOND] = Clock::now();
            return GST_PAD_PROBE_OK;
        },
        &arrivals, nullptr);

    const bool handledAfterTheBlock = WaitUntil([&] {
        std::lock_guard lock(mutex);
        return handled.size() >= 5;
    });
    // Nothing calls back into this test's locals from here on.
    graph.SetActive(false);
    grabber.Shutdown();
    ASSERT_TRUE(handledAfterTheBlock);

    std::lock_guard lock(mutex);
    std::lock_guard arrivalsLock(arrivals.mutex);
    int deliveredDuringTheBlock = 0;
    for (const auto& [stamp, time] : arrivals.byStamp)
        if (time > blockStarted && time < blockEnded) ++deliveredDuringTheBlock;
    EXPECT_GE(deliveredDuringTheBlock, 3) << "the source went on during the call";
    // The frame of the last call may not have reached the stamping probe
    // before the graph stopped; the one before it has.
    for (std::size_t next = 3; next + 1 < handled.size(); ++next) {
        const auto arrival = arrivals.byStamp.find(handled[next]);
        ASSERT_NE(arrival, arrivals.byStamp.end()) << "call " << next;
        EXPECT_TRUE(arrival->second > blockEnded)
            << "call " << next << " handled a frame that left the grabber "
            << std::chrono::duration_cast<std::chrono::milliseconds>(blockEnded - arrival->second).count()
            << " ms before the long call ended";
    }
    EXPECT_GT(renderedAfter, renderedBefore) << "the preview went on meanwhile";
}

TEST_F(Graph, HandlerExceptionsStayOnTheFrameThread)
{
    test::CapturedLog log;
    std::atomic<int> calls{0};
    grabber.SetOnBuffer([&](TSampleGrabber*, double, const std::uint8_t*, int) {
        if (++calls % 2) throw QuiskError("Cannot create file /nowhere/x.bmp");
        throw 42;  // no std::exception
    });
    StoreTestSource();
    Start();
    EXPECT_TRUE(WaitUntil([&] { return calls >= 3; }));
    // Nothing calls back into this test's locals from here on.
    graph.SetActive(false);
    grabber.Shutdown();
    const std::string reported = log.str();
    EXPECT_NE(reported.find("qmd.capture: frame handler: Cannot create file /nowhere/x.bmp"), std::string::npos)
        << reported;
    EXPECT_NE(reported.find("qmd.capture: frame handler: unknown error"), std::string::npos) << reported;
}

TEST_F(Graph, AnErrorOnTheBusIsReportedOnce)
{
    std::vector<QString> reports;
    QObject::connect(&graph, &TFilterGraph::GraphError, [&](const QString& message) { reports.push_back(message); });
    StoreTestSource();
    Start();
    // Two errors from a streaming thread, as an unplugged camera gives.
    std::thread poster([&] {
        for (int i = 0; i < 2; ++i) {
            GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Device is gone");
            gst_element_post_message(filter.DeviceElement(),
                                     gst_message_new_error(GST_OBJECT(filter.DeviceElement()), error, "test"));
            gst::ErrorHandle owned{error};
        }
    });
    poster.join();
    gst::BusHandle bus{gst_element_get_bus(graph.Pipeline())};
    ASSERT_TRUE(WaitUntil([&] { return !reports.empty() && !gst_bus_have_pending(bus.get()); }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front(), "Device is gone ($8007001F).");
}

// The time stamps of the buffers that pass a pad, in order.
struct PassingBuffers {
    std::mutex mutex;
    std::vector<GstClockTime> stamps;

    gulong Follow(GstPad* pad)
    {
        return gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer self) {
                auto* passing = static_cast<PassingBuffers*>(self);
                std::lock_guard lock(passing->mutex);
                passing->stamps.push_back(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
                return GST_PAD_PROBE_OK;
            },
            this, nullptr);
    }
    std::vector<GstClockTime> Stamps()
    {
        std::lock_guard lock(mutex);
        return stamps;
    }
};

TEST_F(Graph, ConsumerAttachedAndDetachedWhileFramesFlowTakesNoFrameFromTheGrabber)
{
    StoreTestSource();
    Start();
    gst::ElementHandle tee{gst_bin_get_by_name(GST_BIN(graph.Pipeline()), kBranchPointName)};
    ASSERT_TRUE(tee);
    gst::PadHandle fromSource{gst_element_get_static_pad(tee.get(), "sink")};
    gst::PadHandle toGrabber{gst_element_get_static_pad(grabber.MemberFilter(), "sink")};
    PassingBuffers given, grabbed;
    const gulong givenProbe = given.Follow(fromSource.get());
    const gulong grabbedProbe = grabbed.Follow(toGrabber.get());
    ASSERT_TRUE(WaitUntil([&] { return grabbed.Stamps().size() >= 2; }));

    auto consumed = std::make_shared<std::atomic<int>>(0);
    for (int round = 0; round < 50; ++round) {
        gst::ElementHandle consumer = gst::MakeElement("fakesink");
        g_object_set(consumer.get(), "sync", FALSE, nullptr);
        gst::PadHandle sink{gst_element_get_static_pad(consumer.get(), "sink")};
        gst_pad_add_probe(
            sink.get(), GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer count) {
                ++**static_cast<std::shared_ptr<std::atomic<int>>*>(count);
                return GST_PAD_PROBE_OK;
            },
            new std::shared_ptr<std::atomic<int>>(consumed),
            [](gpointer held) { delete static_cast<std::shared_ptr<std::atomic<int>>*>(held); });
        const int id = graph.AttachConsumer(std::move(consumer));
        ASSERT_NE(id, 0) << "round " << round;
        const int before = *consumed;
        ASSERT_TRUE(WaitUntil([&] { return *consumed > before; })) << "round " << round;
        graph.DetachConsumer(id);
    }
    EXPECT_EQ(graph.ConsumerCount(), 0u);
    // Every consumer leaves the pipeline; the grabber's frames flow on.
    const std::size_t grabbedBefore = grabbed.Stamps().size();
    EXPECT_TRUE(WaitUntil([&] { return !HasElementFrom(graph.Pipeline(), "fakesink"); }));
    EXPECT_TRUE(WaitUntil([&] { return grabbed.Stamps().size() >= grabbedBefore + 2; }));

    graph.StopGraph();
    gst_pad_remove_probe(fromSource.get(), givenProbe);
    gst_pad_remove_probe(toGrabber.get(), grabbedProbe);
    // The grabber saw every buffer the source gave, in order; at most the
    // one in passing when the graph stopped is missing.
    const std::vector<GstClockTime> sourceStamps = given.Stamps();
    const std::vector<GstClockTime> grabberStamps = grabbed.Stamps();
    ASSERT_LE(grabberStamps.size(), sourceStamps.size());
    EXPECT_LE(sourceStamps.size() - grabberStamps.size(), 1u);
    EXPECT_TRUE(std::equal(grabberStamps.begin(), grabberStamps.end(), sourceStamps.begin()));
}

TEST_F(Graph, TestSourceShowsMotionAtTheDefaultSensitivity)
{
    std::mutex mutex;
    std::vector<FrameImage> frames;
    grabber.SetOnBuffer([&](TSampleGrabber* sender, double, const std::uint8_t* buffer, int length) {
        std::lock_guard lock(mutex);
        if (frames.size() >= 12) return;
        frames.emplace_back();
        sender->FrameToBitmap(&frames.back(), buffer, length);
    });
    StoreTestSource();
    Start();
    const bool enough = WaitUntil([&] {
        std::lock_guard lock(mutex);
        return frames.size() >= 12;
    });
    // Nothing calls back into this test's locals from here on.
    graph.SetActive(false);
    grabber.Shutdown();
    ASSERT_TRUE(enough);
    std::lock_guard lock(mutex);
    const FrameImage& a = frames[1];
    const FrameImage& b = frames[11];
    ASSERT_EQ(a.Width(), 640);
    // The detection rule: one pixel whose blue, green and red each differ by
    // more than the threshold (105 at sensitivity 150).
    const int threshold = 105;
    bool found = false;
    for (int y = 0; y < a.Height() && !found; ++y)
        for (int x = 0; x < (a.Width() - 1) * 3 && !found; x += 3) {
            const auto* p = a.Row(y) + x;
            const auto* q = b.Row(y) + x;
            found = std::abs(p[0] - q[0]) > threshold && std::abs(p[1] - q[1]) > threshold &&
                    std::abs(p[2] - q[2]) > threshold;
        }
    EXPECT_TRUE(found);
    // The background is still: the corner does not change.
    EXPECT_EQ(0, std::memcmp(a.Row(0), b.Row(0), 30));
}

TEST(SourceList, WithNothingElseTheTestSourceIsListed)
{
    ScopedEnv noExtras("QUISK_EXTRA_SOURCES", "");
    if (!EnumerateSystemDevices().empty()) GTEST_SKIP() << "this machine has a camera";
    TSysDevEnum devices;
    ASSERT_EQ(devices.DeviceCount(), 1);
    EXPECT_EQ(devices.DeviceEntryAt(0).FriendlyName, "Kamera testowa");
    EXPECT_EQ(devices.DeviceEntryAt(1).FriendlyName, "");
    const auto moniker = devices.DeviceMoniker(0);
    ASSERT_TRUE(moniker);
    EXPECT_EQ(moniker->Fields()->Kind, SourceKind::TestSource);
    EXPECT_FALSE(devices.DeviceMoniker(1));
    EXPECT_FALSE(devices.DeviceMoniker(-1));
}

}  // namespace
}  // namespace qmd::test
