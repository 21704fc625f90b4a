// The display-free rules of the desktop integration: edge snapping, and the
// autostart entry's text and file.
#include "common/quisk_error.h"
#include "shell/desktop/autostart_entry.h"
#include "shell/desktop/edge_snap.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qmd {
namespace {

// --- Edge snapping ---------------------------------------------------------

const QRect kWorkArea(0, 0, 1024, 738);
const QSize kWindow(315, 339);

TEST(SnapToWorkArea, BottomAndRightLinesOfAFullWidthWorkArea)
{
    EXPECT_EQ(SnapToWorkArea({300, 385}, kWindow, kWorkArea), QPoint(300, 399));
    EXPECT_EQ(SnapToWorkArea({300, 384}, kWindow, kWorkArea), QPoint(300, 384));
    EXPECT_EQ(SnapToWorkArea({300, 2000}, kWindow, kWorkArea), QPoint(300, 399));
    EXPECT_EQ(SnapToWorkArea({695, 300}, kWindow, kWorkArea), QPoint(709, 300));
    EXPECT_EQ(SnapToWorkArea({694, 300}, kWindow, kWorkArea), QPoint(694, 300));
    EXPECT_EQ(SnapToWorkArea({5000, 5000}, kWindow, kWorkArea), QPoint(709, 399));
}

TEST(SnapToWorkArea, LeftAndTopSnapWithinFourteenPixelsAndPullBackFromBeyond)
{
    EXPECT_EQ(SnapToWorkArea({14, 300}, kWindow, kWorkArea), QPoint(0, 300));
    EXPECT_EQ(SnapToWorkArea({15, 300}, kWindow, kWorkArea), QPoint(15, 300));
    EXPECT_EQ(SnapToWorkArea({300, 14}, kWindow, kWorkArea), QPoint(300, 0));
    EXPECT_EQ(SnapToWorkArea({300, 15}, kWindow, kWorkArea), QPoint(300, 15));
    EXPECT_EQ(SnapToWorkArea({-200, -50}, kWindow, kWorkArea), QPoint(0, 0));
    EXPECT_EQ(SnapToWorkArea({480, 266}, kWindow, kWorkArea), QPoint(480, 266));
}

TEST(SnapToWorkArea, WindowLargerThanTheWorkAreaEndsAtTheFarEdgeBecauseThoseRulesComeLast)
{
    const QSize wide(1100, 339);
    EXPECT_EQ(SnapToWorkArea({5, 100}, wide, kWorkArea), QPoint(1024 - 1100, 100));
    EXPECT_EQ(SnapToWorkArea({100, 100}, wide, kWorkArea), QPoint(-76, 100));
    const QSize tall(315, 800);
    EXPECT_EQ(SnapToWorkArea({100, 5}, tall, kWorkArea), QPoint(100, 738 - 800));
}

TEST(SnapToWorkArea, PanelOnTopOrLeftKeepsTheLowerAndRightLinesOnTheScreenEdges)
{
    const QRect belowTopPanel(0, 30, 1024, 708);  // bottom edge still at 738
    EXPECT_EQ(SnapToWorkArea({300, 385}, kWindow, belowTopPanel), QPoint(300, 399));
    EXPECT_EQ(SnapToWorkArea({300, 370}, kWindow, belowTopPanel), QPoint(300, 370));
    EXPECT_EQ(SnapToWorkArea({300, 44}, kWindow, belowTopPanel), QPoint(300, 30));
    EXPECT_EQ(SnapToWorkArea({300, 45}, kWindow, belowTopPanel), QPoint(300, 45));

    const QRect besideLeftPanel(64, 0, 960, 738);  // right edge still at 1024
    EXPECT_EQ(SnapToWorkArea({695, 300}, kWindow, besideLeftPanel), QPoint(709, 300));
    EXPECT_EQ(SnapToWorkArea({650, 300}, kWindow, besideLeftPanel), QPoint(650, 300));
    EXPECT_EQ(SnapToWorkArea({78, 300}, kWindow, besideLeftPanel), QPoint(64, 300));
    EXPECT_EQ(SnapToWorkArea({79, 300}, kWindow, besideLeftPanel), QPoint(79, 300));
}

// --- Autostart entry -------------------------------------------------------

// Reads an Exec value back the way a desktop environment does: the string
// value's escapes, then the %% field code, then the argument quoting. Returns
// nothing for a line that breaks the rules.
std::optional<std::vector<std::string>> ParseExecValue(const std::string& raw)
{
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            value += raw[i];
            continue;
        }
        if (++i == raw.size()) return std::nullopt;
        switch (raw[i]) {
        case 's': value += ' '; break;
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        case 'r': value += '\r'; break;
        case '\\': value += '\\'; break;
        default: return std::nullopt;
        }
    }
    std::string expanded;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            expanded += value[i];
            continue;
        }
        if (i + 1 == value.size() || value[i + 1] != '%') return std::nullopt;  // a field code
        expanded += '%';
        ++i;
    }
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < expanded.size()) {
        if (expanded[i] == ' ') {
            ++i;
            continue;
        }
        std::string argument;
        if (expanded[i] == '"') {
            for (++i;; ++i) {
                if (i == expanded.size()) return std::nullopt;  // unterminated
                if (expanded[i] == '"') break;
                if (expanded[i] == '\\') {
                    if (++i == expanded.size()) return std::nullopt;
                    if (std::string("\"`$\\").find(expanded[i]) == std::string::npos) return std::nullopt;
                } else if (expanded[i] == '`' || expanded[i] == '$') {
                    return std::nullopt;  // must be escaped inside quotes
                }
                argument += expanded[i];
            }
            ++i;
            if (i < expanded.size() && expanded[i] != ' ') return std::nullopt;
        } else {
            for (; i < expanded.size() && expanded[i] != ' '; ++i) {
                if (reserved.find(expanded[i]) != std::string::npos) return std::nullopt;
                argument += expanded[i];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string ExecLineOf(const std::string& entryText)
{
    const auto start = entryText.find("\nExec=");
    if (start == std::string::npos) return {};
    const auto end = entryText.find('\n', start + 1);
    return entryText.substr(start + 6, end - start - 6);
}

TEST(AutostartEntry, ExecLineGivesBackTheExactPathAndDashTForNastyPaths)
{
    const std::vector<std::string> paths = {
        "/usr/bin/quisk-motion-detector",
        "/home/ola/My Apps/watch",
        "/home/ola/\"cytaty\" i 'apostrofy'/watch",
        "/home/ola/back\\slash\\\\double/watch",
        "/home/ola/$HOME/${PATH}/watch",
        "/home/ola/`id`/$(id)/watch",
        "/home/ola/100%/%u %f %%/watch",
        "/home/ola/tab\there/new\nline/cr\rhere/watch",
        "/home/ola/Zażółć gęślą jaźń/watch",
        "/home/ola/a;b&c|d<e>f~g*h?i#j(k)/watch",
        "/home/ola/trailing space /watch ",
        "/home/ola/equals=sign/watch",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string exec = ExecLineOf(AutostartEntryText(path));
        ASSERT_EQ(exec.find('\n'), std::string::npos);
        const auto arguments = ParseExecValue(exec);
        ASSERT_TRUE(arguments.has_value()) << exec;
        EXPECT_EQ(*arguments, (std::vector<std::string>{path, "-t"})) << exec;
    }
}

TEST(AutostartEntry, PlainPathIsLeftBareAndTheEntryNamesTheProgram)
{
    const std::string text = AutostartEntryText("/opt/qmd/quisk-motion-detector");
    EXPECT_EQ(ExecLineOf(text), "/opt/qmd/quisk-motion-detector -t");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Quisk Motion Detector\n"), std::string::npos);
}

TEST(AutostartEntry, PathsADesktopEntryCannotHoldAreRefusedWithTheSetDataError)
{
    for (const std::string& path : {std::string("/home/ola/\xff\xfe/watch"), std::string("/home/ola/\xc3/watch"),
                                    std::string("/home/ola/\x01/watch"), std::string("/home/ola/\x7f/watch")}) {
        try {
            AutostartEntryText(path);
            ADD_FAILURE() << "accepted " << path;
        } catch (const QuiskError& error) {
            EXPECT_STREQ(error.what(), "Failed to set data for 'Quisk Motion Detector'");
        }
    }
}

class AutostartFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
        setenv("XDG_CONFIG_HOME", configHome_.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (savedConfigHome_)
            setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string EntryPath() const { return configHome_.File("autostart/quisk-motion-detector.desktop"); }

    test::TempDir configHome_;
    std::optional<std::string> savedConfigHome_;
};

TEST_F(AutostartFile, WriteCreatesTheDirectoryAndRemoveDeletesTheEntry)
{
    EXPECT_EQ(AutostartEntryPath(), EntryPath());
    EXPECT_FALSE(AutostartEntryExists());
    WriteAutostartEntry("/home/ola/My Apps/watch");
    EXPECT_TRUE(AutostartEntryExists());
    EXPECT_EQ(test::ReadFileBytes(EntryPath()), AutostartEntryText("/home/ola/My Apps/watch"));
    EXPECT_FALSE(std::filesystem::exists(EntryPath() + ".partial"));

    WriteAutostartEntry("/usr/bin/quisk-motion-detector");  // replaces
    EXPECT_EQ(ExecLineOf(test::ReadFileBytes(EntryPath())), "/usr/bin/quisk-motion-detector -t");

    RemoveAutostartEntry();
    EXPECT_FALSE(AutostartEntryExists());
    RemoveAutostartEntry();  // nothing to remove: silent
}

TEST_F(AutostartFile, AnyEntryCountsAsPresentWhateverItHolds)
{
    std::filesystem::create_directories(configHome_.Path() / "autostart");
    test::WriteFileBytes(EntryPath(), "garbage");
    EXPECT_TRUE(AutostartEntryExists());
}

TEST_F(AutostartFile, UnwritableDirectoryOrRelativePathRaisesTheSetDataError)
{
    test::WriteFileBytes(configHome_.File("autostart"), "a file where the directory belongs");
    try {
        WriteAutostartEntry("/usr/bin/quisk-motion-detector");
        ADD_FAILURE() << "write succeeded";
    } catch (const QuiskError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Quisk Motion Detector'");
    }
    EXPECT_FALSE(AutostartEntryExists());
    EXPECT_THROW(WriteAutostartEntry("watch"), QuiskError);
    EXPECT_THROW(WriteAutostartEntry(""), QuiskError);
}

TEST_F(AutostartFile, RelativeOrEmptyConfigHomeFallsBackToHomeConfig)
{
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(AutostartEntryPath(), std::string(home) + "/.config/autostart/quisk-motion-detector.desktop");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(AutostartEntryPath(), std::string(home) + "/.config/autostart/quisk-motion-detector.desktop");
}

}  // namespace
}  // namespace qmd
