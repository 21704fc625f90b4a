// The libavcodec decoder against gst-libav's decoder of the same codec, fed
// the same encoded stream side by side: every picture the same, byte for
// byte, whether it goes out as libavcodec holds it (downstream reads the
// planes' strides) or copied into a buffer of GStreamer's own layout, at a
// camera's size and at an odd one whose rows libavcodec pads.
#include <gtest/gtest.h>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <string>
#include <vector>

#include "capture/elements/libav_video_decoder.h"
#include "capture/elements/register_elements.h"
#include "capture/elements/yuv_to_bgr.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

using Pictures = std::vector<std::vector<std::uint8_t>>;

// These tests are about pictures, not threads. Under ThreadSanitizer every
// copy inside libavcodec and the encoders, handed between threads through
// GStreamer's uninstrumented locks, is a suppressed report that costs it a
// search: a minute a test. The decoder's threads are exercised there by the
// rtsp:// cameras of capture_extra_sources_test.
void SkipUnderThreadSanitizer()
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "pictures only: the rtsp:// camera tests cover the threads";
#endif
}

// Each picture's visible pixels, plane by plane: the padding at the end of
// a row is written by neither decoder.
Pictures PullAll(GstElement* pipeline, const char* sinkName)
{
    gst::ElementHandle sink{gst_bin_get_by_name(GST_BIN(pipeline), sinkName)};
    Pictures pictures;
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 60 * GST_SECOND)) {
        GstVideoInfo info;
        GstVideoFrame frame;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
            gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
            std::vector<std::uint8_t>& pixels = pictures.emplace_back();
            for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&frame); ++plane) {
                const auto* data = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
                for (int row = 0; row < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, plane); ++row) {
                    const std::uint8_t* start = data + row * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
                    pixels.insert(pixels.end(), start, start + GST_VIDEO_FRAME_COMP_WIDTH(&frame, plane));
                }
            }
            gst_video_frame_unmap(&frame);
        }
        gst_sample_unref(sample);
    }
    return pictures;
}

struct Codec {
    const char* Encoder;  // with its parser
    const char* TheirDecoder;
};

class LibavDecoderTest : public ::testing::TestWithParam<Codec> {
protected:
    void SetUp() override
    {
        SkipUnderThreadSanitizer();
        if (IsSkipped()) return;
        gst::EnsureInitialized();
        ASSERT_TRUE(RegisterOwnElements());
        for (const char* needed : {"x264enc", "x265enc", "avenc_mpeg4", "avdec_h264"})
            if (gst::ObjectHandle<GstElementFactory> factory{gst_element_factory_find(needed)}; !factory)
                GTEST_SKIP() << needed << " is not installed";
    }

    // `tail` before each appsink: our converter reads GstVideoMeta, an
    // appsink alone does not.
    void ExpectSamePictures(int width, int height, const char* tail)
    {
        const Codec& codec = GetParam();
        gst::CharsHandle description{g_strdup_printf(
            "videotestsrc num-buffers=20 pattern=ball ! video/x-raw,format=I420,width=%d,height=%d,framerate=15/1 "
            "! %s ! tee name=t "
            "t. ! queue ! %s ! %s ! appsink name=ours sync=false "
            "t. ! queue ! %s ! %s ! appsink name=theirs sync=false",
            width, height, codec.Encoder, kLibavDecoderName, tail, codec.TheirDecoder, tail)};
        gst::ErrorHandle error;
        gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(description.get(), error.out()));
        ASSERT_TRUE(pipeline) << (error ? error->message : "");
        ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
        // Each sink is drained on its own; the queues let the other run on meanwhile.
        const Pictures ours = PullAll(pipeline.get(), "ours");
        const Pictures theirs = PullAll(pipeline.get(), "theirs");
        gst_element_set_state(pipeline.get(), GST_STATE_NULL);
        ASSERT_EQ(ours.size(), 20u);
        ASSERT_EQ(theirs.size(), ours.size());
        for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_TRUE(ours[i] == theirs[i]) << "picture " << i;
    }
};

