#include "capture/core/source_factory.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture/core/graph_elements.h"
#include "capture/core/mjpeg_http_source.h"
#include "capture/core/jpeg_decoder.h"
#include "gst/init.h"

namespace qmd {

namespace {

const char* const kOfferedCapsKey = "qmd-offered-caps";
const char* const kDefaultFormatKey = "qmd-default-format";
// The parsebin stream the clip's bin shows (not a reference: it is only
// compared) and the decoder the bin made for it.
const char* const kChosenStreamKey = "qmd-chosen-stream";
const char* const kClipDecoderKey = "qmd-clip-decoder";

// Still background and moving ball for the test source (ARGB). Each of the
// ball's blue, green and red differs from the background's by more than 105,
// so the default sensitivity sees it move.
constexpr guint kTestBackground = 0xFF303840;  // R 0x30, G 0x38, B 0x40
constexpr guint kTestBall = 0xFFE8E0D8;        // R 0xE8, G 0xE0, B 0xD8

void AttachCaps(GstElement* element, const char* key, gst::CapsHandle caps)
{
    g_object_set_data_full(G_OBJECT(element), key, caps.release(),
                           [](gpointer data) { gst::CapsHandle owned{static_cast<GstCaps*>(data)}; });
}

// A device is recognised again by its provider and its identifying property
// (the device node), not by volatile ones such as serial numbers of a session.
std::string DeviceIdentity(GstDevice* device)
{
    std::string identity = G_OBJECT_TYPE_NAME(device);
    gst::StructureHandle properties{gst_device_get_properties(device)};
    if (!properties) return identity;
    for (const char* key : {"device.path", "api.v4l2.path", "object.path", "device.bus_path"}) {
        if (const char* value = gst_structure_get_string(properties.get(), key))
            return identity + "|" + key + "=" + value;
    }
    gst::CharsHandle text{gst_structure_to_string(properties.get())};
    return identity + "|" + text.get();
}

std::string CharsOrEmpty(gchar* owned)
{
    gst::CharsHandle text{owned};
    return text ? std::string(text.get()) : std::string();
}

bool LooksLikeUri(const std::string& location) { return gst_uri_is_valid(location.c_str()); }

gst::ElementHandle CreateSystemDevice(const MonikerFields& fields)
{
    for (auto& candidate : EnumerateSystemDevices()) {
        if (candidate.Fields.Identity != fields.Identity || candidate.Fields.DisplayName != fields.DisplayName)
            continue;
        GstElement* created = gst_device_create_element(candidate.Device.get(), nullptr);
        if (!created) return {};
        gst::ElementHandle element{GST_ELEMENT(gst_object_ref_sink(created))};
        AttachCaps(element.get(), kOfferedCapsKey, gst::CapsHandle{gst_device_get_caps(candidate.Device.get())});
        return element;
    }
    return {};
}

// uridecodebin and decodebin find their video stream once they run; the
// bin's "src" pad follows the first one.
void ExposeVideoPad(GstElement*, GstPad* pad, gpointer bin)
{
    gst::CapsHandle caps{gst_pad_query_caps(pad, nullptr)};
    const GstStructure* first = caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!first || !g_str_has_prefix(gst_structure_get_name(first), "video/")) return;
    gst::PadHandle ghost{gst_element_get_static_pad(GST_ELEMENT(bin), "src")};
    gst::PadHandle target{gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get()))};
    if (!target) gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), pad);
}

void ForgetVideoPad(GstElement*, GstPad* pad, gpointer bin)
{
    gst::PadHandle ghost{gst_element_get_static_pad(GST_ELEMENT(bin), "src")};
    gst::PadHandle target{gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get()))};
    if (target.get() == pad) gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), nullptr);
}

