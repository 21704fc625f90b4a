#include "detect/detection.h"

namespace qmd {

void FrameSlots::Create()
{
    const std::lock_guard lock(mutex_);
    // Creating again empties the slots in place, so that a reference taken
    // under the mutex elsewhere never outlives its bitmap.
    for (auto& slot : slots_) {
        if (slot)
            slot->Clear();
        else
            slot = std::make_unique<FrameImage>();
    }
    exist_.store(true, std::memory_order_release);
}

bool FrameSlots::Exist() const
{
    return exist_.load(std::memory_order_acquire);
}

}  // namespace qmd
