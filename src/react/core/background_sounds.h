#pragma once
// Sounds that play on while their caller goes on: the WAVE reaction and the
// window sounds. A thread of this object starts each sound and, as soon as it
// has ended or failed, sets its pipeline to NULL: a sound holds the sound
// server's stream (on plain ALSA, the sound card) only while it is heard, and
// a short sound is not torn down before the server has played it. No caller
// waits for a state change.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gst/handles.h"

namespace qmd {

class BackgroundSounds {
public:
    // Sounds on one channel replace each other; channels play side by side.
    enum class Channel { Wave, Event };

    BackgroundSounds();
    // Stops and releases every sound, then ends the thread.
    ~BackgroundSounds();
    BackgroundSounds(const BackgroundSounds&) = delete;
    BackgroundSounds& operator=(const BackgroundSounds&) = delete;

    // Plays `pipeline` (not yet started) on the channel; a sound still
    // playing there is stopped.
    void Play(Channel channel, gst::ElementHandle pipeline);
    // True from Play until the channel's sound has ended, failed or been
    // replaced.
    bool Playing(Channel channel) const;

private:
    struct Sound;
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer sound);
    void Finished(const std::shared_ptr<Sound>& sound);
    void Run();
    void Start(const std::shared_ptr<Sound>& sound);
    static void Release(Sound& sound);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<Sound>> sounds_;  // started or waiting to start, not yet released
    std::deque<std::shared_ptr<Sound>> work_;     // to start (once) or to release, in order
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace qmd
