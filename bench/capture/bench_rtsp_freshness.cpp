// How fresh an rtsp:// camera's pictures are when they reach the detection:
// from the moment the camera sends the first changed picture of a still
// scene to the moment that picture reaches the grabber's handler, where the
// detection cycle takes it. The camera is a gst-rtsp-server in this process
// that sends a pre-encoded H.264 clip (1280x720 at 30 frames/s, 3 s still,
// then moving; high profile, a key frame every second) at the clip's pace,
// over UDP on the loopback interface; a picture counts as sent when it
// leaves the element that paces the clip, just before its payloader. Each
// round opens the camera anew, as the program does after choosing it.
//
//   bench_rtsp_freshness [ROUNDS]
// Before Qt's headers: GIO's structures have members named "signals".
#include <gst/rtsp-server/rtsp-server.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/graph/video_renderer.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/sources/moniker.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

constexpr int kFps = 30;
constexpr int kStillFrames = 3 * kFps;
constexpr GstClockTime kChangeTime = GST_SECOND * kStillFrames / kFps;

std::atomic<std::int64_t> sentAt{0};  // steady clock, ns; 0 until the changed picture is sent

std::int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ClipPath()
{
    return (std::filesystem::temp_directory_path() / "qmd-bench-rtsp-still-then-moving.mkv").string();
}

bool MakeClip()
{
    if (std::filesystem::exists(ClipPath())) return true;
    const std::string caps = "video/x-raw,format=I420,width=1280,height=720,framerate=" + std::to_string(kFps) + "/1";
    const std::string description =
        "concat name=c ! x264enc speed-preset=veryfast bitrate=3000 key-int-max=" + std::to_string(kFps) +
        " bframes=0 ! video/x-h264,profile=high ! h264parse ! matroskamux ! filesink location=\"" + ClipPath() +
        "\" videotestsrc num-buffers=" + std::to_string(kStillFrames) + " pattern=smpte ! " + caps +
        " ! c.sink_0 videotestsrc num-buffers=" + std::to_string(kStillFrames) + " pattern=ball ! " + caps +
        " ! c.sink_1";
    gst::ErrorHandle error;
    gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(description.c_str(), error.out()));
    if (!pipeline) return false;
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    gst::BusHandle bus{gst_element_get_bus(pipeline.get())};
    gst::MessageHandle end{
        gst_bus_timed_pop_filtered(bus.get(), 300 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))};
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return end && GST_MESSAGE_TYPE(end.get()) == GST_MESSAGE_EOS;
}

GstPadProbeReturn NoteChangedPictureSent(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer && GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_PTS(buffer) + GST_MSECOND >= kChangeTime) {
        std::int64_t none = 0;
        sentAt.compare_exchange_strong(none, Now());
    }
    return GST_PAD_PROBE_OK;
}

void WatchPacing(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer)
{
    gst::ElementHandle element{gst_rtsp_media_get_element(media)};
    gst::ElementHandle pace{gst_bin_get_by_name(GST_BIN(element.get()), "pace")};
    gst::PadHandle src{gst_element_get_static_pad(pace.get(), "src")};
    gst_pad_add_probe(src.get(), GST_PAD_PROBE_TYPE_BUFFER, NoteChangedPictureSent, nullptr, nullptr);
}

// The port the camera listens on at 127.0.0.1; 0 when it cannot.
int StartCamera()
{
    GstRTSPServer* server = gst_rtsp_server_new();  // lives as long as the process
    gst_rtsp_server_set_address(server, "127.0.0.1");
    gst_rtsp_server_set_service(server, "0");
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    const std::string launch = "( filesrc location=\"" + ClipPath() +
                               "\" ! matroskademux ! h264parse ! identity name=pace sync=true "
                               "! rtph264pay name=pay0 pt=96 config-interval=-1 )";
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    g_signal_connect(factory, "media-configure", G_CALLBACK(WatchPacing), nullptr);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, "/camera", factory);
    g_object_unref(mounts);
    if (gst_rtsp_server_attach(server, nullptr) == 0) return 0;
    return gst_rtsp_server_get_bound_port(server);
}

// ms from the changed picture's sending to its arrival; negative when it never came.
double Round(const std::string& url)
{
    sentAt = 0;
    std::atomic<std::int64_t> receivedAt{0};
    TFilterGraph graph;
    TFilter filter;
    TSampleGrabber grabber;
    TVideoRenderer renderer;
    filter.SetFilterGraph(&graph);
    grabber.SetFilterGraph(&graph);
    renderer.SetFilterGraph(&graph);
    QEventLoop loop;
    std::vector<std::uint8_t> still;
    grabber.SetOnBuffer([&](TSampleGrabber*, double, const std::uint8_t* data, int size) {
        if (receivedAt != 0) return;
        if (still.empty()) {
            still.assign(data, data + size);
            return;
        }
        long long difference = 0;
        for (int i = 0; i < size && i < static_cast<int>(still.size()); i += 61)
            difference += std::abs(data[i] - still[i]);
        if (difference * 61 / size < 8) return;
        receivedAt = Now();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const Moniker moniker = Moniker::FromFields({SourceKind::ExtraSource, "rtsp", url, kVideoSourceClass, "", url});
    filter.BaseFilter().StoreMoniker(&moniker);
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &renderer);
    graph.RunGraph();
    QTimer::singleShot(std::chrono::seconds(20), &loop, &QEventLoop::quit);
    loop.exec();
    graph.StripGraph();
    graph.SetActive(false);
    grabber.Shutdown();
    if (receivedAt == 0 || sentAt == 0) return -1;
    return static_cast<double>(receivedAt - sentAt) / 1e6;
}

}  // namespace
}  // namespace qmd

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    qmd::gst::EnsureInitialized();
    qmd::PreferTurboJpegDecoder();
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (!qmd::MakeClip()) {
        std::fprintf(stderr, "bench_rtsp_freshness: the clip was not made\n");
        return 1;
    }
    const int port = qmd::StartCamera();
    if (port == 0) {
        std::fprintf(stderr, "bench_rtsp_freshness: the camera cannot listen\n");
        return 1;
    }
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(port) + "/camera";
    std::vector<double> latencies;
    for (int i = 0; i < rounds; ++i) {
        const double ms = qmd::Round(url);
        std::printf("round %d: the changed picture reached the cycle %.0f ms after it was sent\n", i + 1, ms);
        if (ms >= 0) latencies.push_back(ms);
    }
    if (latencies.empty()) return 1;
    std::sort(latencies.begin(), latencies.end());
    std::printf("median %.0f ms, largest %.0f ms of %zu rounds\n", latencies[latencies.size() / 2], latencies.back(),
                latencies.size());
    return 0;
}
