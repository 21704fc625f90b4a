// The list of offered media types: one entry per pixel format × frame size ×
// frame rate, in the device's order.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include "capture/formats/enum_media_type.h"
#include "capture/formats/format_blocks.h"
#include "capture/formats/offered_caps.h"
#include "common/quisk_error.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

class OfferedTypes : public testing::Test {
protected:
    static void SetUpTestSuite() { gst::EnsureInitialized(); }

    static gst::CapsHandle Caps(const char* text)
    {
        gst::CapsHandle caps(gst_caps_from_string(text));
        EXPECT_TRUE(caps) << text;
        return caps;
    }

    static std::vector<std::string> Split(const char* text)
    {
        std::vector<std::string> entries;
        for (const gst::CapsHandle& entry : SplitOfferedCaps(Caps(text).get())) {
            EXPECT_TRUE(gst_caps_is_fixed(entry.get()));
            gst::CharsHandle chars(gst_caps_to_string(entry.get()));
            entries.emplace_back(chars.get());
        }
        return entries;
    }
};

TEST_F(OfferedTypes, OneEntryPerStructureInTheDevicesOrder)
{
    TEnumMediaType list;
    list.FormatList(Caps("video/x-raw, format=YUY2, width=1280, height=720, framerate=10/1; "
                         "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
                         "image/jpeg, width=640, height=480, framerate=30/1")
                        .get());
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.MediaDescription(0), "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 1280X720, 16 bits");
    EXPECT_EQ(list.MediaDescription(1), "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 320X240, 16 bits");
    EXPECT_EQ(list.MediaDescription(2), "Major Type: Video - Sub Type: MJPG Format: VideoInfo MJPG 640X480, 24 bits");
    // The second entry applies exactly the second structure.
    gst::CapsHandle second(gst_caps_from_string("video/x-raw, format=YUY2, width=320, height=240, framerate=30/1"));
    EXPECT_TRUE(gst_caps_is_equal(list.Items(1).Caps(), second.get()));
}

TEST_F(OfferedTypes, ListsExpandFormatsOutermostAndRatesInnermost)
{
    EXPECT_EQ(Split("video/x-raw, format={ I420, YUY2 }, width=640, height=480, framerate={ 30/1, 15/1 }"),
              (std::vector<std::string>{
                  "video/x-raw, format=(string)I420, width=(int)640, height=(int)480, framerate=(fraction)30/1",
                  "video/x-raw, format=(string)I420, width=(int)640, height=(int)480, framerate=(fraction)15/1",
                  "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, framerate=(fraction)30/1",
                  "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, framerate=(fraction)15/1",
              }));
    EXPECT_EQ(Split("video/x-raw, format=BGR, width={ 320, 160 }, height={ 240, 120 }").size(), 4u);
}

TEST_F(OfferedTypes, RangesGiveOneEntryNearVgaAtThirtyAndOtherFieldsAreFixed)
{
    EXPECT_EQ(Split("video/x-raw, format=YUY2, width=[ 1, 4096 ], height=[ 1, 4096 ], "
                    "framerate=[ 0/1, 60/1 ], pixel-aspect-ratio=[ 1/100, 100/1 ], interlace-mode={ progressive, "
                    "interleaved }"),
              (std::vector<std::string>{
                  "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, framerate=(fraction)30/1, "
                  "pixel-aspect-ratio=(fraction)1/1, interlace-mode=(string)progressive",
              }));
    EXPECT_EQ(Split("video/x-raw, format=GRAY8, width=[ 16, 320 ], height=[ 600, 800 ], framerate=[ 1/1, 5/1 ]"),
              (std::vector<std::string>{
                  "video/x-raw, format=(string)GRAY8, width=(int)320, height=(int)600, framerate=(fraction)5/1",
              }));
}

TEST_F(OfferedTypes, CapsFeaturesStayWithTheirEntries)
{
    const auto entries = Split("video/x-raw(memory:DMABuf), format=NV12, width=64, height=64");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "video/x-raw(memory:DMABuf), format=(string)NV12, width=(int)64, height=(int)64");
}

TEST_F(OfferedTypes, NothingOfferedAndNoSource)
{
    TEnumMediaType list;
    list.FormatList(Caps("video/x-raw, format=YUY2, width=8, height=8").get());
    ASSERT_EQ(list.Count(), 1);

    list.FormatList(Caps("EMPTY").get());
    EXPECT_EQ(list.Count(), 0);
    list.FormatList(Caps("ANY").get());
    EXPECT_EQ(list.Count(), 0);

    list.FormatList(Caps("video/x-raw, format=YUY2, width=8, height=8").get());
    try {
        list.FormatList(nullptr);
        FAIL() << "no caps to read";
    } catch (const QuiskError& error) {
        EXPECT_STREQ(error.what(), "IPin not assigned");
    }
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(OfferedTypes, PositionsOutsideTheList)
{
    TEnumMediaType list;
    list.FormatList(Caps("video/x-raw, format=YUY2, width=8, height=8").get());
    EXPECT_EQ(list.MediaDescription(-1), "");
    EXPECT_EQ(list.MediaDescription(1), "");
    EXPECT_NE(list.MediaDescription(0), "");
    try {
        list.Items(1);
        FAIL() << "past the end";
    } catch (const QuiskError& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(list.Items(-1), QuiskError);
}

}  // namespace
}  // namespace qmd
