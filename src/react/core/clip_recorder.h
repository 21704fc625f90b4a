#pragma once
// "Nagraj film": a clip of each event, from a few seconds before the first
// detection to a few seconds after the last, made of the camera's own
// compressed stream without decoding it again.
//
// The recorder hangs on the graph's branch point (NewConsumer), never on the
// frame thread: the streaming thread only refs each sample into a bounded
// mailbox, and a thread of the recorder's own keeps the ring of the last
// seconds, writes the clip and prunes the folder. The reaction sequence only
// notes the moment of a detection (an atomic), so neither the detection
// cycle nor the other reactions ever wait for the disk.
//
// A clip that fails (disk full, folder removed, write refused) ends there,
// said once on standard error; the event's remaining detections make no new
// clip, and the next event tries again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "gst/handles.h"
#include "react/core/local_time.h"

namespace qmd {

struct ClipSettings {
    std::string Folder;  // empty: no clip
    std::int64_t SecondsBefore = 0;
    std::int64_t SecondsAfter = 0;
    std::int64_t FolderLimitBytes = 0;
};

// What the sequence tells about motion (tests give fakes).
class MotionClips {
public:
    virtual ~MotionClips() = default;
    // A detection now; called on the frame thread, never waits.
    virtual void NoteMotion() = 0;
};

class ClipRecorder : public MotionClips {
public:
    struct Dependencies {
        // Read at the start of each clip; empty: the settings file's keys.
        std::function<ClipSettings()> Settings;
        LocalClock Clock;  // empty: ReadLocalClock
    };
    explicit ClipRecorder(Dependencies deps = {});
    ~ClipRecorder() override;  // ends an open clip (bounded wait)
    ClipRecorder(const ClipRecorder&) = delete;
    ClipRecorder& operator=(const ClipRecorder&) = delete;

    void NoteMotion() override;

    // A sink for the branch point (an appsink); any number may be made, each
    // feeds this recorder while it lives in a graph.
    gst::ElementHandle NewConsumer();

    // The most the ring keeps of the time before motion, and of the camera's
    // stream waiting for the recorder's thread.
    static constexpr std::size_t kRingBytes = 64 * 1024 * 1024;
    static constexpr std::size_t kMailboxBytes = 32 * 1024 * 1024;

    // The settings file's clip keys, as each clip reads them.
    static ClipSettings StoredSettings();

    struct Mailbox;

private:
    void Work();

    Dependencies deps_;
    std::shared_ptr<Mailbox> mailbox_;
    std::atomic<std::int64_t> lastMotionNs_{0};
    std::thread worker_;
};

// The steady clock in nanoseconds, as the recorder compares times.
std::int64_t SteadyNowNs();

}  // namespace qmd
