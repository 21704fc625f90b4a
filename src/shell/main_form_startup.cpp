// The main window's life: FormCreate restores the settings, decides whether
// the program starts visible or in the tray and opens the remembered device;
// FormCloseQuery releases the capture and FormClose saves the slider and the
// window position.
#include <QAction>
#include <QCloseEvent>
#include <QLabel>

#include <exception>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "capture/watch/camera_watch.h"
#include "capture/graph/filter_graph.h"
#include "capture/devices/sys_dev_enum.h"
#include "common/caught_exception.h"
#include "common/file_io.h"
#include "gui/error_report.h"
#include "react/core/power_manager.h"
#include "react/core/start_list_file.h"
#include "shell/desktop/autostart_entry.h"
#include "shell/desktop/tray_controller.h"
#include "shell/desktop/window_platform.h"
#include "shell/main_form.h"
#include "shell/selection_slider.h"
#include "shell/shell_log.h"

namespace qmd {

std::string TfmMainForm::SettingsPath() { return SettingsFilePath(); }

void TfmMainForm::FormCreate()
{
    // A write killed before its rename (SIGKILL, a power cut) left its
    // temporary file here; one instance runs at a time, so the start is the
    // moment to take such leftovers away.
    RemoveAbandonedTemporaries(AppDir(), {std::string(keys::kFileName), std::string(kStartListFileName),
                                          std::string(kIgnoreAreasFileName)});
    {
        const SettingsFile settings(SettingsPath());
        ApplyStoredSensitivity(settings.Read(keys::Sensitivity));
        Uruchomalarm1->setChecked(settings.Read(keys::Alarm));
        Zrbzdjcie1->setChecked(!settings.Read(keys::PhotoFolder).empty());
        Detection.StartDelayFrames.store(settings.Read(keys::StartDelay));
        LoadDetectionRules(settings);
        Odtwrzplikdwikowy1->setChecked(!settings.Read(keys::SoundFile).empty());
        Wywietlinformacj1->setChecked(!settings.Read(keys::InformationText).empty());
        // 0 is "Nie rób nic" and -1 nothing chosen: only a power action checks it.
        Przecztrybpracykomputera1->setChecked(IsPowerAction(StoredPowerIndex(settings.Read(keys::PowerAction))));
        MinimalizujdoTraya1->setChecked(settings.Read(keys::MinimiseToTray));
        Dopiszdodziennika1->setChecked(settings.Read(keys::KeepLog));
        Pokapowiadomienie1->setChecked(settings.Read(keys::Notification));
        Nagrajfilm1->setChecked(!settings.Read(keys::ClipFolder).empty());
        LastDevice = settings.Read(keys::LastDevice);
        Zapamitujostatniowybraneurzdzenie1->setChecked(settings.Read(keys::RememberDevice));
        Zapamitajpozycjokna1->setChecked(settings.Read(keys::RememberWindowPosition));
        if (Zapamitajpozycjokna1->isChecked()) {
            move(settings.Read(keys::WindowLeft, x()), y());
            move(x(), settings.Read(keys::WindowTop, y()));
        }
    }
    Uruchamiajprzystarciesystemu1->setChecked(AutostartEntryExists());
    // The remembered device may deliver frames before the event loop runs.
    SyncSwitchesWithMarks();

    if (options_.FirstArgument == QLatin1String("-t") || MinimalizujdoTraya1->isChecked())
        tray_->MinimiseToTray();
    else
        show();

    BuildDeviceMenu();

    Detection.Slots.Create();
    Detection.FrameCounter.store(2);
    // A file that cannot be written is reported once the start is complete.
    RunCommand(this, [this] { ForgetRememberedSourceUnlessCamera(); });
}

// The stored position goes to the slider, which brings it into 0 .. 255. The
// position as laid out (210) moves nothing, so the change handler is run by
// hand then: Threshold and the label always follow the position shown.
void TfmMainForm::ApplyStoredSensitivity(int storedPosition)
{
    const int before = TrackBar1->value();
    TrackBar1->setValue(storedPosition);
    if (TrackBar1->value() == before) TrackBar1Change();
}

void TfmMainForm::FormCloseQuery(bool& CanClose)
{
    (void)CanClose;  // closing is never refused here
    ++closeQueries_;
    cameraWatch_->Forget();
    DeviceEnum.reset();
    // The capture is released even when taking the graph apart fails, so a
    // close always ends the camera's use; the failure is reported after.
    std::exception_ptr stripFailure;
    try {
        FilterGraph->StripGraph();
    } catch (...) {
        stripFailure = std::current_exception();
    }
    FilterGraph->SetActive(false);
    tray_->RemoveIcon();
    if (stripFailure) std::rethrow_exception(stripFailure);
}

void TfmMainForm::FormClose()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::Sensitivity, TrackBar1->value());
    // Where the window system keeps the window's place to itself (Wayland),
    // the place the user chose stays as it was stored.
    if (!WindowPositionsKnown()) return;
    settings.Write(keys::WindowLeft, x());
    settings.Write(keys::WindowTop, y());
}

void TfmMainForm::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();  // the session's end has closed it already
        return;
    }
    bool canClose = true;
    RunCommand(this, [&] { FormCloseQuery(canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    // A settings file that cannot be written keeps the window open (without
    // capture): the user sees why and may close again.
    try {
        FormClose();
    } catch (const std::exception& error) {
        event->ignore();
        ReportApplicationError(this, error);
        return;
    }
    event->accept();
    closed_ = true;
    emit Closed();
}

void TfmMainForm::CloseForSessionEnd() noexcept
{
    if (closed_) return;
    // Each step runs whatever the one before it did; nothing escapes into
    // the event loop that called this.
    const auto runStep = [](const char* step, const auto& body) {
        try {
            body();
        } catch (...) {
            qCWarning(lcShell, "%s: %s", step, CaughtExceptionText().c_str());
        }
    };
    runStep("releasing the capture", [this] {
        bool canClose = true;
        FormCloseQuery(canClose);
    });
    runStep("saving the settings", [this] { FormClose(); });
    closed_ = true;
    hide();
    emit Closed();
}

}  // namespace qmd
