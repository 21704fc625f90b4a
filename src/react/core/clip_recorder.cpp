#include "react/core/clip_recorder.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "base/settings_keys.h"
#include "common/caught_exception.h"
#include "react/core/clip_folder.h"
#include "react/core/clip_ring.h"
#include "react/core/clip_writer.h"
#include "react/core/react_log.h"
#include "react/core/reaction_texts.h"

namespace qmd {

namespace {

constexpr std::int64_t kSecondNs = 1'000'000'000;
// The thread looks at the clock at least this often, so a clip ends on time
// when the camera has stopped sending.
constexpr auto kTick = std::chrono::milliseconds(100);
// The settings are read again this often while no clip is made, so that the
// ring keeps the time the user has just set.
constexpr std::int64_t kSettingsAgeNs = 2 * kSecondNs;
// The ring holds a little more than the seconds before motion: the detection
// is noted a moment after its frame left the branch point.
constexpr std::int64_t kRingSlackNs = kSecondNs;

}  // namespace

std::int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct ClipRecorder::Mailbox {
    std::mutex Lock;
    std::condition_variable Arrived;
    std::deque<ClipFrame> Frames;
    std::size_t Bytes = 0;
    bool Stopping = false;
};

namespace {

// The streaming thread's whole part: a ref into the mailbox, or the sample
// is dropped when the recorder's thread is that far behind.
GstFlowReturn TakeSample(GstAppSink* sink, gpointer data)
{
    auto& mailbox = **static_cast<std::shared_ptr<ClipRecorder::Mailbox>*>(data);
    gst::SampleHandle sample{gst_app_sink_pull_sample(sink)};
    if (!sample) return GST_FLOW_OK;
    ClipFrame frame = ClipFrameOf(std::move(sample), SteadyNowNs());
    {
        const std::lock_guard lock(mailbox.Lock);
        if (mailbox.Stopping || mailbox.Bytes + frame.Bytes > ClipRecorder::kMailboxBytes) return GST_FLOW_OK;
        mailbox.Bytes += frame.Bytes;
        mailbox.Frames.push_back(std::move(frame));
    }
    mailbox.Arrived.notify_one();
    return GST_FLOW_OK;
}

// One event on the recorder's thread: from the first detection to the end of
// its tail, with the clip it writes (or the failure that ended it).
class ClipEvent {
public:
    ClipEvent(ClipSettings settings, std::string path, std::int64_t endNs)
        : settings_(std::move(settings)), path_(std::move(path)), endNs_(endNs)
    {
    }
    ~ClipEvent() { writer_.Abandon(); }

    void Extend(std::int64_t motionNs) { endNs_ = std::max(endNs_, motionNs + settings_.SecondsAfter * kSecondNs); }
    std::int64_t EndNs() const { return endNs_; }
    // Whether a frame that arrived then still belongs to the event.
    bool Holds(const ClipFrame& frame) const { return frame.ArrivalNs <= endNs_; }

    // false when the stream changed its format: the clip ends before the frame.
    bool Add(const ClipFrame& frame)
    {
        if (failed_) return true;
        GstSample* sample = frame.Sample.get();
        if (!writer_.IsOpen()) {
            // A clip begins with a key frame; what comes before it cannot be shown.
            if (!frame.Key) return true;
            PruneClips(settings_.Folder, settings_.FolderLimitBytes, {});
            if (std::optional<std::string> reason = writer_.Open(path_, sample)) return Fail(*reason), true;
        } else if (!writer_.Takes(gst_sample_get_caps(sample))) {
            return false;
        }
        if (std::optional<std::string> reason = writer_.Write(sample, frame.ArrivalNs)) Fail(*reason);
        return true;
    }

    void Finish()
    {
        if (failed_ || !writer_.IsOpen()) return;
        if (std::optional<std::string> reason = writer_.Finish()) return Fail(*reason);
        PruneClips(settings_.Folder, settings_.FolderLimitBytes, path_);
    }

private:
    void Fail(const std::string& reason)
    {
        failed_ = true;
        writer_.Abandon();
        qCWarning(lcReact, "the clip %s ends here: %s", path_.c_str(), reason.c_str());
    }

