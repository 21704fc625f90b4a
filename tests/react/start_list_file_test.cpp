#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/quisk_error.h"
#include "react/core/start_list_file.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

using Entries = std::vector<std::string>;

TEST(StartListFile, ReadingRulesForLineEnds)
{
    EXPECT_EQ(ParseStartList(""), Entries{});
    EXPECT_EQ(ParseStartList("A\r\nB\r\n"), (Entries{"A", "B"}));
    EXPECT_EQ(ParseStartList("A\nB"), (Entries{"A", "B"}));
    EXPECT_EQ(ParseStartList("A\rB\r"), (Entries{"A", "B"}));
    EXPECT_EQ(ParseStartList("A\r\n\r\nB\r\n"), (Entries{"A", "", "B"}));
    EXPECT_EQ(ParseStartList("A\n\rB"), (Entries{"A", "", "B"}));  // LF then a lone CR: two line ends
    EXPECT_EQ(ParseStartList("\r\n"), (Entries{""}));
    EXPECT_EQ(ParseStartList("/tmp/a b; touch x\r\n"), (Entries{"/tmp/a b; touch x"}));
}

TEST(StartListFile, NulEndsTheText)
{
    using namespace std::string_literals;
    EXPECT_EQ(ParseStartList("A\r\nB\0C\r\nD\r\n"s), (Entries{"A", "B"}));
    EXPECT_EQ(ParseStartList("\0A\r\n"s), Entries{});
}

TEST(StartListFile, WritingRules)
{
    EXPECT_EQ(FormatStartList({}), "");
    EXPECT_EQ(FormatStartList({"A", "B"}), "A\r\nB\r\n");
    EXPECT_EQ(FormatStartList({"", "x"}), "\r\nx\r\n");
}

TEST(StartListFile, RoundTripsByteForByte)
{
    test::TempDir dir;
    const std::string path = dir.File("start_list.txt");
    const Entries entries{"/usr/bin/true", "", "/home/u/Mój plik.sh", "bad \xff\xfe utf8", std::string(10 << 20, 'x')};
    SaveStartList(path, entries);
    EXPECT_EQ(test::ReadFileBytes(path), FormatStartList(entries));
    EXPECT_EQ(LoadStartList(path), entries);

    test::WriteFileBytes(path, "A\nB");
    const Entries loaded = LoadStartList(path);
    SaveStartList(path, loaded);
    EXPECT_EQ(test::ReadFileBytes(path), "A\r\nB\r\n");

    SaveStartList(path, {});
    EXPECT_EQ(test::ReadFileBytes(path), "");
    EXPECT_EQ(LoadStartList(path), Entries{});
}

TEST(StartListFile, MissingFileIsEmptyList)
{
    test::TempDir dir;
    EXPECT_EQ(LoadStartList(dir.File("none.txt")), Entries{});
}

TEST(StartListFile, ErrorsNameTheFile)
{
    test::TempDir dir;
    const std::string path = dir.File("start_list.txt");
    test::WriteFileBytes(path, "A\r\n");

    // Held exclusively by a writer: not readable now.
    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    try {
        LoadStartList(path);
        ADD_FAILURE() << "a locked file was read";
    } catch (const QuiskError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
    ::close(fd);

    const std::string missingDir = dir.File("no/such/start_list.txt");
    try {
        SaveStartList(missingDir, {"A"});
        ADD_FAILURE() << "a file was created in a missing folder";
    } catch (const QuiskError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + missingDir);
    }
}

TEST(StartListFile, FailedSaveKeepsTheOldFile)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    test::TempDir dir;
    const std::string path = dir.File("start_list.txt");
    test::WriteFileBytes(path, "old\r\n");
    ::chmod(dir.Path().c_str(), 0500);
    EXPECT_THROW(SaveStartList(path, {"new"}), QuiskError);
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(test::ReadFileBytes(path), "old\r\n");
}

}  // namespace
}  // namespace qmd
