#include "shell/desktop/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmd {

namespace {

constexpr const char* kMarkerName = "ApplicationTestMap";

// A runtime directory is only trusted when it is a directory of ours that
// nobody else may write to, as the XDG base directory rules demand.
bool IsPrivateDirectory(const char* dir)
{
    if (!dir || dir[0] != '/') return false;
    struct stat info {};
    if (stat(dir, &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 0077) == 0;
}

int OpenLockFile(const std::string& path)
{
    int fd;
    do {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    // In a shared directory another user could have put a file there for us
    // to lock against; such a file tells nothing about our own instances.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string SingleInstanceLock::LockFilePath()
{
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (IsPrivateDirectory(runtimeDir)) return std::string(runtimeDir) + "/" + kMarkerName + ".lock";
    // Appended piece by piece: GCC 12 takes the same chain of + for an
    // overflow of the temporary (-Warray-bounds) once the header is precompiled.
    std::string path = "/tmp/";
    path += kMarkerName;
    path += '-';
    path += std::to_string(getuid());
    path += ".lock";
    return path;
}

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquire()
{
    const int fd = OpenLockFile(LockFilePath());
    if (fd < 0) return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(-1));
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        close(fd);
        if (heldElsewhere) return nullptr;
        // A file system without flock: run unguarded rather than not at all.
        return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(-1));
    }
    return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd));
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0) close(fd_);
}

}  // namespace qmd
