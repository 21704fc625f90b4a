// A network camera on the loopback interface for the tests of rtsp://
// sources: serves a moving test picture as H.264 over RTSP (gst-rtsp-server)
// at rtsp://127.0.0.1:PORT/camera, writes PORT on a line of its own once it
// listens, and runs until SIGTERM or SIGINT (tests/support/with_rtsp_camera.sh
// starts and ends it). With --locked it asks for the user "admin" and the
// password "secret" (Basic); with --h265 it sends H.265 instead, with --jpeg
// JPEG images (RTP/JPEG), with --mpeg4 MPEG-4 part 2. With
// --file FILE it sends the H.264 video of a Matroska file as it is, at the
// file's pace, from its start for the first viewer (the benchmarks' camera,
// which encodes nothing while they measure). With --digests FILE (before the
// other options) it writes the SHA-256 of every access unit's coded slices
// (support/coded_slices.h) it sends to FILE, one a line in hexadecimal; with
// --lose-packet (after --digests) it drops one slice of a picture once 40
// packets have gone, as a network would, and says so on stderr.
#include <glib-unix.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string_view>

#include "support/coded_slices.h"

namespace {

gboolean Quit(gpointer loop)
{
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

// The coded slices of each access unit the encoder hands the payloader.
GstPadProbeReturn WriteDigest(GstPad* pad, GstPadProbeInfo* info, gpointer file)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) return GST_PAD_PROBE_OK;
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    const gchar* framing = gst_structure_get_string(format, "stream-format");
    const bool lengthPrefixed = framing && std::string_view(framing) != "byte-stream";
    const bool h265 = gst_structure_has_name(format, "video/x-h265");
    gst_caps_unref(caps);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    const std::vector<std::uint8_t> slices = qmd::test::CodedSlices(map.data, map.size, lengthPrefixed, h265);
    gst_buffer_unmap(buffer, &map);
    gchar* hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, slices.data(), slices.size());
    std::fprintf(static_cast<FILE*>(file), "%s\n", hex);
    std::fflush(static_cast<FILE*>(file));
    g_free(hex);
    return GST_PAD_PROBE_OK;
}

void WatchPayloader(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer file)
{
    GstElement* element = gst_rtsp_media_get_element(media);
    if (GstElement* payloader = gst_bin_get_by_name(GST_BIN(element), "pay0")) {
        GstPad* sink = gst_element_get_static_pad(payloader, "sink");
        gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_BUFFER, WriteDigest, file, nullptr);
        gst_object_unref(sink);
        gst_object_unref(payloader);
    }
    gst_object_unref(element);
}

// The RTP packets of one stream, counted until one is dropped.
struct PacketLoss {
    int Sent = 0;
    bool Dropped = false;
};

// Drops the first packet after the 40th that holds one whole coded slice
// (H.264 NAL unit type 1 or 5) of a picture that goes on after it (no RTP
// marker bit): the picture arrives, short of that slice.
GstPadProbeReturn LosePacket(GstPad*, GstPadProbeInfo* info, gpointer loss)
{
    auto* state = static_cast<PacketLoss*>(loss);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    guint8 header[13];
    if (state->Dropped || gst_buffer_extract(buffer, 0, header, sizeof header) != sizeof header)
        return GST_PAD_PROBE_OK;
    const bool endsPicture = (header[1] & 0x80) != 0;
    const int csrcs = header[0] & 0x0f;
    const bool plain = csrcs == 0 && (header[0] & 0x10) == 0;  // the payload right after 12 bytes
    const int nalType = header[12] & 0x1f;
    if (++state->Sent < 40 || endsPicture || !plain || (nalType != 1 && nalType != 5)) return GST_PAD_PROBE_OK;
    state->Dropped = true;
    std::fprintf(stderr, "lost packet %d\n", state->Sent);
    return GST_PAD_PROBE_DROP;
}

void LoseAPacket(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer)
{
    GstElement* element = gst_rtsp_media_get_element(media);
    if (GstElement* payloader = gst_bin_get_by_name(GST_BIN(element), "pay0")) {
        GstPad* src = gst_element_get_static_pad(payloader, "src");
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, LosePacket, new PacketLoss,
                          [](gpointer loss) { delete static_cast<PacketLoss*>(loss); });
        gst_object_unref(src);
        gst_object_unref(payloader);
    }
    gst_object_unref(element);
}

// Debian 12's avenc_mpeg4 gives its pictures without timestamps, which the
// payloader and the sink need: each picture gets back the one its frame had
// going in (the encoder makes no B-frames, so the order is kept).
struct Timestamps {
    std::mutex Lock;
    std::deque<GstClockTime> Pending;
};

