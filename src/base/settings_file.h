#pragma once
// SettingsFile: the short-lived accessor of ustawienia.ini, created on the
// file's full path for one command and released at its end.
//
// Every operation goes to the file: a read parses the file as it is on disk
// now, a write replaces the whole file atomically (temporary file in the same
// directory, flushed, renamed over the old one), so nothing is cached between
// operations and a crash never leaves a half-written file. Sections and keys
// match without regard to ASCII letter case; lines the program does not own
// are kept byte for byte; lines are written with CR LF.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings_keys.h"

namespace qmd {

// The full path of ustawienia.ini: in AppDir.
std::string SettingsFilePath();

class SettingsFile {
public:
    static constexpr std::size_t kMaxTextLength = 2047;  // bytes, cut on a UTF-8 boundary

    explicit SettingsFile(std::string path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const std::string& Path() const { return path_; }

    // By section and key as the file spells them; the program's own code
    // names its keys through Read / Write below.
    // Reads never fail: a missing file, section or key, or a value that is
    // not of the type, gives the default.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Writes throw QuiskError("Unable to write to <path>") when the file
    // cannot be written, and leave the old file as it was. A text holding CR
    // or LF is refused the same way, since it would break the line format.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The file's sections in file order (empty when it cannot be read).
    std::vector<std::string> Sections() const;
    // "<prefix><N>" with the lowest N from 1 that names no section yet.
    std::string UnusedSection(std::string_view prefix) const;
    // Several changes in one atomic replacement of the file, refused as a
    // write is. Lines the program does not know stay as they are.
    void Edit(const std::function<void(class IniDocument&)>& change);
    void RemoveSection(std::string_view section);

    // The program's own keys (base/settings_keys.h), each with its type and
    // default.
    std::int32_t Read(const IntegerKey& key) const;
    bool Read(const FlagKey& key) const;
    std::string Read(const TextKey& key) const;
    std::int32_t Read(const WindowEdgeKey& key, std::int32_t currentEdge) const;
    void Write(const IntegerKey& key, std::int32_t value);
    void Write(const FlagKey& key, bool value);
    void Write(const TextKey& key, std::string_view value);
    void Write(const WindowEdgeKey& key, std::int32_t value);

private:
    std::string path_;
};

}  // namespace qmd
