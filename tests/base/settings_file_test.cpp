// ustawienia.ini as the program reads and writes it: encodings, defaults,
// matching, and what a write leaves of the rest of the file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/settings_file.h"
#include "common/quisk_error.h"
#include "support/repeated_text.h"
#include "support/temp_dir.h"

using qmd::SettingsFile;
using qmd::test::ReadFileBytes;
using qmd::test::TempDir;
using qmd::test::WriteFileBytes;

namespace {

struct SettingsFileTest : ::testing::Test {
    TempDir dir;
    std::string path = dir.File("ustawienia.ini");
    void Write(const std::string& bytes) { WriteFileBytes(path, bytes); }
    std::string Bytes() const { return ReadFileBytes(path); }
};

}  // namespace

TEST_F(SettingsFileTest, MissingFileGivesEveryDefault)
{
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 150);
    EXPECT_TRUE(s.ReadBool("Ruch", "Alarm", true));
    EXPECT_FALSE(s.ReadBool("Ruch", "Minimalizuj do Traya", false));
    EXPECT_EQ(s.ReadString("Ruch", "Zrob zdjecie", ""), "");
    EXPECT_EQ(s.ReadInteger("Ogolne", "Ostatnie urzadzenie", -1), -1);
    EXPECT_FALSE(std::filesystem::exists(path)) << "reads never create the file";
}

