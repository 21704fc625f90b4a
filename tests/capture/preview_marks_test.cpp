// The marks drawn into the preview: a box reaching past the picture's edges
// is clipped (ASan catches a write outside it), and every pixel is framed,
// shaded or left exactly where it should be.
#include <gtest/gtest.h>

#include "capture/preview_marks.h"

namespace qmd {
namespace {

TEST(PreviewMarksTest, BoxAndShadeStayInsideThePicture)
{
    const QRgb ground = qRgb(200, 100, 50);
    const QRgb red = qRgb(255, 48, 48);
    for (const QRect outer : {QRect(-3, -2, 9, 6), QRect(15, 6, 10, 10), QRect(4, 3, 3, 1), QRect(-5, -5, 40, 30)}) {
        QImage picture(20, 10, QImage::Format_RGB32);
        picture.fill(ground);
        const QRect shade(12, -4, 20, 6);
        ShadePreviewArea(picture, shade);
        FramePreviewBox(picture, outer, 2, red);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const bool inOuter = outer.contains(x, y);
                const QRect inner = outer.adjusted(2, 2, -2, -2);
                const bool inInner = inner.isValid() && inner.contains(x, y);
                QRgb expected = ground;
                if (shade.contains(x, y)) expected = qRgb(100, 50, 25);
                if (inOuter && !inInner) expected = red;
                EXPECT_EQ(picture.pixel(x, y), expected) << x << "," << y << " of box " << outer.x() << "," << outer.y();
            }
    }
}

}  // namespace
}  // namespace qmd
