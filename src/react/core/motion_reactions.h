#pragma once
// The reaction sequence run by a detection cycle that found motion: photo,
// alarm, program list (once per reset), sound, information window (once per
// reset), power action, log line, desktop notification (at most one every
// 30 s), in that order, each while its switch is on. A clip ("Nagraj film")
// is only told of the detection, before the others, so that a clip starts
// from the moment of motion even while the information window holds the
// sequence.
// Switches, the live program list, the live power index and the three text
// settings are read at the moment their step runs. A failing step is reported
// on the error stream and skipped; the later steps still run.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/settings_keys.h"
#include "detect/detection.h"
#include "react/core/audio_output.h"
#include "react/core/clip_recorder.h"
#include "react/core/desktop_notifier.h"
#include "react/core/launcher.h"
#include "react/core/local_time.h"
#include "react/core/power_manager.h"
#include "react/core/program_list.h"
#include "react/core/reaction_switches.h"
#include "react/core/reaction_ui.h"

namespace qmd {

struct ReactionDependencies {
    const ReactionSwitches* Switches = nullptr;    // required
    const ProgramList* Programs = nullptr;         // required
    const std::atomic<int>* PowerIndex = nullptr;  // required: the live index of the power window
    ReactionUi* Ui = nullptr;                      // required
    AudioOutput* Audio = nullptr;                  // null: DefaultAudioOutput()
    PowerManager* Power = nullptr;                 // null: the logind power manager
    Launcher* Opener = nullptr;                    // null: the process launcher
    MotionNotifier* Notifier = nullptr;            // null: desktop notifications (made on this thread)
    MotionClips* Clips = nullptr;                  // null: no clips
    // Empty: SettingsFilePath() / AppFile("Dziennik.log") at each use.
    std::function<std::string()> SettingsPath;
    std::function<std::string()> LogPath;
    LocalClock Clock;  // empty: ReadLocalClock
};

class MotionReactions : public ReactionSequence {
public:
    using Dependencies = ReactionDependencies;
    explicit MotionReactions(Dependencies deps);
    ~MotionReactions() override;

    void Run(DetectionState& state) override;

    // The steps one by one (Run calls them in order, each contained).
    void TakePhoto(DetectionState& state);
    void SoundAlarm();
    void LaunchPrograms(DetectionState& state);
    void PlaySound();
    void ShowInformation(DetectionState& state);
    void ChangePowerState();
    void WriteLogLine();
    void ShowNotification(DetectionState& state);

    // The least time between two notifications: motion goes on for minutes,
    // and one notice of it is enough.
    static constexpr std::chrono::seconds kNotificationInterval{30};

private:
    std::string SettingsText(const TextKey& key) const;
    static FrameImage CurrentFrame(DetectionState& state);
    void RunContained(const char* step, const std::function<void()>& body);

    Dependencies deps_;
    struct Owned;
    std::unique_ptr<Owned> owned_;  // real services created when none were given
    std::unique_ptr<DesktopNotifier> ownNotifier_;
    std::optional<std::chrono::steady_clock::time_point> lastNotification_;  // frame thread only
};

}  // namespace qmd
