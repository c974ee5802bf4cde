// Library and settings files as a careless editor or a broken disk leaves them: the INI rules and
// the rules of both files hold, errors carry their exact texts, and a file that did not load is
// never overwritten with less than it held.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "core/library/library_and_settings.h"
#include "core/settings/program_settings.h"
#include "support/fuzz_harness.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

using namespace std::string_literals;
using Bytes = const std::uint8_t*;

std::string HundredKilobytes() { return std::string(100000, 'a'); }

// The bytes an editor saves as "Unicode": a byte-order mark, then UTF-16 units.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : text) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  }
  return bytes;
}

struct LibraryCase {
  const char* comment;
  std::string text;
  std::vector<std::string> labels;  // loaded, oldest first
  std::string message;              // of a load that stopped, else empty
};
void PrintTo(const LibraryCase& c, std::ostream* os) { *os << c.comment; }

class HostileLibraryFileTest : public testing::TestWithParam<LibraryCase> {};

TEST_P(HostileLibraryFileTest, LoadsByTheRulesAndSavesNoLess) {
  const LibraryCase& c = GetParam();
  TempDir dir;
  WriteAll(dir.File("p.ini"), c.text);
  TPROPClass library(dir.File("p.ini"));
  std::string message;
  try {
    library.Load();
  } catch (const Error& e) {
    message = e.what();
  }
  std::string expected = c.message;
  if (const auto at = expected.find("@FILE@"); at != std::string::npos) {
    expected.replace(at, 6, dir.File("p.ini"));
  }
  EXPECT_EQ(message, expected);
  EXPECT_EQ(LabelsOf(library), c.labels);
  // Saving over the file and to a new one, then reading back, or leaving a failed file alone.
  EXPECT_NO_THROW(CheckLibraryBytes(reinterpret_cast<Bytes>(c.text.data()), c.text.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileLibraryFileTest,
    testing::Values(
        LibraryCase{"byte-order mark and CR LF",
                    "\xEF\xBB\xBF[properties]\r\nn=1\r\n1=1@clRed@a@1@1\r\n",
                    {"clRed"},
                    ""},
        LibraryCase{
            "LF without a last line end", "[properties]\nn=1\n1=1@clRed@a@1@1", {"clRed"}, ""},
        LibraryCase{"the first of two sections counts",
                    "[properties]\nn=1\n1=1@clRed@@1@1\n[Properties]\nn=2\n1=1@clLime@@1@1\n"
                    "2=2@clBlue@@1@1\n",
                    {"clRed"},
                    ""},
        LibraryCase{"the first of two counts counts",
                    "[properties]\nn=1\nN=2\n1=1@clRed@@1@1\n2=2@clLime@@1@1\n",
                    {"clRed"},
                    ""},
        // without its "]" the line is no header, so the keys after it belong to no section
        LibraryCase{
            "an unclosed header opens no section", "[properties\nn=1\n1=1@clRed@@1@1\n", {}, ""},
        LibraryCase{"lone CR line ends",
                    "[properties]\rn=2\r1=1@clRed@a@1@1\r2=2@clLime@@1@1\r",
                    {"clRed", "clLime"},
                    ""},
        LibraryCase{"CR, LF and CR LF mixed",
                    "[properties]\r\nn=3\r1=1@clRed@@1@1\n2=2@clLime@@1@1\r\n3=3@clBlue@@1@1",
                    {"clRed", "clLime", "clBlue"},
                    ""},
        LibraryCase{"UTF-16 little-endian with its mark",
                    Utf16(u"[properties]\r\nn=1\r\n1=1@clRed@\u00FC@2@3\r\n", false),
                    {"clRed"},
                    ""},
        LibraryCase{"UTF-16 big-endian with its mark",
                    Utf16(u"[properties]\nn=1\n1=1@clBlue@@2@3\n", true),
                    {"clBlue"},
                    ""},
        LibraryCase{"UTF-16 of an odd length does not read and is kept",
                    std::string("\xFF\xFE[\0p\0]", 7),
                    {},
                    "Unable to read @FILE@"},
        LibraryCase{"n = -1 reads nothing", "[properties]\nn=-1\n1=1@clRed@@1@1\n", {}, ""},
        LibraryCase{"n = 999999999 without keys", "[properties]\nn=999999999\n", {}, ""},
        LibraryCase{"missing n", "[properties]\n1=1@clRed@@1@1\n", {}, ""},
        // a value beyond the 2047-byte limit cannot be read whole: the load stops on it,
        // naming the entry and its length, and the file is kept from the save at exit
        LibraryCase{
            "a 100 KB line",
            "[properties]\nn=2\n1=1@clRed@" + HundredKilobytes() + "@1@1\n2=2@clLime@@1@1\n",
            {},
            "The entry 1 in section [properties] of @FILE@ is too long: 100012 characters, of "
            "which only 2047 are read."},
        LibraryCase{"rho just beyond the limit would read as another number",
                    "[properties]\nn=2\n1=1@clRed@@1@1\n2=2@clLime@" + std::string(2028, 'n') +
                        "@210000@7850\n",
                    {"clRed"},
                    "The entry 2 in section [properties] of @FILE@ is too long: 2049 characters, "
                    "of which only 2047 are read."},
        LibraryCase{"a value of exactly 2047 bytes is whole",
                    "[properties]\nn=1\n1=1@clRed@" + std::string(2027, 'n') + "@210000@7850\n",
                    {"clRed"},
                    ""},
        LibraryCase{"four and six fields",
                    "[properties]\nn=3\n1=1@clRed@@1\n2=2@clLime@a@b@1@1\n3=3@clBlue@@1@1\n",
                    {"clBlue"},
                    ""},
        LibraryCase{"an empty value", "[properties]\nn=1\n1=\n", {}, ""},
        LibraryCase{"E beyond the range",
                    "[properties]\nn=2\n1=1@clRed@@1@1\n2=2@clLime@@1e400@1\n",
                    {"clRed"},
                    "'1e400' is not a valid floating point value"},
        LibraryCase{"E = nan",
                    "[properties]\nn=1\n1=1@clRed@@nan@1\n",
                    {},
                    "'nan' is not a valid floating point value"},
        LibraryCase{"rho = inf",
                    "[properties]\nn=1\n1=1@clRed@@1@inf\n",
                    {},
                    "'inf' is not a valid floating point value"},
        LibraryCase{"E with a decimal comma",
                    "[properties]\nn=1\n1=1@clRed@@1,5@1\n",
                    {},
                    "'1,5' is not a valid floating point value"},
        LibraryCase{"a count beyond 32 bits",
                    "[properties]\nn=4294967296\n",
                    {},
                    "'4294967296' is not a valid integer value"}),
    RowName);

TEST(HostileLibraryFileTest, NameWithNulLoadsButIsNeverSavedHalf) {
  TempDir dir;
  const std::string text = "[properties]\nn=2\n1=1@clRed@a\0b@1@1\n2=2@clLime@@1@1\n"s;
  WriteAll(dir.File("p.ini"), text);
  TPROPClass library(dir.File("p.ini"), true);
  ASSERT_EQ(library.Count(), 2);
  EXPECT_EQ(library.Oldest()->prop.name, "a\0b"s);
  try {
    library.Save();
    FAIL() << "saved";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "The material \"a?b\" (clRed) cannot be saved in the library file. A material "
              "name must not contain null characters.");
  }
  EXPECT_EQ(ReadAll(dir.File("p.ini")), text);
}

struct SettingsCase {
  const char* comment;
  std::string text;
  std::vector<std::string> messages;
  int signConvention = 0;
  int fontSize = 14;
  double angleTolerance = 1.0;
  ColourValue axesColour = 0x00FF0000;
};
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.comment; }

