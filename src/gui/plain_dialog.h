#pragma once
// The base of the program's own small windows: none of them has a default or
// a cancel button, so Enter and Escape have no window-wide meaning there
// (QDialog would otherwise accept on Enter and close on Escape).
#include <QDialog>

class QKeyEvent;

namespace qmd {

class PlainDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qmd