TEST_F(SettingsFileTest, IntegerEncodings)
{
    Write("[Ruch]\r\nCzulosc=0x1F\r\nA=abc\r\nB=\r\nC=300\r\nD=$ff\r\nE=0xFFFFFFFF\r\nF=-7\r\n"
          "G=99999999999\r\nH=  42  \r\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 31);
    EXPECT_EQ(s.ReadInteger("Ruch", "A", 150), 150);
    EXPECT_EQ(s.ReadInteger("Ruch", "B", 150), 150);
    EXPECT_EQ(s.ReadInteger("Ruch", "C", 150), 300);
    EXPECT_EQ(s.ReadInteger("Ruch", "D", 0), 255);
    EXPECT_EQ(s.ReadInteger("Ruch", "E", 0), -1);
    EXPECT_EQ(s.ReadInteger("Ruch", "F", 0), -7);
    EXPECT_EQ(s.ReadInteger("Ruch", "G", 5), 5);
    EXPECT_EQ(s.ReadInteger("Ruch", "H", 0), 42) << "blanks around a value are not part of it";
}

TEST_F(SettingsFileTest, FlagsAreIntegersWithADefault)
{
    Write("[Ruch]\nAlarm=2\nMinimalizuj do Traya=yes\nProwadz dziennik=0\nX=yes\n");
    SettingsFile s(path);
    EXPECT_TRUE(s.ReadBool("Ruch", "Alarm", true));
    EXPECT_FALSE(s.ReadBool("Ruch", "Minimalizuj do Traya", false));
    EXPECT_TRUE(s.ReadBool("Ruch", "X", true));
    EXPECT_FALSE(s.ReadBool("Ruch", "Prowadz dziennik", true));
}

TEST_F(SettingsFileTest, SectionsAndKeysMatchWithoutCase)
{
    Write("[RUCH]\r\nczulosc=90\r\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 150), 90);
    s.WriteInteger("Ruch", "Czulosc", 91);
    EXPECT_EQ(Bytes(), "[RUCH]\r\nCzulosc=91\r\n");
}

TEST_F(SettingsFileTest, KeysAreReadFromTheirOwnSectionOnly)
{
    Write("Czulosc=1\r\n[Ogolne]\r\nCzulosc=2\r\n[Ruch]\r\n; Czulosc=3\r\nCzulosc=4\r\n[Ruch]\r\nCzulosc=5\r\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 0), 4);
    EXPECT_EQ(s.ReadInteger("Ogolne", "Czulosc", 0), 2);
}

TEST_F(SettingsFileTest, LongTextIsCutAt2047BytesOnACharacterBoundary)
{
    const std::string ascii(3000, 'a');
    SettingsFile s(path);
    s.WriteString("Ruch", "Informacja", ascii);
    EXPECT_EQ(s.ReadString("Ruch", "Informacja"), ascii.substr(0, 2047));
    EXPECT_NE(Bytes().find(ascii), std::string::npos) << "the file keeps the whole value";

    // 2046 ASCII bytes and then two-byte letters: byte 2047 would split "ł".
    const std::string mixed = qmd::test::Repeated(2046, 'x', "łłł");
    s.WriteString("Ruch", "Informacja", mixed);
    EXPECT_EQ(s.ReadString("Ruch", "Informacja"), std::string(2046, 'x'));
}

TEST_F(SettingsFileTest, LinesEndInCrLfWhateverTheFileUsed)
{
    Write("; kept\r[Ruch]\rAlarm=1\n\n[Other]\r\nx = y \r\n");
    SettingsFile s(path);
    EXPECT_TRUE(s.ReadBool("Ruch", "Alarm", false));
    EXPECT_EQ(s.ReadString("Other", "x"), "y");
    s.WriteBool("Ruch", "Alarm", false);
    EXPECT_EQ(Bytes(), "; kept\r\n[Ruch]\r\nAlarm=0\r\n\r\n[Other]\r\nx = y \r\n");
}

TEST_F(SettingsFileTest, WriteAddsKeysAndSectionsAndKeepsUnknownLines)
{
    const std::string foreign = "; comment \xff\xfe binary\r\n  odd line without equals\r\n";
    Write(foreign + "[Ruch]\r\nAlarm=1\r\n\r\n[Zzz]\r\nfoo=bar\r\n");
    SettingsFile s(path);
    s.WriteString("Ruch", "Zrob zdjecie", "/home/ja/zdjęcia");
    s.WriteInteger("Ogolne", "Pozycja X", 480);
    s.WriteInteger("Ogolne", "Pozycja Y", -266);
    EXPECT_EQ(Bytes(), foreign + "[Ruch]\r\nAlarm=1\r\nZrob zdjecie=/home/ja/zdjęcia\r\n\r\n[Zzz]\r\nfoo=bar\r\n"
                                 "[Ogolne]\r\nPozycja X=480\r\nPozycja Y=-266\r\n");
    EXPECT_EQ(s.ReadInteger("Ogolne", "Pozycja Y", 0), -266);
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFile)
{
    SettingsFile s(path);
    s.WriteInteger("Ruch", "Czulosc", 150);
    EXPECT_EQ(Bytes(), "[Ruch]\r\nCzulosc=150\r\n");
}

TEST_F(SettingsFileTest, LineBreaksInATextAreRefusedAndChangeNothing)
{
    Write("[Ruch]\r\nInformacja=old\r\n");
    SettingsFile s(path);
    for (const std::string& evil :
         std::vector<std::string>{"a\nCzulosc=0", "a\r\n[Ogolne]", std::string("a\0b", 3), "\r"}) {
        try {
            s.WriteString("Ruch", "Informacja", evil);
            FAIL() << "accepted a line break";
        } catch (const qmd::QuiskError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Unable to write to " + path, 0), 0u) << e.what();
        }
    }
    EXPECT_EQ(Bytes(), "[Ruch]\r\nInformacja=old\r\n");
}

TEST_F(SettingsFileTest, RefusedWritesRaiseTheErrorWithTheFullPath)
{
    Write("[Ruch]\r\nCzulosc=1\r\n");
    ::chmod(path.c_str(), 0444);
    SettingsFile s(path);
    try {
        s.WriteInteger("Ruch", "Czulosc", 2);
        FAIL() << "wrote a write-protected file";
    } catch (const qmd::QuiskError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
    }
    EXPECT_EQ(Bytes(), "[Ruch]\r\nCzulosc=1\r\n");
    EXPECT_EQ(s.ReadInteger("Ruch", "Czulosc", 0), 1) << "a protected file is still read";

    const std::string asDirectory = dir.File("katalog.ini");
    std::filesystem::create_directory(asDirectory);
    SettingsFile d(asDirectory);
    EXPECT_EQ(d.ReadInteger("Ruch", "Czulosc", 150), 150);
    EXPECT_THROW(d.WriteInteger("Ruch", "Czulosc", 2), qmd::QuiskError);

    WriteFileBytes(dir.File("plik"), "x");
    SettingsFile under(dir.File("plik") + "/ustawienia.ini");
    EXPECT_THROW(under.WriteInteger("Ruch", "Czulosc", 2), qmd::QuiskError);
}

TEST_F(SettingsFileTest, AWriteKeepsTheFileModeAndLeavesNoTemporaryFiles)
{
    Write("[Ruch]\r\n");
    ::chmod(path.c_str(), 0640);
    SettingsFile(path).WriteInteger("Ruch", "Czulosc", 5);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsFileTest, ASymbolicLinkStaysALink)
{
    const std::string real = dir.File("real.ini");
    WriteFileBytes(real, "[Ruch]\r\n");
    std::filesystem::create_symlink(real, path);
    SettingsFile(path).WriteInteger("Ruch", "Czulosc", 7);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFileBytes(real), "[Ruch]\r\nCzulosc=7\r\n");
}
