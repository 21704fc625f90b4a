// An MJPEG-over-HTTP camera named in QUISK_EXTRA_SOURCES, played by a
// loopback server: its frames reach the handler as BGR through our JPEG
// decoder (without GStreamer criticals), stamped as they arrive; a wrong path
// is reported once with the server's reason; the first frame shows without
// waiting for seconds of stream; an image that cannot be decoded is skipped
// and the stream goes on; a camera that goes away is reported once, and one
// that hangs is lost once its silence outlasts the bound; nothing hangs on
// the way down, even while frames stream or after the camera went. Pictures
// larger than a camera sends, and CMYK ones, are skipped before anything is
// allocated for them, by the http:// reader and by our decoder alone.
#include <QElapsedTimer>
#include <QObject>
#include <QSize>

#include <glib.h>
#include <gst/video/video.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "capture/capture_test_support.h"
#include "capture/watch/camera_watch.h"
#include "capture/graph/check_graph_result.h"
#include "capture/sources/extra_sources.h"
#include "capture/elements/register_elements.h"
#include "capture/elements/turbo_jpeg_decoder.h"
#include "capture/graph_fixture.h"
#include "common/frame_image.h"
#include "support/mjpeg_http_server.h"

namespace qmd::test {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct Bgr {
    std::uint8_t Blue, Green, Red;
};

std::vector<std::uint8_t> SolidJpeg(Bgr colour, int width = kWidth, int height = kHeight)
{
    const int stride = FrameImage::StrideFor(width);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = pixels.data() + static_cast<std::size_t>(y) * stride + x * 3;
            pixel[0] = colour.Blue;
            pixel[1] = colour.Green;
            pixel[2] = colour.Red;
        }
    return EncodeBgrJpeg(pixels.data(), width, height, stride, 90);
}

// Counts GStreamer's critical warnings (failed checks on its objects) while it lives.
class GStreamerCriticals {
public:
    GStreamerCriticals()
        : handler_(g_log_set_handler("GStreamer", GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_FLAG_FATAL),
                                     &GStreamerCriticals::Count, &count_))
    {
    }
    ~GStreamerCriticals() { g_log_remove_handler("GStreamer", handler_); }
    GStreamerCriticals(const GStreamerCriticals&) = delete;
    GStreamerCriticals& operator=(const GStreamerCriticals&) = delete;
    int Seen() const { return count_.load(); }

private:
    static void Count(const gchar*, GLogLevelFlags, const gchar* message, gpointer count)
    {
        if (static_cast<std::atomic<int>*>(count)->fetch_add(1) == 0) std::fprintf(stderr, "%s\n", message);
    }
    std::atomic<int> count_{0};
    guint handler_;
};

class HttpCamera : public GraphFixture {
protected:
    void SetUp() override
    {
        GraphFixture::SetUp();
        grabber.SetOnBuffer(received.Handler());
        QObject::connect(&graph, &TFilterGraph::GraphError, [this](const QString& message) {
            ++errorReports;
            lastError = message.toStdString();
        });
    }

    // Chooses the camera the way the device menu does; returns its caption.
    // The list stays set while the camera runs: its password is taken from
    // there, never from the device's identity.
    std::string ChooseCamera(const std::string& uri)
    {
        extras_.reset();
        extras_ = std::make_unique<ScopedEnv>(kExtraSourcesVariable, uri);
        TSysDevEnum devices;
        EXPECT_GE(devices.DeviceCount(), 1);
        const int position = devices.DeviceCount() - 1;
        const auto moniker = devices.DeviceMoniker(position);
        EXPECT_TRUE(moniker);
        if (!moniker) return {};
        EXPECT_EQ(moniker->Fields()->Kind, SourceKind::ExtraSource);
        filter.BaseFilter().StoreMoniker(&*moniker);
        return devices.DeviceEntryAt(position).FriendlyName;
    }

