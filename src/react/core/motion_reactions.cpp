#include "react/core/motion_reactions.h"

#include <memory>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "base/settings_keys.h"
#include "common/caught_exception.h"
#include "common/quisk_error.h"
#include "react/core/bmp_file.h"
#include "react/core/file_writes.h"
#include "react/core/logind_power_manager.h"
#include "react/core/process_launcher.h"
#include "react/core/react_log.h"
#include "react/core/reaction_texts.h"

namespace qmd {

namespace {
// The alarm: seven 50 ms tones in this order, played as one sound so that no
// gap opens between them.
constexpr Tone kAlarm[] = {{4000, 50}, {1000, 50}, {3500, 50}, {1500, 50}, {2000, 50}, {3000, 50}, {2500, 50}};
}  // namespace

struct MotionReactions::Owned {
    LogindPowerManager power;
    ProcessLauncher launcher;
};

MotionReactions::MotionReactions(Dependencies deps) : deps_(std::move(deps))
{
    if (!deps_.Switches || !deps_.Programs || !deps_.PowerIndex || !deps_.Ui)
        throw QuiskError("The reaction sequence lacks its switches, program list, power index or window bridge");
    if (!deps_.Power || !deps_.Opener) {
        owned_ = std::make_unique<Owned>();
        if (!deps_.Power) deps_.Power = &owned_->power;
        if (!deps_.Opener) deps_.Opener = &owned_->launcher;
    }
    if (!deps_.Notifier) {
        ownNotifier_ = std::make_unique<DesktopNotifier>();
        deps_.Notifier = ownNotifier_.get();
    }
    if (!deps_.Audio) deps_.Audio = &DefaultAudioOutput();
    if (!deps_.SettingsPath) deps_.SettingsPath = [] { return SettingsFilePath(); };
    if (!deps_.LogPath) deps_.LogPath = [] { return AppFile(keys::kLogFileName); };
    if (!deps_.Clock) deps_.Clock = ReadLocalClock;
}

MotionReactions::~MotionReactions() = default;

void MotionReactions::Run(DetectionState& state)
{
    const ReactionSwitches& on = *deps_.Switches;
    if (on.Clip && deps_.Clips) deps_.Clips->NoteMotion();
    if (on.Photo) RunContained("photo", [&] { TakePhoto(state); });
    if (on.Alarm) RunContained("alarm", [&] { SoundAlarm(); });
    if (on.Programs && !state.ProgramsLaunched) RunContained("program list", [&] { LaunchPrograms(state); });
    if (on.Sound) RunContained("sound", [&] { PlaySound(); });
    if (on.Information && !state.InfoShown) RunContained("information", [&] { ShowInformation(state); });
    if (on.Power) RunContained("power action", [&] { ChangePowerState(); });
    if (on.Log) RunContained("log", [&] { WriteLogLine(); });
    if (on.Notification) RunContained("notification", [&] { ShowNotification(state); });
}

// One failed reaction must not cost the others: a missing photo folder still
// sounds the alarm and writes the log line.
void MotionReactions::RunContained(const char* step, const std::function<void()>& body)
{
    try {
        body();
    } catch (...) {
        qCWarning(lcReact, "reaction %s failed: %s", step, CaughtExceptionText().c_str());
    }
}

std::string MotionReactions::SettingsText(const TextKey& key) const
{
    const SettingsFile settings(deps_.SettingsPath());
    return settings.Read(key);
}

void MotionReactions::TakePhoto(DetectionState& state)
{
    const LocalTime date = deps_.Clock();
    const LocalTime time = deps_.Clock();
    const std::string path = PhotoFilePath(SettingsText(keys::PhotoFolder), date, time);

    const FrameImage frame = CurrentFrame(state);
    if (frame.Empty()) throw QuiskError("No frame to save");
    SaveBmpFile(path, frame);
}

// A copy, so the slot is free again before the disk or the picture is
// touched; empty when there is no frame.
FrameImage MotionReactions::CurrentFrame(DetectionState& state)
{
    const FrameSlots::Access frameSlots = state.Slots.Lock();
    if (!frameSlots.Exist()) return {};
    return frameSlots[state.CurrentSlot.load()];
}

void MotionReactions::SoundAlarm()
{
    if (deps_.Ui->Closing()) return;
    deps_.Audio->PlayTones(kAlarm, [this] { return deps_.Ui->Closing(); });
}

void MotionReactions::LaunchPrograms(DetectionState& state)
{
    for (const std::string& entry : deps_.Programs->Snapshot()) {
        // An entry that cannot be started is passed over; the next one still runs.
        RunContained("program list entry", [&] { deps_.Opener->Open(entry); });
    }
    state.ProgramsLaunched = true;
}

void MotionReactions::PlaySound() { deps_.Audio->PlayWaveFileAsync(SettingsText(keys::SoundFile)); }

void MotionReactions::ShowInformation(DetectionState& state)
{
    if (deps_.Ui->IsInformationShowing()) return;
    deps_.Ui->ShowInformationModal(SettingsText(keys::InformationText));
    state.InfoShown = true;
}

void MotionReactions::ChangePowerState()
{
    const int index = deps_.PowerIndex->load();
    // The program closes after any of the five actions, as the user chose,
    // but only once logind has taken the request: a refusal (polkit, an
    // inhibitor, no logind) throws with logind's reason and leaves the
    // machine on, so the detector must go on watching it.
    if (RequestPowerAction(*deps_.Power, index)) deps_.Ui->CloseMainWindow();
}

void MotionReactions::WriteLogLine()
{
    const LocalTime date = deps_.Clock();
    const LocalTime time = deps_.Clock();
    AppendToFileOrThrow(deps_.LogPath(), LogLine(date, time));
}

void MotionReactions::ShowNotification(DetectionState& state)
{
    const auto now = std::chrono::steady_clock::now();
    if (lastNotification_ && now - *lastNotification_ < kNotificationInterval) return;
    lastNotification_ = now;
    const LocalTime date = deps_.Clock();
    const LocalTime time = deps_.Clock();
    deps_.Notifier->Notify(MotionNoticeText(date, time), CurrentFrame(state));
}

int StoredPowerIndex(int stored) { return stored >= -1 && stored <= 5 ? stored : -1; }

bool IsPowerAction(int index) { return index >= 1 && index <= 5; }

bool RequestPowerAction(PowerManager& power, int index)
{
    switch (index) {
    case 1: power.Suspend(); return true;    // "Stan uśpienia"
    case 2: power.Hibernate(); return true;  // "Hibernuj"
    case 3: power.LogOff(); return true;     // "Wyloguj"
    case 4: power.PowerOff(); return true;   // "Wyłącz"
    case 5: power.Reboot(); return true;     // "Uruchom ponownie"
    default: return false;                   // "Nie rób nic", or nothing chosen
    }
}

}  // namespace qmd