    ClipSettings settings_;
    std::string path_;
    std::int64_t endNs_;
    ClipWriter writer_;
    bool failed_ = false;
};

}  // namespace

ClipRecorder::ClipRecorder(Dependencies deps) : deps_(std::move(deps)), mailbox_(std::make_shared<Mailbox>())
{
    if (!deps_.Settings) deps_.Settings = StoredSettings;
    if (!deps_.Clock) deps_.Clock = ReadLocalClock;
    worker_ = std::thread([this] { Work(); });
}

ClipRecorder::~ClipRecorder()
{
    {
        const std::lock_guard lock(mailbox_->Lock);
        mailbox_->Stopping = true;
    }
    mailbox_->Arrived.notify_one();
    worker_.join();
}

void ClipRecorder::NoteMotion() { lastMotionNs_.store(SteadyNowNs()); }

gst::ElementHandle ClipRecorder::NewConsumer()
{
    gst::ElementHandle sink = gst::Sink(gst_element_factory_make("appsink", nullptr));
    if (!sink) return {};
    // Stamps are not waited for, and no sample is held after it is taken.
    g_object_set(sink.get(), "sync", FALSE, "enable-last-sample", FALSE, "max-buffers", 1u, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = TakeSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, new std::shared_ptr<Mailbox>(mailbox_),
                               [](gpointer data) { delete static_cast<std::shared_ptr<Mailbox>*>(data); });
    return sink;
}

ClipSettings ClipRecorder::StoredSettings()
{
    const SettingsFile settings(SettingsFilePath());
    ClipSettings clip;
    clip.Folder = settings.Read(keys::ClipFolder);
    // The ring's byte bound keeps memory in hand whatever is stored here.
    clip.SecondsBefore = std::clamp<std::int64_t>(settings.Read(keys::ClipSecondsBefore), 0, 60);
    clip.SecondsAfter = std::clamp<std::int64_t>(settings.Read(keys::ClipSecondsAfter), 0, 3600);
    clip.FolderLimitBytes = std::max<std::int64_t>(settings.Read(keys::ClipFolderLimit), 0) * 1024 * 1024;
    return clip;
}

void ClipRecorder::Work()
{
    ClipRing ring(kRingBytes);
    std::optional<ClipEvent> event;
    std::int64_t handledMotionNs = 0;
    ClipSettings settings;
    std::int64_t settingsReadNs = 0;
    // One catch at the thread's boundary: a failure costs the clip, never the program.
    const auto guarded = [](const char* what, const auto& body) {
        try {
            body();
        } catch (...) {
            qCWarning(lcReact, "the clip recorder, %s: %s", what, CaughtExceptionText().c_str());
        }
    };
    const auto feed = [&](ClipFrame frame) {
        if (event && !event->Holds(frame)) {
            guarded("ending a clip", [&] { event->Finish(); });
            event.reset();
        }
        if (event && event->Add(frame)) return;
        if (event) {
            // The stream changed its format: this event's clip ends, and its
            // tail waits in the ring like any other frames.
            guarded("ending a clip", [&] { event->Finish(); });
            event.reset();
        }
        const std::int64_t keepFrom = frame.ArrivalNs - settings.SecondsBefore * kSecondNs - kRingSlackNs;
        ring.Push(std::move(frame), keepFrom);
    };

    for (;;) {
        std::deque<ClipFrame> arrived;
        {
            std::unique_lock lock(mailbox_->Lock);
            const auto due = [this] { return mailbox_->Stopping || !mailbox_->Frames.empty(); };
            // Without an event, only frames (or the end) give work.
            if (event)
                mailbox_->Arrived.wait_for(lock, kTick, due);
            else
                mailbox_->Arrived.wait(lock, due);
            if (mailbox_->Stopping) break;
            arrived.swap(mailbox_->Frames);
            mailbox_->Bytes = 0;
        }
        const std::int64_t now = SteadyNowNs();
        if (!event && now - settingsReadNs >= kSettingsAgeNs) {
            guarded("reading the settings", [&] { settings = deps_.Settings(); });
            settingsReadNs = now;
        }
        const std::int64_t motion = lastMotionNs_.load();
        if (motion != handledMotionNs) {
            handledMotionNs = motion;
            if (event) {
                event->Extend(motion);
            } else if (!settings.Folder.empty()) {
                const LocalTime date = deps_.Clock();
                const LocalTime time = deps_.Clock();
                event.emplace(settings, settings.Folder + "/" + ClipFileName(date, time), motion);
                event->Extend(motion);
                for (ClipFrame& frame : ring.TakeFrom(motion - settings.SecondsBefore * kSecondNs))
                    guarded("writing a clip", [&] { feed(std::move(frame)); });
            }
        }
        for (ClipFrame& frame : arrived) guarded("writing a clip", [&] { feed(std::move(frame)); });
        if (event && now > event->EndNs()) {
            guarded("ending a clip", [&] { event->Finish(); });
            event.reset();
        }
    }
    if (event) guarded("ending a clip", [&] { event->Finish(); });
}

}  // namespace qmd
