// "Urządzenia": one entry per capture device, and the device switch that
// rebuilds the capture graph around the chosen one. The sources come first;
// commands may follow them (after a separator) and stay when the sources
// are listed again. An entry's position counts sources only.
#include <QAction>
#include <QMenu>

#include <mutex>
#include <optional>
#include <utility>

#include "base/settings_file.h"
#include "capture/devices/sys_dev_enum.h"
#include "capture/format_window/format_window.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/sources/video_source.h"
#include "capture/video_window.h"
#include "capture/watch/camera_watch.h"
#include "gui/error_report.h"
#include "shell/main_form.h"

namespace qmd {

namespace {

// The device monitor's cameras and the network cameras the user added are
// awaited by their identity (neither holds a password). An environment's
// source is not: it is there only while the program is started so, and
// earlier versions kept its address with the password in it.
bool IsMonitoredCamera(const std::optional<VideoSource>& fields)
{
    return fields && (fields->Kind == SourceKind::SystemDevice || fields->Kind == SourceKind::SavedCamera);
}

void RememberCamera(SettingsFile& settings, const std::optional<Moniker>& moniker)
{
    if (moniker && IsMonitoredCamera(moniker->Fields()))
        settings.Write(keys::LastCamera, moniker->Hex());
    else if (!settings.Read(keys::LastCamera).empty())
        settings.Write(keys::LastCamera, "");
}

}  // namespace

void TfmMainForm::ForgetRememberedSourceUnlessCamera()
{
    SettingsFile settings(SettingsPath());
    const std::string kept = settings.Read(keys::LastCamera);
    if (!kept.empty() && !IsMonitoredCamera(Moniker::FromHex(kept).Fields())) settings.Write(keys::LastCamera, "");
}

QAction* TfmMainForm::AddDeviceEntry(int position, const DeviceEntry& device)
{
    QString caption = QString::fromStdString(device.FriendlyName);
    // A device name is shown as it is, never read as a keyboard accelerator.
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    // Before the first command, if the menu has any.
    QAction* firstCommand = nullptr;
    for (QAction* action : Devices->actions()) {
        if (!deviceEntries_.contains(action)) {
            firstCommand = action;
            break;
        }
    }
    auto* entry = new QAction(caption, Devices);
    Devices->insertAction(firstCommand, entry);
    deviceEntries_.append(entry);
    entry->setData(position);
    connect(entry, &QAction::triggered, this, [this, entry] { RunCommand(this, [&] { DeviceSwitch(entry); }); });
    return entry;
}

// The list follows the cameras the monitor reports; what runs stays open.
// The old entries go once the event that is being handled is over, since it
// may be one of their clicks.
void TfmMainForm::RefreshDeviceMenu()
{
    if (closeQueries_ > 0) return;
    for (QAction* entry : std::exchange(deviceEntries_, {})) {
        Devices->removeAction(entry);
        entry->deleteLater();
    }
    DeviceEnum = std::make_unique<TSysDevEnum>();
    for (int position = 0; position < DeviceEnum->DeviceCount(); ++position)
        AddDeviceEntry(position, DeviceEnum->DeviceEntryAt(position));
}

void TfmMainForm::BuildDeviceMenu()
{
    DeviceEnum = std::make_unique<TSysDevEnum>();
    const int count = DeviceEnum->DeviceCount();
    bool rememberedOpened = false;
    for (int position = 0; position < count; ++position) {
        const DeviceEntry device = DeviceEnum->DeviceEntryAt(position);
        QAction* entry = AddDeviceEntry(position, device);
        // A remembered device that fails to start is reported like a failed
        // switch from the menu; the rest of the menu is still built. The
        // built-in test camera only stands at a remembered position because
        // the real camera there is gone: its moving ball would set off every
        // reaction, so it is opened only when the user chooses it.
        if (Zapamitujostatniowybraneurzdzenie1->isChecked() && position == LastDevice &&
            device.Kind != SourceKind::TestSource) {
            rememberedOpened = true;
            RunCommand(this, [&] { DeviceSwitch(entry); });
        }
    }
    // -1 asks for nothing at start-up; only a position that names no camera
    // now waits for the remembered one.
    if (Zapamitujostatniowybraneurzdzenie1->isChecked() && LastDevice >= 0 && !rememberedOpened)
        RunCommand(this, [this] { AwaitRememberedCamera(); });
}

// Started at log-on, the program often runs before the USB camera is ready:
// where the remembered position names no camera, the remembered camera is
// opened when the device monitor reports it (or now, should it stand at
// another position already).
void TfmMainForm::AwaitRememberedCamera()
{
    const SettingsFile settings(SettingsPath());
    const auto camera = Moniker::FromHex(settings.Read(keys::LastCamera)).Fields();
    if (!IsMonitoredCamera(camera)) return;
    awaitedCamera_ = *camera;
    ReviewListedCameras();
}

// The menu made again from the cameras listed now, and the awaited camera
// opened when it is among them.
void TfmMainForm::ReviewListedCameras()
{
    RefreshDeviceMenu();
    if (!awaitedCamera_) return;
    const auto sources = EnumerateSources();
    for (std::size_t position = 0; position < sources.size(); ++position) {
        if (!SameSource(sources[position], *awaitedCamera_)) continue;
        if (QAction* entry = deviceEntries_.value(static_cast<int>(position)))
            RunCommand(this, [&] { DeviceSwitch(entry); });
        return;
    }
}

void TfmMainForm::DeviceSwitch(QAction* sender)
{
    const int tag = sender->data().toInt();
    // The list is released when a close starts; a close that failed leaves
    // the menu in use, so the list is made again rather than used released.
    if (!DeviceEnum) DeviceEnum = std::make_unique<TSysDevEnum>();
    const std::optional<Moniker> moniker = DeviceEnum->DeviceMoniker(tag);
    // The lost source chosen again while it is away (a network camera stays
    // listed) is still awaited should it not open now.
    const bool stillAway = cameraWatch_->Away() && moniker && moniker->Bytes() == Filter->BaseFilter().Bytes();
    // The camera chosen now is watched from its start, as a new one.
    cameraWatch_->Forget();
    awaitedCamera_.reset();
    FilterGraph->StripGraph();
    FilterGraph->SetActive(false);
    Filter->BaseFilter().StoreMoniker(moniker ? &*moniker : nullptr);
    LastDevice = tag;
    FilterGraph->SetActive(true);
    if (stillAway) cameraWatch_->ResumeOutage();
    FilterGraph->RenderStream(Filter, SampleGrabber, &VideoWindow->Renderer());
    FilterGraph->RunGraph();
    cameraWatch_->Watch(ComebackOfSource(Filter->BaseFilter().Bytes()));
    {
        SettingsFile settings(SettingsPath());
        settings.Write(keys::LastDevice, LastDevice);
        RememberCamera(settings, moniker);
    }
    CopyLatestFrameIntoSlots();
    Resetujpami1Click();
}

// The next examined frame goes into the second slot and is measured against
// the device's latest frame. The grabber's copy is made before the slot lock
// is taken, so this thread never holds the slots while it waits for the
// grabber, which may itself be waiting for the slots on the frame thread.
void TfmMainForm::CopyLatestFrameIntoSlots()
{
    FrameImage latest;
    const bool haveFrame = SampleGrabber->LatestFrameToBitmap(&latest);
    const FrameSlots::Access frameSlots = Detection.Slots.Lock();
    Detection.CurrentSlot.store(1);
    if (!haveFrame || !frameSlots.Exist()) return;
    frameSlots[0] = latest;
    frameSlots[1] = std::move(latest);
}

// The format applies when the stream negotiates again, so the graph is
// stopped around the window and rendered anew after it.
void TfmMainForm::Zmierozdzielczo1Click()
{
    // A camera stopped for the window sends nothing and is not lost; one
    // lost already is tried again once the window is closed.
    const bool watched = cameraWatch_->Watching();
    const bool away = cameraWatch_->Away();
    cameraWatch_->Forget();
    FilterGraph->StopGraph();
    const int closeQueriesBefore = closeQueries_;
    if (fmZmienRozdzielczosc) fmZmienRozdzielczosc->exec();
    // A quit while the window was open has released the capture for good.
    if (closeQueries_ != closeQueriesBefore) return;
    FilterGraph->SetActive(true);
    // Without its camera the rendering fails; the camera is still awaited.
    if (away) cameraWatch_->ResumeOutage();
    FilterGraph->RenderStream(Filter, SampleGrabber, &VideoWindow->Renderer());
    FilterGraph->RunGraph();
    if (watched) cameraWatch_->Watch(ComebackOfSource(Filter->BaseFilter().Bytes()));
}

}  // namespace qmd
