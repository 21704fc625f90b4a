#pragma once
// The line model of an INI file as the program reads and edits it.
//
// The file is split into lines at CR LF, a lone LF or a lone CR. A line is a
// section header ("[name]"), a key line ("key=value") or anything else; the
// program only ever rewrites one key line or adds lines, so every other line
// keeps its bytes. Sections and keys match without regard to ASCII case; the
// first matching section and, inside it, the first matching key win.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qmd {

class IniDocument {
public:
    explicit IniDocument(std::string_view bytes);

    // Replaces the key's line, or adds it to its section, or appends the
    // section with the key at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // Removes the first matching section: its header and every line up to
    // the next header. Nothing when there is no such section.
    void RemoveSection(std::string_view section);

    // All lines, each ended by CR LF.
    std::string Serialize() const;

private:
    std::vector<std::string> lines_;
};

// The value of the key (blanks around it removed, cut at a NUL), or nullopt
// when the section or the key is missing. Scans without copying the file.
std::optional<std::string> FindIniValue(std::string_view bytes, std::string_view section, std::string_view key);

// The names of the file's sections, in file order, each once (as first spelt).
std::vector<std::string> IniSectionNames(std::string_view bytes);

}  // namespace qmd
