#include "x11_session.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qmd::test {

namespace {

pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
            posix_spawn_file_actions_t* actions = nullptr)
{
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), actions, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t& pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

}  // namespace

X11Session::X11Session()
{
    int displayPipe[2];
    if (pipe(displayPipe) != 0) return;
    fcntl(displayPipe[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, displayPipe[0]);
    xvfb_ = Spawn("Xvfb", {"-displayfd", std::to_string(displayPipe[1]), "-screen", "0", "1024x768x24",
                           "-nolisten", "tcp"},
                  &actions);
    posix_spawn_file_actions_destroy(&actions);
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
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qmd::test