TEST_P(LibavDecoderTest, GivesGstLibavsPicturesAsTheyAre)
{
    const std::string toBgr = std::string(kYuvToBgrName) + " ! video/x-raw,format=BGR";
    ExpectSamePictures(320, 240, toBgr.c_str());
    ExpectSamePictures(166, 98, toBgr.c_str());
}

TEST_P(LibavDecoderTest, GivesGstLibavsPicturesCopied)
{
    ExpectSamePictures(166, 98, "video/x-raw,format=I420");
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, LibavDecoderTest,
    ::testing::Values(Codec{"x264enc threads=1 key-int-max=5 ! h264parse", "avdec_h264"},
                      Codec{"x265enc key-int-max=5 ! h265parse", "avdec_h265"},
                      Codec{"avenc_mpeg4 ! mpeg4videoparse", "avdec_mpeg4"}),
    [](const ::testing::TestParamInfo<Codec>& info) {
        return std::string(info.param.TheirDecoder).substr(std::string("avdec_").size());
    });

// A camera joined in the middle of a group of pictures, or a packet lost on
// the way: a picture decoded without its references, or with parts
// concealed, would differ from the one before it all over and be taken for
// motion. Pictures come out again from the next key frame.
TEST(LibavDecoder, GivesNoPictureBeforeTheFirstKeyFrameNorADamagedOne)
{
    SkipUnderThreadSanitizer();
    if (IsSkipped()) return;
    gst::EnsureInitialized();
    ASSERT_TRUE(RegisterOwnElements());
    if (gst::ObjectHandle<GstElementFactory> factory{gst_element_factory_find("x264enc")}; !factory)
        GTEST_SKIP() << "x264enc is not installed";
    gst::CharsHandle description{g_strdup_printf(
        "videotestsrc num-buffers=20 pattern=ball ! video/x-raw,format=I420,width=320,height=240,framerate=15/1 "
        "! x264enc threads=1 key-int-max=10 bframes=0 ! h264parse config-interval=-1 name=parse "
        "! video/x-h264,stream-format=byte-stream,alignment=au ! %s ! appsink name=ours sync=false",
        kLibavDecoderName)};
    gst::ErrorHandle error;
    gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(description.get(), error.out()));
    ASSERT_TRUE(pipeline) << (error ? error->message : "");
    // The first key frame arrives without its picture (its parameter sets
    // only); the 15th picture loses the second half of its slice.
    gst::ElementHandle parse{gst_bin_get_by_name(GST_BIN(pipeline.get()), "parse")};
    gst::PadHandle parsed{gst_element_get_static_pad(parse.get(), "src")};
    int index = 0;
    gst_pad_add_probe(
        parsed.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer counter) {
            const int picture = (*static_cast<int*>(counter))++;
            if (picture != 0 && picture != 14) return GST_PAD_PROBE_OK;
            GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            gsize keep = gst_buffer_get_size(buffer) / 2;
            if (picture == 0) {
                GstMapInfo map;
                gst_buffer_map(buffer, &map, GST_MAP_READ);
                for (gsize i = 0; i + 3 < map.size; ++i)
                    if (map.data[i] == 0 && map.data[i + 1] == 0 && map.data[i + 2] == 1 && (map.data[i + 3] & 0x1F) == 5) {
                        keep = i;  // up to the key frame's slice
                        break;
                    }
                gst_buffer_unmap(buffer, &map);
            }
            gst_buffer_resize(buffer, 0, static_cast<gssize>(keep));
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            return GST_PAD_PROBE_OK;
        },
        &index, nullptr);
    ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const Pictures pictures = PullAll(pipeline.get(), "ours");
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    // Pictures 10 to 19 but the damaged 14th.
    EXPECT_EQ(pictures.size(), 9u);
}

}  // namespace
}  // namespace qmd
