// Sounds in the background, on fake sinks that keep time like a sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "gst/init.h"
#include "react/core/background_sounds.h"

namespace qmd {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Channel = BackgroundSounds::Channel;

// A sound of `ms` milliseconds that plays in real time.
gst::ElementHandle TimedSound(int ms)
{
    gst::EnsureInitialized();
    const std::string description = "audiotestsrc samplesperbuffer=480 num-buffers=" + std::to_string(ms / 10) +
                                    " ! audio/x-raw,rate=48000 ! fakesink sync=true";
    GstElement* parsed = gst_parse_launch(description.c_str(), nullptr);
    return gst::Sink(parsed);
}

GstState StateOf(GstElement* pipeline)
{
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline, &state, nullptr, 0);
    return state;
}

// Waits until the pipeline has reached `state`; false after a few seconds.
bool Reaches(GstElement* pipeline, GstState state)
{
    const auto deadline = Clock::now() + 3s;
    while (StateOf(pipeline) != state) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

bool Ends(BackgroundSounds& sounds, Channel channel)
{
    const auto deadline = Clock::now() + 3s;
    while (sounds.Playing(channel) && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
    return !sounds.Playing(channel);
}

TEST(BackgroundSounds, SoundIsReleasedWhenItEnds)
{
    BackgroundSounds sounds;
    gst::ElementHandle sound = TimedSound(100);
    GstElement* pipeline = sound.get();
    gst::ElementHandle watched = gst::NewRef(pipeline);
    sounds.Play(Channel::Wave, std::move(sound));
    EXPECT_TRUE(sounds.Playing(Channel::Wave));
    EXPECT_FALSE(sounds.Playing(Channel::Event));
    ASSERT_TRUE(Reaches(watched.get(), GST_STATE_PLAYING));
    EXPECT_TRUE(Ends(sounds, Channel::Wave));
    EXPECT_TRUE(Reaches(watched.get(), GST_STATE_NULL));
}

TEST(BackgroundSounds, LaterSoundOfAChannelReplacesTheEarlierOne)
{
    BackgroundSounds sounds;
    gst::ElementHandle first = TimedSound(5000);
    gst::ElementHandle firstWatched = gst::NewRef(first.get());
    gst::ElementHandle other = TimedSound(5000);
    gst::ElementHandle otherWatched = gst::NewRef(other.get());
    sounds.Play(Channel::Event, std::move(first));
    sounds.Play(Channel::Wave, std::move(other));
    ASSERT_TRUE(Reaches(firstWatched.get(), GST_STATE_PLAYING));
    sounds.Play(Channel::Event, TimedSound(5000));
    EXPECT_TRUE(Reaches(firstWatched.get(), GST_STATE_NULL));
    EXPECT_TRUE(sounds.Playing(Channel::Event));
    EXPECT_TRUE(Reaches(otherWatched.get(), GST_STATE_PLAYING));  // another channel plays on
}

TEST(BackgroundSounds, FailedSoundIsReleased)
{
    BackgroundSounds sounds;
    gst::EnsureInitialized();
    GstElement* parsed = gst_parse_launch("filesrc location=/nonexistent/sound.wav ! fakesink", nullptr);
    gst::ElementHandle sound = gst::Sink(parsed);
    gst::ElementHandle watched = gst::NewRef(sound.get());
    sounds.Play(Channel::Wave, std::move(sound));
    EXPECT_TRUE(Ends(sounds, Channel::Wave));
    EXPECT_TRUE(Reaches(watched.get(), GST_STATE_NULL));
}

}  // namespace
}  // namespace qmd
