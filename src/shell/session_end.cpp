#include "shell/session_end.h"

#include <QCoreApplication>
#include <QEvent>

#include "shell/main_form.h"

namespace qmd {

SessionEnd::SessionEnd()
{
    connect(&quitSignals_, &QuitSignals::quitRequested, this, [this] { Request(); });
    if (QCoreApplication* application = QCoreApplication::instance()) application->installEventFilter(this);
}

SessionEnd::~SessionEnd()
{
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
}

void SessionEnd::Attach(TfmMainForm* mainForm)
{
    mainForm_ = mainForm;
    if (requested_ && mainForm_) mainForm_->CloseForSessionEnd();
}

// The session manager's Die reaches the program only as a quit of the
// application; so does the end of our own event loop after a close, for
// which the closing steps have already run.
bool SessionEnd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) Request();
    return false;
}

void SessionEnd::Request()
{
    requested_ = true;
    quitSignals_.IgnoreOnceGone();
    if (mainForm_) {
        mainForm_->CloseForSessionEnd();  // runs once; ends the event loop
    } else {
        // Still starting: leave whatever box start-up waits in.
        QCoreApplication::exit(0);
    }
}

}  // namespace qmd
