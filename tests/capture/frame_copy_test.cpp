// Copying frames into bitmaps: the row layout, bottom-up headers, sizes that
// do not match, and the failures that must leave the bitmap as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "capture/grabber/frame_pixels.h"
#include "capture/grabber/grabber_media_type.h"
#include "capture/sources/graph_elements.h"
#include "capture/grabber/sample_grabber.h"
#include "common/frame_image.h"
#include "common/quisk_error.h"
#include "gst/handles.h"

namespace qmd {
namespace {

std::vector<std::uint8_t> Numbered(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 31 + i / 251) & 0xFF);
    return bytes;
}

FrameImage Marked()
{
    FrameImage image;
    image.Resize(3, 2);
    std::memset(image.Bits(), 0x5A, image.ImageSize());
    return image;
}

class GrabberCopy : public ::testing::Test {
protected:
    TSampleGrabber grabber;
    FrameImage bitmap;
};

TEST_F(GrabberCopy, OddWidthGivesPaddedRowsTakenInOrder)
{
    grabber.SetConnectedMediaType(GrabberMediaType::TopDownBgr(641, 3));
    const auto frame = Numbered(1924 * 3);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, frame.data(), static_cast<int>(frame.size())));
    EXPECT_EQ(bitmap.Width(), 641);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.Stride(), 1924);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(y), frame.data() + y * 1924, 1924)) << y;
}

TEST_F(GrabberCopy, BottomUpHeaderPutsTheLastRowFirst)
{
    GrabberMediaType type = GrabberMediaType::TopDownBgr(640, 480);
    type.Header.Height = 480;  // positive: rows lie bottom-up
    grabber.SetConnectedMediaType(type);
    const auto frame = Numbered(1920 * 480);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, frame.data(), static_cast<int>(frame.size())));
    EXPECT_EQ(bitmap.Width(), 640);
    EXPECT_EQ(bitmap.Height(), 480);
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(0), frame.data() + frame.size() - 1920, 1920));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(479), frame.data(), 1920));
    EXPECT_THROW(bitmap.ScanLine(480), QuiskError);
}

TEST_F(GrabberCopy, ShortBufferFillsItsLengthAndLeavesTheRestBlack)
{
    grabber.SetConnectedMediaType(GrabberMediaType::TopDownBgr(4, 4));  // 12-byte rows
    const auto full = Numbered(48);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, full.data(), 48));
    const auto part = Numbered(18);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, part.data(), 18));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(0), part.data(), 12));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(1), part.data() + 12, 6));
    const std::vector<std::uint8_t> black(12, 0);
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(1) + 6, black.data(), 6));
    EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(3), black.data(), 12));
}

TEST_F(GrabberCopy, LongBufferCopiesOnlyTheImageSize)
{
    GrabberMediaType type = GrabberMediaType::TopDownBgr(4, 2);
    type.Header.SizeImage = 100000;  // a header that claims more than the picture holds
    grabber.SetConnectedMediaType(type);
    const auto frame = Numbered(200000);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, frame.data(), static_cast<int>(frame.size())));
    EXPECT_EQ(bitmap.ImageSize(), 24u);
    EXPECT_EQ(0, std::memcmp(bitmap.Bits(), frame.data(), 24));
}

TEST_F(GrabberCopy, SameSizeKeepsTheBlock)
{
    grabber.SetConnectedMediaType(GrabberMediaType::TopDownBgr(320, 240));
    const auto first = Numbered(960 * 240);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, first.data(), static_cast<int>(first.size())));
    const std::uint8_t* block = bitmap.Bits();
    const auto second = Numbered(960 * 240 + 7);
    ASSERT_TRUE(grabber.FrameToBitmap(&bitmap, second.data() + 7, 960 * 240));
    EXPECT_EQ(bitmap.Bits(), block);
    EXPECT_EQ(0, std::memcmp(bitmap.Bits(), second.data() + 7, 960 * 240));
}

TEST_F(GrabberCopy, FailuresLeaveTheBitmapUnchanged)
{
    const auto frame = Numbered(4096);
    bitmap = Marked();
    const FrameImage before = bitmap;

    EXPECT_FALSE(grabber.FrameToBitmap(nullptr, frame.data(), 4096));
    EXPECT_FALSE(grabber.FrameToBitmap(&bitmap, frame.data(), 4096)) << "no connected type";

    grabber.SetConnectedMediaType(GrabberMediaType::TopDownBgr(16, 16));
    EXPECT_FALSE(grabber.FrameToBitmap(&bitmap, frame.data(), 0));
    EXPECT_FALSE(grabber.FrameToBitmap(&bitmap, frame.data(), -5));
    EXPECT_FALSE(grabber.FrameToBitmap(&bitmap, nullptr, 4096));

    const GrabberMediaType good = GrabberMediaType::TopDownBgr(16, 16);
    std::vector<GrabberMediaType> bad(8, good);
    bad[0].MajorVideo = false;
    bad[1].FormatSize = 87;
    bad[2].FormatType = MediaFormatType::VideoInfo2;  // VideoInfo2 with a VideoInfo-sized block
    bad[3].FormatType = MediaFormatType::Other;
    bad[4].Header.BitCount = 32;
    bad[5].Header.Width = 0;
    bad[6].Header.Height = 0;
    bad[7].Header.Width = 1 << 30;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        grabber.SetConnectedMediaType(bad[i]);
        EXPECT_FALSE(grabber.FrameToBitmap(&bitmap, frame.data(), 4096)) << i;
    }
    EXPECT_EQ(bitmap, before);

    GrabberMediaType second = good;
    second.FormatType = MediaFormatType::VideoInfo2;
    second.FormatSize = kVideoInfo2Size;
    grabber.SetConnectedMediaType(second);
    EXPECT_TRUE(grabber.FrameToBitmap(&bitmap, frame.data(), 4096));
}

