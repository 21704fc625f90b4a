#include "shell/desktop/autostart_entry.h"

#include "common/executable_path.h"
#include "common/quisk_error.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace qmd {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

[[noreturn]] void FailToSetData()
{
    throw QuiskError("Failed to set data for '" + std::string(kAutostartValueName) + "'");
}

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length;
        char32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool IsExpressibleControl(char c) { return c == '\t' || c == '\n' || c == '\r'; }

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string ConfigHome()
{
    // Relative values are invalid by the base directory rules and ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
    return HomeDirectory() + "/.config";
}

}  // namespace

std::string QuoteExecArgument(std::string_view argument)
{
    if (!IsValidUtf8(argument)) FailToSetData();
    bool needsQuotes = argument.empty();
    for (char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte == 0x7F) && !IsExpressibleControl(c)) FailToSetData();
        if (kReservedInExec.find(c) != std::string_view::npos) needsQuotes = true;
    }
    std::string quoted;
    quoted.reserve(argument.size() + 8);
    if (needsQuotes) quoted += '"';
    for (char c : argument) {
        if (c == '%') {
            quoted += "%%";
            continue;
        }
        if (needsQuotes && kEscapedInQuotes.find(c) != std::string_view::npos) quoted += '\\';
        quoted += c;
    }
    if (needsQuotes) quoted += '"';
    return quoted;
}

std::string EscapeDesktopValue(std::string_view value)
{
    std::string escaped;
    escaped.reserve(value.size() + 8);
    for (char c : value) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string AutostartEntryText(const std::string& exePath)
{
    const std::string exec = QuoteExecArgument(exePath) + " -t";
    std::string text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + std::string(kAutostartValueName) + "\n";
    text += "Comment=Program wykrywający ruch\n";
    text += "Exec=" + EscapeDesktopValue(exec) + "\n";
    text += "Icon=quisk-motion-detector\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

std::string AutostartEntryPath() { return ConfigHome() + "/autostart/quisk-motion-detector.desktop"; }

bool AutostartEntryExists()
{
    std::error_code error;
    return fs::exists(fs::symlink_status(AutostartEntryPath(), error));
}

void WriteAutostartEntry(const std::string& exePath)
{
    // Log-on starts the entry from the home directory: only a full path finds
    // this program again.
    if (exePath.empty() || exePath.front() != '/') FailToSetData();
    const std::string text = AutostartEntryText(exePath);
    const fs::path target = AutostartEntryPath();
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (error) FailToSetData();

    // Written beside the entry and renamed over it, so a session starting
    // meanwhile never reads half an entry.
    const fs::path partial = target.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            fs::remove(partial, error);
            FailToSetData();
        }
    }
    fs::rename(partial, target, error);
    if (error) {
        fs::remove(partial, error);
        FailToSetData();
    }
}

void RemoveAutostartEntry() noexcept
{
    try {
        std::error_code error;
        fs::remove(AutostartEntryPath(), error);
    } catch (...) {
    }
}

std::string CurrentExecutablePath()
{
    std::error_code error;
    return ExecutablePath(error);
}

}  // namespace qmd
