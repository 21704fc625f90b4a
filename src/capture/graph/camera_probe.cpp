#include "capture/graph/camera_probe.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <optional>

#include "capture/elements/register_elements.h"
#include "capture/graph/graph_bus_reader.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/source_factory.h"

namespace qmd {

namespace {

// Posted from the streaming thread when the first picture is in the sink;
// the GUI thread takes it from there.
constexpr const char* kPicturedMessage = "qmd-probe-pictured";

GstFlowReturn OnSample(GstAppSink* sink, gpointer)
{
    gst_element_post_message(GST_ELEMENT(sink),
                             gst_message_new_application(GST_OBJECT(sink), gst_structure_new_empty(kPicturedMessage)));
    return GST_FLOW_OK;
}

// The first picture of the sink, as RGB rows without padding.
std::optional<ProbePicture> TakePicture(GstElement* sink)
{
    gst::SampleHandle sample{gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 0)};
    if (!sample) sample = gst::SampleHandle{gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 0)};
    if (!sample) return {};
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get()))) return {};
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    GstVideoFrame frame;
    if (!buffer || !gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return {};
    ProbePicture picture{GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info), {}};
    const auto rowBytes = static_cast<std::size_t>(picture.Width) * 3;
    picture.Rgb.resize(rowBytes * static_cast<std::size_t>(picture.Height));
    const auto* pixels = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    for (int y = 0; y < picture.Height; ++y)
        std::copy_n(pixels + static_cast<std::ptrdiff_t>(y) * stride, rowBytes, picture.Rgb.data() + y * rowBytes);
    gst_video_frame_unmap(&frame);
    return picture;
}

}  // namespace

ProbeFailure ClassifyProbeError(const GError* error)
{
    if (!error) return ProbeFailure::Other;
    if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED: return ProbeFailure::Refused;
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_OPEN_WRITE:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE: return ProbeFailure::NoAnswer;
        // Something answered, but not with a stream at that address.
        case GST_RESOURCE_ERROR_NOT_FOUND:
        case GST_RESOURCE_ERROR_READ: return ProbeFailure::NotCamera;
        default: return ProbeFailure::Other;
        }
    }
    if (error->domain == GST_STREAM_ERROR) return ProbeFailure::NotCamera;
    return ProbeFailure::Other;
}

CameraProbe::CameraProbe(QObject* parent) : QObject(parent)
{
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, [this] {
        Stop();
        emit Failed(ProbeFailure::NoAnswer, {});
    });
}

CameraProbe::~CameraProbe() { Stop(); }

void CameraProbe::Start(const AddressCredentials& camera)
{
    Stop();
    RegisterOwnElements();
    gst::ElementHandle source = CreateAddressSource(camera);
    gst::ElementHandle decoder = gst::MakeElement("decodebin");
    gst::ElementHandle convert = gst::MakeElement("videoconvert");
    gst::ElementHandle sink = gst::MakeElement("appsink");
    if (!source || !decoder || !convert || !sink) {
        emit Failed(ProbeFailure::Other, QStringLiteral("missing GStreamer elements"));
        return;
    }
    gst::CapsHandle rgb = gst::CapsFromString("video/x-raw,format=RGB");
    g_object_set(sink.get(), "caps", rgb.get(), "max-buffers", 1, "drop", TRUE, "sync", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, nullptr, nullptr);

    pipeline_ = gst::NewPipeline("camera-probe");
    gst_bin_add_many(GST_BIN(pipeline_.get()), source.get(), decoder.get(), convert.get(), sink.get(), nullptr);
    gst_element_link(source.get(), decoder.get());
    gst_element_link(convert.get(), sink.get());
    g_signal_connect_object(decoder.get(), "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer convert) {
                                gst::PadHandle in{gst_element_get_static_pad(GST_ELEMENT(convert), "sink")};
                                if (!gst_pad_is_linked(in.get())) gst_pad_link(pad, in.get());
                            }),
                            convert.get(), GConnectFlags(0));
    sink_ = sink.get();
    gst::BusHandle bus{gst_pipeline_get_bus(GST_PIPELINE(pipeline_.get()))};
    bus_ = std::make_unique<GraphBusReader>(bus.get(), [this](GstMessage* message) { OnMessage(message); });
    bound_.start(kAnswerBoundMs);
    // A live source changes state at once; the answer comes on the bus.
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) bus_->Drain();
}

void CameraProbe::OnMessage(GstMessage* message)
{
    if (!pipeline_) return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_APPLICATION: {
        if (!gst_message_has_name(message, kPicturedMessage)) return;
        std::optional<ProbePicture> picture = TakePicture(sink_);
        Stop();
        if (picture)
            emit Pictured(*picture);
        else
            emit Failed(ProbeFailure::NotCamera, {});
        return;
    }
    case GST_MESSAGE_ERROR: {
        gst::ErrorHandle error;
        gst_message_parse_error(message, error.out(), nullptr);
        const ProbeFailure failure = ClassifyProbeError(error.get());
        const QString detail = QString::fromUtf8(error && error->message ? error->message : "");
        Stop();
        emit Failed(failure, detail);
        return;
    }
    case GST_MESSAGE_EOS:
        Stop();
        emit Failed(ProbeFailure::NotCamera, {});
        return;
    default: return;
    }
}

void CameraProbe::Stop()
{
    bound_.stop();
    if (!pipeline_) return;
    gst::ElementHandle pipeline = std::move(pipeline_);
    sink_ = nullptr;
    // The reader may be handling the message that ended the look.
    GraphBusReader::Retire(std::move(bus_));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
}

}  // namespace qmd
