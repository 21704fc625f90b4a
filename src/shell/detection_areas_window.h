#pragma once
// "Obszary bez wykrywania": the live picture, on which the user draws the
// rectangles the detection ignores. A drag draws one; a click selects one,
// Delete removes the selected one, a right click the one under the mouse.
// "Wyczyść" removes all; "OK" accepts the list, "Anuluj" leaves it as it was.
#include <QDialog>
#include <QImage>

#include <functional>
#include <optional>

#include "detect/ignore_areas.h"

class QTimer;

namespace qmd {

class AreaCanvas;

class DetectionAreasWindow : public QDialog {
    Q_OBJECT
public:
    // `picture` gives the live picture at a size, asked again several times
    // a second while the window is open.
    DetectionAreasWindow(AreaList areas, std::function<QImage(QSize)> picture, QWidget* parent = nullptr);

    AreaList Areas() const;
    AreaCanvas* Canvas() const { return canvas_; }

private:
    AreaCanvas* canvas_ = nullptr;
    QTimer* refresh_ = nullptr;
};

// The picture with the areas on it, and the mouse and keys that edit them.
class AreaCanvas : public QWidget {
    Q_OBJECT
public:
    explicit AreaCanvas(AreaList areas, QWidget* parent = nullptr);

    const AreaList& Areas() const { return areas_; }
    std::optional<std::size_t> Selected() const { return selected_; }
    void Clear();
    void SetPicture(QImage picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF Place(const AreaRect& area) const;
    QPointF Fraction(QPointF point) const;  // within 0 .. 1
    // The topmost area under a point (the last drawn), if any.
    std::optional<std::size_t> AreaAt(QPointF point) const;

    AreaList areas_;
    std::optional<std::size_t> selected_;
    QImage picture_;
    std::optional<QPointF> dragStart_;  // fractions
    QPointF dragNow_;
};

}  // namespace qmd
