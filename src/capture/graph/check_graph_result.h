#pragma once
// Results of graph operations as 32-bit codes, with the top bit marking a
// failure. The codes are the ones a Windows build of the program showed, so
// users and support see the same numbers on every platform:
//
//   0x80004005  kResultFailed      a state change the pipeline refused
//   0x80004002  kResultNoInterface a member without an element
//   0x800705B4  kResultTimeout     a state change that did not finish in time
//   0x8007001F  kResultDeviceError the device or stream stopped working
//   0x80040217  kResultCannotLink  elements that could not be linked or removed
#include <cstdint>
#include <string>

#include "common/quisk_error.h"

namespace qmd {

inline constexpr std::uint32_t kResultOk = 0;
inline constexpr std::uint32_t kResultFalse = 1;  // a success that is not a clean one
inline constexpr std::uint32_t kResultFailed = 0x80004005u;
inline constexpr std::uint32_t kResultNoInterface = 0x80004002u;
inline constexpr std::uint32_t kResultTimeout = 0x800705B4u;
inline constexpr std::uint32_t kResultDeviceError = 0x8007001Fu;
inline constexpr std::uint32_t kResultCannotLink = 0x80040217u;

class EDirectShowException : public QuiskError {
public:
    // The message is platformText (cut at 255 bytes and at its first zero
    // byte) followed by " ($%X).".
    EDirectShowException(std::uint32_t code, std::string platformText);
    std::uint32_t Code() const { return code_; }

private:
    std::uint32_t code_;
};

// The text that goes with one of the codes above; empty for any other code.
std::string GraphResultText(std::uint32_t result);

// A failure code (top bit set) throws EDirectShowException with the code's
// text; any other code is returned unchanged.
std::uint32_t CheckGraphResult(std::uint32_t result);

}  // namespace qmd
