// Records built from the caps a device offers: subtype identifiers, the
// VideoInfo block with its bitmap header, and the caps kept for applying.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include "capture/formats/format_blocks.h"
#include "capture/formats/little_endian.h"
#include "capture/formats/media_type.h"
#include "capture/formats/media_type_description.h"
#include "capture/formats/media_type_ids.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd {
namespace {

class MediaTypeFromCaps : public testing::Test {
protected:
    static void SetUpTestSuite() { gst::EnsureInitialized(); }

    static TMediaType FromText(const char* caps)
    {
        gst::CapsHandle parsed(gst_caps_from_string(caps));
        EXPECT_TRUE(parsed) << caps;
        return TMediaType::FromCaps(parsed.get());
    }

    static BitmapInfoHeader HeaderOf(const TMediaType& type)
    {
        const auto info = VideoInfoHeader::FromBlock(type.FormatBlock);
        EXPECT_TRUE(info.has_value());
        return info ? info->Header : BitmapInfoHeader{};
    }
};

TEST_F(MediaTypeFromCaps, RawFormatsGetTheirPublishedSubtypeBitsAndCode)
{
    struct Row {
        const char* format;
        Guid subtype;
        std::uint16_t bits;
        std::uint32_t compression;
        const char* description;
    };
    const Row rows[] = {
        {"YUY2", GuidFromFourCC("YUY2"), 16, FourCC("YUY2"), "Sub Type: YUY2 Format: VideoInfo YUY2 640X480, 16 bits"},
        {"UYVY", GuidFromFourCC("UYVY"), 16, FourCC("UYVY"), "Sub Type: UYVY Format: VideoInfo UYVY 640X480, 16 bits"},
        {"YVYU", GuidFromFourCC("YVYU"), 16, FourCC("YVYU"), "Sub Type: YVYU Format: VideoInfo YVYU 640X480, 16 bits"},
        {"I420", GuidFromFourCC("IYUV"), 12, FourCC("IYUV"), "Sub Type: IYUV Format: VideoInfo IYUV 640X480, 12 bits"},
        {"YV12", GuidFromFourCC("YV12"), 12, FourCC("YV12"), "Sub Type: YV12 Format: VideoInfo YV12 640X480, 12 bits"},
        {"NV12", GuidFromFourCC("NV12"), 12, FourCC("NV12"),
         "Sub Type: UnKnown  Format: VideoInfo NV12 640X480, 12 bits"},
        {"YVU9", GuidFromFourCC("YVU9"), 9, FourCC("YVU9"), "Sub Type: YVU9 Format: VideoInfo YVU9 640X480, 9 bits"},
        {"GRAY8", GuidFromFourCC("Y800"), 8, FourCC("Y800"),
         "Sub Type: UnKnown  Format: VideoInfo Y800 640X480, 8 bits"},
        {"BGR", media_ids::SubRGB24, 24, 0, "Sub Type: RGB24 Format: VideoInfo RGB 640X480, 24 bits"},
        {"BGRx", media_ids::SubRGB32, 32, 0, "Sub Type: RGB32 Format: VideoInfo RGB 640X480, 32 bits"},
        {"BGRA", media_ids::SubARGB32, 32, 0, "Sub Type: ARGB32 Format: VideoInfo RGB 640X480, 32 bits"},
        {"RGB16", media_ids::SubRGB565, 16, 0, "Sub Type: RGB565 Format: VideoInfo RGB 640X480, 16 bits"},
        {"RGB15", media_ids::SubRGB555, 16, 0, "Sub Type: RGB555 Format: VideoInfo RGB 640X480, 16 bits"},
        // No published subtype and no GStreamer code: the name's characters.
        {"RGB", GuidFromFourCC("RGB "), 24, FourCC("RGB "),
         "Sub Type: UnKnown  Format: VideoInfo RGB  640X480, 24 bits"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        const std::string caps =
            std::string("video/x-raw, format=") + row.format + ", width=640, height=480, framerate=30/1";
        const TMediaType type = FromText(caps.c_str());
        EXPECT_EQ(type.MajorType, media_ids::MajorVideo);
        EXPECT_EQ(type.SubType, row.subtype);
        EXPECT_EQ(type.FormatType, media_ids::FormatVideoInfo);
        EXPECT_TRUE(type.FixedSizeSamples);
        const BitmapInfoHeader header = HeaderOf(type);
        EXPECT_EQ(header.Width, 640);
        EXPECT_EQ(header.Height, 480);
        EXPECT_EQ(header.BitCount, row.bits);
        EXPECT_EQ(header.Compression, row.compression);
        EXPECT_EQ(header.SizeImage, 640u * 480u * row.bits / 8u);
        EXPECT_EQ(type.SampleSize, header.SizeImage);
        EXPECT_EQ(MediaTypeDescription(type), std::string("Major Type: Video - ") + row.description);
    }
}

TEST_F(MediaTypeFromCaps, VideoInfoBlockLayout)
{
    const TMediaType type = FromText("video/x-raw, format=BGR, width=641, height=3, framerate=25/1");
    ASSERT_EQ(type.FormatBlock.size(), 88u);
    const std::uint8_t* header = type.FormatBlock.data() + 48;
    EXPECT_EQ(le::Get32(header), 40u);                                          // header size
    EXPECT_EQ(le::Get32(header + 4), 641u);                                     // width
    EXPECT_EQ(le::Get32(header + 8), 3u);                                       // height
    EXPECT_EQ(le::Get16(header + 12), 1u);                                      // planes
    EXPECT_EQ(le::Get16(header + 14), 24u);                                     // bit count
    EXPECT_EQ(le::Get32(header + 16), 0u);                                      // compression
    EXPECT_EQ(le::Get32(header + 20), 1924u * 3u);                              // rows padded to 4 bytes
    EXPECT_EQ(le::Get64(type.FormatBlock.data() + 40), 400000u);                // 1/25 s in 100 ns units
    EXPECT_EQ(le::Get32(type.FormatBlock.data() + 32), 1924u * 3u * 8u * 25u);  // bit rate
}

TEST_F(MediaTypeFromCaps, CompressedVideo)
{
    const TMediaType jpeg = FromText("image/jpeg, width=1280, height=720, framerate=30000/1001");
    EXPECT_EQ(jpeg.SubType, GuidFromFourCC("MJPG"));
    EXPECT_FALSE(jpeg.FixedSizeSamples);
    EXPECT_EQ(HeaderOf(jpeg).Compression, FourCC("MJPG"));
    EXPECT_EQ(le::Get64(jpeg.FormatBlock.data() + 40), 333667u);
    EXPECT_EQ(MediaTypeDescription(jpeg),
              "Major Type: Video - Sub Type: MJPG Format: VideoInfo MJPG 1280X720, 24 bits");

    const TMediaType h264 = FromText("video/x-h264, stream-format=byte-stream, width=1920, height=1080");
    EXPECT_TRUE(h264.TemporalCompression);
    EXPECT_EQ(MediaTypeDescription(h264),
              "Major Type: Video - Sub Type: UnKnown  Format: VideoInfo H264 1920X1080, 24 bits");
    EXPECT_EQ(MediaTypeDescription(FromText("video/x-dv, systemstream=false, width=720, height=576")),
              "Major Type: Video - Sub Type: dvsd_ Format: VideoInfo dvsd 720X576, 24 bits");
}

TEST_F(MediaTypeFromCaps, AudioAndTheUnknown)
{
    const TMediaType pcm = FromText("audio/x-raw, format=S16LE, layout=interleaved, rate=48000, channels=2");
    EXPECT_EQ(MediaTypeDescription(pcm),
              "Major Type: Audio - Sub Type: PCM Format: WaveFormatEx: PCM, 48000 Hertz, 16 Bits, 2 Channels");
    EXPECT_EQ(pcm.SampleSize, 4u);
    EXPECT_EQ(MediaTypeDescription(FromText("audio/x-raw, format=F32LE, layout=interleaved, rate=8000, channels=1")),
              "Major Type: Audio - Sub Type: IEEE_FLOAT Format: WaveFormatEx: IEEE_FLOAT, 8000 Hertz, 32 Bits, 1 "
              "Channels");
    EXPECT_EQ(MediaTypeDescription(FromText("video/x-theora, width=320, height=240")),
              "Major Type: Video - Sub Type: UnKnown  Format: Unknown");
    EXPECT_EQ(MediaTypeDescription(FromText("application/x-rtp")),
              "Major Type: UnKnown  - Sub Type: UnKnown  Format: Unknown");
    EXPECT_EQ(MediaTypeDescription(TMediaType::FromCaps(nullptr)),
              "Major Type: UnKnown  - Sub Type: UnKnown  Format: Unknown");
    // A format name GStreamer does not know keeps its own characters.
    EXPECT_EQ(MediaTypeDescription(FromText("video/x-raw, format=ZZ, width=2, height=2")),
              "Major Type: Video - Sub Type: UnKnown  Format: VideoInfo ZZ   2X2, 0 bits");
}

TEST_F(MediaTypeFromCaps, KeepsExactlyTheCapsItWasBuiltFromThroughCopies)
{
    gst::CapsHandle caps(gst_caps_from_string("video/x-raw, format=YUY2, width=320, height=240, framerate=15/2"));
    TMediaType original = TMediaType::FromCaps(caps.get());
    TMediaType copy = original;
    TMediaType assigned;
    assigned = copy;
    TMediaType moved = std::move(original);
    for (const TMediaType* type : {&copy, &assigned, &moved}) {
        ASSERT_NE(type->Caps(), nullptr);
        EXPECT_TRUE(gst_caps_is_equal(type->Caps(), caps.get()));
        EXPECT_EQ(type->FormatBlock, copy.FormatBlock);
    }
    EXPECT_EQ(TMediaType().Caps(), nullptr);
}

}  // namespace
}  // namespace qmd
