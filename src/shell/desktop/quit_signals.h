#pragma once
// SIGTERM, SIGINT and SIGHUP end the program as the end of the session does.
//
// The signal handler only writes a byte to a pipe (async-signal-safe); the
// GUI thread reads it through a QSocketNotifier and emits quitRequested from
// the event loop, whoever listens decides how the program ends.
//
// Usage in main(), after the main window exists:
//     qmd::QuitSignals quitSignals;
//     connect(&quitSignals, &qmd::QuitSignals::quitRequested, ...);
// Only the first of several QuitSignals alive at once answers the signals; the
// previous signal dispositions come back when it is destroyed, unless the
// program's end was under way (IgnoreOnceGone).
//
// A quit signal ends the program even where the GUI thread can no longer take
// it: a call into the X server that never returns (seen when the process ran
// out of descriptors while a window was painted) would otherwise leave it
// hanging for good, holding the single-instance lock. A thread of its own
// watches that the GUI thread reads each signal within kGraceMs; when it does
// not, the thread says so on standard error and ends the process, with status
// 0 as for any quit signal. Once read, the closing steps take their own
// (bounded) time.
#include <QObject>

class QSocketNotifier;

namespace qmd {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Longer than the GUI thread's longest bounded wait (a state change of
    // the capture graph, 5 s, and the 0.5 s its reason may take), so that a
    // camera slow to answer never costs the orderly close.
    static constexpr int kGraceMs = 8'000;

    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // The program is ending: once this object is gone, the quit signals are
    // ignored rather than given back their earlier disposition, so that one
    // more (a second SIGTERM, while the closing steps run or the libraries
    // tear down) changes nothing instead of killing the process with 143.
    void IgnoreOnceGone() { ignoreOnceGone_ = true; }

signals:
    // Emitted on the GUI thread, from the event loop, once per read of the
    // pipe: several signals in a row are one request.
    void quitRequested(int signalNumber);

private:
    void ReadSignals();

    QSocketNotifier* notifier_ = nullptr;
    bool ignoreOnceGone_ = false;
};

}  // namespace qmd
