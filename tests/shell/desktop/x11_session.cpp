#include "x11_session.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qmd::test {

namespace {

std::string FindInPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        const size_t end = std::min(directories.find(':', start), directories.size());
        const std::string candidate = directories.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// Starts `program`; the child is killed when this process dies, however it
// dies, so a crashed or aborted test leaves no X server behind. `keepFd`
// stays open in the child.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments, int keepFd = -1)
{
    const std::string executable = FindInPath(program);
    if (executable.empty()) return -1;
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t& pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    pid = -1;
}

}  // namespace

X11Session::X11Session()
{
    int displayPipe[2];
    if (pipe(displayPipe) != 0) return;
    fcntl(displayPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(displayPipe[1], F_SETFD, FD_CLOEXEC);
    xvfb_ =
        Spawn("Xvfb", {"-displayfd", std::to_string(displayPipe[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
              displayPipe[1]);
    close(displayPipe[1]);
    std::string number;
    pollfd reading{displayPipe[0], POLLIN, 0};
    while (xvfb_ > 0 && poll(&reading, 1, 20000) > 0) {
        char c;
        if (read(displayPipe[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(displayPipe[0]);
    if (number.empty()) {
        Stop(xvfb_);
        return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
}

X11Session::~X11Session()
{
    StopTrayHost();
    Stop(xvfb_);
}

bool X11Session::StartTrayHost()
{
    if (!Running()) return false;
    trayer_ = Spawn("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                               "--SetDockType", "true", "--SetPartialStrut", "false", "--transparent", "false"});
    return trayer_ > 0;
}

void X11Session::StopTrayHost() { Stop(trayer_); }

bool X11Session::Run(const std::string& program, const std::initializer_list<std::string>& arguments) const
{
    pid_t pid = Spawn(program, arguments);
    if (pid <= 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qmd::test
