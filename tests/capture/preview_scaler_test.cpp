// The preview's stretch: nearest source pixel, colours in the right order,
// rows padded in the source, enlarging and shrinking.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qmd
