// Tests of the INI service: lookup rules, editing that keeps the rest of a file, atomic writes.
#include "core/settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "core/base/error.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

IniFile FromText(const TempDir& dir, const std::string& text) {
  WriteAll(dir.File("f.ini"), text);
  return IniFile(dir.File("f.ini"));
}

struct ReadCase {
  const char* label;
  const char* text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class IniFileReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(IniFileReadTest, FindsValueByTheRules) {
  TempDir dir;
  const ReadCase& c = GetParam();
  EXPECT_EQ(FromText(dir, c.text).Read(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniFileReadTest,
    testing::Values(
        // section and key names ignore ASCII letter case
        ReadCase{"letter case", "[Props]\r\nKey=v\r\n", "pROPS", "kEY", "v"},
        // of two equal keys the first counts, also when they differ in case only
        ReadCase{"first of two keys", "[a]\nK=1\nk=2\n", "a", "k", "1"},
        // blanks (space, tab) around key and value are removed, inner ones kept
        ReadCase{"blanks trimmed", "[a]\n \tk \t= \t v  w \t\n", "a", "k", "v  w"},
        // the value starts after the first "="
        ReadCase{"first equals sign", "[a]\nk=x=y\n", "a", "k", "x=y"},
        // CR LF line ends leave no CR in the value; the last line needs no line end
        ReadCase{"CR LF", "[a]\r\nj=1\r\nk=v", "a", "k", "v"},
        // a UTF-8 byte-order mark does not hide the first section
        ReadCase{"byte-order mark", "\xEF\xBB\xBF[a]\nk=v\n", "a", "k", "v"},
        // a present key with an empty value is not missing
        ReadCase{"empty value", "[a]\nk=\n", "a", "k", ""},
        // blanks around the header and its name
        ReadCase{"blanks in the header", "  [ a b ] \nk=v\n", "A B", "k", "v"},
        // comment lines are no keys
        ReadCase{"comment line", "[a]\n;k=v\n", "a", "k", std::nullopt},
        // a key belongs to its own section only
        ReadCase{"key of another section", "[a]\nk=v\n[b]\n", "b", "k", std::nullopt},
        // lines before the first section belong to no section
        ReadCase{"key before any section", "k=v\n[a]\n", "a", "k", std::nullopt},
        // with a section twice, the first one counts, as with keys
        ReadCase{"first of two sections", "[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "k", "1"},
        ReadCase{"key of the second section", "[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "j", std::nullopt},
        // a missing section
        ReadCase{"missing section", "[a]\nk=v\n", "c", "k", std::nullopt}),
    RowName);

TEST(IniFileTest, MissingFileReadsAsEmpty) {
  TempDir dir;
  WriteAll(dir.File("plain"), "x");
  EXPECT_EQ(IniFile(dir.File("none.ini")).Text(), "");
  // a folder on the way that is a file is as missing as the file
  EXPECT_EQ(IniFile(dir.File("plain/f.ini")).Text(), "");
  EXPECT_EQ(IniFile(dir.File("none.ini")).ReadString("a", "k", "dflt"), "dflt");
}

TEST(IniFileTest, UnreadableFileIsAnErrorNotAnEmptyFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("f.ini"));
  try {
    IniFile file(dir.File("f.ini"));
    FAIL() << "a folder read as an INI file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to read " + dir.File("f.ini"));
  }
}

TEST(IniFileTest, ValuesAreCutAt2047Characters) {
  TempDir dir;
  const std::string exact(2047, 'a');
  const std::string longer = std::string(2047, 'b') + "cdef";
  const IniFile file = FromText(dir, "[a]\nexact=" + exact + "\nlonger=" + longer + "\n");
  EXPECT_EQ(file.Read("a", "exact"), exact);
  EXPECT_EQ(file.Read("a", "longer"), std::string(2047, 'b'));
}

TEST(IniFileTest, WriteReplacesInPlaceAndKeepsEverythingElse) {
  TempDir dir;
  IniFile file = FromText(dir,
                          "; header comment\n"
                          "loose line\n"
                          "[a]\n"
                          "  Key = old \n"
                          "; kept comment\n"
                          "key=second\n"
                          "[b]\n"
                          "x=1\n");
  file.Write("A", "KEY", "new");
  EXPECT_EQ(file.Text(),
            "; header comment\r\n"
            "loose line\r\n"
            "[a]\r\n"
            "Key=new\r\n"
            "; kept comment\r\n"
            "key=second\r\n"
            "[b]\r\n"
            "x=1\r\n");
}

TEST(IniFileTest, WriteAppendsAtSectionEndBeforeBlankLines) {
  TempDir dir;
  IniFile file = FromText(dir, "[a]\r\nk=1\r\n\r\n[b]\r\nx=1\r\n");
  file.Write("a", "j", "2");
  file.Write("a", "j", "3");  // now found in the index, replaced in place
  file.Write("c", "y", "4");
  EXPECT_EQ(file.Text(), "[a]\r\nk=1\r\nj=3\r\n\r\n[b]\r\nx=1\r\n[c]\r\ny=4\r\n");
  EXPECT_EQ(file.Read("a", "j"), "3");
}

TEST(IniFileTest, ByteOrderMarkIsKept) {
  TempDir dir;
  IniFile file = FromText(dir, "\xEF\xBB\xBF[a]\nk=1\n");
  file.Write("a", "k", "2");
  EXPECT_EQ(file.Text(), "\xEF\xBB\xBF[a]\r\nk=2\r\n");
}

TEST(IniFileTest, EraseSectionLeavesTheRestAsItWas) {
  TempDir dir;
  IniFile file = FromText(dir,
                          "top\n"
                          "[keep]\n"
                          "a=1\n"
                          "[Gone]\n"
                          "b=2\n"
                          "; its comment goes too\n"
                          "[other]\n"
                          "c=3\n"
                          "[gone]\n"
                          "b=old copy\n");
  file.EraseSection("GONE");
  EXPECT_EQ(file.Text(), "top\r\n[keep]\r\na=1\r\n[other]\r\nc=3\r\n");
  // no older copy of the section resurfaces; a new one goes to the end
  EXPECT_EQ(file.Read("gone", "b"), std::nullopt);
  file.Write("gone", "b", "new");
  EXPECT_EQ(file.Text(), "top\r\n[keep]\r\na=1\r\n[other]\r\nc=3\r\n[gone]\r\nb=new\r\n");
}

TEST(IniFileTest, WriteRefusesWhatCouldNotBeReadBack) {
  TempDir dir;
  IniFile file(dir.File("f.ini"));
  EXPECT_THROW(file.Write("a", "k", "line\r\nbreak"), std::invalid_argument);
  EXPECT_THROW(file.Write("a", "k", std::string("nul\0x", 5)), std::invalid_argument);
  EXPECT_THROW(file.Write("a", "k", std::string(2048, 'v')), std::invalid_argument);
  EXPECT_THROW(file.Write("a", "k=j", "v"), std::invalid_argument);
  EXPECT_THROW(file.Write("a", "", "v"), std::invalid_argument);
  EXPECT_THROW(file.Write("a]", "k", "v"), std::invalid_argument);
  EXPECT_EQ(file.Text(), "");
  file.Write("a", "k", std::string(2047, 'v'));
  EXPECT_EQ(file.Read("a", "k"), std::string(2047, 'v'));
}

TEST(IniFileTest, FlushCreatesTheFileAndRoundTrips) {
  TempDir dir;
  IniFile file(dir.File("new.ini"));
  file.Write("s", "k", "v");
  file.Flush();
  EXPECT_EQ(ReadAll(dir.File("new.ini")), "[s]\r\nk=v\r\n");
  EXPECT_EQ(IniFile(dir.File("new.ini")).Read("S", "K"), "v");
  // no temporary file is left behind
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(IniFileTest, FlushKeepsPermissionsAndWritesThroughLinks) {
  TempDir dir;
  WriteAll(dir.File("real.ini"), "[s]\nk=1\n");
  std::filesystem::permissions(dir.File("real.ini"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_write);
  std::filesystem::create_symlink("real.ini", dir.File("link.ini"));
  IniFile file(dir.File("link.ini"));
  file.Write("s", "k", "2");
  file.Flush();
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(ReadAll(dir.File("real.ini")), "[s]\r\nk=2\r\n");
  EXPECT_EQ(std::filesystem::status(dir.File("real.ini")).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(IniFileTest, FailedFlushReportsPathAndLeavesParentFileAlone) {
  TempDir dir;
  WriteAll(dir.File("file"), "not a folder");
  IniFile file(dir.File("file/f.ini"));
  file.Write("s", "k", "v");
  try {
    file.Flush();
    FAIL() << "wrote below a file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("file/f.ini"));
  }
  EXPECT_EQ(ReadAll(dir.File("file")), "not a folder");
}

TEST(IniFileTest, FailedFlushKeepsOldFileInWriteProtectedFolder) {
  RunUnprivileged([] {
    TempDir dir;
    const std::string folder = dir.File("locked");
    std::filesystem::create_directory(folder);
    WriteAll(folder + "/f.ini", "[s]\nk=old\n");
    IniFile file(folder + "/f.ini");
    file.Write("s", "k", "new");
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(file.Flush(), Error);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadAll(folder + "/f.ini"), "[s]\nk=old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  });
}

TEST(IniFileTest, WriteProtectedFileIsNotReplaced) {
  RunUnprivileged([] {
    TempDir dir;
    WriteAll(dir.File("f.ini"), "[s]\nk=old\n");
    std::filesystem::permissions(dir.File("f.ini"), std::filesystem::perms::owner_read);
    IniFile file(dir.File("f.ini"));
    file.Write("s", "k", "new");
    EXPECT_THROW(file.Flush(), Error);
    EXPECT_EQ(ReadAll(dir.File("f.ini")), "[s]\nk=old\n");
  });
}

TEST(IniFileTest, UnicodeFilesAreWrittenBackInTheirOwnEncoding) {
  TempDir dir;
  // "[s]" CR LF "k=\u00FC" CR LF in UTF-16 little-endian, then big-endian.
  const std::string little("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xFC\0\r\0\n\0", 22);
  IniFile file = FromText(dir, little);
  EXPECT_EQ(file.FileEncoding(), IniFile::Encoding::Utf16LittleEndian);
  EXPECT_EQ(file.Read("s", "k"), "\xC3\xBC");
  file.Write("s", "j", "\xE2\x82\xAC");  // the euro sign
  file.Flush();
  EXPECT_EQ(ReadAll(dir.File("f.ini")), little + std::string("j\0=\0\xAC\x20\r\0\n\0", 10));
  const std::string big("\xFE\xFF\0[\0s\0]\0\n\0k\0=\xD8\x3D\xDE\x00\0\n", 20);
  IniFile other = FromText(dir, big);
  EXPECT_EQ(other.FileEncoding(), IniFile::Encoding::Utf16BigEndian);
  EXPECT_EQ(other.Read("s", "k"), "\xF0\x9F\x98\x80");  // a surrogate pair
  EXPECT_EQ(other.Text(),
            std::string("\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\xD8\x3D\xDE\x00\0\r\0\n", 24));
}

TEST(IniFileTest, BrokenUnicodeIsUnreadableAndNeverWritten) {
  TempDir dir;
  for (const std::string& bytes :
       {std::string("\xFF\xFE[\0s", 5),              // odd length
        std::string("\xFF\xFEk\0=\0\x00\xDC", 8),    // a low surrogate alone
        std::string("\xFE\xFF\xD8\x00\x00k", 6)}) {  // a high surrogate without its partner
    WriteAll(dir.File("f.ini"), bytes);
    EXPECT_THROW(IniFile(dir.File("f.ini")), Error);
    EXPECT_EQ(ReadAll(dir.File("f.ini")), bytes);
  }
}

TEST(IniFileTest, ReadWholeTellsACutValueFromACompleteOne) {
  TempDir dir;
  const IniFile file = FromText(dir, "[s]\nk=" + std::string(3000, 'v') + "\n");
  EXPECT_EQ(file.Read("s", "k")->size(), IniFile::kMaxValueLength);
  EXPECT_EQ(file.ReadWhole("s", "k")->size(), 3000u);
  EXPECT_EQ(file.ReadWhole("s", "x"), std::nullopt);
}

TEST(IniFileTest, FlushRemovesTemporariesOfKilledSavesOnly) {
  TempDir dir;
  // A process that no longer runs: the first child of ours, reaped.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string stale = dir.File("f.ini.tmp-" + std::to_string(gone) + "-0-12345");
  const std::string live = dir.File("f.ini.tmp-" + std::to_string(getppid()) + "-0-12345");
  const std::string foreign = dir.File("f.ini.tmp-notes");
  const std::string otherFile = dir.File("g.ini.tmp-" + std::to_string(gone) + "-0-1");
  for (const std::string& p : {stale, live, foreign, otherFile}) WriteAll(p, "x");
  IniFile file(dir.File("f.ini"));
  file.Write("s", "k", "v");
  file.Flush();
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(live));     // its writer may still finish
  EXPECT_TRUE(std::filesystem::exists(foreign));  // not of our naming
  EXPECT_TRUE(std::filesystem::exists(otherFile));
  EXPECT_EQ(ReadAll(dir.File("f.ini")), "[s]\r\nk=v\r\n");
}

}  // namespace
}  // namespace qv::test
