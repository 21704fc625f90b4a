#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "support/temp_dir.h"

namespace qmd::test {
namespace {

// A process id that no process has any more: a child that has ended and been reaped.
pid_t EndedProcess()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// The temporaries of killed writes go; the files themselves, a living
// writer's temporary and anything not named exactly as ours stay.
TEST(RemoveAbandonedTemporaries, RemovesOnlyTheTemporariesOfEndedWritersOfTheNamedFiles)
{
    TempDir dir;
    const std::string dead = std::to_string(EndedProcess());
    const std::string alive = std::to_string(::getpid());
    const std::vector<std::string> abandoned = {".ustawienia.ini." + dead + ".0.tmp",
                                                ".start_list.txt." + dead + ".12.tmp"};
    const std::vector<std::string> kept = {"ustawienia.ini",
                                           ".ustawienia.ini." + alive + ".3.tmp",
                                           ".ustawienia.ini." + dead + ".tmp",
                                           ".ustawienia.ini." + dead + ".x.tmp",
                                           ".Dziennik.log." + dead + ".0.tmp",
                                           "ustawienia.ini." + dead + ".0.tmp"};
    for (const auto* names : {&abandoned, &kept})
        for (const std::string& name : *names) WriteFileBytes(dir.File(name), "[Ruch]\r\n");
    const std::string directory = dir.File(".start_list.txt." + dead + ".1.tmp");
    std::filesystem::create_directory(directory);

    EXPECT_EQ(RemoveAbandonedTemporaries(dir.Path().string(), {"ustawienia.ini", "start_list.txt"}), 2u);

    for (const std::string& name : abandoned) EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_EQ(ReadFileBytes(dir.File("ustawienia.ini")), "[Ruch]\r\n");
}

}  // namespace
}  // namespace qmd::test
