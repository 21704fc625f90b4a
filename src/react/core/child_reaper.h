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
    // The one reaper of the process. It lives until the process ends, so a
    // child is waited for even after whatever started it has gone.
    static ChildReaper& Instance();

    // Takes over a child of this process that nobody else waits for.
    void Watch(pid_t pid);

private:
    struct Child {
        Child(pid_t pid, int pidfd) : Pid(pid), Ended(pidfd) {}
        pid_t Pid;
        FileDescriptor Ended;  // a pidfd: readable once the child has ended
    };

    ChildReaper();
    void WaitForChildren();
    void ReapUnwatched();

    std::mutex mutex_;
    std::vector<std::unique_ptr<Child>> handedOver_;  // not yet taken by the thread
    // Children no pidfd could be opened for: waited for without blocking at
    // every later Watch.
    std::vector<pid_t> unwatched_;
    FileDescriptor wake_;  // an eventfd: new children
    std::thread thread_;   // started with the first child
};

}  // namespace qmd
