#pragma once
// The command line as the program reads it before anything else: "-t" as the
// first argument starts it in the tray; --help and --version answer and end
// it; Qt's own options (-platform, -display, -session, ...) are Qt's; any
// other option is a mistake, answered with the usage on standard error.
// Arguments that are not options are left alone, as they always were.
namespace qmd {

// What main() does with its arguments: run, or end at once with ExitCode
// after the answer has been printed.
struct CommandLineVerdict {
    bool Run = true;
    int ExitCode = 0;
};

CommandLineVerdict ReadCommandLine(int argc, const char* const* argv);

}  // namespace qmd
