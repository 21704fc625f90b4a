#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "base/app_dir.h"
#include "support/temp_dir.h"

using namespace qmd;

TEST(AppDir, IsTheExecutablesDirectoryWhenWritable)
{
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(LocateAppDir(), exe.parent_path().string());
    EXPECT_EQ(ChooseAppDir("/opt/qmd", true, "/x", "/home/u"), "/opt/qmd");
}

TEST(AppDir, FallsBackToTheUsersConfigDirectory)
{
    EXPECT_EQ(ChooseAppDir("/usr/bin", false, "/home/u/.cfg", "/home/u"), "/home/u/.cfg/quisk-motion-detector");
    EXPECT_EQ(ChooseAppDir("/usr/bin", false, nullptr, "/home/u"), "/home/u/.config/quisk-motion-detector");
    EXPECT_EQ(ChooseAppDir("/usr/bin", false, "relative", "/home/u"), "/home/u/.config/quisk-motion-detector");
    EXPECT_EQ(ChooseAppDir("", true, "", "/home/u"), "/home/u/.config/quisk-motion-detector");
    // An installed program run by root, who may write to /usr, keeps its data out of there too.
    EXPECT_EQ(ChooseAppDir("/usr/bin", true, nullptr, "/root"), "/root/.config/quisk-motion-detector");
    EXPECT_EQ(ChooseAppDir("/usr/local/bin", true, nullptr, "/root"), "/root/.config/quisk-motion-detector");
    EXPECT_EQ(ChooseAppDir("/usrlocal", true, nullptr, "/root"), "/usrlocal");
}

TEST(AppDir, FilesAreJoinedWithOneSlash)
{
    EXPECT_EQ(JoinPath("/", "ustawienia.ini"), "/ustawienia.ini");
    EXPECT_EQ(JoinPath("/a/b", "Dziennik.log"), "/a/b/Dziennik.log");
    SetAppDir("/srv/qmd");
    EXPECT_EQ(AppDir(), "/srv/qmd");
    EXPECT_EQ(AppFile("start_list.txt"), "/srv/qmd/start_list.txt");
}

TEST(AppDir, MissingDirectoriesAreCreatedForAWrite)
{
    test::TempDir dir;
    const std::string file = dir.File("a/b/ustawienia.ini");
    EnsureParentDirectory(file);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b")));
}
