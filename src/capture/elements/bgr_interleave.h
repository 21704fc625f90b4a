#pragma once
// The byte shuffles (pshufb) that weave 16 blue, 16 green and 16 red bytes
// into 48 bytes of B G R: output chunk k (16 bytes) is the OR of the three
// channels each shuffled by kBgrShuffles.Mask[k][channel]; a mask byte with
// its top bit set gives 0.
#include <cstdint>

namespace qmd::detail {

struct BgrShuffles {
    alignas(16) std::int8_t Mask[3][3][16];
};

constexpr BgrShuffles MakeBgrShuffles()
{
    BgrShuffles shuffles{};
    for (int chunk = 0; chunk < 3; ++chunk)
        for (int channel = 0; channel < 3; ++channel)
            for (int i = 0; i < 16; ++i) {
                const int byte = 16 * chunk + i;
                shuffles.Mask[chunk][channel][i] = byte % 3 == channel ? static_cast<std::int8_t>(byte / 3) : -128;
            }
    return shuffles;
}

inline constexpr BgrShuffles kBgrShuffles = MakeBgrShuffles();

}  // namespace qmd::detail
