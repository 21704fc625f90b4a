#include "base/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "base/app_dir.h"
#include "base/ini_document.h"
#include "common/ascii_case.h"
#include "common/file_io.h"
#include "common/integer_text.h"
#include "common/quisk_error.h"
#include "common/utf8_cut.h"

namespace qmd {
namespace {

// The file a write must replace: the target of a symbolic link, so that the
// link itself survives.
std::string WriteTarget(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return target.string();
    }
    return path;
}

std::string CutText(std::string text) { return CutUtf8(std::move(text), SettingsFile::kMaxTextLength); }

}  // namespace

std::string SettingsFilePath() { return AppFile(keys::kFileName); }

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

// Every write has already reached the disk when it returns, so releasing the
// accessor has nothing left to flush.
SettingsFile::~SettingsFile() = default;

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const
{
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return CutText(std::string(defaultValue));
    auto value = FindIniValue(bytes, section, key);
    return CutText(value ? std::move(*value) : std::string(defaultValue));
}

std::int32_t SettingsFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const
{
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return defaultValue;
    const auto value = FindIniValue(bytes, section, key);
    if (!value) return defaultValue;
    return ParseIntegerText(*value).value_or(defaultValue);
}

bool SettingsFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    // A line break would end the line early and could plant other keys.
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw QuiskError("Unable to write to " + path_ + ": the value holds a line break");
    if (section.find_first_of(std::string_view("[]\r\n\0", 5)) != std::string_view::npos || key.empty() ||
        key.find_first_of(std::string_view("=[\r\n\0", 5)) != std::string_view::npos)
        throw QuiskError("Unable to write to " + path_);
    Edit([&](IniDocument& document) { document.Set(section, key, value); });
}

void SettingsFile::RemoveSection(std::string_view section)
{
    Edit([&](IniDocument& document) { document.RemoveSection(section); });
}

std::vector<std::string> SettingsFile::Sections() const
{
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return {};
    return IniSectionNames(bytes);
}

std::string SettingsFile::UnusedSection(std::string_view prefix) const
{
    const std::vector<std::string> sections = Sections();
    for (int number = 1;; ++number) {
        std::string candidate = std::string(prefix) + std::to_string(number);
        bool taken = false;
        for (const auto& section : sections) taken = taken || EqualsIgnoringAsciiCase(section, candidate);
        if (!taken) return candidate;
    }
}

void SettingsFile::Edit(const std::function<void(IniDocument&)>& change)
{
    const std::string failure = "Unable to write to " + path_;
    const std::string target = WriteTarget(path_);
    EnsureParentDirectory(target);
    std::string bytes;
    std::optional<mode_t> mode;  // a new file gets the usual mode
    switch (ReadWholeFile(target, bytes)) {
    case ReadResult::Missing: break;
    case ReadResult::Unreadable:
        // What cannot be read cannot be kept: refuse rather than lose it.
        throw QuiskError(failure);
    case ReadResult::Ok: {
        struct stat st {};
        // A write-protected file stays protected, also for a user (root) whom
        // the permission bits would not stop.
        if (::stat(target.c_str(), &st) != 0 || ::access(target.c_str(), W_OK) != 0 ||
            (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw QuiskError(failure);
        mode = st.st_mode & 07777;
        break;
    }
    }
    IniDocument document(bytes);
    change(document);
    if (!ReplaceFileAtomically(target, document.Serialize(), mode)) throw QuiskError(failure);
}

void SettingsFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::int32_t SettingsFile::Read(const IntegerKey& key) const { return ReadInteger(key.Section, key.Name, key.Default); }

bool SettingsFile::Read(const FlagKey& key) const { return ReadBool(key.Section, key.Name, key.Default); }

std::string SettingsFile::Read(const TextKey& key) const { return ReadString(key.Section, key.Name); }

std::int32_t SettingsFile::Read(const WindowEdgeKey& key, std::int32_t currentEdge) const
{
    return ReadInteger(key.Section, key.Name, currentEdge);
}

void SettingsFile::Write(const IntegerKey& key, std::int32_t value) { WriteInteger(key.Section, key.Name, value); }

void SettingsFile::Write(const FlagKey& key, bool value) { WriteBool(key.Section, key.Name, value); }

void SettingsFile::Write(const TextKey& key, std::string_view value) { WriteString(key.Section, key.Name, value); }

void SettingsFile::Write(const WindowEdgeKey& key, std::int32_t value) { WriteInteger(key.Section, key.Name, value); }

}  // namespace qmd
