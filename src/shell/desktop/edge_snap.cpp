#include "shell/desktop/edge_snap.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qmd {

QPoint SnapToWorkArea(QPoint proposed, QSize windowSize, QRect workArea)
{
    // QRect::bottom()/right() are the last pixel rows; the edges a window
    // lines up with lie one past them.
    const int left = workArea.x();
    const int top = workArea.y();
    const int bottomEdge = workArea.y() + workArea.height();
    const int rightEdge = workArea.x() + workArea.width();
    int x = proposed.x();
    int y = proposed.y();
    if (x < left + kSnapDistance) x = left;
    if (y < top + kSnapDistance) y = top;
    if (y > bottomEdge - windowSize.height() - kSnapDistance) y = bottomEdge - windowSize.height();
    if (x > rightEdge - windowSize.width() - kSnapDistance) x = rightEdge - windowSize.width();
    return {x, y};
}

EdgeSnapper::EdgeSnapper(QWidget* window) : QObject(window), window_(window) { window_->installEventFilter(this); }

bool EdgeSnapper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Move && !snapping_) {
        snapping_ = true;
        SnapNow();
        snapping_ = false;
    }
    return false;
}

void EdgeSnapper::SnapNow()
{
    // A maximised or full-screen window has its place from the window system.
    if (!window_->isWindow() ||
        (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // pos() and move() of a top-level widget are its frame's, like the size.
    const QPoint current = window_->pos();
    const QPoint snapped = SnapToWorkArea(current, window_->frameGeometry().size(), screen->availableGeometry());
    if (snapped == current) return;
    // The window system put the window back at once where we had moved it
    // from (a window manager keeping it on screen, say): asking again would
    // only start a tug of war. A user who moves it there again later is
    // answered as always.
    if (lastCorrectionAsked_.isValid() && lastCorrectionAsked_.elapsed() < kRepeatedCorrectionMs &&
        lastCorrectedFrom_ == current && lastCorrectedTo_ == snapped)
        return;
    lastCorrectionAsked_.start();
    lastCorrectedFrom_ = current;
    lastCorrectedTo_ = snapped;
    window_->move(snapped);
}

}  // namespace qmd
