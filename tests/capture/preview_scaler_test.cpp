// The preview's stretch: nearest source pixel, colours in the right order,
// rows padded in the source, enlarging and shrinking.
#include <gtest/gtest.h>

#include <vector>

#include "capture/preview_scaler.h"
#include "common/frame_image.h"

namespace qmd {
namespace {

TEST(PreviewScalerTest, TakesTheNearestPixelInRgbOrder)
{
    // 3 x 2 BGR with 12-byte rows (9 bytes of pixels, 3 of padding).
    FrameImage frame;
    frame.Resize(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::uint8_t* pixel = frame.Row(y) + x * 3;
            pixel[0] = static_cast<std::uint8_t>(10 * x + y);        // blue
            pixel[1] = static_cast<std::uint8_t>(100 + 10 * x + y);  // green
            pixel[2] = static_cast<std::uint8_t>(200 + 10 * x + y);  // red
        }
    PreviewScaler scaler;
    for (const QSize size : {QSize(6, 4), QSize(3, 2), QSize(2, 1), QSize(7, 5)}) {
        QImage target(size, QImage::Format_RGB32);
        scaler.Scale(frame.Bits(), 3, 2, frame.Stride(), target);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const int sx = x * 3 / size.width(), sy = y * 2 / size.height();
                EXPECT_EQ(target.pixel(x, y), qRgb(200 + 10 * sx + sy, 100 + 10 * sx + sy, 10 * sx + sy))
                    << size.width() << "x" << size.height() << " at " << x << "," << y;
            }
    }
}

TEST(PreviewScalerTest, TightRowsAreNeverReadPastTheirEnd)
{
    // 5 x 3 BGR with no padding at all: the last pixel ends the buffer, so a
    // read of one byte too many is caught (by the address sanitizer).
    const int width = 5, height = 3;
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3 * height);
    for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<std::uint8_t>(7 * i + 1);
    PreviewScaler scaler;
    for (const QSize size : {QSize(5, 3), QSize(11, 7), QSize(2, 2), QSize(1, 1), QSize(306, 229)}) {
        QImage target(size, QImage::Format_RGB32);
        scaler.Scale(bgr.data(), width, height, width * 3, target);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const std::uint8_t* pixel =
                    bgr.data() + (y * height / size.height()) * width * 3 + x * width / size.width() * 3;
                ASSERT_EQ(target.pixel(x, y), qRgb(pixel[2], pixel[1], pixel[0]))
                    << size.width() << "x" << size.height() << " at " << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace qmd
