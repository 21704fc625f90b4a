// CPU time per frame of the capture path, against a bare GStreamer pipeline
// doing the same decoding and conversion into a fakesink (and, for MJPEG,
// against GStreamer's stock jpegdec + videoconvert as well):
//   (a) bare pipeline, (b) our graph delivering to an empty OnBuffer,
//   (c) the same with the preview painted (offscreen).
// Sources: a YUY2 camera (videotestsrc behind a device provider) and an MJPEG
// clip in AVI made here, at 640x480, 1280x720 and 1920x1080, 30 frames/s,
// paced by the clock as a camera is. "Time" is process CPU time per frame.
// The runs of all variants are interleaved in a random order and each
// variant's fastest run counts: whatever else the machine does only ever
// adds time, so the fastest run is the one least disturbed by it.
// The preview has the main window's default size, 306 x 229.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "capture/devices/sys_dev_enum.h"
#include "capture/elements/turbo_jpeg_decoder.h"
#include "capture/fake_device_provider.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/graph/video_renderer.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/sources/moniker.h"
#include "capture/video_window.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

constexpr int kFrames = 120;
constexpr int kRepetitions = 5;
constexpr int kFps = 30;

struct Size {
    int Width;
    int Height;
};
constexpr Size kSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string ClipPath(const Size& size)
{
    return (std::filesystem::temp_directory_path() /
            ("qmd-bench-" + std::to_string(size.Width) + "x" + std::to_string(size.Height) + "-" +
             std::to_string(kFrames) + ".avi"))
        .string();
}

gst::ElementHandle Launch(const std::string& description)
{
    gst::ErrorHandle error;
    GstElement* pipeline = gst_parse_launch(description.c_str(), error.out());
    if (!pipeline) std::fprintf(stderr, "bench: %s\n", error ? error->message : description.c_str());
    return gst::Sink(pipeline);
}

bool RunToEos(GstElement* pipeline)
{
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    gst::BusHandle bus{gst_element_get_bus(pipeline)};
    gst::MessageHandle end{
        gst_bus_timed_pop_filtered(bus.get(), 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))};
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return end && GST_MESSAGE_TYPE(end.get()) == GST_MESSAGE_EOS;
}

void MakeClips()
{
    for (const auto& size : kSizes) {
        if (std::filesystem::exists(ClipPath(size))) continue;
        char description[512];
        std::snprintf(description, sizeof description,
                      "videotestsrc num-buffers=%d pattern=ball ! video/x-raw,format=I420,width=%d,height=%d,"
                      "framerate=%d/1 ! jpegenc quality=85 ! avimux ! filesink location=\"%s\"",
                      kFrames, size.Width, size.Height, kFps, ClipPath(size).c_str());
        gst::ElementHandle pipeline = Launch(description);
        if (!pipeline || !RunToEos(pipeline.get())) std::fprintf(stderr, "bench: clip %s not made\n", description);
    }
}

enum class Source { Camera, Mjpeg };
// Bare: the same decoding and conversion as our graph (for MJPEG our
// libjpeg-turbo decoder); Stock: GStreamer's own jpegdec and videoconvert.
enum class Variant { Bare, Graph, Preview, Stock };

std::map<std::string, std::vector<double>> results;  // "source size/variant" -> CPU ms per frame, each run

std::string Key(Source source, const Size& size)
{
    return std::string(source == Source::Camera ? "camera-yuy2 " : "mjpeg-avi ") + std::to_string(size.Width) + "x" +
           std::to_string(size.Height);
}

// (a): the same source, decoding and conversion into a fakesink.
double BarePipeline(Source source, const Size& size, bool stock)
{
    char description[768];
    if (source == Source::Camera)
        std::snprintf(
            description, sizeof description,
            "videotestsrc num-buffers=%d pattern=ball ! video/x-raw,format=YUY2,width=%d,height=%d,framerate=%d/1 ! "
            "videoconvert ! video/x-raw,format=BGR ! fakesink sync=true",
            kFrames, size.Width, size.Height, kFps);
    else
        std::snprintf(description, sizeof description,
                      "filesrc location=\"%s\" ! avidemux ! %s ! videoconvert ! video/x-raw,format=BGR ! "
                      "fakesink sync=true",
                      ClipPath(size).c_str(), stock ? "jpegdec" : kTurboJpegDecoderName);
    gst::ElementHandle pipeline = Launch(description);
    const double start = ProcessCpuSeconds();
    if (!pipeline || !RunToEos(pipeline.get())) return -1;
    return (ProcessCpuSeconds() - start) / kFrames;
}

