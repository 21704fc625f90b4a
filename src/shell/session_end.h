#pragma once
// The end of the session, whenever it comes: a quit signal (SIGTERM, SIGINT,
// SIGHUP) or the session manager's Die, which Qt passes on as a quit of the
// application. Either ends the program within moments and with status 0,
// through the main window's CloseForSessionEnd: nobody may be there to
// answer a box.
//
// It is made before the windows, since start-up itself may wait for a user
// (an error box when the remembered camera fails). A request that comes
// while the windows are still being made is kept, and every event loop is
// left at once (a box waiting then returns, and one opened later returns
// at once too), so start-up runs to its end without waiting for anyone; the
// caller then ends without running the event loop.
//
// Usage in main():
//     qmd::SessionEnd sessionEnd;        // after QApplication
//     ... build the windows ...
//     sessionEnd.Attach(mainForm);
//     if (sessionEnd.Requested()) return 0;
//     QApplication::exec();
#include <QObject>
#include <QPointer>

#include "shell/desktop/quit_signals.h"

namespace qmd {

class TfmMainForm;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    SessionEnd();
    ~SessionEnd() override;

    // The main window, once it is made; a request kept so far closes it now.
    void Attach(TfmMainForm* mainForm);
    bool Requested() const { return requested_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Request();

    QuitSignals quitSignals_;
    QPointer<TfmMainForm> mainForm_;
    bool requested_ = false;
};

}  // namespace qmd
