#include "detect/ignore_areas.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace qmd {
namespace {

constexpr double kSlack = 1e-9;  // what a decimal rounding may leave over 1

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::optional<AreaRect> ParseAreaLine(std::string_view line)
{
    std::array<double, 4> numbers{};
    std::size_t taken = 0;
    const char* at = line.data();
    const char* end = line.data() + line.size();
    for (;;) {
        while (at != end && IsBlank(*at)) ++at;
        if (at == end) break;
        if (taken == numbers.size()) return std::nullopt;
        // from_chars reads a dot whatever the locale says.
        const auto [next, error] = std::from_chars(at, end, numbers[taken], std::chars_format::fixed);
        if (error != std::errc() || (next != end && !IsBlank(*next))) return std::nullopt;
        ++taken;
        at = next;
    }
    if (taken != numbers.size()) return std::nullopt;
    const AreaRect area{numbers[0], numbers[1], numbers[2], numbers[3]};
    for (double value : numbers)
        if (!std::isfinite(value)) return std::nullopt;
    if (area.X < 0 || area.Y < 0 || area.Width <= 0 || area.Height <= 0) return std::nullopt;
    if (area.X + area.Width > 1 + kSlack || area.Y + area.Height > 1 + kSlack) return std::nullopt;
    return area;
}

void AppendNumber(std::string& text, double value)
{
    // Six decimals place an edge within a pixel of an 8K picture's thousandth.
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, 6);
    std::string_view written(digits.data(), static_cast<std::size_t>(result.ptr - digits.data()));
    while (written.ends_with('0')) written.remove_suffix(1);
    if (written.ends_with('.')) written.remove_suffix(1);
    if (written == "-0") written = "0";
    text.append(written);
}

}  // namespace

AreaFileContent ParseAreaText(std::string_view text)
{
    AreaFileContent content;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (const std::optional<AreaRect> area = ParseAreaLine(line))
            content.Areas.push_back(*area);
        else
            content.UnreadableLines.emplace_back(line);
    }
    return content;
}

std::string AreaText(const AreaList& areas)
{
    std::string text;
    for (const AreaRect& area : areas) {
        AppendNumber(text, area.X);
        text += ' ';
        AppendNumber(text, area.Y);
        text += ' ';
        AppendNumber(text, area.Width);
        text += ' ';
        AppendNumber(text, area.Height);
        text += '\n';
    }
    return text;
}

void SharedAreas::Set(AreaList areas)
{
    auto published = std::make_shared<const AreaList>(std::move(areas));
    const std::lock_guard lock(mutex_);
    areas_ = std::move(published);
    generation_.fetch_add(1, std::memory_order_release);
}

std::shared_ptr<const AreaList> SharedAreas::Get() const
{
    const std::lock_guard lock(mutex_);
    return areas_;
}

PixelRange CoveredPixels(double start, double extent, int size)
{
    if (size <= 0) return {};
    const auto centreIn = [&](int pixel, double edge) { return (pixel + 0.5) / size >= edge; };
    // The first pixel whose centre is at or past an edge: estimated, then
    // settled by the very test the definition names, so that rounding in the
    // estimate never moves an edge by a pixel.
    const auto firstAtOrPast = [&](double edge) {
        int pixel = static_cast<int>(std::clamp(std::ceil(edge * size - 0.5), 0.0, static_cast<double>(size)));
        while (pixel > 0 && centreIn(pixel - 1, edge)) --pixel;
        while (pixel < size && !centreIn(pixel, edge)) ++pixel;
        return pixel;
    };
    const int begin = firstAtOrPast(start);
    const int end = firstAtOrPast(start + extent);
    return begin < end ? PixelRange{begin, end} : PixelRange{};
}

}  // namespace qmd