TEST_F(GrabberCopy, LatestFrameBeforeTheFirstIsFalse)
{
    bitmap = Marked();
    const FrameImage before = bitmap;
    EXPECT_FALSE(grabber.LatestFrameToBitmap(&bitmap));
    EXPECT_FALSE(grabber.LatestFrameToBitmap(nullptr));
    EXPECT_EQ(bitmap, before);
}

// A frame is kept without a copy only where holding it cannot starve the
// pool it came from (a capture driver's few buffers are copied), and only
// when it is laid out as the bitmap's block.
TEST(FrameSharing, OnlyFramesOfUnlimitedPoolsAreSharedAndOnlyTopDown)
{
    const GrabberMediaType type = GrabberMediaType::TopDownBgr(5, 3);
    const std::size_t size = type.Header.SizeImage;
    gst::CapsHandle caps = gst::CapsFromString("video/x-raw,format=BGR,width=5,height=3");
    auto frameOfPool = [&](guint maxBuffers) {
        gst::ObjectHandle<GstBufferPool> pool{gst_buffer_pool_new()};
        GstStructure* config = gst_buffer_pool_get_config(pool.get());
        gst_buffer_pool_config_set_params(config, caps.get(), static_cast<guint>(size), 0, maxBuffers);
        EXPECT_TRUE(gst_buffer_pool_set_config(pool.get(), config));
        EXPECT_TRUE(gst_buffer_pool_set_active(pool.get(), TRUE));
        GstBuffer* buffer = nullptr;
        EXPECT_EQ(gst_buffer_pool_acquire_buffer(pool.get(), &buffer, nullptr), GST_FLOW_OK);
        gst::BufferHandle frame{buffer};
        std::vector<std::uint8_t> scratch;
        const bool owned = static_cast<bool>(FramePixels(frame.get(), type, scratch).Owner());
        frame.reset();
        gst_buffer_pool_set_active(pool.get(), FALSE);
        return owned;
    };
    EXPECT_FALSE(frameOfPool(2));
    EXPECT_TRUE(frameOfPool(0));

    gst::BufferHandle loose{gst_buffer_new_allocate(nullptr, size, nullptr)};
    std::vector<std::uint8_t> scratch;
    const FramePixels pixels(loose.get(), type, scratch);
    ASSERT_TRUE(pixels.Owner());
    FrameImage shared;
    ASSERT_TRUE(FrameToImage(type, pixels.Data(), pixels.Size(), pixels.Owner(), shared));
    EXPECT_EQ(std::as_const(shared).Bits(), pixels.Data());

    GrabberMediaType bottomUp = type;
    bottomUp.Header.Height = 3;
    FrameImage copied;
    ASSERT_TRUE(FrameToImage(bottomUp, pixels.Data(), pixels.Size(), pixels.Owner(), copied));
    EXPECT_FALSE(copied.Shared());
    EXPECT_EQ(0, std::memcmp(copied.Row(0), pixels.Data() + 2 * FrameImage::StrideFor(5), 15));
}

TEST(GrabberMediaTypeTest, ImageSizeFromTheHeader)
{
    VideoHeader header{641, -480, 1, 24, 0};
    EXPECT_EQ(HeaderLineSize(header), 1924);
    EXPECT_EQ(HeaderImageSize(header), 1924 * 480);
    header.BitCount = 15;
    EXPECT_EQ(HeaderLineSize(header), ((641 * 16 + 31) / 32) * 4);
    header.SizeImage = 99;
    EXPECT_EQ(HeaderImageSize(header), 99);
}

TEST(GrabberMediaTypeTest, FromNegotiatedCaps)
{
    gst::CapsHandle bgr{gst_caps_from_string("video/x-raw,format=BGR,width=641,height=3,framerate=30/1")};
    gst::CapsHandle yuv{gst_caps_from_string("video/x-raw,format=I420,width=640,height=480")};
    const auto type = GrabberMediaType::FromCaps(bgr.get());
    ASSERT_TRUE(type);
    EXPECT_EQ(*type, GrabberMediaType::TopDownBgr(641, 3));
    EXPECT_EQ(type->Header.SizeImage, 1924u * 3);
    EXPECT_FALSE(GrabberMediaType::FromCaps(yuv.get()));
    EXPECT_FALSE(GrabberMediaType::FromCaps(nullptr));
}

}  // namespace
}  // namespace qmd
