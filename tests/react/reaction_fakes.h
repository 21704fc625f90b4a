#pragma once
// Recording stand-ins for the services of the reaction sequence.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/quisk_error.h"
#include "react/core/audio_output.h"
#include "react/core/launcher.h"
#include "react/core/motion_reactions.h"
#include "react/core/power_manager.h"
#include "react/core/reaction_ui.h"

namespace qmd::test {

class EventLog {
public:
    void Add(std::string event)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> Events() const
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

struct FakeUi : ReactionUi {
    explicit FakeUi(EventLog& log) : log(log) {}
    bool IsInformationShowing() override { return showing; }
    void ShowInformationModal(const std::string& text) override { log.Add("info:" + text); }
    void CloseMainWindow() override { log.Add("close"); }
    bool Closing() const override { return closing; }
    EventLog& log;
    bool showing = false;
    std::atomic<bool> closing{false};
};

struct FakeAudio : AudioOutput {
    explicit FakeAudio(EventLog& log) : log(log) {}
    void PlayTones(std::span<const Tone> tones, const std::function<bool()>& stop) override
    {
        for (const Tone& tone : tones) {
            if (stop && stop()) return;
            if (beforeTone) beforeTone();
            log.Add("tone:" + std::to_string(tone.FrequencyHz) + ":" + std::to_string(tone.DurationMs));
        }
    }
    bool PlayWaveFileAsync(const std::string& path) override
    {
        log.Add("wave:" + path);
        return true;
    }
    void PlayEventSound(const std::string& name) override { log.Add("event:" + name); }
    EventLog& log;
    std::function<void()> beforeTone;
};

struct FakePower : PowerManager {
    explicit FakePower(EventLog& log) : log(log) {}
    void Record(const char* what)
    {
        if (beforeCall) beforeCall();
        log.Add(what);
        if (fail) throw QuiskError("logind refused");
    }
    void Suspend() override { Record("suspend"); }
    void Hibernate() override { Record("hibernate"); }
    void LogOff() override { Record("logoff"); }
    void PowerOff() override { Record("poweroff"); }
    void Reboot() override { Record("reboot"); }
    EventLog& log;
    bool fail = false;
    std::function<void()> beforeCall;
};

struct FakeLauncher : Launcher {
    explicit FakeLauncher(EventLog& log) : log(log) {}
    bool Open(const std::string& entry) override
    {
        log.Add("open:" + entry);
        if (failing.count(entry)) throw QuiskError("cannot start " + entry);
        return true;
    }
    EventLog& log;
    std::set<std::string> failing;
};

// The reaction sequence with only the alarm switched on, sounding through
// `audio`; everything else it needs is fake.
struct AlarmOnlyReactions {
    AlarmOnlyReactions(AudioOutput& audio, std::string settingsPath)
    {
        switches.Alarm = true;
        ReactionDependencies deps;
        deps.Switches = &switches;
        deps.Programs = &programs;
        deps.PowerIndex = &index;
        deps.Ui = &ui;
        deps.Audio = &audio;
        deps.Power = &power;
        deps.Opener = &launcher;
        deps.SettingsPath = [path = std::move(settingsPath)] { return path; };
        reactions = std::make_unique<MotionReactions>(std::move(deps));
    }
    void Run() { reactions->Run(state); }

    EventLog log;
    FakeUi ui{log};
    FakePower power{log};
    FakeLauncher launcher{log};
    ReactionSwitches switches;
    ProgramList programs;
    std::atomic<int> index{-1};
    DetectionState state;
    std::unique_ptr<MotionReactions> reactions;
};

}  // namespace qmd::test
