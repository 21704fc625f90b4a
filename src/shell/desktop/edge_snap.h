#pragma once
// Edge snapping: a window moved to within 15 pixels of an edge of the primary
// screen's work area (QScreen::availableGeometry) lands on that edge.
//
// Usage in the main window's constructor:
//     snapper_ = new qmd::EdgeSnapper(this);   // child QObject, filters Move
#include <QElapsedTimer>
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
// when that differs (not while it is maximised, full-screen or minimised).
// A window system that undoes the correction at once is not fought: the same
// correction from the same place is asked once in half a second at most.
class EdgeSnapper : public QObject {
    Q_OBJECT
public:
    explicit EdgeSnapper(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SnapNow();

    // The same correction is not asked again within this time.
    static constexpr int kRepeatedCorrectionMs = 500;

    QWidget* window_;
    bool snapping_ = false;
    QElapsedTimer lastCorrectionAsked_;
    QPoint lastCorrectedFrom_;
    QPoint lastCorrectedTo_;
};

}  // namespace qmd
