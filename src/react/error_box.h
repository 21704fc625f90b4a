#pragma once
// The application's error box for the reactions' windows, which catch their
// own errors (a Qt slot must not let an exception escape).
#include <exception>

#include <QString>

class QWidget;

namespace qmd {

// "Quisk Motion Detector", error icon, the message with a full stop appended
// when its last character sorts after the full stop.
void ShowErrorBox(QWidget* parent, const std::exception& error);
QString ErrorBoxText(const QString& message);

}  // namespace qmd
