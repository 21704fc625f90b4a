// Quisk Motion Detector: watches a video source and reacts when the picture
// changes. One instance per user; a second start asks the first to show its
// window and leaves, before it opens a window, plays a sound or touches a
// camera the first one holds.
#include <QApplication>

#include <csignal>
#include <optional>

#include <pthread.h>

#include "app/command_line.h"
#include "common/application_title.h"
#include "common/file_io.h"
#include "gst/init.h"
#include "gui/error_report.h"
#include "gui/qt_translations.h"
#include "react/core/audio_output.h"
#include "shell/desktop/application_icon.h"
#include "shell/desktop/quit_signals.h"
#include "shell/desktop/show_request.h"
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
    // --help and --version answer even while another instance runs.
    const qmd::CommandLineVerdict commandLine = qmd::ReadCommandLine(argc, argv);
    if (!commandLine.Run) return commandLine.ExitCode;
    const auto instanceLock = qmd::SingleInstanceLock::TryAcquire();
    if (!instanceLock) {
        // Nothing to close in order here: a quit signal while the first
        // instance is asked may end this one the plain way.
        heldQuitSignals.Release();
        qmd::AskRunningInstanceToShow();
        return 0;
    }

    // A file grown past the user's size limit (ulimit -f) fails its write,
    // as a full disk does, rather than ending the program: a clip ends
    // there and watching goes on.
    std::signal(SIGXFSZ, SIG_IGN);

    // Only the first argument counts, compared whole and case-sensitively,
    // before Qt takes its own options out of the list.
    const QString firstArgument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    // The X connection, the windows (each painted picture arrives as shared
    // memory behind a descriptor, and a window made without one blocked for
    // good in the X connection), GStreamer, the sound and the camera all need
    // descriptors; past start-up the program holds about 30 (measured with a
    // camera and sound). Where far fewer are free, no window is attempted.
    constexpr int kDescriptorsToStart = 64;
    if (!qmd::DescriptorsToSpare(kDescriptorsToStart))
        qmd::EndWithErrorOnStandardError(
            QStringLiteral("Za mało wolnych deskryptorów plików, by uruchomić program (ulimit -n)"));

    qmd::X11WhereReachable x11WhereReachable;
    QApplication application(argc, argv);
    x11WhereReachable.Forget();
    qmd::InstallPolishQtTranslations(application);
    qmd::gst::EnsureInitialized();
    QApplication::setApplicationName(QString::fromUtf8(qmd::kApplicationTitle));
    QApplication::setWindowIcon(qmd::ApplicationIcon());
    // Hidden in the tray, the main window is not the last visible window:
    // the program ends when the main window closes, and only then.
    QApplication::setQuitOnLastWindowClosed(false);

    // From here on a quit signal or the session's end is answered, even
    // while start-up waits in an error box: the held signals come now.
    qmd::SessionEnd sessionEnd;
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
    // A second start shows this window; without the lock there is no telling
    // whose socket it would be.
    std::optional<qmd::ShowRequestListener> showRequests;
    if (instanceLock->Holds())
        showRequests.emplace(&application, [mainForm] { qmd::BringWindowForward(mainForm, mainForm->Tray()); });
    const int exitCode = sessionEnd.Requested() ? 0 : QApplication::exec();
    // Whatever ended the event loop, the capture is released and the
    // settings written (once) before the windows go.
    mainForm->CloseForSessionEnd();
    windows->Shutdown();
    return exitCode;
}
