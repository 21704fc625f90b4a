#pragma once
// What the preview marks on the picture: the box around the pixels that
// counted in the last detection, shown for a second after it. The box is
// worked out only while the preview is being painted, so a program in the
// tray pays nothing for it, and at most ten times a second: each time is a
// scan of both whole frames, and a box that moves more often than that
// shows nothing more.
//
// The preview (GUI thread) notes each painted frame and reads the box; the
// frame thread asks whether the preview was painted lately and publishes the
// box.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include "detect/ignore_areas.h"

namespace qmd {

class MotionMarks {
public:
    using Clock = std::chrono::steady_clock;
    // How long a box stays, and how long after its last paint the preview
    // still counts as seen.
    static constexpr std::chrono::seconds kShownFor{1};
    // How long a box stands before a detection works out a new one.
    static constexpr std::chrono::milliseconds kRenewedAfter{100};

    void NotePreviewPainted(Clock::time_point now = Clock::now());
    bool PreviewSeenLately(Clock::time_point now = Clock::now()) const;
    // Whether a detection now is to work out its box: the preview is seen
    // and the last box is kRenewedAfter old, or there is none.
    bool BoxDue(Clock::time_point now = Clock::now()) const;

    // The box as fractions of the picture, as the areas are given.
    void PublishBox(const AreaRect& box, Clock::time_point now = Clock::now());
    std::optional<AreaRect> RecentBox(Clock::time_point now = Clock::now()) const;

private:
    static std::int64_t Ticks(Clock::time_point t) { return t.time_since_epoch().count(); }

    std::atomic<std::int64_t> lastPaint_{INT64_MIN};
    mutable std::mutex mutex_;
    AreaRect box_;
    std::optional<Clock::time_point> boxTime_;
};

}  // namespace qmd
