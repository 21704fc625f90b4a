#include "app/command_line.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "base/app_dir.h"
#include "base/program_version.h"
#include "base/settings_keys.h"
#include "capture/sources/extra_sources.h"
#include "react/core/start_list_file.h"

namespace qmd {
namespace {

// Qt's options for every application, written with one dash or two; those
// of the first list take the next argument as their value.
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "display",  "geometry",           "name",          "title",  "style",           "stylesheet",  "session",
};
constexpr std::string_view kQtOptions[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

std::string_view WithoutDashes(std::string_view argument)
{
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    return argument;
}

bool IsOneOf(std::string_view name, const auto& list)
{
    for (const std::string_view option : list)
        if (name == option) return true;
    return false;
}

void PrintUsage(std::FILE* stream)
{
    const std::string appDir = LocateAppDir();
    std::fprintf(stream,
                 "Usage: quisk-motion-detector [-t]\n"
                 "       quisk-motion-detector --help | --version\n"
                 "\n"
                 "Watches a video camera and reacts when the picture changes. Only one\n"
                 "instance runs per user: a second start shows the running program's window.\n"
                 "\n"
                 "Options:\n"
                 "  -t         start hidden in the system tray (only as the first argument)\n"
                 "  --help     show this help and exit\n"
                 "  --version  show the version and exit\n"
                 "Qt's own options (-platform, -display, -style, ...) are taken as Qt takes them.\n"
                 "\n"
                 "Environment:\n"
                 "  %s  a \"|\"-separated list of video files or URIs (file://,\n"
                 "                       http:// MJPEG cameras, rtsp://) listed after the cameras\n"
                 "  QUISK_AUDIO_FILE     a WAVE file to which every sound is appended instead of\n"
                 "                       being played\n"
                 "\n"
                 "Data: %.*s (settings), %.*s (the program list) and\n"
                 "%.*s (the log) live next to the executable, or in\n"
                 "$XDG_CONFIG_HOME/quisk-motion-detector (~/.config/quisk-motion-detector)\n"
                 "where that folder is not writable or lies in /usr. Here: %s\n",
                 kExtraSourcesVariable, static_cast<int>(keys::kFileName.size()), keys::kFileName.data(),
                 static_cast<int>(kStartListFileName.size()), kStartListFileName.data(),
                 static_cast<int>(keys::kLogFileName.size()), keys::kLogFileName.data(), appDir.c_str());
}

}  // namespace

CommandLineVerdict ReadCommandLine(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            PrintUsage(stdout);
            return {.Run = false, .ExitCode = std::fflush(stdout) == 0 ? 0 : 1};
        }
        if (argument == "--version") {
            std::printf("quisk-motion-detector %s\n", ProgramVersion());
            return {.Run = false, .ExitCode = std::fflush(stdout) == 0 ? 0 : 1};
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        // Elsewhere than first it does nothing, as it always did, but it is
        // no mistake either.
        if (argument == "-t") continue;
        if (argument == "--") break;  // what follows is not an option
        if (argument.size() < 2 || argument[0] != '-') continue;
        std::string_view name = WithoutDashes(argument);
        const bool valueAttached = name.find('=') != std::string_view::npos;  // -style=fusion
        name = name.substr(0, name.find('='));
        if (IsOneOf(name, kQtOptions)) continue;
        if (IsOneOf(name, kQtOptionsWithValue)) {
            if (!valueAttached) ++i;
            continue;
        }
        std::fprintf(stderr, "quisk-motion-detector: unknown option %s\n\n", argv[i]);
        PrintUsage(stderr);
        return {.Run = false, .ExitCode = 2};
    }
    return {};
}

}  // namespace qmd
