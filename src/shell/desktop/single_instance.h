#pragma once
// The single-instance marker "ApplicationTestMap": an flock() on
// $XDG_RUNTIME_DIR/ApplicationTestMap.lock (or /tmp/ApplicationTestMap-<uid>.lock
// when there is no usable runtime directory). The kernel drops the lock when
// the process ends in any way, so a crash never leaves a stale marker, and the
// descriptor is close-on-exec, so programs we start do not keep it alive.
//
// Usage in main(), before any window, sound or camera is touched:
//
//     auto instanceLock = qmd::SingleInstanceLock::TryAcquire();
//     if (!instanceLock) return 0;   // another instance runs; leave it alone
//     ... keep instanceLock alive until main() returns ...
#include <memory>
#include <string>

namespace qmd {

class SingleInstanceLock {
public:
    // The held lock, or nullptr when another process of this user holds it.
    // When the lock file cannot be opened at all (a foreign file in /tmp, a
    // read-only directory), the program is allowed to run: the returned
    // object then holds nothing (Holds() is false) rather than locking the
    // user out of their own program.
    static std::unique_ptr<SingleInstanceLock> TryAcquire();

    // Where the lock lives for this process's environment.
    static std::string LockFilePath();

    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    bool Holds() const { return fd_ >= 0; }

private:
    explicit SingleInstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace qmd
