#include "capture/sources/http_camera_source.h"

#include "capture/elements/mjpeg_http_source.h"
#include "capture/elements/register_elements.h"
#include "capture/sources/address_credentials.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/source_bin_pads.h"

namespace qmd {

namespace {

// The parts of the camera's multipart stream go on as JPEG images; the
// graph then decodes them straight to BGR on the thread that reads them.
void LinkMultipartPart(GstElement*, GstPad* pad, gpointer filter)
{
    gst::PadHandle sink{gst_element_get_static_pad(GST_ELEMENT(filter), "sink")};
    if (sink && !gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
}

}  // namespace

// The camera's stream is read, split into images and handed on without
// decodebin's typefinding, buffering and queue thread. It is a live source:
// frames are stamped as they arrive and the graph does not wait for one
// before it runs.
gst::ElementHandle CreateHttpCameraSource(const AddressCredentials& camera)
{
    const std::string& uri = camera.Address;
    gst::ElementHandle bin = gst::NewBin();
    // The element whose "src" pad gives the images.
    GstElement* images = nullptr;

    // Plain http:// is read by our own source, on its streaming thread alone
    // (libsoup's session thread cost more than the rest of the way), and it
    // gives JPEG images and nothing else; https:// needs libsoup's TLS.
    gst::ElementHandle reader;
    if (g_str_has_prefix(uri.c_str(), "http://") && RegisterOwnElements())
        reader = gst::MakeElement(kMjpegHttpSourceName);
    if (reader) {
        g_object_set(reader.get(), "location", uri.c_str(), nullptr);
        SetCredentialProperties(G_OBJECT(reader.get()), camera);
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
        SetCredentialProperties(G_OBJECT(source.get()), camera);
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
    ReportEndOfCameraStream(src, bin.get());
    return bin;
}

}  // namespace qmd
