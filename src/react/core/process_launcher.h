#pragma once
#include <string>
#include <vector>

#include "react/core/launcher.h"

namespace qmd {

// Starts programs with posix_spawn: executables (a path, or a bare name found
// on PATH) directly by their absolute path, everything else as `opener entry`
// (default "xdg-open", found on PATH), the entry as an absolute path unless it
// is a URL, so that no entry is ever read as an option. Relative paths are
// resolved against the working directory. Descriptors above 2 are closed in
// the child. Each child is waited for as soon as it ends.
class ProcessLauncher : public Launcher {
public:
    explicit ProcessLauncher(std::string opener = "xdg-open");
    bool Open(const std::string& entry) override;
    // Hands `path` to the opener whatever it is, even an executable file:
    // for documents such as the log, which must never be run.
    bool OpenWithAssociation(const std::string& path);

private:
    bool Spawn(const std::vector<std::string>& argv, bool searchPath);

    std::string opener_;
};

}  // namespace qmd
