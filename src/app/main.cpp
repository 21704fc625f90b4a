// Quisk Motion Detector: watches a video source and reacts when the picture
// changes. One instance per user; a second start leaves at once, before it
// opens a window, plays a sound or touches a camera the first one holds.
#include <QApplication>

#include <csignal>
#include <optional>

#include <pthread.h>

#include "common/application_title.h"
#include "gst/init.h"
#include "react/core/audio_output.h"
#include "shell/desktop/application_icon.h"
#include "shell/desktop/quit_signals.h"
#include "shell/desktop/single_instance.h"
#include "shell/desktop/window_platform.h"
#include "shell/program_windows.h"
#include "shell/session_end.h"

namespace {

// A quit signal that arrives while the windows are still being made would
// end the process at once, without the closing steps (status 143). Blocked
// here, before any thread exists (threads inherit the mask), it waits until
// the handler that closes the window in order is installed and this thread
// takes it.
class HeldQuitSignals {
public:
    HeldQuitSignals()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&held, signalNumber);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    void Release() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_{};
};

// Held from the first moment the program's own code runs (its static
// initialisation), not from main(): a signal sent right after exec must not
// find the default disposition either.
__attribute__((init_priority(101))) HeldQuitSignals heldQuitSignals;

}  // namespace

int main(int argc, char** argv)
{
    const auto instanceLock = qmd::SingleInstanceLock::TryAcquire();
    if (!instanceLock) return 0;

    // Only the first argument counts, compared whole and case-sensitively,
    // before Qt takes its own options out of the list.
    const QString firstArgument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    qmd::X11WhereReachable x11WhereReachable;
    QApplication application(argc, argv);
    x11WhereReachable.Forget();
    qmd::gst::EnsureInitialized();
    QApplication::setApplicationName(QString::fromUtf8(qmd::kApplicationTitle));
    QApplication::setWindowIcon(qmd::ApplicationIcon());
    // Hidden in the tray, the main window is not the last visible window:
    // the program ends when the main window closes, and only then.
    QApplication::setQuitOnLastWindowClosed(false);

    // From here on a quit signal or the session's end is answered, even
    // while start-up waits in an error box: the held signals come now.
    qmd::SessionEnd sessionEnd;
    std::optional<qmd::QuitDuringStartup> quitDuringStartup(std::in_place);
    heldQuitSignals.Release();

    const auto windows = qmd::BuildProgramWindows(qmd::TfmMainForm::Options{
        .FirstArgument = firstArgument,
        .PlayEventSound = [](const QString& event) { qmd::DefaultAudioOutput().PlayEventSound(event.toStdString()); },
        .TrayAvailable = {},
    });
    if (!windows) return sessionEnd.Requested() ? 0 : 1;
    qmd::TfmMainForm* mainForm = windows->MainForm();
    QObject::connect(mainForm, &qmd::TfmMainForm::Closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    sessionEnd.Attach(mainForm);
    quitDuringStartup.reset();
    const int exitCode = sessionEnd.Requested() ? 0 : QApplication::exec();
    // Whatever ended the event loop, the capture is released and the
    // settings written (once) before the windows go.
    mainForm->CloseForSessionEnd();
    windows->Shutdown();
    return exitCode;
}
