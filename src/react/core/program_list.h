#pragma once
// The live program list. The program list window keeps it equal to its list
// box while the user edits; the frame thread walks a copy taken at once, so it
// never sees a half-edited list.
#include <mutex>
#include <string>
#include <vector>

namespace qmd {

class ProgramList {
public:
    void Assign(std::vector<std::string> entries);
    std::vector<std::string> Snapshot() const;
    std::size_t Count() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

}  // namespace qmd
