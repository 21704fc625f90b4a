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
// previous signal dispositions come back when it is destroyed.
#include <QObject>

class QSocketNotifier;

namespace qmd {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    // Emitted on the GUI thread, from the event loop, once per read of the
    // pipe: several signals in a row are one request.
    void quitRequested(int signalNumber);

private:
    void ReadSignals();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qmd