    // Starts the graph; a failure to run counts as a report, as the device
    // switch shows it.
    void StartCounting()
    {
        try {
            Start();
        } catch (const EDirectShowException& error) {
            ++errorReports;
            lastError = error.what();
        }
    }

    bool WaitForFrames(std::size_t count)
    {
        return WaitUntil([&] { return received.Count() >= count; });
    }

    // Every message the pipeline has posted so far has been handled.
    bool BusDrained()
    {
        gst::BusHandle bus{gst_element_get_bus(graph.Pipeline())};
        return !gst_bus_have_pending(bus.get());
    }

    ReceivedFrames received;
    int errorReports = 0;
    std::string lastError;
    std::unique_ptr<ScopedEnv> extras_;
};

TEST_F(HttpCamera, FramesArriveAsBgrOfTheServedSizeAndColourUnderTheUriCaption)
{
    const Bgr colour{30, 90, 200};
    MjpegHttpServer camera({SolidJpeg(colour)}, {.FramesPerSecond = 30});
    EXPECT_EQ(ChooseCamera(camera.Url()), camera.Url());
    Start();
    ASSERT_TRUE(WaitForFrames(5));
    EXPECT_TRUE(HasElementFrom(graph.Pipeline(), kTurboJpegDecoderName)) << "decoded straight to BGR";

    std::lock_guard lock(received.mutex);
    for (const auto& frame : received.frames) {
        EXPECT_EQ(frame.Type, GrabberMediaType::TopDownBgr(kWidth, kHeight));
        ASSERT_EQ(frame.Pixels.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
        for (const auto& [x, y] : {std::pair{0, 0}, {kWidth / 2, kHeight / 2}, {kWidth - 1, kHeight - 1}}) {
            const std::uint8_t* pixel = frame.Pixels.data() + (y * kWidth + x) * 3;
            EXPECT_NEAR(pixel[0], colour.Blue, 8) << x << "," << y;
            EXPECT_NEAR(pixel[1], colour.Green, 8) << x << "," << y;
            EXPECT_NEAR(pixel[2], colour.Red, 8) << x << "," << y;
        }
    }
    EXPECT_EQ(errorReports, 0) << lastError;
}

TEST_F(HttpCamera, FramesAreStampedAsTheyArrive)
{
    // 20 frames/s: the camera needs at least 0.95 s for frames 2 to 21.
    MjpegHttpServer camera({SolidJpeg({0, 255, 0}), SolidJpeg({255, 0, 0})}, {.FramesPerSecond = 20});
    ChooseCamera(camera.Url());
    Start();
    ASSERT_TRUE(WaitForFrames(22));
    // Each image carries the time it arrived, even when several came in one read.
    std::vector<double> stamps;
    {
        std::lock_guard lock(received.mutex);
        for (std::size_t i = 2; i < 22; ++i) stamps.push_back(received.frames[i].SampleTime);
    }
    for (std::size_t i = 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]) << i;
    // Generous for a loaded machine; frames read in one burst would lie far
    // closer together.
    EXPECT_GT(stamps.back() - stamps.front(), 0.45);
}

TEST_F(HttpCamera, CameraSlowToSendItsFirstFrameStartsAndPlaysWhenFramesCome)
{
    MjpegHttpServer camera({SolidJpeg({0, 0, 255})}, {.FramesPerSecond = 30, .SendingFrames = false});
    ChooseCamera(camera.Url());
    // A live source: runs without a failure and without a frame to preroll.
    Start();
    EXPECT_EQ(camera.FramesSent(), 0u);
    EXPECT_EQ(received.Count(), 0u);
    // Paused and run again before its first frame (a memory reset, a return
    // from the tray): the GUI thread does not wait for one. The bound only
    // tells a wait for the frame (5 s) from none.
    QElapsedTimer waited;
    waited.start();
    graph.PauseGraph();
    EXPECT_TRUE(graph.RunGraph());
    EXPECT_LT(waited.elapsed(), 2500);

    ASSERT_TRUE(WaitUntil([&] { return camera.StreamingClients() == 1; }));
    camera.SetSendingFrames(true);
    ASSERT_TRUE(WaitForFrames(3));
    EXPECT_EQ(errorReports, 0) << lastError;
}

