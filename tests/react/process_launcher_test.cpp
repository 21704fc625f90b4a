#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "react/core/process_launcher.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

namespace fs = std::filesystem;

// Waits (bounded) until `path` exists.
bool AppearsWithin(const fs::path& path, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Waits (bounded) until the file at `path` holds `content`.
bool HoldsWithin(const fs::path& path, const std::string& content)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        if (test::ReadFileBytes(path.string()) == content) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The children of this process, each as its pid, name and state ('Z' ended
// but not waited for).
std::string ChildrenOfOurs()
{
    const std::string self = std::to_string(::getpid());
    std::string children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto nameEnd = line.rfind(')');
        if (nameEnd == std::string::npos) continue;
        std::istringstream rest(line.substr(nameEnd + 1));
        std::string state, parent;
        rest >> state >> parent;
        if (parent == self) children += line.substr(0, nameEnd + 1) + " " + state + "\n";
    }
    return children;
}

void WriteScript(const fs::path& path, const std::string& body)
{
    test::WriteFileBytes(path.string(), "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

TEST(ProcessLauncher, StartsAnExecutableThatLeavesAMarker)
{
    test::TempDir dir;
    const fs::path marker = dir.Path() / "ran";
    const fs::path script = dir.Path() / "program with spaces.sh";
    WriteScript(script, "echo \"$#\" > '" + marker.string() + ".tmp' && mv '" + marker.string() + ".tmp' '" +
                            marker.string() + "'\n");
    ProcessLauncher launcher;
    ASSERT_TRUE(launcher.Open(script.string()));
    ASSERT_TRUE(AppearsWithin(marker));
    EXPECT_EQ(test::ReadFileBytes(marker.string()), "0\n");  // no arguments
}

TEST(ProcessLauncher, EntriesNeverPassThroughAShell)
{
    test::TempDir dir;
    const fs::path pwned = dir.Path() / "pwned";
    const fs::path opened = dir.Path() / "opened";
    // The opener stands in for xdg-open and records what it was given.
    const fs::path opener = dir.Path() / "opener";
    WriteScript(opener, "printf '%s' \"$1\" > '" + opened.string() + ".tmp' && mv '" + opened.string() + ".tmp' '" +
                            opened.string() + "'\n");
    ProcessLauncher launcher(opener.string());

    const std::string entry = dir.File("a b") + "; touch " + pwned.string();
    launcher.Open(entry);
    ASSERT_TRUE(AppearsWithin(opened));
    EXPECT_EQ(test::ReadFileBytes(opened.string()), entry);
    EXPECT_FALSE(fs::exists(pwned));
}

TEST(ProcessLauncher, DocumentsGoToTheOpenerEvenWhenExecutable)
{
    test::TempDir dir;
    const fs::path opened = dir.Path() / "opened";
    const fs::path opener = dir.Path() / "opener";
    WriteScript(opener, "printf '%s' \"$1\" > '" + opened.string() + ".tmp' && mv '" + opened.string() + ".tmp' '" +
                            opened.string() + "'\n");
    const fs::path log = dir.Path() / "Dziennik.log";
    const fs::path ranAsProgram = dir.Path() / "ran-as-program";
    WriteScript(log, "touch '" + ranAsProgram.string() + "'\n");
    ProcessLauncher launcher(opener.string());
    ASSERT_TRUE(launcher.OpenWithAssociation(log.string()));
    ASSERT_TRUE(AppearsWithin(opened));
    EXPECT_EQ(test::ReadFileBytes(opened.string()), log.string());
    EXPECT_FALSE(fs::exists(ranAsProgram));
}

// An entry that begins with "-" reaches the opener as the path it names,
// relative to our working directory as before, never as an option; a URL as
// it is. The opener records every argument it was given, one per line.
TEST(ProcessLauncher, EntriesReachTheOpenerAsPathsOrUrlsNeverAsOptions)
{
    test::TempDir dir;
    const fs::path opened = dir.Path() / "opened";
    const fs::path opener = dir.Path() / "opener";
    WriteScript(opener, "printf '%s\\n' \"$@\" >> '" + opened.string() + "'\n");
    ProcessLauncher launcher(opener.string());
    const std::string here = fs::current_path().string();
    std::string expected;
    for (const auto& [entry, argument] : std::vector<std::pair<std::string, std::string>>{
             {"-h", here + "/-h"}, {"--help", here + "/--help"}, {"http://example.com/-x", "http://example.com/-x"}}) {
        expected += argument + "\n";
        ASSERT_TRUE(launcher.Open(entry));
        // One at a time, so that the lines come in order.
        ASSERT_TRUE(HoldsWithin(opened, expected)) << test::ReadFileBytes(opened.string());
    }
}

TEST(ProcessLauncher, ChildrenInheritNoDescriptorOfOurs)
{
    test::TempDir dir;
    const int held = ::open(dir.File("held").c_str(), O_WRONLY | O_CREAT, 0600);  // no O_CLOEXEC on purpose
    ASSERT_GE(held, 3);
    const fs::path listing = dir.Path() / "fds";
    const fs::path script = dir.Path() / "list-fds";
    WriteScript(script, "ls /proc/$$/fd > '" + listing.string() + ".tmp' && mv '" + listing.string() + ".tmp' '" +
                            listing.string() + "'\n");
    ProcessLauncher launcher;
    ASSERT_TRUE(launcher.Open(script.string()));
    ASSERT_TRUE(AppearsWithin(listing));
    ::close(held);
    // The shell itself opens the script and the listing; nothing of ours is there.
    const std::string fds = test::ReadFileBytes(listing.string());
    EXPECT_EQ(fds.find("\n" + std::to_string(held) + "\n"), std::string::npos) << fds;
}

// Neither a program from the list nor the log's viewer stays behind as a
// zombie once it has ended.
TEST(ProcessLauncher, ProgramsThatEndLeaveNoZombies)
{
    test::TempDir dir;
    const fs::path opener = dir.Path() / "opener";
    const fs::path program = dir.Path() / "program";
    WriteScript(opener, "touch '" + dir.File("opener ran") + "'\n");
    WriteScript(program, "touch '" + dir.File("program ran") + "'\n");
    ProcessLauncher launcher(opener.string());
    ASSERT_TRUE(launcher.Open(program.string()));
    ASSERT_TRUE(launcher.OpenWithAssociation(dir.File("Dziennik.log")));
    ASSERT_TRUE(AppearsWithin(dir.Path() / "program ran"));
    ASSERT_TRUE(AppearsWithin(dir.Path() / "opener ran"));
    // Both end right after; a generous bound, met in milliseconds.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string children = ChildrenOfOurs();
    while (!children.empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        children = ChildrenOfOurs();
    }
    EXPECT_EQ(children, "");
}

TEST(ProcessLauncher, NothingToStart)
{
    test::TempDir dir;
    ProcessLauncher launcher(dir.File("no-opener"));
    EXPECT_FALSE(launcher.Open(""));
    EXPECT_FALSE(launcher.Open(dir.File("missing.txt")));  // the opener itself is missing
}

}  // namespace
}  // namespace qmd
