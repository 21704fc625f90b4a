#pragma once
// The detection's marks drawn straight into the preview's 32-bit picture.
// QPainter would do the same, but setting it up and stroking a pen cost as
// much as scaling the frame itself, and the preview draws them at every
// frame while something moves.
#include <QImage>
#include <QRect>
#include <QRgb>

namespace qmd {

// Darkens the pixels of area (clipped to the picture) to half.
void ShadePreviewArea(QImage& picture, const QRect& area);
// Draws a frame `thickness` pixels wide along the inside of outer (clipped
// to the picture).
void FramePreviewBox(QImage& picture, const QRect& outer, int thickness, QRgb colour);

}  // namespace qmd
