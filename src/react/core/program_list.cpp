#include "react/core/program_list.h"

namespace qmd {

void ProgramList::Assign(std::vector<std::string> entries)
{
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
}

std::vector<std::string> ProgramList::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

std::size_t ProgramList::Count() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace qmd
