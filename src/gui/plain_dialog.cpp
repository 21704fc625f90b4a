#include "gui/plain_dialog.h"

#include <QKeyEvent>

namespace qmd {

void PlainDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->ignore(); return;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace qmd
