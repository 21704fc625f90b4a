#include "react/core/file_writes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "common/quisk_error.h"

namespace qmd {

namespace {

// Owns a descriptor and closes it however the write ends.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() { Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return fd_; }
    bool Close()
    {
        if (fd_ < 0) return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A name next to `path` that no other writer uses: our pid and a counter.
std::string TemporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
}

}  // namespace

void ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string_view errorPrefix)
{
    const auto fail = [&] { throw QuiskError(std::string(errorPrefix) + path); };
    const std::string temporary = TemporaryNameFor(path);
    OpenFile file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) fail();
    const bool written = WriteAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    const bool closed = file.Close();
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        fail();
    }
}

void AppendToFile(const std::string& path, std::string_view bytes)
{
    OpenFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (file.get() < 0) throw QuiskError("Cannot open file " + path);
    const bool written = WriteAll(file.get(), bytes);
    const bool closed = file.Close();
    if (!written || !closed) throw QuiskError("Unable to write to " + path);
}

}  // namespace qmd
