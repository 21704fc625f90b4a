#include "react/core/background_sounds.h"

#include <algorithm>

#include "common/caught_exception.h"
#include "react/core/react_log.h"

namespace qmd {

struct BackgroundSounds::Sound {
    BackgroundSounds* owner = nullptr;
    Channel channel = Channel::Wave;
    gst::ElementHandle pipeline;
    bool ended = false;     // under the owner's mutex
    bool started = false;   // the thread's own
    bool released = false;  // the thread's own
};

BackgroundSounds::BackgroundSounds() : thread_([this] { Run(); }) {}

BackgroundSounds::~BackgroundSounds()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& sound : sounds_) {
            if (sound->ended) continue;
            sound->ended = true;
            work_.push_back(sound);
        }
    }
    wake_.notify_all();
    thread_.join();
}

void BackgroundSounds::Play(Channel channel, gst::ElementHandle pipeline)
{
    if (!pipeline) return;
    auto sound = std::make_shared<Sound>();
    sound->owner = this;
    sound->channel = channel;
    sound->pipeline = std::move(pipeline);
    {
        std::lock_guard lock(mutex_);
        for (const auto& earlier : sounds_) {
            if (earlier->channel != channel || earlier->ended) continue;
            earlier->ended = true;
            work_.push_back(earlier);
        }
        sounds_.push_back(sound);
        work_.push_back(std::move(sound));
    }
    wake_.notify_all();
}

bool BackgroundSounds::Playing(Channel channel) const
{
    std::lock_guard lock(mutex_);
    return std::any_of(sounds_.begin(), sounds_.end(),
                       [&](const auto& sound) { return sound->channel == channel && !sound->ended; });
}

// Runs on whichever thread posts the message (a streaming thread, the sound
// server's client thread, or ours during a state change): it only marks the
// sound and wakes our thread.
GstBusSyncReply BackgroundSounds::OnBusMessage(GstBus*, GstMessage* message, gpointer data)
{
    const auto type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
        try {
            if (const auto sound = static_cast<std::weak_ptr<Sound>*>(data)->lock()) sound->owner->Finished(sound);
        } catch (...) {
            // Nothing may unwind into GStreamer; the sound is released when the output goes.
            qCWarning(lcReact, "background sound not released: %s", CaughtExceptionText().c_str());
        }
    }
    // Nobody reads these buses: what is not dropped would pile up there.
    return GST_BUS_DROP;
}

void BackgroundSounds::Finished(const std::shared_ptr<Sound>& sound)
{
    {
        std::lock_guard lock(mutex_);
        if (sound->ended) return;
        sound->ended = true;
        work_.push_back(sound);
    }
    wake_.notify_all();
}

void BackgroundSounds::Run()
{
    try {
        for (;;) {
            std::shared_ptr<Sound> sound;
            bool ended = false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !work_.empty(); });
                if (work_.empty()) return;  // stopping, and everything released
                sound = std::move(work_.front());
                work_.pop_front();
                ended = sound->ended;
            }
            if (sound->released) continue;
            if (!ended) {
                if (!sound->started) Start(sound);
                continue;
            }
            Release(*sound);
            std::lock_guard lock(mutex_);
            std::erase(sounds_, sound);
        }
    } catch (...) {
        // The thread's one catch: the sounds stop, the program goes on.
        qCWarning(lcReact, "background sounds stopped: %s", CaughtExceptionText().c_str());
    }
}

void BackgroundSounds::Start(const std::shared_ptr<Sound>& sound)
{
    sound->started = true;
    gst::BusHandle bus(gst_element_get_bus(sound->pipeline.get()));
    // The bus holds the sound only weakly: the sound owns the pipeline, which
    // owns the bus.
    gst_bus_set_sync_handler(bus.get(), &BackgroundSounds::OnBusMessage, new std::weak_ptr<Sound>(sound),
                             [](gpointer data) { delete static_cast<std::weak_ptr<Sound>*>(data); });
    if (gst_element_set_state(sound->pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) Finished(sound);
}

void BackgroundSounds::Release(Sound& sound)
{
    sound.released = true;
    if (sound.started) gst_element_set_state(sound.pipeline.get(), GST_STATE_NULL);
}

}  // namespace qmd
