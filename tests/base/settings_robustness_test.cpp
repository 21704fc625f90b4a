// Hostile files: whatever lies on disk, a read gives its default or a value
// and never crashes, a write either succeeds or raises, and no byte of a line
// the program does not own is lost.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "base/settings_file.h"
#include "common/quisk_error.h"
#include "support/temp_dir.h"

using qmd::SettingsFile;
using qmd::test::ReadFileBytes;
using qmd::test::TempDir;
using qmd::test::WriteFileBytes;

namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t n)
{
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// Splits into lines by the reader's rules, for comparing what survived.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(current);
            current.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += text[i];
        }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

}  // namespace

TEST(SettingsRobustness, GarbageFilesReadAsDefaultsAndKeepEveryLine)
{
    TempDir dir;
    const std::string path = dir.File("ustawienia.ini");
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        // No '[' so no garbage line can open a section the writes would use.
        std::string garbage = RandomBytes(rng, rng() % 2000);
        for (auto& c : garbage)
            if (c == '[') c = '{';
        WriteFileBytes(path, garbage);
        SettingsFile s(path);
        EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 150);
        s.WriteInteger("Ruch", "Czulosc", round);
        EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), round);
        auto before = Lines(garbage);
        auto after = Lines(ReadFileBytes(path));
        ASSERT_GE(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) ASSERT_EQ(after[i], before[i]) << "round " << round;
    }
}

TEST(SettingsRobustness, NulBytesAndInvalidUtf8InValues)
{
    TempDir dir;
    const std::string path = dir.File("ustawienia.ini");
    WriteFileBytes(path, std::string("[Ruch]\r\nInformacja=ab\0cd\r\nZrob zdjecie=\xff\xfe\xc3\r\n", 43));
    SettingsFile s(path);
    EXPECT_EQ(s.ReadString("Ruch", "Informacja"), "ab");
    EXPECT_EQ(s.ReadString("Ruch", "Zrob zdjecie"), "\xff\xfe\xc3");
    s.WriteInteger("Ruch", "Alarm", 0);
    EXPECT_NE(ReadFileBytes(path).find(std::string("ab\0cd", 5)), std::string::npos);
}

// Saved by a Windows editor: the byte-order mark is no part of the first section's header.
TEST(SettingsRobustness, AByteOrderMarkBeforeTheFirstSection)
{
    TempDir dir;
    const std::string path = dir.File("ustawienia.ini");
    WriteFileBytes(path, "\xEF\xBB\xBF[Ruch]\r\nCzulosc=42\r\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 42);
    s.WriteInteger("Ruch", "Alarm", 0);
    EXPECT_EQ(ReadFileBytes(path), "[Ruch]\r\nCzulosc=42\r\nAlarm=0\r\n");
}

TEST(SettingsRobustness, HugeLinesAndAHundredMegabyteFile)
{
    TempDir dir;
    const std::string path = dir.File("ustawienia.ini");
    const std::string megaLine(8 << 20, 'q');
    std::string content = "[Ruch]\r\n" + megaLine + "\r\nCzulosc=77\r\n";
    content.append((100 << 20) - content.size(), 'z');
    WriteFileBytes(path, content);
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 77);
    EXPECT_EQ(s.ReadString("Ruch", "Missing", "def"), "def");
    s.WriteInteger("Ruch", "Czulosc", 78);
    const std::string after = ReadFileBytes(path);
    EXPECT_EQ(after.size(), content.size() + 2);  // the last line gains its CR LF
    EXPECT_EQ(after.substr(8, megaLine.size()), megaLine);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 78);
}

// A writer killed at any moment leaves either the old file or the new one.
TEST(SettingsRobustness, AKilledWriteLeavesTheOldOrTheNewFile)
{
    TempDir dir;
    const std::string path = dir.File("ustawienia.ini");
    const std::string filler = "; " + std::string(1 << 20, 'f') + "\r\n";
    WriteFileBytes(path, filler + "[Ruch]\r\nCzulosc=0\r\n");
    std::mt19937 rng(99);
    int last = 0;
    for (int round = 0; round < 15; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SettingsFile s(path);
            for (int i = last + 1;; ++i) s.WriteInteger("Ruch", "Czulosc", i);
        }
        ::usleep(1000 + rng() % 40000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string after = ReadFileBytes(path);
        ASSERT_EQ(after.rfind(filler, 0), 0u) << "round " << round;
        const std::string tail = after.substr(filler.size());
        ASSERT_EQ(tail.rfind("[Ruch]\r\nCzulosc=", 0), 0u) << tail;
        ASSERT_EQ(tail.substr(tail.size() - 2), "\r\n");
        const int value = SettingsFile(path).ReadInteger("Ruch", "Czulosc", -1);
        ASSERT_GE(value, last);
        last = value;
    }
}