// (b) and (c): the program's graph, as the device switch builds it.
double OurGraph(Source source, const Size& size, bool preview)
{
    std::optional<VideoSource> fields;
    if (source == Source::Camera) {
        for (const auto& candidate : EnumerateSources())
            if (candidate.Kind == SourceKind::SystemDevice) fields = candidate;
    } else {
        fields = VideoSource{SourceKind::ExtraSource, "clip", ClipPath(size), kVideoSourceClass, "", ClipPath(size),
                             CredentialsKept::None};
    }
    if (!fields) return -1;

    TFilterGraph graph;
    TFilter filter;
    TSampleGrabber grabber;
    TVideoRenderer renderer;
    TVideoWindow window;
    filter.SetFilterGraph(&graph);
    grabber.SetFilterGraph(&graph);
    TVideoRenderer& sink = preview ? window.Renderer() : renderer;
    if (preview) {
        window.resize(306, 229);  // the main window's preview at its default size
        window.show();
        window.SetFilterGraph(&graph);
    } else {
        renderer.SetFilterGraph(&graph);
    }
    // The main thread sleeps in its event loop (painting, when previewing)
    // until the last frame has been handed over.
    QEventLoop loop;
    std::atomic<int> delivered{0};
    grabber.SetOnBuffer([&](TSampleGrabber*, double, const std::uint8_t*, int) {
        if (++delivered == kFrames) QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const Moniker moniker = Moniker::FromFields(*fields);
    filter.BaseFilter().StoreMoniker(&moniker);
    graph.SetActive(true);
    if (source == Source::Camera) {
        g_object_set(filter.DeviceElement(), "num-buffers", kFrames, nullptr);
        char caps[160];
        std::snprintf(caps, sizeof caps, "video/x-raw,format=YUY2,width=%d,height=%d,framerate=%d/1", size.Width,
                      size.Height, kFps);
        gst::CapsHandle format{gst_caps_from_string(caps)};
        filter.SetFormat(format.get());
    }
    graph.RenderStream(&filter, &grabber, &sink);
    const double start = ProcessCpuSeconds();
    graph.RunGraph();
    QTimer::singleShot(std::chrono::seconds(60), &loop, &QEventLoop::quit);  // a stalled pipeline ends the run
    loop.exec();
    const double seconds = ProcessCpuSeconds() - start;
    const auto frames = grabber.DeliveredFrames();
    graph.StripGraph();
    graph.SetActive(false);
    grabber.Shutdown();
    return frames > 0 ? seconds / static_cast<double>(frames) : -1;
}

void Measure(benchmark::State& state, Source source, Size size, Variant variant)
{
    double perFrame = -1;
    for (auto _ : state) {
        perFrame = variant == Variant::Bare || variant == Variant::Stock
                       ? BarePipeline(source, size, variant == Variant::Stock)
                       : OurGraph(source, size, variant == Variant::Preview);
        state.SetIterationTime(perFrame > 0 ? perFrame : 0);
    }
    if (perFrame <= 0) state.SkipWithError("no frames");
    state.counters["cpu_ms_per_frame"] = perFrame * 1e3;
    results[Key(source, size) + "/" + std::to_string(static_cast<int>(variant))].push_back(perFrame * 1e3);
}

void RegisterAll()
{
    const char* variantNames[] = {"a_bare", "b_graph", "c_preview", "a_stock_jpegdec"};
    for (Source source : {Source::Camera, Source::Mjpeg})
        for (const auto& size : kSizes)
            for (Variant variant : {Variant::Bare, Variant::Graph, Variant::Preview, Variant::Stock}) {
                if (variant == Variant::Stock && source == Source::Camera) continue;
                const std::string name = "Capture/" + Key(source, size) + "/" + variantNames[static_cast<int>(variant)];
                benchmark::RegisterBenchmark(name.c_str(), Measure, source, size, variant)
                    ->Iterations(1)
                    ->Repetitions(kRepetitions)
                    ->ReportAggregatesOnly(false)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
}

void PrintRatios()
{
    const auto fastest = [](const std::vector<double>& runs) {
        double best = 0;
        for (double run : runs)
            if (run > 0 && (best == 0 || run < best)) best = run;
        return best;
    };
    std::printf("\nCPU per frame (ms, fastest of the runs) and ratios to the bare pipeline:\n");
    std::printf("(a) uses the decoder our graph uses; (a') GStreamer's jpegdec + videoconvert.\n");
    std::printf("%-24s %8s %8s %8s %7s %7s %8s %7s\n", "source", "(a)", "(b)", "(c)", "b/a", "c/a", "(a')", "b/a'");
    for (Source source : {Source::Camera, Source::Mjpeg})
        for (const auto& size : kSizes) {
            const std::string key = Key(source, size);
            const double a = fastest(results[key + "/0"]), b = fastest(results[key + "/1"]),
                         c = fastest(results[key + "/2"]), stock = fastest(results[key + "/3"]);
            std::printf("%-24s %8.3f %8.3f %8.3f %7.3f %7.3f", key.c_str(), a, b, c, a > 0 ? b / a : 0,
                        a > 0 ? c / a : 0);
            if (stock > 0)
                std::printf(" %8.3f %7.3f\n", stock, b / stock);
            else
                std::printf("\n");
        }
}

}  // namespace
}  // namespace qmd

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    qmd::gst::EnsureInitialized();
    qmd::PreferTurboJpegDecoder();
    qmd::test::InstallFakeCameras({{"Kamera benchmark", "/dev/video-bench", 18 /* ball */}});
    qmd::MakeClips();
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);  // a later flag of the caller's still wins
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    qmd::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    qmd::PrintRatios();
    return 0;
}
