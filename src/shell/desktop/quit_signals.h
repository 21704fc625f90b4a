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
#include <QObject>

class QSocketNotifier;

namespace qmd {

class QuitSignals : public QObject {
    Q_OBJECT
public:
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

// While it lives (start-up, until the event loop runs), a quit signal ends
// the program even where the GUI thread can no longer take it: a call into
// the X server that never returns (seen when the process had run out of
// descriptors while an error box was being made) would otherwise leave it
// hanging for good, holding the single-instance lock. A thread of its own
// gives start-up a few seconds after the signal to end in order; after
// that it says so on standard error and ends the process, with status 0 as
// for any quit signal.
class QuitDuringStartup {
public:
    static constexpr int kGraceMs = 5'000;

    QuitDuringStartup();
    ~QuitDuringStartup();  // start-up is over: the event loop answers from now on
    QuitDuringStartup(const QuitDuringStartup&) = delete;
    QuitDuringStartup& operator=(const QuitDuringStartup&) = delete;
};

}  // namespace qmd
