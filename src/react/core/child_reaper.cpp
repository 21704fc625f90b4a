#include "react/core/child_reaper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "common/caught_exception.h"
#include "react/core/react_log.h"

namespace qmd {

namespace {

// Through syscall(): Debian 12's <sys/pidfd.h> declares pidfd_open without C
// linkage.
int OpenPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

void Wake(int eventFd)
{
    const std::uint64_t one = 1;
    while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {}
}

// False while the child still runs.
bool Reaped(pid_t pid)
{
    pid_t result = 0;
    do {
        result = ::waitpid(pid, nullptr, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result != 0;  // its status, or it is not ours to wait for any more
}

}  // namespace

ChildReaper& ChildReaper::Instance()
{
    // Never destroyed, its thread never joined: the frame thread may still
    // start a program while static objects are being destroyed at exit.
    static ChildReaper* const reaper = new ChildReaper();
    return *reaper;
}

ChildReaper::ChildReaper() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void ChildReaper::Watch(pid_t pid)
{
    // pidfd_open cannot meet another process of the same number: the child
    // keeps its number until it has been waited for.
    auto child = std::make_unique<Child>(pid, OpenPidfd(pid));
    std::lock_guard lock(mutex_);
    ReapUnwatched();
    if (child->Ended.get() < 0 || wake_.get() < 0) {
        unwatched_.push_back(pid);
        return;
    }
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] {
                // The thread's one catch: what is left ends as zombies, as
                // when poll fails.
                try {
                    WaitForChildren();
                } catch (...) {
                    qCWarning(lcReact, "child reaper stopped: %s", CaughtExceptionText().c_str());
                }
            });
        } catch (const std::system_error&) {
            unwatched_.push_back(pid);
            return;
        }
    }
    handedOver_.push_back(std::move(child));
    Wake(wake_.get());
}

void ChildReaper::ReapUnwatched() { std::erase_if(unwatched_, Reaped); }

void ChildReaper::WaitForChildren()
{
    std::vector<std::unique_ptr<Child>> children;
    std::vector<pollfd> watched;
    for (;;) {
        watched.assign(1, pollfd{wake_.get(), POLLIN, 0});
        for (const auto& child : children) watched.push_back(pollfd{child->Ended.get(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;  // cannot wait any more: what is left ends as zombies
        }
        // Children that ended, last first, so the indices of the rest hold.
        for (std::size_t i = children.size(); i-- > 0;)
            if (watched[i + 1].revents != 0 && Reaped(children[i]->Pid)) children.erase(children.begin() + i);
        if (watched[0].revents != 0) {
            std::uint64_t count = 0;
            while (::read(wake_.get(), &count, sizeof count) < 0 && errno == EINTR) {}
            std::lock_guard lock(mutex_);
            for (auto& child : handedOver_) children.push_back(std::move(child));
            handedOver_.clear();
        }
    }
}

}  // namespace qmd
