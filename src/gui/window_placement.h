#pragma once
class QWidget;

namespace qmd {

// Centres `window` over the program's main window (the visible QMainWindow),
// or leaves it where it is when there is none.
void CentreOverMainWindow(QWidget* window);

}  // namespace qmd
