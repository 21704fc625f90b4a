#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

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

// A shared block is only read: the first write copies it, and the owner is
// let go; a copy of the picture shares the same block.
TEST(FrameImage, ASharedBlockIsCopiedBeforeTheFirstWrite)
{
    std::vector<std::uint8_t> block(static_cast<std::size_t>(FrameImage::StrideFor(5)) * 3, 0x21);
    auto owner = std::make_shared<int>(0);
    FrameImage shared;
    shared.Share(5, 3, block.data(), owner);
    FrameImage alsoShared = shared;
    EXPECT_EQ(std::as_const(shared).Bits(), block.data());
    EXPECT_EQ(std::as_const(alsoShared).Bits(), block.data());
    EXPECT_EQ(owner.use_count(), 3);

    shared.Row(2)[0] = 0x99;
    EXPECT_EQ(block[2 * FrameImage::StrideFor(5)], 0x21);
    EXPECT_FALSE(shared.Shared());
    EXPECT_EQ(owner.use_count(), 2);
    shared.Row(2)[0] = 0x21;
    EXPECT_EQ(shared, alsoShared);  // the same bytes, one copied and one shared

    alsoShared.Resize(4, 3);  // another size: nothing of the old block stays
    EXPECT_EQ(owner.use_count(), 1);
}
