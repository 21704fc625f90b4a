#pragma once
// The coded picture of an H.264/H.265 access unit: its slice NAL units,
// each without the start code or length that framed it, joined. Two access
// units hold the same picture exactly when these bytes are the same, however
// a muxer framed them and wherever it moved their parameter sets.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmd::test {

inline bool IsSlice(const std::uint8_t* unit, std::size_t size, bool h265)
{
    if (size == 0) return false;
    // H.264: types 1..5; H.265: types 0..31 (VCL).
    return h265 ? ((unit[0] >> 1) & 0x3F) < 32 : (unit[0] & 0x1F) >= 1 && (unit[0] & 0x1F) <= 5;
}

// `lengthPrefixed`: 4-byte big-endian lengths (avc, hvc1), else start codes (byte-stream).
inline std::vector<std::uint8_t> CodedSlices(const std::uint8_t* data, std::size_t size, bool lengthPrefixed, bool h265)
{
    std::vector<std::uint8_t> slices;
    const auto take = [&](std::size_t at, std::size_t end) {
        if (IsSlice(data + at, end - at, h265)) slices.insert(slices.end(), data + at, data + end);
    };
    if (lengthPrefixed) {
        for (std::size_t at = 0; at + 4 <= size;) {
            const std::size_t length = (std::size_t{data[at]} << 24) | (std::size_t{data[at + 1]} << 16) |
                                       (std::size_t{data[at + 2]} << 8) | data[at + 3];
            at += 4;
            if (length > size - at) break;
            take(at, at + length);
            at += length;
        }
        return slices;
    }
    const auto startCode = [&](std::size_t i) {
        return i + 3 <= size && data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1;
    };
    std::size_t at = 0;
    while (at < size && !startCode(at)) ++at;
    while (at < size) {
        at += 3;
        std::size_t end = at;
        while (end < size && !startCode(end)) ++end;
        // The zeros before the next start code are its own (four-byte form).
        std::size_t last = end;
        while (end < size && last > at && data[last - 1] == 0) --last;
        take(at, last);
        at = end;
    }
    return slices;
}

}  // namespace qmd::test
