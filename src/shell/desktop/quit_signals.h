#pragma once
// SIGTERM, SIGINT and SIGHUP, and the session manager's quit request, close
// the main window in order (its closeEvent runs the closing steps), as a
// log-off does.
//
// The signal handler only writes a byte to a pipe (async-signal-safe); the
// GUI thread reads it through a QSocketNotifier and calls close() on the
// window from the event loop.
//
// Usage in main(), after the main window exists:
//     qmd::QuitSignals quitSignals(fmMainForm);
// Only the first of several QuitSignals alive at once answers the signals; the
// previous signal dispositions come back when it is destroyed.
#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace qmd {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QWidget* window);
    ~QuitSignals() override;

signals:
    // Emitted on the GUI thread before the window is asked to close.
    void quitRequested(int signalNumber);

private:
    void ReadSignals();
    void CloseWindow();

    QPointer<QWidget> window_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qmd
