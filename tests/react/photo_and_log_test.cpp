#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "common/quisk_error.h"
#include "react/core/bmp_file.h"
#include "react/core/file_writes.h"
#include "react/core/reaction_texts.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

std::uint32_t U32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}
std::uint16_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
}

FrameImage PatternFrame(int width, int height)
{
    FrameImage image;
    image.Resize(width, height);
    std::memset(image.Bits(), 0xEE, image.ImageSize());  // padding must not leak into the pixels' place
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x * 7 + y);
        }
    return image;
}

TEST(BmpFile, HeadersAndBottomUpPaddedRows)
{
    for (const auto& [w, h] : {std::pair{1, 1}, {3, 2}, {5, 7}, {640, 4}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const FrameImage frame = PatternFrame(w, h);
        const std::string bmp = EncodeBmp(frame);
        const std::uint32_t stride = static_cast<std::uint32_t>(((w * 3) + 3) / 4 * 4);
        ASSERT_EQ(bmp.size(), 54 + stride * h);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(U32(bmp, 2), bmp.size());
        EXPECT_EQ(U32(bmp, 10), 54u);
        EXPECT_EQ(U32(bmp, 14), 40u);
        EXPECT_EQ(static_cast<int>(U32(bmp, 18)), w);
        EXPECT_EQ(static_cast<int>(U32(bmp, 22)), h);  // positive height: bottom-up
        EXPECT_EQ(U16(bmp, 26), 1);
        EXPECT_EQ(U16(bmp, 28), 24);
        EXPECT_EQ(U32(bmp, 30), 0u);
        EXPECT_EQ(U32(bmp, 34), stride * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t at = 54 + static_cast<std::size_t>(h - 1 - y) * stride + 3 * x;
                ASSERT_EQ(static_cast<std::uint8_t>(bmp[at]), x & 0xFF);
                ASSERT_EQ(static_cast<std::uint8_t>(bmp[at + 1]), y & 0xFF);
                ASSERT_EQ(static_cast<std::uint8_t>(bmp[at + 2]), (x * 7 + y) & 0xFF);
            }
    }
}

TEST(BmpFile, SaveReplacesAndLeavesNoTemporaryFile)
{
    test::TempDir dir;
    const std::string path = dir.File("photo.bmp");
    test::WriteFileBytes(path, "older photo");
    SaveBmpFile(path, PatternFrame(4, 3));
    EXPECT_EQ(test::ReadFileBytes(path), EncodeBmp(PatternFrame(4, 3)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    EXPECT_THROW(SaveBmpFile(dir.File("missing/photo.bmp"), PatternFrame(2, 2)), QuiskError);
}

TEST(ReactionTexts, PhotoNameAndLogLine)
{
    const LocalTime date{2027, 2, 1, 9, 5, 3, 7};
    LocalTime later = date;
    later.Second = 4;
    later.Millisecond = 250;
    EXPECT_EQ(PhotoFileName(date, date), "Zdjęcie zrobione w dniu 1.2.2027 o godzinie .9.5.3.bmp");
    EXPECT_EQ(PhotoFilePath("/home/u/Zdjęcia", date, later),
              "/home/u/Zdjęcia/Zdjęcie zrobione w dniu 1.2.2027 o godzinie .9.5.4.bmp");
    EXPECT_EQ(LogLine(date, date), "Wykryto ruch dnia 1.2.2027 o godzinie 9:5:3 (7 ms)\r\n");
    EXPECT_EQ(LogLine(LocalTime{2026, 12, 31, 23, 59, 59, 999}, LocalTime{2027, 1, 1, 0, 0, 0, 0}),
              "Wykryto ruch dnia 31.12.2026 o godzinie 0:0:0 (0 ms)\r\n");
}

TEST(FileWrites, AppendCreatesThenAppends)
{
    test::TempDir dir;
    const std::string path = dir.File("Dziennik.log");
    AppendToFileOrThrow(path, "one\r\n");
    AppendToFileOrThrow(path, "two\r\n");
    EXPECT_EQ(test::ReadFileBytes(path), "one\r\ntwo\r\n");
    EXPECT_THROW(AppendToFileOrThrow(dir.File("missing/Dziennik.log"), "x"), QuiskError);
    EXPECT_THROW(AppendToFileOrThrow(dir.Path().string(), "x"), QuiskError);  // a folder
}

}  // namespace
}  // namespace qmd
