#pragma once
// Comparisons that ignore the case of ASCII letters only, as the settings
// file's sections and keys and the HTTP camera's header names and tokens
// are matched. Other bytes (a UTF-8 "Ł" included) compare as they are.
#include <algorithm>
#include <string_view>

namespace qmd {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace qmd
