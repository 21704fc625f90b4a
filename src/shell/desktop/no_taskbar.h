#pragma once
// The program has no task-bar button. On X11 the main window carries the
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER states, again every
// time it is shown (a window manager drops the states of a withdrawn window).
// Where no tray host runs when the window is shown, the window keeps its
// task-bar button: a minimised window would otherwise be out of reach.
// Elsewhere (Wayland, offscreen) this does nothing.
//
// Usage in the main window's constructor: qmd::ApplyNoTaskbarHints(this);
class QWidget;

namespace qmd {

void ApplyNoTaskbarHints(QWidget* window);

}  // namespace qmd
