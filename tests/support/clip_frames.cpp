// Reads a clip back as a player does (filesrc ! matroskademux) and prints one
// line per frame: its presentation time in nanoseconds and the SHA-256 of its
// bytes in hexadecimal. With --nal the digest is of the frame's NAL units
// alone (each without its start code or length), so that H.264/H.265 access
// units compare whatever framing carried them. Ends with status 1 when the
// file cannot be read to its last frame that was written whole.
//
//   qmd_clip_frames [--nal] FILE
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The NAL units of an access unit, in length-prefixed (avc, hvc1) or
// start-code (byte-stream) framing, joined without their framing.
std::vector<guint8> NalUnits(const guint8* data, gsize size, bool lengthPrefixed)
{
    std::vector<guint8> units;
    if (lengthPrefixed) {
        for (gsize at = 0; at + 4 <= size;) {
            const gsize length =
                (gsize{data[at]} << 24) | (gsize{data[at + 1]} << 16) | (gsize{data[at + 2]} << 8) | data[at + 3];
            at += 4;
            if (length > size - at) break;
            units.insert(units.end(), data + at, data + at + length);
            at += length;
        }
        return units;
    }
    gsize at = 0;
    const auto startCode = [&](gsize i) {
        return i + 3 <= size && data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1;
    };
    while (at < size && !startCode(at)) ++at;
    while (at < size) {
        at += 3;
        gsize end = at;
        while (end < size && !startCode(end)) ++end;
        // A zero before the next start code is its four-byte form's.
        gsize last = end;
        while (last > at && end < size && data[last - 1] == 0) --last;
        units.insert(units.end(), data + at, data + last);
        at = end;
    }
    return units;
}

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    bool nal = false;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--nal") == 0) nal = true, ++arg;
    if (arg + 1 != argc) {
        std::fprintf(stderr, "usage: %s [--nal] FILE\n", argv[0]);
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
            if (nal) {
                const std::vector<guint8> units = NalUnits(map.data, map.size, lengthPrefixed);
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
