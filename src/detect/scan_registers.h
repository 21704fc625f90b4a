#pragma once
// Each loaded vector is used twice (a - b and b - a). Left to itself GCC
// folds the second use into a memory operand and loads the same bytes again,
// which makes the scan bound by loads rather than by memory; an empty asm
// that claims to change the vectors makes it keep the one load in a register.

namespace qmd::detail {

template <class Vector>
inline void KeepInRegisters(Vector& a, Vector& b)
{
    asm("" : "+x"(a), "+x"(b));
}

}  // namespace qmd::detail
