// What a PulseAudio server receives from the real audio output: the server is
// started by tests/support/with_pulseaudio.sh, and its null sink's monitor is
// recorded with parec while the program plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// A helper program, started directly (no fork of this threaded process), its
// standard output going to a file.
class Child {
public:
    Child(std::vector<std::string> args, const std::string& outputFile)
    {
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0600);
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit status once it has ended; -1 when it did not start or end well.
    int Wait()
    {
        if (pid_ <= 0) return -1;
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Stop()
    {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
        Wait();
    }

private:
    pid_t pid_ = -1;
};

// Records the null sink from construction to Stop().
class Recording {
public:
    explicit Recording(std::string path)
        : path_(std::move(path)), parec_({"parec", "--raw", "--format=s16le", "--rate=48000", "--channels=1",
                                          "--latency-msec=10", "-d", "qmd_null.monitor"},
                                         path_)
    {
        // The monitor delivers silence all the time: once some has come, the
        // recording runs.
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline && !Started()) std::this_thread::sleep_for(10ms);
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
        parec_.Stop();
        return test::RawSamples(test::ReadFileBytes(path_), kRate);
    }

private:
    std::string path_;
    Child parec_;
};

// The streams the server holds for its clients now.
int ServerStreams(const test::TempDir& dir)
{
    const std::string listing = dir.File("sink-inputs.txt");
    Child pactl({"pactl", "list", "short", "sink-inputs"}, listing);
    if (pactl.Wait() != 0) return -1;
    const std::string text = test::ReadFileBytes(listing);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Waits until the server holds no stream; false when it still does after a
// second.
bool ServerReleasesEveryStream(const test::TempDir& dir)
{
    const auto deadline = Clock::now() + 1s;
    for (;;) {
        if (ServerStreams(dir) == 0) return true;
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
    test::AlarmOnlyReactions alarm(*audio, dir.File("ustawienia.ini"));
    std::array<double, 2> stepMs{};
    for (double& ms : stepMs) {
        const auto start = Clock::now();
        alarm.Run();
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    EXPECT_TRUE(ServerReleasesEveryStream(dir));
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
    EXPECT_TRUE(ServerReleasesEveryStream(dir));
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
    EXPECT_TRUE(ServerReleasesEveryStream(dir));
    const auto sounds = test::FindPitchedSounds(recording->Stop());
    ASSERT_EQ(sounds.size(), 1u);
    ExpectSound(sounds[0], 660, 60);
}

}  // namespace
}  // namespace qmd
