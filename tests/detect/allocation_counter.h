#pragma once
// Counts every allocation of the test binary that links allocation_counter.cpp
// (it replaces the global operator new).

namespace qmd::test {

long AllocationCount();

}  // namespace qmd::test
