// Clips named in QUISK_EXTRA_SOURCES: every frame reaches the handler, in
// order and (for uncompressed frames) with exactly the clip's pixels; a
// stream that cannot be read is reported once. rtsp:// H.264 and H.265
// cameras named there play through Debian's plugins.
#include <QObject>

#include <algorithm>
#include <cstdlib>

#include <mutex>

#include "capture/capture_test_support.h"
#include "capture/elements/libav_video_decoder.h"
#include "capture/elements/mjpeg_http_source.h"
#include "capture/elements/turbo_jpeg_decoder.h"
#include "capture/elements/yuv_to_bgr.h"
#include "capture/graph/check_graph_result.h"
#include "capture/graph/stream_branch.h"
#include "capture/graph_fixture.h"
#include "capture/sources/video_decoder.h"
#include "support/temp_dir.h"

namespace qmd::test {
namespace {

class ExtraSources : public GraphFixture {
protected:
    // Chooses the only extra source the way the device menu does.
    void ChooseClip(const std::string& location)
    {
        ScopedEnv extras("QUISK_EXTRA_SOURCES", location);
        TSysDevEnum devices;
        ASSERT_GE(devices.DeviceCount(), 1);
        const int position = devices.DeviceCount() - 1;
        const auto moniker = devices.DeviceMoniker(position);
        ASSERT_TRUE(moniker);
        ASSERT_EQ(moniker->Fields()->Kind, SourceKind::ExtraSource);
        filter.BaseFilter().StoreMoniker(&*moniker);
    }
    // Runs the clip until at least `frames` frames reached the handler.
    void PlayClip(const std::string& location, std::size_t frames)
    {
        grabber.SetOnBuffer(received.Handler());
        ASSERT_NO_FATAL_FAILURE(ChooseClip(location));
        Start();
        ASSERT_TRUE(WaitUntil([&] { return received.Count() >= frames; }));
    }
    // An rtsp:// camera: the branch point sees the camera's own access units,
    // the chosen decoder (the software one where the machine has no VA-API
    // decoder) and our converter make them BGR frames.
    // Plays the camera as BGR frames and gives what its source bin hands the
    // branch point.
    void PlayRtspCamera(const char* camera, gst::CapsHandle& atBranchPoint)
    {
        ASSERT_NO_FATAL_FAILURE(PlayClip(camera, 5));
        {
            std::lock_guard lock(received.mutex);
            for (const auto& frame : received.frames) EXPECT_EQ(frame.Type, GrabberMediaType::TopDownBgr(160, 120));
        }
        gst::ElementHandle tee{gst_bin_get_by_name(GST_BIN(graph.Pipeline()), kBranchPointName)};
        ASSERT_TRUE(tee);
        gst::PadHandle teeSink{gst_element_get_static_pad(tee.get(), "sink")};
        atBranchPoint.reset(gst_pad_get_current_caps(teeSink.get()));
        ASSERT_TRUE(atBranchPoint);
    }

    void ExpectRtspCameraPlays(const char* camera, const char* accessUnits, const char* software)
    {
        int reports = 0;
        QObject::connect(&graph, &TFilterGraph::GraphError, [&](const QString& message) {
            ++reports;
            ADD_FAILURE() << message.toStdString();
        });
        gst::CapsHandle compressed;
        ASSERT_NO_FATAL_FAILURE(PlayRtspCamera(camera, compressed));
        gst::CapsHandle expected{gst_caps_from_string(accessUnits)};
        EXPECT_TRUE(gst_caps_is_subset(compressed.get(), expected.get()))
            << gst::CharsHandle{gst_caps_to_string(compressed.get())}.get();

        const std::vector<std::string> decoders = VideoDecodersFor(compressed.get());
        ASSERT_FALSE(decoders.empty());
        EXPECT_EQ(decoders.back(), software) << "the fallback is always there";
        EXPECT_TRUE(std::any_of(decoders.begin(), decoders.end(), [this](const std::string& decoder) {
            return HasElementFrom(graph.Pipeline(), decoder.c_str());
        }));
        if (decoders.size() == 1) {
            EXPECT_TRUE(HasElementFrom(graph.Pipeline(), software)) << "no VA-API here";
        }
        EXPECT_TRUE(HasElementFrom(graph.Pipeline(), kYuvToBgrName));
        graph.StripGraph();
        graph.SetActive(false);
        EXPECT_EQ(reports, 0);
    }
    TempDir dir;
    ReceivedFrames received;
};

TEST_F(ExtraSources, UncompressedClipArrivesFrameByFrameWithItsPixels)
{
    // 66 pixels: 198 bytes of pixels in rows padded to 200.
    const int width = 66, height = 20, count = 8;
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < count; ++i) frames.push_back(PatternFrame(width, height, i));
    const std::string path = dir.File("raw clip.avi");
    WriteClip(path, width, height, 25, frames, "avimux");

