#pragma once
// Waits for the programs we start, each as soon as it ends, so that none stays
// behind as a zombie until the next start. Only the children handed to it
// are waited for, never "any child": QProcess and GLib wait for their own.
#include <sys/types.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/file_io.h"

namespace qmd {

class ChildReaper {
public:
    ChildReaper();
    // Stops the waiting thread; a child still running then is left as it is.
    ~ChildReaper();
    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    // Takes over a child of this process that nobody else waits for.
    void Watch(pid_t pid);

private:
    struct Child {
        Child(pid_t pid, int pidfd) : Pid(pid), Ended(pidfd) {}
        pid_t Pid;
        FileDescriptor Ended;  // a pidfd: readable once the child has ended
    };

    void WaitForChildren();
    void ReapUnwatched();

    std::mutex mutex_;
    std::vector<std::unique_ptr<Child>> handedOver_;  // not yet taken by the thread
    // Children no pidfd could be opened for: waited for without blocking at
    // every later Watch and at the end.
    std::vector<pid_t> unwatched_;
    bool stopping_ = false;
    FileDescriptor wake_;  // an eventfd: new children, or stop
    std::thread thread_;   // started with the first child
};

}  // namespace qmd
