#include <gtest/gtest.h>

#include "common/frame_image.h"
#include "common/quisk_error.h"

using qmd::FrameImage;

TEST(FrameImage, RowsArePaddedToFourBytes)
{
    FrameImage image;
    image.Resize(641, 2);
    EXPECT_EQ(image.Stride(), 1924);
    EXPECT_EQ(image.ImageSize(), 2u * 1924u);
    image.Resize(640, 480);
    EXPECT_EQ(image.Stride(), 1920);
    image.Resize(1, 1);
    EXPECT_EQ(image.Stride(), 4);
}

TEST(FrameImage, ScanLineOutsideThePictureFails)
{
    FrameImage image;
    EXPECT_THROW(image.ScanLine(0), qmd::QuiskError);
    image.Resize(3, 2);
    EXPECT_NO_THROW(image.ScanLine(1));
    try {
        image.ScanLine(2);
        FAIL();
    } catch (const qmd::QuiskError& e) {
        EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
    EXPECT_THROW(image.ScanLine(-1), qmd::QuiskError);
}

TEST(FrameImage, SameSizeKeepsItsMemory)
{
    FrameImage image;
    image.Resize(320, 240);
    const auto* before = image.Bits();
    image.Resize(320, 240);
    EXPECT_EQ(image.Bits(), before);
    image.Resize(-4, 7);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.ImageSize(), 0u);
}
