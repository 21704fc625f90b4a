#include "capture/preview_marks.h"

#include <algorithm>

namespace qmd {
namespace {

// Applies `change` to every pixel of rect that lies on the picture.
template <typename Change>
void ForEachPixel(QImage& picture, const QRect& rect, Change change)
{
    const QRect clipped = rect & picture.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = clipped.left(); x <= clipped.right(); ++x) row[x] = change(row[x]);
    }
}

}  // namespace

void ShadePreviewArea(QImage& picture, const QRect& area)
{
    ForEachPixel(picture, area, [](QRgb pixel) { return ((pixel >> 1) & 0x007F7F7Fu) | 0xFF000000u; });
}

void FramePreviewBox(QImage& picture, const QRect& outer, int thickness, QRgb colour)
{
    if (outer.isEmpty() || thickness <= 0) return;
    const int across = std::min(thickness, outer.height());
    const int down = std::min(thickness, outer.width());
    const auto paint = [colour](QRgb) { return colour | 0xFF000000u; };
    ForEachPixel(picture, QRect(outer.left(), outer.top(), outer.width(), across), paint);
    ForEachPixel(picture, QRect(outer.left(), outer.bottom() - across + 1, outer.width(), across), paint);
    ForEachPixel(picture, QRect(outer.left(), outer.top(), down, outer.height()), paint);
    ForEachPixel(picture, QRect(outer.right() - down + 1, outer.top(), down, outer.height()), paint);
}

}  // namespace qmd
