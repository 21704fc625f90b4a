#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "react/core/gst_audio_output.h"
#include "react/core/motion_reactions.h"
#include "react/core/sound_theme.h"
#include "react/core/wave_file_audio_output.h"
#include "reaction_fakes.h"
#include "support/temp_dir.h"
#include "wave_analysis.h"

namespace qmd {
namespace {

using test::FindSounds;
using test::ReadWave;

void ExpectSound(const test::Sound& sound, double hz, double ms)
{
    EXPECT_NEAR(sound.pitchHz, hz, hz * 0.02);
    EXPECT_NEAR(sound.lengthMs, ms, 5.0);
}

// The alarm as the sequence sounds it, measured in the written file.
TEST(WaveFileAudioOutput, AlarmHoldsSevenTonesInOrder)
{
    test::TempDir dir;
    const std::string out = dir.File("audio.wav");
    const auto audio = MakeWaveFileAudioOutput(out);
    test::AlarmOnlyReactions alarm(*audio, dir.File("ustawienia.ini"));
    alarm.Run();
    alarm.Run();

    const test::WaveData wave = ReadWave(test::ReadFileBytes(out));
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.bits, 16);
    EXPECT_EQ(wave.rate, kWaveFileRate);
    const auto sounds = FindSounds(wave);
    ASSERT_EQ(sounds.size(), 14u);
    const double expected[] = {4000, 1000, 3500, 1500, 2000, 3000, 2500};
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSound(sounds[i], expected[i % 7], 50);
    }
}

TEST(WaveFileAudioOutput, WaveFilePlaysOnceAtATime)
{
    test::TempDir dir;
    const std::string out = dir.File("audio.wav");
    const std::string clip = dir.File("dzwiek.wav");
    test::WriteFileBytes(clip, test::MakeSineWave(22050, 440, 300));
    const auto audio = MakeWaveFileAudioOutput(out);

    ASSERT_TRUE(audio->PlayWaveFileAsync(clip));
    EXPECT_FALSE(audio->PlayWaveFileAsync(clip));  // the first one still plays
    // Once it has ended, the next one is taken.
    bool again = false;
    for (int i = 0; i < 400 && !again; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        again = audio->PlayWaveFileAsync(clip);
    }
    EXPECT_TRUE(again);

    const auto sounds = FindSounds(ReadWave(test::ReadFileBytes(out)));
    ASSERT_EQ(sounds.size(), 2u);
    for (const auto& sound : sounds) ExpectSound(sound, 440, 300);
}

TEST(WaveFileAudioOutput, MissingOrBrokenFilePlaysNothing)
{
    test::TempDir dir;
    const std::string out = dir.File("audio.wav");
    const auto audio = MakeWaveFileAudioOutput(out);
    test::WriteFileBytes(dir.File("broken.wav"), "RIFF\x10\0\0\0WAVEfmt garbage that is not audio");
    EXPECT_FALSE(audio->PlayWaveFileAsync(dir.File("missing.wav")));
    EXPECT_FALSE(audio->PlayWaveFileAsync(dir.File("broken.wav")));
    EXPECT_FALSE(audio->PlayWaveFileAsync(""));
    EXPECT_FALSE(audio->PlayWaveFileAsync(dir.Path().string()));
    EXPECT_FALSE(std::filesystem::exists(out));

    // A broken file does not block the next good one.
    test::WriteFileBytes(dir.File("good.wav"), test::MakeSineWave(48000, 1000, 100));
    EXPECT_TRUE(audio->PlayWaveFileAsync(dir.File("good.wav")));
    EXPECT_EQ(FindSounds(ReadWave(test::ReadFileBytes(out))).size(), 1u);
}

TEST(WaveFileAudioOutput, EventSoundsComeFromTheSoundTheme)
{
    test::TempDir dir;
    const auto stereo = dir.Path() / "share" / "sounds" / "freedesktop" / "stereo";
    std::filesystem::create_directories(stereo);
    test::WriteFileBytes((stereo / "window-minimized.wav").string(), test::MakeSineWave(44100, 660, 120));
    ::setenv("XDG_DATA_HOME", (dir.Path() / "nothing").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir.Path() / "share").c_str(), 1);

    EXPECT_EQ(FindThemeSound("window-minimized"), (stereo / "window-minimized.wav").string());
    EXPECT_EQ(FindThemeSound("window-unminimized"), "");
    EXPECT_EQ(FindThemeSound("../stereo/window-minimized"), "");

    const std::string out = dir.File("audio.wav");
    const auto audio = MakeWaveFileAudioOutput(out);
    audio->PlayEventSound("window-unminimized");  // the theme has none: nothing
    EXPECT_FALSE(std::filesystem::exists(out));
    audio->PlayEventSound("window-minimized");
    const auto sounds = FindSounds(ReadWave(test::ReadFileBytes(out)));
    ASSERT_EQ(sounds.size(), 1u);
    ExpectSound(sounds[0], 660, 120);
}

TEST(DefaultAudioOutput, WritesToTheFileNamedByTheEnvironment)
{
    test::TempDir dir;
    const std::string out = dir.File("quisk-audio.wav");
    ::setenv("QUISK_AUDIO_FILE", out.c_str(), 1);
    AudioOutput& audio = DefaultAudioOutput();
    const Tone tones[] = {{2000, 50}, {3000, 30}};
    audio.PlayTones(tones, {});
    const auto sounds = FindSounds(ReadWave(test::ReadFileBytes(out)));
    ASSERT_EQ(sounds.size(), 2u);
    ExpectSound(sounds[0], 2000, 50);
    ExpectSound(sounds[1], 3000, 30);
}

// Without a sound card the real output still returns from every call.
TEST(GstAudioOutput, PlaysOrGivesUpWithoutADevice)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("clip.wav"), test::MakeSineWave(48000, 500, 50));
    const auto audio = MakeGstAudioOutput();
    EXPECT_FALSE(audio->PlayWaveFileAsync(dir.File("missing.wav")));
    const Tone tone[] = {{1000, 50}};
    audio->PlayTones(tone, {});
    audio->PlayWaveFileAsync(dir.File("clip.wav"));
    audio->PlayEventSound("no-such-event");
}

}  // namespace
}  // namespace qmd
