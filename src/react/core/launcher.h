#pragma once
// Opens an entry of the program list, or the log: an executable file is
// started directly, anything else is handed to the desktop's association
// (xdg-open, itself started directly). Nothing ever passes through a shell, and
// a started program inherits none of our descriptors beyond 0, 1 and 2.
#include <string>

namespace qmd {

class Launcher {
public:
    virtual ~Launcher() = default;
    // False when nothing could be started.
    virtual bool Open(const std::string& entry) = 0;
};

}  // namespace qmd