TEST_F(HttpCamera, FirstFrameShowsWithoutWaitingForSecondsOfStream)
{
    // Small frames, as a real camera's are, and only 2 s of them: a stream
    // held back until decodebin has 2 MB or 10 s of it would never show.
    MjpegHttpServer camera({SolidJpeg({0, 128, 255})},
                           {.FramesPerSecond = 10, .FrameLimit = 20, .CloseAtFrameLimit = false});
    ChooseCamera(camera.Url());
    Start();
    ASSERT_TRUE(WaitForFrames(1));
    EXPECT_EQ(errorReports, 0) << lastError;
}

// The connection stays open and nothing more comes: no error says so, only
// the silence, which the watch hears from the grabber's arrival times.
TEST_F(HttpCamera, CameraThatHangsIsLostOnceItsSilenceOutlastsTheBound)
{
    MjpegHttpServer camera({SolidJpeg({90, 90, 90})},
                           {.FramesPerSecond = 30, .FrameLimit = 15, .CloseAtFrameLimit = false});
    ChooseCamera(camera.Url());
    CameraWatch watch({.LastArrivalNs = [this] { return grabber.LastArrivalNs(); },
                       .ArrivalIntervalNs = [this] { return grabber.ArrivalIntervalNs(); },
                       .MeantToRun = [this] { return graph.MeantToRun(); }});
    int losses = 0;
    std::int64_t lostAtNs = 0;
    QObject::connect(&watch, &CameraWatch::Lost, [&] {
        ++losses;
        lostAtNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
    });
    Start();
    watch.Watch(Comeback::Retry);
    ASSERT_TRUE(WaitForFrames(15));
    ASSERT_TRUE(WaitUntil([&] { return losses > 0; }));
    EXPECT_EQ(losses, 1);
    EXPECT_GE(lostAtNs - grabber.LastArrivalNs(), CameraWatch::kSilenceNs);
    EXPECT_EQ(errorReports, 0) << lastError;
    graph.StripGraph();
    graph.SetActive(false);
}

TEST_F(HttpCamera, WrongPathIsReportedOnceWithTheServersReason)
{
    // The failure to run can be seen before its reason reaches the bus;
    // repeated, so that a reason lost in that race shows.
    MjpegHttpServer camera({SolidJpeg({40, 40, 40})});
    ChooseCamera(camera.UrlOf("/nie-ma"));
    const int attempts = 20;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        errorReports = 0;
        StartCounting();
        ASSERT_TRUE(WaitUntil([&] { return errorReports > 0 && BusDrained(); }));
        EXPECT_EQ(errorReports, 1) << attempt << ": " << lastError;
        ASSERT_TRUE(lastError.ends_with("Not Found ($8007001F).")) << attempt << ": " << lastError;
        EXPECT_TRUE(graph.Active());
    }
    EXPECT_EQ(camera.NotFoundRequests(), static_cast<std::size_t>(attempts));
    EXPECT_EQ(received.Count(), 0u);
}

TEST_F(HttpCamera, SwitchingAwayWhileFramesStreamDoesNotHangAndClosesTheConnection)
{
    MjpegHttpServer camera({SolidJpeg({0, 0, 255}), SolidJpeg({255, 255, 255})}, {.FramesPerSecond = 60});
    ChooseCamera(camera.Url());
    for (int round = 0; round < 3; ++round) {
        const std::size_t before = received.Count();
        Start();
        ASSERT_TRUE(WaitForFrames(before + 3)) << round;
        graph.StripGraph();
        graph.SetActive(false);
        EXPECT_TRUE(WaitUntil([&] { return camera.StreamingClients() == 0; })) << "connection left open";
    }
    EXPECT_EQ(camera.StreamRequests(), 3u);
    Start();
    ASSERT_TRUE(WaitForFrames(received.Count() + 3));
    graph.SetActive(false);  // straight down, mid-stream
    EXPECT_EQ(errorReports, 0) << lastError;
}