// A clip's streams come from parsebin on the thread that reads the file.
// The first video stream is decoded inside the source's bin, so that its
// "src" pad gives raw frames: JPEG images by our decoder, anything else
// compressed by decodebin (which puts no queue thread in front of a single
// decoder, as it does after a demuxer). parsebin offers its streams afresh
// each time the graph runs again; the decoder made the first time stays.
void DecodeParsedVideo(GstElement*, GstPad* pad, gpointer bin)
{
    gst::CapsHandle caps{gst_pad_query_caps(pad, nullptr)};
    const GstStructure* first = caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!first || (!g_str_has_prefix(gst_structure_get_name(first), "video/") &&
                   !gst_structure_has_name(first, "image/jpeg")))
        return;
    GObject* container = G_OBJECT(bin);
    GST_OBJECT_LOCK(bin);
    const bool taken = g_object_get_data(container, kChosenStreamKey) != nullptr;
    if (!taken) g_object_set_data(container, kChosenStreamKey, pad);
    auto* decoder = static_cast<GstElement*>(g_object_get_data(container, kClipDecoderKey));
    GST_OBJECT_UNLOCK(bin);
    if (taken) return;  // later video streams stay unlinked

    if (gst_structure_has_name(first, "video/x-raw")) {
        ExposeVideoPad(nullptr, pad, bin);
        return;
    }
    if (!decoder) {
        const bool jpeg = gst_structure_has_name(first, "image/jpeg");
        gst::ElementHandle made = jpeg ? MakeJpegDecoder().Element : gst::MakeElement("decodebin");
        if (!made) return;  // the stream stays unlinked and the demuxer reports it
        decoder = made.get();
        gst_bin_add(GST_BIN(bin), decoder);
        if (jpeg) {
            gst::PadHandle decoded{gst_element_get_static_pad(decoder, "src")};
            ExposeVideoPad(nullptr, decoded.get(), bin);
        } else {
            g_signal_connect_object(decoder, "pad-added", G_CALLBACK(ExposeVideoPad), bin, GConnectFlags(0));
        }
        GST_OBJECT_LOCK(bin);
        g_object_set_data(container, kClipDecoderKey, decoder);  // the bin holds it
        GST_OBJECT_UNLOCK(bin);
    }
    gst::PadHandle sink{gst_element_get_static_pad(decoder, "sink")};
    gst_pad_link(pad, sink.get());
    gst_element_sync_state_with_parent(decoder);
}

void ForgetParsedVideo(GstElement* parser, GstPad* pad, gpointer bin)
{
    GST_OBJECT_LOCK(bin);
    if (g_object_get_data(G_OBJECT(bin), kChosenStreamKey) == pad)
        g_object_set_data(G_OBJECT(bin), kChosenStreamKey, nullptr);
    GST_OBJECT_UNLOCK(bin);
    ForgetVideoPad(parser, pad, bin);
}

// A file ends when it has played; a camera's stream ends only when the camera
// went away, which is an error to report.
GstPadProbeReturn ReportEndOfCameraStream(GstPad*, GstPadProbeInfo* info, gpointer bin)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_EOS) return GST_PAD_PROBE_OK;
    gst::CharsHandle text{gst_error_get_message(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ)};
    gst::ErrorHandle error{g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text.get())};
    gst_element_post_message(GST_ELEMENT(bin), gst_message_new_error(GST_OBJECT(bin), error.get(),
                                                                     "the camera ended its stream"));
    return GST_PAD_PROBE_OK;
}

