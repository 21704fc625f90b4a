// In a file of its own, so that the compiler never inlines the replacements
// into their callers and mistakes malloc and free for a mismatched pair.
#include "detect/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocationCount{0};
}  // namespace

void* operator new(std::size_t size)
{
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace qmd::test {

long AllocationCount() { return allocationCount.load(std::memory_order_relaxed); }

}  // namespace qmd::test
