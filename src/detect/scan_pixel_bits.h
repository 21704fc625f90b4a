#pragma once
// From one bit per byte (bit i set when byte i of a 16-pixel block exceeds the
// threshold) to the first pixel whose three bytes all do.
#include <bit>
#include <cstdint>

namespace qmd::detail {

// Bits 0, 3, 6, ... 45: the blue byte of each of 16 pixels.
inline constexpr std::uint64_t kFirstBytesOf16Pixels = 0x249249249249ULL;

// The pixels of a 16-pixel block whose three bytes all exceed, one bit each
// at the pixel's blue byte.
inline std::uint64_t ChangedPixelBitsOf16(std::uint64_t bytes)
{
    return bytes & (bytes >> 1) & (bytes >> 2) & kFirstBytesOf16Pixels;
}

// `bytes` holds 48 bits, byte 0 of the block in bit 0. Returns 0 .. 15 or -1.
inline int FirstPixelOf16(std::uint64_t bytes)
{
    const std::uint64_t pixels = ChangedPixelBitsOf16(bytes);
    if (pixels == 0) return -1;
    return std::countr_zero(pixels) / 3;
}

}  // namespace qmd::detail
