#include "detect/motion_marks.h"

namespace qmd {

void MotionMarks::NotePreviewPainted(Clock::time_point now)
{
    lastPaint_.store(Ticks(now), std::memory_order_relaxed);
}

bool MotionMarks::PreviewSeenLately(Clock::time_point now) const
{
    const std::int64_t last = lastPaint_.load(std::memory_order_relaxed);
    return last != INT64_MIN && Ticks(now) - last < std::chrono::duration_cast<Clock::duration>(kShownFor).count();
}

bool MotionMarks::BoxDue(Clock::time_point now) const
{
    if (!PreviewSeenLately(now)) return false;
    const std::lock_guard lock(mutex_);
    return !boxTime_ || now - *boxTime_ >= kRenewedAfter;
}

void MotionMarks::PublishBox(const AreaRect& box, Clock::time_point now)
{
    const std::lock_guard lock(mutex_);
    box_ = box;
    boxTime_ = now;
}

std::optional<AreaRect> MotionMarks::RecentBox(Clock::time_point now) const
{
    const std::lock_guard lock(mutex_);
    if (!boxTime_ || now - *boxTime_ >= kShownFor) return std::nullopt;
    return box_;
}

}  // namespace qmd
