#pragma once
#include <mutex>
#include <string>
#include <vector>

#include <sys/types.h>

#include "react/core/launcher.h"

namespace qmd {

// Starts programs with posix_spawn: executables (a path, or a bare name found
// on PATH) directly, everything else as `opener entry` (default "xdg-open",
// found on PATH). Descriptors above 2 are closed in the child. Finished
// children are reaped at the next Open and at destruction.
class ProcessLauncher : public Launcher {
public:
    explicit ProcessLauncher(std::string opener = "xdg-open");
    ~ProcessLauncher() override;
    bool Open(const std::string& entry) override;
    // Hands `path` to the opener whatever it is, even an executable file:
    // for documents such as the log, which must never be run.
    bool OpenWithAssociation(const std::string& path);

private:
    bool Spawn(const std::vector<std::string>& argv, bool searchPath);
    void ReapFinished();

    std::string opener_;
    std::mutex mutex_;
    std::vector<pid_t> children_;
};

}  // namespace qmd
