#pragma once
// Long test texts: `count` copies of `repeated`, then `tail`, built by
// appending. GCC 12 reports a copy out of bounds, which none is, for
// std::string(n, c) + "..." inlined at -O2, and the plain build takes
// warnings for errors.
#include <cstddef>
#include <string>

namespace qmd::test {

inline std::string Repeated(std::size_t count, char repeated, const std::string& tail = {})
{
    std::string text(count, repeated);
    text += tail;
    return text;
}

}  // namespace qmd::test
