#pragma once
// The application's error report: every exception that ends a command is shown
// here and the program goes on.
//
// Usage in the main window: wrap each menu, slider and tray handler
//
//     connect(Resetujpami1, &QAction::triggered, this,
//             [this] { RunCommand(this, [this] { Resetujpami1Click(); }); });
//
// so that a QuiskError (or any other exception) leaving the handler ends that
// command, is shown in a modal box titled "Quisk Motion Detector" with the
// error icon and an OK button, and never reaches Qt's event loop.
#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace qmd {

// Shows `message` (with its closing full stop, see full_stop.h) and waits for
// OK. Call on the GUI thread only. Never throws. Where the box cannot be
// made (the process has run out of descriptors), the message goes to
// standard error and the program ends with status 1.
void ReportApplicationError(QWidget* parent, const QString& message) noexcept;
// Same, with what() read as UTF-8.
void ReportApplicationError(QWidget* parent, const std::exception& error) noexcept;

// Runs `command()`; an exception leaving it is reported and swallowed.
template <typename Command>
void RunCommand(QWidget* parent, Command&& command) noexcept
{
    try {
        std::forward<Command>(command)();
    } catch (const std::exception& error) {
        ReportApplicationError(parent, error);
    } catch (...) {
        ReportApplicationError(parent, QStringLiteral("Unknown error"));
    }
}

}  // namespace qmd
