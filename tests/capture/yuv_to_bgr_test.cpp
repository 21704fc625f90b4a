// The libyuv colour converter in a pipeline, against videoconvert: the same
// picture in each colour matrix and range a decoder names, at a camera's
// size and at an odd one, comes out as videoconvert makes it when that too
// takes the nearest chroma sample (its default interpolates between them,
// which differs at sharp colour edges, not in the matrix); other formats
// pass through to videoconvert untouched.
#include <gtest/gtest.h>

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "capture/elements/register_elements.h"
#include "capture/elements/yuv_to_bgr.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

// The largest difference of one colour channel from videoconvert's result
// (both taking the nearest chroma sample) in BT.601, and in the matrices of
// HD and UHD video: libyuv's SIMD kernels hold the blue coefficient in
// 8 bits, at most 2.0 where BT.709 asks 2.11 and BT.2020 2.14, which the
// most saturated blues show.
constexpr int kLargestDifferenceBt601 = 6;
constexpr int kLargestDifference = 20;

// The BGR frame that `converter` (then `after`) makes of one frame of
// videotestsrc's `pattern` in `caps`; empty when the pipeline failed.
std::vector<std::uint8_t> Convert(const std::string& caps, const char* pattern, const char* converter,
                                  const char* after = "identity")
{
    gst::CharsHandle description{
        g_strdup_printf("videotestsrc num-buffers=1 pattern=%s ! %s ! %s ! %s ! video/x-raw,format=BGR "
                        "! appsink name=out sync=false",
                        pattern, caps.c_str(), converter, after)};
    gst::ErrorHandle error;
    gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(description.get(), error.out()));
    EXPECT_TRUE(pipeline) << (error ? error->message : "");
    if (!pipeline) return {};
    gst::ElementHandle sink{gst_bin_get_by_name(GST_BIN(pipeline.get()), "out")};
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    std::vector<std::uint8_t> bytes;
    if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 30 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return bytes;
}

// Over the pixels only: the padding at the end of each row (to 4 bytes) is
// written by neither converter.
int LargestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int width, int height)
{
    const std::size_t stride = GST_ROUND_UP_4(width * 3);
    int largest = 0;
    for (int row = 0; row < height; ++row)
        for (std::size_t i = row * stride; i < row * stride + width * 3; ++i)
            largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

class YuvToBgrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gst::EnsureInitialized();
        ASSERT_TRUE(RegisterOwnElements());
    }
};

TEST_F(YuvToBgrTest, MatchesVideoconvertInEveryMatrixAndRange)
{
    int largest = 0;
    for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{161, 121}}) {
        for (const char* colorimetry : {"bt601", "bt709", "bt2020", "1:4:0:0", "1:3:0:0"}) {
            for (const char* format : {"I420", "NV12"}) {
                for (const char* pattern : {"colors", "smpte", "snow"}) {
                    const std::string caps = std::string("video/x-raw,format=") + format +
                                             ",width=" + std::to_string(width) + ",height=" + std::to_string(height) +
                                             ",colorimetry=" + colorimetry;
                    SCOPED_TRACE(caps + " " + pattern);
                    const auto ours = Convert(caps, pattern, kYuvToBgrName);
                    const auto reference = Convert(caps, pattern, "videoconvert chroma-mode=none");
                    ASSERT_FALSE(ours.empty());
                    ASSERT_EQ(ours.size(), reference.size());
                    const int difference = LargestDifference(ours, reference, width, height);
                    const bool bt601 = colorimetry == std::string("bt601") || colorimetry == std::string("1:4:0:0");
                    EXPECT_LE(difference, bt601 ? kLargestDifferenceBt601 : kLargestDifference);
                    largest = std::max(largest, difference);
                }
            }
        }
    }
    RecordProperty("largest_difference", largest);
}

TEST_F(YuvToBgrTest, OtherFormatsPassThroughToVideoconvert)
{
    const std::string caps = "video/x-raw,format=Y42B,width=160,height=120";
    const auto passed = Convert(caps, "smpte", kYuvToBgrName, "videoconvert");
    ASSERT_FALSE(passed.empty());
    EXPECT_EQ(passed, Convert(caps, "smpte", "videoconvert"));
}

}  // namespace
}  // namespace qmd
