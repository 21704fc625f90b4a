#pragma once
// Cutting text to a number of bytes without splitting a UTF-8 character, as
// the settings file's long texts and the device list's names are cut.
#include <cstddef>
#include <string>

namespace qmd {

// `text` cut to at most `maxBytes` bytes. A character that would be split is
// dropped whole: the cut steps back over its continuation bytes, at most
// three (the most a character has), so a run of stray continuation bytes in
// text that is not UTF-8 costs at most three bytes more.
inline std::string CutUtf8(std::string text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    for (int steps = 0; steps < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++steps) --cut;
    text.resize(cut);
    return text;
}

}  // namespace qmd