    ASSERT_NO_FATAL_FAILURE(PlayClip(path, count));
    std::lock_guard lock(received.mutex);
    ASSERT_EQ(received.frames.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(received.frames[i].Pixels, frames[i]) << "frame " << i;
        EXPECT_EQ(received.frames[i].Type, GrabberMediaType::TopDownBgr(width, height));
    }
}

TEST_F(ExtraSources, MjpegClipArrivesAsBgrFrames)
{
    const int width = 320, height = 240, count = 6;
    std::vector<std::vector<std::uint8_t>> frames = UniformFrames(count, width, height, 0);
    for (int i = 0; i < count; ++i)
        for (std::size_t p = 0; p < frames[i].size(); p += 3)
            frames[i][p + 2] = static_cast<std::uint8_t>(40 * i);  // red
    const std::string path = dir.File("mjpeg.avi");
    WriteClip(path, width, height, 25, frames, "jpegenc quality=95 ! avimux");

    ASSERT_NO_FATAL_FAILURE(PlayClip("file://" + path, count));
    std::lock_guard lock(received.mutex);
    ASSERT_EQ(received.frames.size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(HasElementFrom(graph.Pipeline(), kTurboJpegDecoderName)) << "decoded straight to BGR";
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(received.frames[i].Pixels.size(), static_cast<std::size_t>(width * height * 3));
        const std::uint8_t* middle = received.frames[i].Pixels.data() + (height / 2 * width + width / 2) * 3;
        EXPECT_NEAR(middle[2], 40 * i, 6) << i;
        EXPECT_NEAR(middle[0], 0, 6) << i;
    }
}

TEST_F(ExtraSources, ClipInAnotherCodecIsDecodedToBgr)
{
    const int width = 96, height = 64, count = 5;
    const auto frames = UniformFrames(count, width, height, 90);
    const std::string path = dir.File("theora.ogg");
    WriteClip(path, width, height, 25, frames, "theoraenc ! oggmux");

    ASSERT_NO_FATAL_FAILURE(PlayClip(path, count));
    std::lock_guard lock(received.mutex);
    EXPECT_EQ(received.frames.size(), static_cast<std::size_t>(count));
    for (const auto& frame : received.frames) {
        EXPECT_EQ(frame.Type, GrabberMediaType::TopDownBgr(width, height));
        EXPECT_NEAR(frame.Pixels[(height / 2 * width + width / 2) * 3], 90, 8);
    }
}

// The video stream is taken; a sound track beside it neither stops the clip
// nor reaches the grabber.
TEST_F(ExtraSources, ClipWithASoundTrackStillPlays)
{
    const std::string path = dir.File("with sound.avi");
    const auto frames = UniformFrames(10, 80, 60, 120);
    WriteClip(path, 80, 60, 25, frames,
              "jpegenc ! mux. audiotestsrc num-buffers=10 samplesperbuffer=320 ! "
              "audio/x-raw,format=S16LE,rate=8000,channels=1 ! mux. avimux name=mux");
    int reports = 0;
    QObject::connect(&graph, &TFilterGraph::GraphError, [&](const QString&) { ++reports; });
    ASSERT_NO_FATAL_FAILURE(PlayClip(path, 10));
    std::lock_guard lock(received.mutex);
    EXPECT_EQ(received.frames.size(), 10u);
    EXPECT_EQ(received.frames.back().Type, GrabberMediaType::TopDownBgr(80, 60));
    EXPECT_EQ(reports, 0);
}

// Stopping and running again plays the clip again from its start, through
// the decoder the source made the first time.
TEST_F(ExtraSources, ClipPlaysAgainAfterStop)
{
    const int width = 64, height = 48, count = 4;
    const auto frames = UniformFrames(count, width, height, 200);
    const std::string path = dir.File("again.avi");
    WriteClip(path, width, height, 25, frames, "jpegenc ! avimux");

    ASSERT_NO_FATAL_FAILURE(PlayClip(path, count));
    ASSERT_TRUE(graph.StopGraph());
    graph.RunGraph();
    ASSERT_TRUE(WaitUntil([&] { return received.Count() >= static_cast<std::size_t>(2 * count); }));
    EXPECT_TRUE(HasElementFrom(graph.Pipeline(), kTurboJpegDecoderName));
}

TEST_F(ExtraSources, UnreadableStreamIsReportedOnce)
{
    const std::string path = dir.File("broken.avi");
    WriteFileBytes(path, std::string(4096, '\x17'));
    int reports = 0;
    QObject::connect(&graph, &TFilterGraph::GraphError, [&](const QString&) { ++reports; });
    ChooseClip(path);
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &renderer);
    try {
        graph.RunGraph();
    } catch (const EDirectShowException&) {
        ++reports;
    }
    gst::BusHandle bus{gst_element_get_bus(graph.Pipeline())};
    ASSERT_TRUE(WaitUntil([&] { return reports > 0 && !gst_bus_have_pending(bus.get()); }));
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(graph.Active());  // the program goes on with the graph as it was
}

