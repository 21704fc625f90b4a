#pragma once
// The integer rules shared by ustawienia.ini and the start-delay dialog:
// decimal with an optional sign inside the signed 32-bit range, or up to eight
// hexadecimal digits after "0x", "0X" or "$" whose 32 bits are read as signed
// ("0xFFFFFFFF" is -1). Anything else is not an integer.
#include <cstdint>
#include <optional>
#include <string_view>

namespace qmd {

std::optional<std::int32_t> ParseIntegerText(std::string_view text);

}  // namespace qmd