GstPadProbeReturn RememberTimestamp(GstPad*, GstPadProbeInfo* info, gpointer timestamps)
{
    auto* kept = static_cast<Timestamps*>(timestamps);
    std::lock_guard lock(kept->Lock);
    kept->Pending.push_back(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn RestoreTimestamp(GstPad*, GstPadProbeInfo* info, gpointer timestamps)
{
    auto* kept = static_cast<Timestamps*>(timestamps);
    std::lock_guard lock(kept->Lock);
    if (kept->Pending.empty()) return GST_PAD_PROBE_OK;
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = kept->Pending.front();
    kept->Pending.pop_front();
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

void StampEncoder(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer)
{
    GstElement* element = gst_rtsp_media_get_element(media);
    if (GstElement* encoder = gst_bin_get_by_name(GST_BIN(element), "encoder")) {
        auto* timestamps = new Timestamps;
        GstPad* sink = gst_element_get_static_pad(encoder, "sink");
        GstPad* src = gst_element_get_static_pad(encoder, "src");
        gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_BUFFER, RememberTimestamp, timestamps, nullptr);
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, RestoreTimestamp, timestamps,
                          [](gpointer kept) { delete static_cast<Timestamps*>(kept); });
        gst_object_unref(sink);
        gst_object_unref(src);
        gst_object_unref(encoder);
    }
    gst_object_unref(element);
}

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    GstRTSPServer* server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server, "127.0.0.1");
    gst_rtsp_server_set_service(server, "0");

    // Small, few frames, a key frame every second: quick to encode on a
    // loaded machine and quick to start decoding.
    FILE* digests = nullptr;
    if (argc > 2 && std::string_view(argv[1]) == "--digests") {
        digests = std::fopen(argv[2], "w");
        if (!digests) {
            std::perror(argv[2]);
            return 1;
        }
        argv += 2;
        argc -= 2;
    }
    const bool losePacket = argc > 1 && std::string_view(argv[1]) == "--lose-packet";
    if (losePacket) {
        ++argv;
        --argc;
    }
    const std::string_view option = argc > 1 ? argv[1] : "";
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    if (digests) g_signal_connect(factory, "media-constructed", G_CALLBACK(WatchPayloader), digests);
    if (losePacket) g_signal_connect(factory, "media-constructed", G_CALLBACK(LoseAPacket), nullptr);
    if (option == "--file" && argc > 2) {
        gchar* file = g_strescape(argv[2], nullptr);
        gchar* launch = g_strdup_printf("( filesrc location=\"%s\" ! matroskademux ! h264parse "
                                        "! rtph264pay name=pay0 pt=96 config-interval=-1 )",
                                        file);
        gst_rtsp_media_factory_set_launch(factory, launch);
        g_free(launch);
        g_free(file);
    } else {
        const char* encoder = "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 "
                              "! rtph264pay name=pay0 pt=96 config-interval=1";
        if (option == "--h265")
            encoder = "x265enc tune=zerolatency speed-preset=ultrafast key-int-max=10 "
                      "! rtph265pay name=pay0 pt=96 config-interval=1";
        if (option == "--jpeg") encoder = "jpegenc ! rtpjpegpay name=pay0 pt=26";
        if (option == "--mpeg4") {
            encoder = "avenc_mpeg4 name=encoder ! rtpmp4vpay name=pay0 pt=96 config-interval=1";
            g_signal_connect(factory, "media-configure", G_CALLBACK(StampEncoder), nullptr);
        }
        gchar* launch = g_strdup_printf("( videotestsrc is-live=true pattern=ball "
                                        "! video/x-raw,format=I420,width=160,height=120,framerate=10/1 ! %s )",
                                        encoder);
        gst_rtsp_media_factory_set_launch(factory, launch);
        g_free(launch);
    }
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    if (option == "--locked") {
        // Behind a user and password (Basic): "admin" with "secret" only;
        // without them the camera answers 401, as IP cameras do.
        gst_rtsp_media_factory_add_role(factory, "user", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                        GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
        GstRTSPAuth* auth = gst_rtsp_auth_new();
        GstRTSPToken* user = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "user", nullptr);
        gchar* basic = gst_rtsp_auth_make_basic("admin", "secret");
        gst_rtsp_auth_add_basic(auth, basic, user);
        g_free(basic);
        gst_rtsp_token_unref(user);
        gst_rtsp_server_set_auth(server, auth);
        g_object_unref(auth);
    }
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server);
    gst_rtsp_mount_points_add_factory(mounts, "/camera", factory);
    g_object_unref(mounts);

    if (gst_rtsp_server_attach(server, nullptr) == 0) {
        std::fprintf(stderr, "rtsp_camera_server: cannot listen\n");
        return 1;
    }
    std::printf("%d\n", gst_rtsp_server_get_bound_port(server));
    std::fflush(stdout);

    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, Quit, loop);
    g_unix_signal_add(SIGINT, Quit, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    g_object_unref(server);
    return 0;
}
