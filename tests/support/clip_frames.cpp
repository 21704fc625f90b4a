// Reads a clip back as a player does (filesrc ! matroskademux) and prints one
// line per frame: its presentation time in nanoseconds and the SHA-256 of its
// bytes in hexadecimal. With --slices the digest is of an H.264/H.265
// access unit's coded slices alone (support/coded_slices.h), as the loopback
// RTSP camera writes them. Ends with status 1 when the file cannot be read to
// its last frame that was written whole.
//
//   qmd_clip_frames [--slices] FILE
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/coded_slices.h"

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    bool slices = false;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--slices") == 0) slices = true, ++arg;
    if (arg + 1 != argc) {
        std::fprintf(stderr, "usage: %s [--slices] FILE\n", argv[0]);
        return 2;
    }
    GError* error = nullptr;
    gchar* location = g_strescape(argv[arg], nullptr);
    const std::string description =
        std::string("filesrc location=\"") + location + "\" ! matroskademux ! appsink name=frames sync=false";
    g_free(location);
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        std::fprintf(stderr, "qmd_clip_frames: %s\n", error ? error->message : "no pipeline");
        return 1;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "frames");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    int status = 0;
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        const GstStructure* format = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
        const gchar* stream = gst_structure_get_string(format, "stream-format");
        const bool lengthPrefixed = stream && std::strcmp(stream, "byte-stream") != 0;
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            gchar* hex = nullptr;
            if (slices) {
                const bool h265 = gst_structure_has_name(format, "video/x-h265");
                const std::vector<guint8> units = qmd::test::CodedSlices(map.data, map.size, lengthPrefixed, h265);
                hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, units.data(), units.size());
            } else {
                hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, map.data, map.size);
            }
            std::printf("%llu %s\n", static_cast<unsigned long long>(GST_BUFFER_PTS(buffer)), hex);
            g_free(hex);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    if (GstMessage* failure = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        gst_message_parse_error(failure, &error, nullptr);
        std::fprintf(stderr, "qmd_clip_frames: %s\n", error ? error->message : "error");
        g_clear_error(&error);
        gst_message_unref(failure);
        status = 1;
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return status;
}
