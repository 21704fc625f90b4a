#include "detect/frame_slots.h"

namespace qmd {

void FrameSlots::Create()
{
    const std::lock_guard lock(mutex_);
    // Creating again empties the slots in place, so that a reference taken
    // through an accessor elsewhere never outlives its bitmap.
    for (auto& slot : slots_) {
        if (slot)
            slot->Clear();
        else
            slot = std::make_unique<FrameImage>();
    }
    exist_.store(true, std::memory_order_release);
}

bool FrameSlots::Exist() const { return exist_.load(std::memory_order_acquire); }

FrameSlots::Access FrameSlots::Lock() { return Access(*this, std::unique_lock(mutex_)); }

std::optional<FrameSlots::Access> FrameSlots::TryLock()
{
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return std::nullopt;
    return Access(*this, std::move(lock));
}

}  // namespace qmd
