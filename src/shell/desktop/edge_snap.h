#pragma once
// Edge snapping: a window moved to within 15 pixels of an edge of the primary
// screen's work area (QScreen::availableGeometry) lands on that edge.
//
// Usage in the main window's constructor:
//     snapper_ = new qmd::EdgeSnapper(this);   // child QObject, filters Move
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace qmd {

inline constexpr int kSnapDistance = 15;

// The four rules in order, each on the result of the one before, all strict:
// left edge, top edge, bottom edge, right edge. `windowSize` is the window's
// current frame size; the bottom and right edges are the work area's own
// (top + height, left + width), so a panel on the top or left does not shift
// the lower and right snapping lines.
QPoint SnapToWorkArea(QPoint proposed, QSize windowSize, QRect workArea);

// Watches a top-level widget's moves and moves it again to the snapped point
// when that differs (not while it is maximised, full-screen or minimised). A window system that refuses the correction (or places
// the window elsewhere) is not fought: the same correction is asked once.
class EdgeSnapper : public QObject {
    Q_OBJECT
public:
    explicit EdgeSnapper(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SnapNow();

    QWidget* window_;
    bool snapping_ = false;
    bool hasPendingCorrection_ = false;
    QPoint pendingCorrection_;
};

}  // namespace qmd
