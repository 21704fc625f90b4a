// What a PulseAudio server receives from the real audio output: the server is
// started by tests/support/with_pulseaudio.sh, and its null sink's monitor is
// recorded with parec while the program plays.
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>
#include <thread>

#include "react/core/gst_audio_output.h"
#include "react/core/motion_reactions.h"
#include "reaction_fakes.h"
#include "support/temp_dir.h"
#include "wave_analysis.h"

namespace qmd {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRate = 48000;

// Records the null sink from construction to Stop().
class Recording {
public:
    explicit Recording(std::string path) : path_(std::move(path))
    {
        parec_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        parec_.setStandardOutputFile(QString::fromStdString(path_));
        parec_.start(QStringLiteral("parec"),
                     {QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--rate=48000"),
                      QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10"), QStringLiteral("-d"),
                      QStringLiteral("qmd_null.monitor")});
        // The monitor delivers silence all the time: once some has come, the
        // recording runs.
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline && !Started()) std::this_thread::sleep_for(10ms);
    }
    ~Recording()
    {
        parec_.terminate();
        if (!parec_.waitForFinished(5000)) parec_.kill(), parec_.waitForFinished(5000);
    }
    bool Started() const
    {
        std::error_code error;
        return std::filesystem::file_size(path_, error) > 0 && !error;
    }
    // Waits until a sound has been recorded and then 100 ms of silence; false
    // when that has not come after a few seconds.
    bool SoundHasEnded() const
    {
        const auto deadline = Clock::now() + 5s;
        const std::size_t silence = kRate / 10;
        while (Clock::now() < deadline) {
            const test::WaveData wave = test::RawSamples(test::ReadFileBytes(path_), kRate);
            const auto& s = wave.samples;
            const auto last = std::find_if(s.rbegin(), s.rend(), [](std::int16_t v) { return v != 0; });
            if (last != s.rend() && static_cast<std::size_t>(last - s.rbegin()) >= silence) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    test::WaveData Stop()
    {
        parec_.terminate();
        parec_.waitForFinished(5000);
        return test::RawSamples(test::ReadFileBytes(path_), kRate);
    }

private:
    std::string path_;
    QProcess parec_;
};

// The streams the server holds for its clients now.
int ServerStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) return -1;
    return static_cast<int>(pactl.readAllStandardOutput().count('\n'));
}

// Waits until the server holds no stream; false when it still does after a
// second.
bool ServerReleasesEveryStream()
{
    const auto deadline = Clock::now() + 1s;
    for (;;) {
        if (ServerStreams() == 0) return true;
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

void ExpectSound(const test::PitchedSound& sound, double hz, double ms)
{
    EXPECT_NEAR(sound.pitchHz, hz, hz * 0.02);
    EXPECT_NEAR(sound.lengthMs, ms, 5.0);
}

class AudioServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run under tests/support/with_pulseaudio.sh";
        recording = std::make_unique<Recording>(dir.File("recording.raw"));
        ASSERT_TRUE(recording->Started());
    }
    test::TempDir dir;
    std::unique_ptr<AudioOutput> audio = MakeGstAudioOutput();
    std::unique_ptr<Recording> recording;
};

// The alarm as the reaction sequence sounds it: seven whole tones in one
// stream, none lost, no gap between them.
TEST_F(AudioServerTest, AlarmArrivesAsSevenTonesWithoutGaps)
{
    test::EventLog log;
    test::FakeUi ui(log);
    test::FakePower power(log);
    test::FakeLauncher launcher(log);
    ReactionSwitches switches;
    switches.Alarm = true;
    ProgramList programs;
    std::atomic<int> index{-1};
    ReactionDependencies deps;
    deps.Switches = &switches;
    deps.Programs = &programs;
    deps.PowerIndex = &index;
    deps.Ui = &ui;
    deps.Audio = audio.get();
    deps.Power = &power;
    deps.Opener = &launcher;
    deps.SettingsPath = [&] { return dir.File("ustawienia.ini"); };
    MotionReactions reactions(std::move(deps));
    DetectionState state;

    std::array<double, 2> stepMs{};
    for (double& ms : stepMs) {
        const auto start = Clock::now();
        reactions.Run(state);
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    EXPECT_TRUE(ServerReleasesEveryStream());
    ASSERT_TRUE(recording->SoundHasEnded());
    const auto sounds = test::FindPitchedSounds(recording->Stop());
    RecordProperty("first_alarm_ms", std::to_string(stepMs[0]));
    RecordProperty("second_alarm_ms", std::to_string(stepMs[1]));

    ASSERT_EQ(sounds.size(), 14u);
    const double expected[] = {4000, 1000, 3500, 1500, 2000, 3000, 2500};
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSound(sounds[i], expected[i % 7], 50);
        if (i % 7 != 0) {
            EXPECT_LE(sounds[i].startMs - (sounds[i - 1].startMs + sounds[i - 1].lengthMs), 5.0);
        }
    }
    // The step ends when the alarm has been heard, not long after.
    for (const double ms : stepMs) EXPECT_LT(ms, 2000.0);
}

// The WAVE reaction plays whole, once at a time, and gives its stream back
// to the server as soon as it has ended.
TEST_F(AudioServerTest, WaveSoundPlaysWholeAndReleasesItsStream)
{
    const std::string clip = dir.File("dzwiek.wav");
    test::WriteFileBytes(clip, test::MakeSineWave(22050, 440, 300));
    ASSERT_TRUE(audio->PlayWaveFileAsync(clip));
    EXPECT_FALSE(audio->PlayWaveFileAsync(clip));  // the first one still plays
    ASSERT_TRUE(recording->SoundHasEnded());
    EXPECT_TRUE(ServerReleasesEveryStream());
    const auto sounds = test::FindPitchedSounds(recording->Stop());
    ASSERT_EQ(sounds.size(), 1u);
    ExpectSound(sounds[0], 440, 300);
    EXPECT_TRUE(audio->PlayWaveFileAsync(clip));  // it has ended: the next one is taken
}

// A window sound shorter than the server's buffers still arrives whole.
TEST_F(AudioServerTest, WindowSoundArrivesWhole)
{
    const auto stereo = dir.Path() / "share" / "sounds" / "freedesktop" / "stereo";
    std::filesystem::create_directories(stereo);
    test::WriteFileBytes((stereo / "window-minimized.wav").string(), test::MakeSineWave(44100, 660, 60));
    ::setenv("XDG_DATA_HOME", (dir.Path() / "nothing").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir.Path() / "share").c_str(), 1);

    audio->PlayEventSound("window-minimized");
    ASSERT_TRUE(recording->SoundHasEnded());
    EXPECT_TRUE(ServerReleasesEveryStream());
    const auto sounds = test::FindPitchedSounds(recording->Stop());
    ASSERT_EQ(sounds.size(), 1u);
    ExpectSound(sounds[0], 660, 60);
}

}  // namespace
}  // namespace qmd
