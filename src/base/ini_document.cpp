#include "base/ini_document.h"

#include "common/ascii_case.h"

namespace qmd {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A file saved by a Windows editor may begin with a UTF-8 byte-order mark;
// it belongs to no line.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Calls visit(line) for each line of the text; stops when visit returns false.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            visit(text.substr(pos));
            return;
        }
        if (!visit(text.substr(pos, end - pos))) return;
        pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

// The section name of a header line, or nullopt when the line is no header.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a key line, or nullopt. Comment lines are never key lines.
std::optional<std::string_view> KeyName(std::string_view line, std::string_view* value = nullptr)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    if (value) *value = Trim(line.substr(eq + 1));
    return Trim(line.substr(0, eq));
}

std::string CutAtNul(std::string_view value) { return std::string(value.substr(0, value.find('\0'))); }

std::string KeyLine(std::string_view key, std::string_view value)
{
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append("=").append(value);
    return line;
}

}  // namespace

IniDocument::IniDocument(std::string_view bytes)
{
    ForEachLine(bytes, [this](std::string_view line) {
        lines_.emplace_back(line);
        return true;
    });
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value)
{
    std::size_t i = 0;
    while (i < lines_.size()) {
        const auto name = SectionName(lines_[i]);
        ++i;
        if (!name || !EqualsIgnoringAsciiCase(*name, section)) continue;
        // Inside the section: replace the key, or add it after the section's
        // last non-blank line.
        std::size_t insertAt = i;
        for (; i < lines_.size() && !SectionName(lines_[i]); ++i) {
            if (const auto k = KeyName(lines_[i]); k && EqualsIgnoringAsciiCase(*k, key)) {
                lines_[i] = KeyLine(key, value);
                return;
            }
            if (!Trim(lines_[i]).empty()) insertAt = i + 1;
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), KeyLine(key, value));
        return;
    }
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(KeyLine(key, value));
}

void IniDocument::RemoveSection(std::string_view section)
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !EqualsIgnoringAsciiCase(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) ++end;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        return;
    }
}

std::string IniDocument::Serialize() const
{
    std::size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& line : lines_) out.append(line).append("\r\n");
    return out;
}

std::optional<std::string> FindIniValue(std::string_view bytes, std::string_view section, std::string_view key)
{
    enum class Where { Before, Inside, After } where = Where::Before;
    std::optional<std::string> found;
    ForEachLine(bytes, [&](std::string_view line) {
        if (const auto name = SectionName(line)) {
            if (where == Where::Inside) {
                where = Where::After;  // only the first matching section counts
                return false;
            }
            if (EqualsIgnoringAsciiCase(*name, section)) where = Where::Inside;
            return true;
        }
        if (where != Where::Inside) return true;
        std::string_view value;
        if (const auto k = KeyName(line, &value); k && EqualsIgnoringAsciiCase(*k, key)) {
            found = CutAtNul(value);
            return false;
        }
        return true;
    });
    return found;
}

std::vector<std::string> IniSectionNames(std::string_view bytes)
{
    std::vector<std::string> names;
    ForEachLine(bytes, [&](std::string_view line) {
        const auto name = SectionName(line);
        if (!name) return true;
        for (const auto& known : names)
            if (EqualsIgnoringAsciiCase(known, *name)) return true;
        names.emplace_back(*name);
        return true;
    });
    return names;
}

}  // namespace qmd