TEST_F(HttpCamera, CameraThatGoesAwayIsReportedOnceAndReconnectsWhenChosenAgain)
{
    MjpegHttpServer camera({SolidJpeg({40, 40, 40})}, {.FramesPerSecond = 30, .FrameLimit = 12});
    ChooseCamera(camera.Url());
    Start();
    ASSERT_TRUE(WaitForFrames(3));
    ASSERT_TRUE(WaitUntil([&] { return errorReports > 0 && BusDrained(); }));
    EXPECT_EQ(errorReports, 1) << lastError;
    EXPECT_TRUE(graph.Active());  // the program goes on with the graph as it was

    const std::size_t before = received.Count();
    Start();
    ASSERT_TRUE(WaitForFrames(before + 3));
    EXPECT_EQ(camera.StreamRequests(), 2u);
    graph.StripGraph();
    graph.SetActive(false);
}

TEST_F(HttpCamera, CameraAskingForDigestOrBasicStreamsWithTheRightPasswordAndReportsAWrongOneOnce)
{
    const std::string password = "p@ss:w%rd";
    const std::string inAddress = "p%40ss%3Aw%25rd";
    const auto address = [&](const MjpegHttpServer& camera, const std::string& secret) {
        return "http://admin:" + secret + "@127.0.0.1:" + std::to_string(camera.Port()) + "/video";
    };
    {
        // Answered once with the first nonce, which goes stale, and again with the new one.
        MjpegHttpServer camera({SolidJpeg({60, 60, 60})}, {.FramesPerSecond = 30,
                                                           .AuthScheme = "Digest",
                                                           .User = "admin",
                                                           .Password = password,
                                                           .DigestAlgorithm = "SHA-256",
                                                           .StaleFirstAnswer = true});
        // The device menu shows the address without the password.
        EXPECT_EQ(ChooseCamera(address(camera, inAddress)),
                  "http://admin@127.0.0.1:" + std::to_string(camera.Port()) + "/video");
        // Nor does the identity the program keeps and hands around hold it.
        const auto& identity = filter.BaseFilter().Bytes();
        EXPECT_EQ(std::search(identity.begin(), identity.end(), inAddress.begin(), inAddress.end()), identity.end());
        Start();
        ASSERT_TRUE(WaitForFrames(3)) << lastError;
        EXPECT_EQ(camera.Challenges(), 2u);
        graph.StripGraph();
        graph.SetActive(false);
    }
    {
        MjpegHttpServer camera({SolidJpeg({60, 60, 60})},
                               {.FramesPerSecond = 30, .AuthScheme = "Basic", .User = "admin", .Password = password});
        ChooseCamera(address(camera, inAddress));
        const std::size_t before = received.Count();
        Start();
        ASSERT_TRUE(WaitForFrames(before + 3)) << lastError;
        graph.StripGraph();
        graph.SetActive(false);
    }
    EXPECT_EQ(errorReports, 0) << lastError;

    MjpegHttpServer camera({SolidJpeg({60, 60, 60})},
                           {.FramesPerSecond = 30, .AuthScheme = "Digest", .User = "admin", .Password = password});
    ChooseCamera(address(camera, "p%40ss"));
    const std::size_t before = received.Count();
    StartCounting();
    ASSERT_TRUE(WaitUntil([&] { return errorReports > 0 && BusDrained(); }));
    EXPECT_EQ(errorReports, 1) << lastError;
    EXPECT_NE(lastError.find("refused the user name or password"), std::string::npos) << lastError;
    // The plain request and one answer; nothing sent on and on.
    EXPECT_EQ(camera.Challenges(), 2u);
    EXPECT_EQ(camera.StreamRequests(), 0u);
    EXPECT_EQ(received.Count(), before);

    // Asked again every 10 s, the camera would keep the account locked:
    // after a refusal the next attempt is minutes away, and standard error
    // says why; a camera merely away is asked again within a second.
    CameraWatch watch({.LastArrivalNs = [] { return std::int64_t{0}; },
                       .ArrivalIntervalNs = [] { return std::int64_t{0}; },
                       .MeantToRun = [] { return true; }});
    ::testing::internal::CaptureStderr();
    watch.Watch(Comeback::Retry);
    ASSERT_TRUE(watch.OnGraphError(QString::fromStdString(lastError)));
    EXPECT_GE(watch.NextAttemptInMs(), 4 * 60'000);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("asked again only every 5 min"), std::string::npos) << diagnostics;
    watch.Watch(Comeback::Retry);
    ASSERT_TRUE(watch.OnGraphError(QStringLiteral("Could not connect: Connection refused")));
    EXPECT_LE(watch.NextAttemptInMs(), CameraWatch::kLongestRetryMs);
    watch.Forget();
}

TEST_F(HttpCamera, DecodesWithoutGStreamerCriticals)
{
    GStreamerCriticals criticals;
    MjpegHttpServer camera({SolidJpeg({10, 20, 30})}, {.FramesPerSecond = 30});
    ChooseCamera(camera.Url());
    Start();
    ASSERT_TRUE(WaitForFrames(5));
    graph.SetActive(false);
    EXPECT_EQ(criticals.Seen(), 0);
}

// A textured picture, as a camera's are (a flat one has hardly any
// entropy-coded data to damage).
std::vector<std::uint8_t> FootageJpeg()
{
    const int stride = FrameImage::StrideFor(kWidth);
    std::vector<std::uint8_t> pixels = PatternFrame(kWidth, kHeight, 3);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth * 3; ++x) {
            noise = noise * 1103515245u + 12345u;
            pixels[static_cast<std::size_t>(y) * stride + x] ^= static_cast<std::uint8_t>((noise >> 16) & 0x1F);
        }
    return EncodeBgrJpeg(pixels.data(), kWidth, kHeight, stride, 85);
}

