#include "gui/window_placement.h"

#include <QApplication>
#include <QMainWindow>

namespace qmd {

void CentreOverMainWindow(QWidget* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* main = qobject_cast<QMainWindow*>(widget);
        if (!main || main == window || !main->isVisible()) continue;
        QRect frame = window->frameGeometry();
        frame.moveCenter(main->frameGeometry().center());
        window->move(frame.topLeft());
        return;
    }
}

}  // namespace qmd
