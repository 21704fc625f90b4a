#pragma once
// A private X server (Xvfb) with a tray host (trayer) for the tests that need
// a real window system. Everything is started as child processes, ended by
// their own pids, and killed by the kernel should the test die first.
#include <string>
#include <sys/types.h>

namespace qmd::test {

class X11Session {
public:
    // Starts Xvfb on a free display and sets DISPLAY; nothing when Xvfb is missing.
    X11Session();
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    bool Running() const { return xvfb_ > 0; }
    const std::string& Display() const { return display_; }

    bool StartTrayHost();
    void StopTrayHost();

    // Runs a program on the display to its end; true when it exits with 0.
    bool Run(const std::string& program, const std::initializer_list<std::string>& arguments) const;

private:
    pid_t xvfb_ = -1;
    pid_t trayer_ = -1;
    std::string display_;
};

}  // namespace qmd::test
