// The text rules shared by the settings file, the camera stream and the
// device list: ASCII-only case folding and the UTF-8-safe cut.
#include <gtest/gtest.h>

#include <string>

#include "common/ascii_case.h"
#include "common/utf8_cut.h"
#include "support/repeated_text.h"

namespace qmd {
namespace {

using test::Repeated;

TEST(AsciiCase, OnlyAsciiLettersFold)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Content-Length", "content-LENGTH"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Ruch", "Ruchy"));
    // Bytes 0x20 apart that are not letters stay apart: '@' '`', '[' '{', '^' '~'.
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@[^", "`{~"));
    // A UTF-8 capital is not folded: "Ł" is not "ł".
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC5\x81", "\xC5\x82"));
    EXPECT_TRUE(StartsWithIgnoringAsciiCase("HTTP/1.0 200 OK", "http/"));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase("HTT", "http/"));
}

TEST(Utf8Cut, DropsASplitCharacterWhole)
{
    EXPECT_EQ(CutUtf8("abc", 255), "abc");
    const std::string a254(254, 'a');
    EXPECT_EQ(CutUtf8(Repeated(254, 'a', "\xC4\x85x"), 255), a254);  // two-byte character across the limit
    EXPECT_EQ(CutUtf8(Repeated(253, 'a', "\xE2\x82\xAC" "b"), 255), std::string(253, 'a'));
    EXPECT_EQ(CutUtf8(Repeated(252, 'a', "\xE2\x82\xAC" "b"), 255), Repeated(252, 'a', "\xE2\x82\xAC"));
    EXPECT_EQ(CutUtf8(Repeated(2046, 'x', "\xF0\x9F\x93\xB7"), 2047), std::string(2046, 'x'));
    EXPECT_EQ(CutUtf8(std::string(300, 'z'), 255).size(), 255u);
}

TEST(Utf8Cut, StrayContinuationBytesCostAtMostThree)
{
    // Not UTF-8: a long run of continuation bytes is not stepped over to its start.
    const std::string text = Repeated(10, 'a', std::string(20, '\x80'));
    EXPECT_EQ(CutUtf8(text, 20), text.substr(0, 17));
}

}  // namespace
}  // namespace qmd
