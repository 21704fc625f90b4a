#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "react/informacja_window.h"

namespace qmd {

QImage ExclamationPicture()
{
    QImage image(100, 200, QImage::Format_RGB888);
    image.setDotsPerMeterX(7874);
    image.setDotsPerMeterY(7874);
    image.fill(Qt::white);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(0x80, 0x00, 0x00), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(outline);
    painter.setBrush(QColor(0xE0, 0x10, 0x10));

    // A bar that narrows downwards, with rounded top corners...
    QPainterPath bar;
    bar.moveTo(30, 22);
    bar.quadTo(30, 8, 50, 8);
    bar.quadTo(70, 8, 70, 22);
    bar.lineTo(58, 140);
    bar.lineTo(42, 140);
    bar.closeSubpath();
    painter.drawPath(bar);
    // ...and the dot beneath it.
    painter.drawEllipse(QRectF(36, 154, 28, 28));
    return image;
}

}  // namespace qmd