TEST_F(ExtraSources, MissingFileFailsToRunWithTheReason)
{
    ChooseClip(dir.File("nie ma.avi"));
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &renderer);
    try {
        graph.RunGraph();
        FAIL();
    } catch (const EDirectShowException& error) {
        EXPECT_EQ(error.Code(), kResultDeviceError);
        EXPECT_TRUE(std::string(error.what()).ends_with(" ($8007001F).")) << error.what();
    }
}

TEST_F(ExtraSources, RtspH264CameraPlaysAsBgrFrames)
{
    // Served by tests/support/with_rtsp_camera.sh.
    const char* camera = std::getenv("QMD_RTSP_CAMERA");
    if (!camera) GTEST_SKIP() << "built without gst-rtsp-server";
    ExpectRtspCameraPlays(camera, "video/x-h264, stream-format=byte-stream, alignment=au", kLibavDecoderName);
}

TEST_F(ExtraSources, RtspH265CameraPlaysAsBgrFrames)
{
    const char* camera = std::getenv("QMD_RTSP_H265_CAMERA");
    if (!camera) GTEST_SKIP() << "built without gst-rtsp-server";
    ExpectRtspCameraPlays(camera, "video/x-h265, stream-format=byte-stream, alignment=au", kLibavDecoderName);
}

// Older cameras send MPEG-4 part 2.
TEST_F(ExtraSources, RtspMpeg4CameraPlaysAsBgrFrames)
{
    const char* camera = std::getenv("QMD_RTSP_MPEG4_CAMERA");
    if (!camera) GTEST_SKIP() << "built without gst-rtsp-server";
    ExpectRtspCameraPlays(camera, "video/mpeg, mpegversion=4, systemstream=false", kLibavDecoderName);
}

// A camera sending JPEG over RTSP: its images reach the branch point as they
// came and our decoder makes them BGR frames.
TEST_F(ExtraSources, RtspJpegCameraPlaysAsBgrFrames)
{
    const char* camera = std::getenv("QMD_RTSP_JPEG_CAMERA");
    if (!camera) GTEST_SKIP() << "built without gst-rtsp-server";
    gst::CapsHandle images;
    ASSERT_NO_FATAL_FAILURE(PlayRtspCamera(camera, images));
    EXPECT_TRUE(gst_structure_has_name(gst_caps_get_structure(images.get(), 0), "image/jpeg"));
    EXPECT_TRUE(HasElementFrom(graph.Pipeline(), kTurboJpegDecoderName));
    graph.StripGraph();
    graph.SetActive(false);
}

// Opening a camera, the program resets the detection's memory at once,
// pausing the graph and running it again, before an rtsp:// camera has sent
// its first picture; the decoder still waiting for it must not hold the
// graph paused.
TEST_F(ExtraSources, RtspCameraPausedBeforeItsFirstPictureRunsAgain)
{
    const char* camera = std::getenv("QMD_RTSP_CAMERA");
    if (!camera) GTEST_SKIP() << "built without gst-rtsp-server";
    grabber.SetOnBuffer(received.Handler());
    ASSERT_NO_FATAL_FAILURE(ChooseClip(camera));
    Start();
    graph.PauseGraph();
    graph.RunGraph();
    EXPECT_TRUE(WaitUntil([&] { return received.Count() >= 3; }));
    graph.StripGraph();
    graph.SetActive(false);
}

TEST_F(ExtraSources, RtspCameraRefusingThePasswordIsSaidSoInOurWords)
{
    // Served by tests/support/with_rtsp_camera.sh, behind admin/secret.
    const char* locked = std::getenv("QMD_RTSP_LOCKED_CAMERA");
    if (!locked) GTEST_SKIP() << "built without gst-rtsp-server";
    std::string address = locked;
    address.insert(address.find("//") + 2, "admin:wrong@");
    // The password stays in the list the user gave, where opening finds it.
    ScopedEnv extras("QUISK_EXTRA_SOURCES", address);
    std::string lastError;
    QObject::connect(&graph, &TFilterGraph::GraphError,
                     [&](const QString& message) { lastError = message.toStdString(); });
    ASSERT_NO_FATAL_FAILURE(ChooseClip(address));
    try {
        Start();
    } catch (const EDirectShowException& error) {
        lastError = error.what();
    }
    ASSERT_TRUE(WaitUntil([&] { return !lastError.empty(); }));
    EXPECT_NE(lastError.find(kRefusedCredentialsMessage), std::string::npos) << lastError;
    graph.StripGraph();
    graph.SetActive(false);
}

}  // namespace
}  // namespace qmd::test