// The parts of the camera's multipart stream go on as JPEG images; the
// graph then decodes them straight to BGR on the thread that reads them.
void LinkMultipartPart(GstElement*, GstPad* pad, gpointer filter)
{
    gst::PadHandle sink{gst_element_get_static_pad(GST_ELEMENT(filter), "sink")};
    if (sink && !gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
}

// An MJPEG-over-HTTP camera: its stream is read, split into images and
// handed on without decodebin's typefinding, buffering and queue thread. It
// is a live source: frames are stamped as they arrive and the graph does not
// wait for one before it runs.
gst::ElementHandle CreateHttpCamera(const std::string& uri)
{
    gst::ElementHandle bin{GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)))};
    // The element whose "src" pad gives the images.
    GstElement* images = nullptr;

    // Plain http:// is read by our own source, on its streaming thread alone
    // (libsoup's session thread cost more than the rest of the way), and it
    // gives JPEG images and nothing else; https:// needs libsoup's TLS.
    gst::ElementHandle reader;
    if (g_str_has_prefix(uri.c_str(), "http://") && RegisterMjpegHttpSource())
        reader = gst::MakeElement(kMjpegHttpSourceName);
    if (reader) {
        g_object_set(reader.get(), "location", uri.c_str(), nullptr);
        gst_bin_add(GST_BIN(bin.get()), reader.get());
        images = reader.get();
    } else {
        gst::ElementHandle source = gst::MakeElement("souphttpsrc");
        gst::ElementHandle demuxer = gst::MakeElement("multipartdemux");
        gst::ElementHandle jpeg = gst::MakeElement("capsfilter");
        if (!source || !demuxer || !jpeg) return {};
        gst::CapsHandle caps = gst::CapsFromString("image/jpeg");
        g_object_set(jpeg.get(), "caps", caps.get(), nullptr);
        g_object_set(source.get(), "location", uri.c_str(), "is-live", TRUE, "do-timestamp", TRUE, nullptr);
        g_object_set(demuxer.get(), "single-stream", TRUE, nullptr);
        gst_bin_add_many(GST_BIN(bin.get()), source.get(), demuxer.get(), jpeg.get(), nullptr);
        gst_element_link(source.get(), demuxer.get());
        g_signal_connect_object(demuxer.get(), "pad-added", G_CALLBACK(LinkMultipartPart), jpeg.get(),
                                GConnectFlags(0));
        images = jpeg.get();
    }
    gst::PadHandle out{gst_element_get_static_pad(images, "src")};
    GstPad* src = gst_ghost_pad_new("src", out.get());
    gst_element_add_pad(bin.get(), src);
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &ReportEndOfCameraStream, bin.get(), nullptr);
    return bin;
}

// A local clip: read, demuxed and decoded on one streaming thread.
gst::ElementHandle CreateClipSource(const std::string& uri)
{
    gst::ErrorHandle error;
    GstElement* made = gst_element_make_from_uri(GST_URI_SRC, uri.c_str(), nullptr, error.out());
    if (!made) return {};
    gst::ElementHandle reader{GST_ELEMENT(gst_object_ref_sink(made))};
    gst::ElementHandle parser = gst::MakeElement("parsebin");
    if (!parser) return {};
    gst::ElementHandle bin{GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)))};
    gst_bin_add_many(GST_BIN(bin.get()), reader.get(), parser.get(), nullptr);
    if (!gst_element_link(reader.get(), parser.get())) return {};
    gst_element_add_pad(bin.get(), gst_ghost_pad_new_no_target("src", GST_PAD_SRC));
    g_signal_connect_object(parser.get(), "pad-added", G_CALLBACK(DecodeParsedVideo), bin.get(), GConnectFlags(0));
    g_signal_connect_object(parser.get(), "pad-removed", G_CALLBACK(ForgetParsedVideo), bin.get(), GConnectFlags(0));
    return bin;
}

gst::ElementHandle CreateExtraSource(const MonikerFields& fields)
{
    std::string uri = fields.Identity;
    if (!LooksLikeUri(uri)) {
        gst::ErrorHandle error;
        gst::CharsHandle converted{gst_filename_to_uri(uri.c_str(), error.out())};
        if (!converted) return {};
        uri = converted.get();
    }
    if (g_str_has_prefix(uri.c_str(), "http://") || g_str_has_prefix(uri.c_str(), "https://"))
        return CreateHttpCamera(uri);
    if (g_str_has_prefix(uri.c_str(), "file:")) return CreateClipSource(uri);
    gst::ElementHandle decoder = gst::MakeElement("uridecodebin");
    if (!decoder) return {};
    g_object_set(decoder.get(), "uri", uri.c_str(), nullptr);

    gst::ElementHandle bin{GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)))};
    gst_bin_add(GST_BIN(bin.get()), decoder.get());
    GstPad* src = gst_ghost_pad_new_no_target("src", GST_PAD_SRC);
    gst_element_add_pad(bin.get(), src);
    g_signal_connect_object(decoder.get(), "pad-added", G_CALLBACK(ExposeVideoPad), bin.get(), GConnectFlags(0));
    g_signal_connect_object(decoder.get(), "pad-removed", G_CALLBACK(ForgetVideoPad), bin.get(), GConnectFlags(0));
    if (!g_str_has_prefix(uri.c_str(), "file:"))
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &ReportEndOfCameraStream, bin.get(), nullptr);
    return bin;
}