std::size_t MarkerAt(const std::vector<std::uint8_t>& jpeg, std::uint8_t marker)
{
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
    throw std::runtime_error("marker not found");
}

enum class Damage { HuffmanTable, EntropyData, CutShort };

std::vector<std::uint8_t> Damaged(std::vector<std::uint8_t> jpeg, Damage damage)
{
    switch (damage) {
    case Damage::HuffmanTable: {
        // Code counts that add up to more codes than a table may hold.
        const std::size_t table = MarkerAt(jpeg, 0xC4);
        for (std::size_t i = table + 5; i < table + 21; ++i) jpeg[i] = 0xFF;
        break;
    }
    case Damage::EntropyData: {
        // A run of one bits in the middle of the scan: no Huffman code is all ones.
        const std::size_t scan = MarkerAt(jpeg, 0xDA);
        const std::size_t middle = scan + (jpeg.size() - scan) / 2;
        for (std::size_t i = middle; i < middle + 128; i += 2) {
            jpeg[i] = 0xFF;
            jpeg[i + 1] = 0x00;
        }
        break;
    }
    case Damage::CutShort: jpeg.resize(jpeg.size() / 2); break;
    }
    return jpeg;
}

// A still scene in which every 20th image cannot be decoded: the frames go on
// after each damaged one, none of them is a half-decoded picture (which would
// show as motion), nothing reaches the bus, and standard error hears of it
// once, not once per image nor once per opening.
TEST_F(HttpCamera, ImagesThatCannotBeDecodedAreSkippedAndTheNextOnesShown)
{
    std::size_t reportLines = 0;
    std::string reports;
    for (const Damage damage : {Damage::HuffmanTable, Damage::EntropyData, Damage::CutShort}) {
        SCOPED_TRACE(static_cast<int>(damage));
        const std::vector<std::uint8_t> good = FootageJpeg();
        std::vector<std::vector<std::uint8_t>> images(19, good);
        images.push_back(Damaged(good, damage));
        MjpegHttpServer camera(std::move(images), {.FramesPerSecond = 60});
        ChooseCamera(camera.Url());
        {
            std::lock_guard lock(received.mutex);
            received.frames.clear();
        }
        ::testing::internal::CaptureStderr();
        Start();
        // Past the damaged image three times over.
        const bool flowing = WaitUntil([&] { return received.Count() >= 60; }, 10000);
        graph.StripGraph();
        graph.SetActive(false);
        const std::string diagnostics = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(flowing) << received.Count() << " frames";
        EXPECT_EQ(errorReports, 0) << lastError;
        {
            std::lock_guard lock(received.mutex);
            for (const auto& frame : received.frames) ASSERT_TRUE(frame.Pixels == received.frames.front().Pixels);
        }
        std::istringstream lines(diagnostics);
        for (std::string line; std::getline(lines, line);) reportLines += line.find("JPEG") != std::string::npos;
        reports += diagnostics;
    }
    // Once for the three openings, not once for each.
    EXPECT_EQ(reportLines, 1u) << reports;
}