class HostileSettingsFileTest : public testing::TestWithParam<SettingsCase> {};

TEST_P(HostileSettingsFileTest, ReadsByTheRulesAndKeepsWhatDidNotConvert) {
  const SettingsCase& c = GetParam();
  TempDir dir;
  const std::string program = dir.File("quorvane");
  WriteAll(SettingsFilePath(program), c.text);
  ProgramSettings settings;
  std::unique_ptr<TPROPClass> library;
  EXPECT_EQ(Headlines(LoadSettings(program, settings, library)), c.messages);
  EXPECT_EQ(static_cast<int>(settings.SignConvention), c.signConvention);
  EXPECT_EQ(settings.FontSize, c.fontSize);
  EXPECT_EQ(settings.AngleTolerance, c.angleTolerance);
  EXPECT_EQ(settings.AxesColour, c.axesColour);
  // A key that does not convert leaves the file as it was in a backup, and the settings are
  // written at exit all the same.
  EXPECT_FALSE(settings.SettingsFileUnreadable);
  EXPECT_EQ(ReadAll(SettingsFilePath(program) + ".bak"), c.messages.empty() ? "" : c.text);
  // Saved and read back equal, the backup kept.
  EXPECT_NO_THROW(CheckSettingsBytes(reinterpret_cast<Bytes>(c.text.data()), c.text.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettingsFileTest,
    testing::Values(
        // sign conventions other than 0 and 1 stay as read and are written back
        SettingsCase{"deftype 7", "[program]\ndeftype=7\n", {}, 7},
        SettingsCase{"eps -1", "[program]\neps=-1\n", {}, 0, 14, -1.0},
        SettingsCase{"eps beyond the range",
                     "[program]\neps=1e400\n",
                     {"'1e400' is not a valid floating point value"}},
        SettingsCase{
            "eps = nan", "[program]\neps=nan\n", {"'nan' is not a valid floating point value"}},
        SettingsCase{
            "eps = inf", "[program]\neps=inf\n", {"'inf' is not a valid floating point value"}},
        SettingsCase{"eps with a decimal comma",
                     "[program]\neps=1,5\n",
                     {"'1,5' is not a valid floating point value"}},
        SettingsCase{
            "a colour that is no colour",
            "[program]\ncolor_yz=blue\ncolor_mc=#FFFFFF\n",
            {"'blue' is not a valid integer value", "'#FFFFFF' is not a valid integer value"}},
        SettingsCase{"a colour of nine hexadecimal digits",
                     "[program]\ncolor_yz=$1FFFFFFFF\n",
                     {"'$1FFFFFFFF' is not a valid integer value"}},
        SettingsCase{"a colour by number", "[program]\ncolor_yz=255\n", {}, 0, 14, 1.0, 255},
        SettingsCase{"a font size beyond 32 bits",
                     "[program]\nfontsize=99999999999\n",
                     {"'99999999999' is not a valid integer value"}},
        SettingsCase{
            "every failure is reported, in the order the keys are read",
            "[program]\neps=x\ndeftype=y\nfontsize=12\n",
            {"'y' is not a valid integer value", "'x' is not a valid floating point value"},
            0,
            12},
        SettingsCase{"byte-order mark, CR LF, two sections: the first counts",
                     "\xEF\xBB\xBF[program]\r\nfontsize=20\r\n[PROGRAM]\r\nfontsize=30\r\n"
                     "deftype=1\r\n",
                     {},
                     0,
                     20},
        SettingsCase{
            "two equal keys: the first counts", "[program]\nfontsize=20\nFONTSIZE=30\n", {}, 0, 20},
        SettingsCase{"an unclosed header is no header", "[program\nfontsize=20\n", {}},
        SettingsCase{"lone CR line ends", "[program]\rfontsize=20\rdeftype=1\r", {}, 1, 20},
        SettingsCase{
            "CR, LF and CR LF mixed", "[program]\r\nfontsize=20\rdeftype=1\neps=2", {}, 1, 20, 2.0},
        SettingsCase{"keys before any section are no settings", "fontsize=20\n[program]\n", {}},
        SettingsCase{"a 100 KB font name is cut, not a failure",
                     "[program]\nfont=" + HundredKilobytes() + "\nfontsize=9\n",
                     {},
                     0,
                     9},
        // a text the file cannot hold is written empty, never as a broken line
        SettingsCase{
            "a NUL byte in the font name", "[program]\nfont=Ar\0ial\nfontsize=9\n"s, {}, 0, 9}),
    RowName);

}  // namespace
}  // namespace qv::test