gst::ElementHandle CreateTestSource()
{
    gst::ElementHandle source = gst::MakeElement("videotestsrc");
    if (!source) return {};
    gst_util_set_object_arg(G_OBJECT(source.get()), "pattern", "ball");
    g_object_set(source.get(), "is-live", TRUE, "background-color", kTestBackground, "foreground-color", kTestBall,
                 nullptr);

    gst::CapsHandle offered{gst_caps_new_empty()};
    for (const auto& size : kTestSourceSizes) {
        gst_caps_append_structure(offered.get(),
                                  gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT,
                                                    size.Width, "height", G_TYPE_INT, size.Height, "framerate",
                                                    GST_TYPE_FRACTION, kTestSourceFramesPerSecond, 1, nullptr));
    }
    gst::CapsHandle defaultFormat{gst_caps_copy_nth(offered.get(), kTestSourceDefaultSize)};
    AttachCaps(source.get(), kOfferedCapsKey, std::move(offered));
    AttachCaps(source.get(), kDefaultFormatKey, std::move(defaultFormat));
    return source;
}

}  // namespace

std::vector<SystemDevice> EnumerateSystemDevices()
{
    gst::EnsureInitialized();
    gst::DeviceMonitorHandle monitor{GST_DEVICE_MONITOR(gst_object_ref_sink(gst_device_monitor_new()))};
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    gst::ObjectListHandle devices{gst_device_monitor_get_devices(monitor.get())};

    std::vector<SystemDevice> found;
    for (GList* item = devices.get(); item; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        SystemDevice entry;
        entry.Fields.Kind = SourceKind::SystemDevice;
        entry.Fields.DisplayName = CharsOrEmpty(gst_device_get_display_name(device));
        entry.Fields.Identity = DeviceIdentity(device);
        entry.Fields.DeviceClass = CharsOrEmpty(gst_device_get_device_class(device));
        entry.Device = gst::NewRef(device);
        found.push_back(std::move(entry));
    }
    // Providers report in no fixed order; the list must not reshuffle
    // between runs, or the remembered position would name another device.
    std::stable_sort(found.begin(), found.end(), [](const SystemDevice& a, const SystemDevice& b) {
        if (a.Fields.Identity != b.Fields.Identity) return a.Fields.Identity < b.Fields.Identity;
        return a.Fields.DisplayName < b.Fields.DisplayName;
    });
    return found;
}

std::vector<MonikerFields> ExtraSourcesFromEnvironment()
{
    std::vector<MonikerFields> sources;
    const char* value = std::getenv("QUISK_EXTRA_SOURCES");
    if (!value) return sources;
    const std::string list = value;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find('|', start);
        if (end == std::string::npos) end = list.size();
        std::string location = list.substr(start, end - start);
        start = end + 1;
        if (location.find_first_not_of(" \t") == std::string::npos) continue;
        MonikerFields fields;
        fields.Kind = SourceKind::ExtraSource;
        fields.Identity = location;
        fields.DisplayName =
            LooksLikeUri(location) ? location : std::filesystem::path(location).filename().string();
        fields.DeviceClass = "Video/Source";
        sources.push_back(std::move(fields));
    }
    return sources;
}

gst::ElementHandle CreateSourceElement(const MonikerFields& fields)
{
    gst::EnsureInitialized();
    switch (fields.Kind) {
    case SourceKind::SystemDevice: return CreateSystemDevice(fields);
    case SourceKind::ExtraSource: return CreateExtraSource(fields);
    case SourceKind::TestSource: return CreateTestSource();
    }
    return {};
}

const GstCaps* OfferedCapsOf(GstElement* source)
{
    return source ? static_cast<const GstCaps*>(g_object_get_data(G_OBJECT(source), kOfferedCapsKey)) : nullptr;
}

const GstCaps* DefaultFormatOf(GstElement* source)
{
    return source ? static_cast<const GstCaps*>(g_object_get_data(G_OBJECT(source), kDefaultFormatKey)) : nullptr;
}

}  // namespace qmd
