// Quisk Motion Detector: watches a video source and reacts when the picture
// changes. One instance per user; a second start leaves at once, before it
// opens a window, plays a sound or touches a camera the first one holds.
#include <QApplication>

#include <gst/gst.h>

#include <cstring>

#include "react/core/audio_output.h"
#include "shell/desktop/application_icon.h"
#include "shell/desktop/quit_signals.h"
#include "shell/desktop/single_instance.h"
#include "shell/program_windows.h"

int main(int argc, char** argv) {
    const auto instanceLock = qmd::SingleInstanceLock::TryAcquire();
    if (!instanceLock) return 0;

    // Only the first argument counts, compared whole and case-sensitively,
    // before Qt takes its own options out of the list.
    const QString firstArgument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    QApplication application(argc, argv);
    gst_init(nullptr, nullptr);
    QApplication::setApplicationName(QStringLiteral("Quisk Motion Detector"));
    QApplication::setWindowIcon(qmd::ApplicationIcon());
    // Hidden in the tray, the main window is not the last visible window:
    // the program ends when the main window closes, and only then.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    {
        qmd::ProgramWindows windows(qmd::TfmMainForm::Options{
            .FirstArgument = firstArgument,
            .PlayEventSound =
                [](const QString& event) { qmd::DefaultAudioOutput().PlayEventSound(event.toStdString()); },
            .TrayAvailable = {},
        });
        QObject::connect(windows.MainForm(), &qmd::TfmMainForm::Closed, &application, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        qmd::QuitSignals quitSignals(windows.MainForm());
        exitCode = QApplication::exec();
        windows.Shutdown();
    }
    return exitCode;
}