struct DecodedAlone {
    std::vector<QSize> Sizes;  // of the pictures that came out
    bool ReachedTheEnd = false;
    std::vector<std::string> Warnings;  // the decoder's, on the bus
};

// The images through our decoder alone, as from a source other than the
// http:// reader.
DecodedAlone DecodeAlone(const std::vector<std::vector<std::uint8_t>>& images)
{
    DecodedAlone decoded;
    EXPECT_TRUE(RegisterOwnElements());
    gst::ErrorHandle error;
    gst::ElementHandle pipeline{gst_parse_launch(
        "appsrc name=in caps=image/jpeg format=time ! qmdturbojpegdec ! appsink name=out sync=false", error.out())};
    EXPECT_TRUE(pipeline) << (error ? error->message : "");
    if (!pipeline) return decoded;
    gst::ElementHandle in{gst_bin_get_by_name(GST_BIN(pipeline.get()), "in")};
    gst::ElementHandle out{gst_bin_get_by_name(GST_BIN(pipeline.get()), "out")};
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    for (const auto& image : images) {
        GstFlowReturn pushed = GST_FLOW_ERROR;
        g_signal_emit_by_name(in.get(), "push-buffer", gst_buffer_new_memdup(image.data(), image.size()), &pushed);
        EXPECT_EQ(pushed, GST_FLOW_OK);
    }
    GstFlowReturn ended = GST_FLOW_ERROR;
    g_signal_emit_by_name(in.get(), "end-of-stream", &ended);
    for (;;) {
        GstSample* sample = nullptr;
        g_signal_emit_by_name(out.get(), "try-pull-sample", GST_SECOND * 20, &sample);
        if (!sample) break;
        GstVideoInfo info;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
            decoded.Sizes.emplace_back(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        gst_sample_unref(sample);
    }
    gboolean reachedTheEnd = FALSE;
    g_object_get(out.get(), "eos", &reachedTheEnd, nullptr);
    decoded.ReachedTheEnd = reachedTheEnd;
    gst::BusHandle bus{gst_element_get_bus(pipeline.get())};
    while (gst::MessageHandle warning{gst_bus_pop_filtered(bus.get(), GST_MESSAGE_WARNING)}) {
        gst::ErrorHandle said;
        gst_message_parse_warning(warning.get(), said.out(), nullptr);
        if (said && said->message) decoded.Warnings.emplace_back(said->message);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return decoded;
}

// Tiny images whose headers declare pictures larger than a camera sends,
// between good ones. A picture of 65500x65500 is more than GStreamer's output
// state can describe: the decoder kept the old state and decoded it into a
// buffer sized for 320x240 (a heap overflow); one of 20000x20000 took 1.2 GB.
// Both readers skip such images before anything is allocated for them, and
// the good images go on: the http:// reader for whatever decoder follows it,
// and our decoder for images from any other source.
TEST_F(HttpCamera, PicturesLargerThanACameraSendsAreSkippedBeforeAnythingIsAllocated)
{
    const std::vector<std::uint8_t> good = SolidJpeg({10, 20, 30});
    const std::vector<std::vector<std::uint8_t>> hostile = {
        JpegDeclaringSize(65500, 65500), JpegDeclaringSize(20000, 20000), JpegDeclaringSize(8193, 16),
        JpegDeclaringSize(4097, 4096)};

    std::vector<std::vector<std::uint8_t>> images;
    for (const auto& image : hostile) images.insert(images.end(), {good, image});
    MjpegHttpServer camera(images, {.FramesPerSecond = 60});
    ChooseCamera(camera.Url());
    Start();
    const bool flowing = WaitUntil([&] { return received.Count() >= 20; }, 10000);
    graph.StripGraph();
    graph.SetActive(false);
    ASSERT_TRUE(flowing) << received.Count() << " frames";
    EXPECT_EQ(errorReports, 0) << lastError;

    const DecodedAlone alone = DecodeAlone(images);
    EXPECT_TRUE(alone.ReachedTheEnd) << "the decoder stopped the stream";
    EXPECT_EQ(alone.Sizes, std::vector<QSize>(hostile.size(), QSize(kWidth, kHeight)));
}

// CMYK images, which a few encoders send, are skipped with a warning on the
// bus (which the graph writes to standard error), once: before, the user
// heard only that no frame came.
TEST_F(HttpCamera, CmykImagesAreSkippedAndSaidSoOnce)
{
    const std::vector<std::uint8_t> good = SolidJpeg({10, 20, 30});
    const std::vector<std::uint8_t> cmyk = EncodeCmykJpeg(kWidth, kHeight);
    const DecodedAlone alone = DecodeAlone({good, cmyk, good, cmyk, cmyk, good});
    EXPECT_TRUE(alone.ReachedTheEnd);
    EXPECT_EQ(alone.Sizes.size(), 3u);
    const std::string said = "unsupported JPEG colour space (CMYK)";
    EXPECT_EQ(std::count_if(alone.Warnings.begin(), alone.Warnings.end(),
                            [&](const std::string& warning) { return warning.find(said) != std::string::npos; }),
              1)
        << ::testing::PrintToString(alone.Warnings);
}

// The measuring tool serves two consumers side by side from one server.
TEST(MjpegHttpServerTest, ServesEveryClientAtOnceWithWellFormedParts)
{
    const std::vector<std::uint8_t> jpeg = SolidJpeg({1, 2, 3});
    MjpegHttpServer camera({jpeg}, {.FramesPerSecond = 50});
    struct Reader {
        int socket = -1;
        std::string received;
        ~Reader() { ::close(socket); }
    } readers[2];
    for (auto& reader : readers) {
        reader.socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(camera.Port());
        ASSERT_EQ(::connect(reader.socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string request = "GET /video HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        ASSERT_EQ(::send(reader.socket, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
    }
    const std::string part =
        "--qmdframe\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n" +
        std::string(jpeg.begin(), jpeg.end()) + "\r\n";
    const std::string header = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=qmdframe\r\n";
    const auto complete = [&](const Reader& reader) {
        return reader.received.size() >= header.size() + 3 * part.size();
    };
    ASSERT_TRUE(WaitUntil([&] {
        for (auto& reader : readers) {
            pollfd polled{reader.socket, POLLIN, 0};
            char buffer[4096];
            while (::poll(&polled, 1, 0) > 0) {
                const ssize_t got = ::recv(reader.socket, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                reader.received.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return complete(readers[0]) && complete(readers[1]);
    }));
    EXPECT_EQ(camera.StreamingClients(), 2u);
    for (const auto& reader : readers) {
        EXPECT_TRUE(reader.received.starts_with(header)) << reader.received.substr(0, 200);
        const std::size_t body = reader.received.find("\r\n\r\n") + 4;
        EXPECT_EQ(reader.received.substr(body, 2 * part.size()), part + part);
    }
}

}  // namespace
}  // namespace qmd::test
