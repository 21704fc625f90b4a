#pragma once
// The two alternating frame bitmaps of the detection. The frame thread copies
// each examined frame into one and compares the two; the photo reaction reads
// one; a device switch on the GUI thread fills both. They are reached only
// through Lock() or TryLock(), whose accessor holds their mutex for as long
// as it lives, so no code can touch a bitmap without the lock. The mutex is
// never held across a wait for the GUI thread.
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "common/frame_image.h"

namespace qmd {

// Absent until Create(); a cycle never examines a frame while they are absent.
class FrameSlots {
public:
    // The slots while their mutex is held.
    class Access {
    public:
        bool Exist() const { return owner_->Exist(); }
        // A slot; only while Exist(). The reference is good while this
        // accessor lives (Create() later empties the bitmap in place).
        FrameImage& operator[](int index) const { return *owner_->slots_[index]; }

    private:
        friend class FrameSlots;
        Access(const FrameSlots& owner, std::unique_lock<std::mutex> lock) : owner_(&owner), lock_(std::move(lock)) {}

        const FrameSlots* owner_;
        std::unique_lock<std::mutex> lock_;
    };

    void Create();       // both slots, empty (0 x 0)
    bool Exist() const;  // lock-free test

    // Waits for the mutex.
    [[nodiscard]] Access Lock();
    // Nothing when another thread holds the mutex now.
    [[nodiscard]] std::optional<Access> TryLock();

private:
    mutable std::mutex mutex_;
    std::atomic<bool> exist_{false};
    std::array<std::unique_ptr<FrameImage>, 2> slots_;
};

}  // namespace qmd
