#pragma once
// Media identifiers: 128-bit GUIDs as the media type records carry them, and
// the rule that turns a four-character code into one.
#include <array>
#include <compare>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qmd {

struct Guid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", any letter case. Used for the
    // constant tables, where a malformed literal fails the build.
    static constexpr Guid Parse(std::string_view text);

    // Upper-case text in the same braced form.
    std::string ToString() const;
};

// The four characters of a code as one 32-bit number, the first character in
// the lowest byte ("YUY2" is 0x32595559).
constexpr std::uint32_t FourCC(std::string_view code)
{
    if (code.size() != 4) throw std::invalid_argument("a four-character code has four characters");
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

// The identifier of a four-character code: the code in the first field,
// followed by -0000-0010-8000-00AA00389B71.
constexpr Guid GuidFromFourCC(std::uint32_t code)
{
    return Guid{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr Guid GuidFromFourCC(std::string_view code) { return GuidFromFourCC(FourCC(code)); }

namespace detail {
constexpr std::uint32_t HexDigit(char c)
{
    if (c >= '0' && c <= '9') return std::uint32_t(c - '0');
    if (c >= 'a' && c <= 'f') return std::uint32_t(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return std::uint32_t(c - 'A' + 10);
    throw std::invalid_argument("not a hexadecimal digit in a GUID");
}
constexpr std::uint32_t HexField(std::string_view text, std::size_t pos, std::size_t digits)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) value = value << 4 | HexDigit(text[pos + i]);
    return value;
}
}  // namespace detail

constexpr Guid Guid::Parse(std::string_view text)
{
    if (text.size() != 38 || text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' ||
        text[24] != '-' || text[37] != '}')
        throw std::invalid_argument("a GUID is written {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    Guid guid;
    guid.Data1 = detail::HexField(text, 1, 8);
    guid.Data2 = std::uint16_t(detail::HexField(text, 10, 4));
    guid.Data3 = std::uint16_t(detail::HexField(text, 15, 4));
    guid.Data4[0] = std::uint8_t(detail::HexField(text, 20, 2));
    guid.Data4[1] = std::uint8_t(detail::HexField(text, 22, 2));
    for (std::size_t i = 0; i < 6; ++i) guid.Data4[2 + i] = std::uint8_t(detail::HexField(text, 25 + 2 * i, 2));
    return guid;
}

}  // namespace qmd
