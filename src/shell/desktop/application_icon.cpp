#include "shell/desktop/application_icon.h"

#include <QCoreApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace qmd {

namespace {

// Our drawing under the name it is installed by in the icon theme: a
// StatusNotifier tray is told the name (IconName) as well as the pixels, so
// a desktop can draw the icon from its theme, at its own size and style.
// Only a name the theme knows is given: some trays take a name they cannot
// find for an icon without a picture.
class NamedIconEngine : public QIconEngine {
public:
    NamedIconEngine(QIcon drawn, QString name) : drawn_(std::move(drawn)), name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        drawn_.paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return drawn_.pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return drawn_.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return drawn_.availableSizes(mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return drawn_.pixmap(size, scale, mode, state);
    }
    QString iconName() override { return name_; }
    QIconEngine* clone() const override { return new NamedIconEngine(drawn_, name_); }
    QString key() const override { return QStringLiteral("NamedIconEngine"); }

private:
    QIcon drawn_;
    QString name_;
};

// Drawn on a 256-unit canvas; data/icons/hicolor/scalable/apps/
// quisk-motion-detector.svg is the same drawing.
void DrawCameraEye(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(0, 0, 0, 256);
    body.setColorAt(0, QColor(0x2f, 0x41, 0x53));
    body.setColorAt(1, QColor(0x17, 0x20, 0x2a));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    QPainterPath eye;
    eye.moveTo(22, 132);
    eye.cubicTo(70, 58, 186, 58, 234, 132);
    eye.cubicTo(186, 206, 70, 206, 22, 132);
    painter.setBrush(QColor(0xec, 0xf1, 0xf4));
    painter.drawPath(eye);

    QRadialGradient lens(QPointF(116, 118), 62);
    lens.setColorAt(0, QColor(0x4f, 0xb3, 0xe8));
    lens.setColorAt(1, QColor(0x0d, 0x3c, 0x5e));
    painter.setPen(QPen(QColor(0x0a, 0x22, 0x33), 8));
    painter.setBrush(lens);
    painter.drawEllipse(QPointF(128, 132), 50, 50);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x08, 0x15, 0x20));
    painter.drawEllipse(QPointF(128, 132), 22, 22);

    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawEllipse(QPointF(110, 114), 10, 10);

    // The recording light.
    painter.setBrush(QColor(0xe5, 0x39, 0x35));
    painter.drawEllipse(QPointF(204, 52), 20, 20);
}

}  // namespace

QImage RenderApplicationIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 256.0, size / 256.0);
    DrawCameraEye(painter);
    painter.end();
    return image;
}

QIcon ApplicationIcon()
{
    // Drawn once per application object and shared by the windows and the
    // tray (a QIcon shares its pixmaps). The pixmaps must not outlive the
    // application object, so a post routine lets them go with it.
    static QIcon* drawnIcon = nullptr;
    if (!drawnIcon) {
        QIcon drawn;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            drawn.addPixmap(QPixmap::fromImage(RenderApplicationIcon(size)));
        const QString name = QString::fromLatin1(kApplicationIconName);
        drawnIcon = new QIcon(new NamedIconEngine(drawn, QIcon::hasThemeIcon(name) ? name : QString()));
        qAddPostRoutine([] {
            delete drawnIcon;
            drawnIcon = nullptr;
        });
    }
    return *drawnIcon;
}

}  // namespace qmd
