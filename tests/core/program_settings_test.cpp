// Tests of the settings file: defaults, text forms, fallbacks and what a save keeps.
#include "core/settings/program_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "core/library/library_and_settings.h"
#include "core/settings/ini_file.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

// A program "quorvane" in a temporary folder, its settings file beside it.
struct Program {
  TempDir dir;
  std::string path = dir.File("quorvane");
  std::string folder = dir.Path() + "/";
  std::string settingsFile = dir.File("quorvane.INI");

  std::vector<std::string> Load(ProgramSettings& settings) {
    return LoadSettings(path, settings, library);
  }
  void Save(const ProgramSettings& settings) { SaveSettings(path, settings, library.get()); }

  std::unique_ptr<TPROPClass> library;
};

const char* const kDefaultFile =
    "[program]\r\ndeftype=0\r\nfont=Arial\r\nfontsize=14\r\nfontstyle=Normal\r\n"
    "color_yz=clBlue\r\ncolor_12=clBlue\r\ncolor_mc=clWhite\r\nautostart=true\r\neps=1\r\n"
    "wwwupdate=true\r\n";

TEST(ProgramSettingsTest, SettingsFilePathReplacesTheExtension) {
  EXPECT_EQ(SettingsFilePath("/opt/q/prog.exe"), "/opt/q/prog.INI");
  EXPECT_EQ(SettingsFilePath("/opt/q/prog"), "/opt/q/prog.INI");
  EXPECT_EQ(SettingsFilePath("/opt/q.d/prog"), "/opt/q.d/prog.INI");
  EXPECT_EQ(SettingsFilePath("/opt/q/prog.tar.gz"), "/opt/q/prog.tar.INI");
}

TEST(ProgramSettingsTest, NoFileGivesDefaultsAndSaveWritesAllKeys) {
  Program program;
  ProgramSettings settings;
  EXPECT_TRUE(program.Load(settings).empty());
  EXPECT_EQ(settings.SignConvention, SignConvention::DorvastPelkam);
  EXPECT_EQ(settings.FontName, "Arial");
  EXPECT_EQ(settings.FontSize, 14);
  EXPECT_EQ(settings.FontStyle, 0u);
  EXPECT_EQ(settings.AxesColour, 0x00FF0000);
  EXPECT_EQ(settings.MassCentreColour, 0x00FFFFFF);
  EXPECT_EQ(settings.PrincipalAxesColour, 0x00FF0000);
  EXPECT_TRUE(settings.AutoStart);
  EXPECT_TRUE(settings.CheckForUpdates);
  EXPECT_EQ(settings.AngleTolerance, 1.0);
  EXPECT_EQ(settings.WorkingDir, program.folder);
  EXPECT_EQ(settings.PictureFile, program.folder + "section.bmp");
  EXPECT_EQ(settings.LibraryFile, program.folder + "properties.ini");
  ASSERT_NE(program.library, nullptr);
  EXPECT_EQ(program.library->FileName, settings.LibraryFile);

  program.Save(settings);
  EXPECT_EQ(ReadAll(program.settingsFile),
            std::string(kDefaultFile) + "[data]\r\npicturefile=" + program.folder +
                "section.bmp\r\ndatafile=" + program.folder +
                "properties.ini\r\nworkingdir=" + program.folder + "\r\n");
  EXPECT_EQ(ReadAll(program.folder + "properties.ini"), "[properties]\r\nn=0\r\n");
}

struct KeyCase {
  const char* comment;
  const char* line;     // one line of `section`
  const char* key;      // the key whose written value is checked
  const char* written;  // its value after a save; nullptr: the save writes no such key
  void (*check)(const ProgramSettings&);
  const char* section = "program";
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.comment; }

class ProgramSettingsKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(ProgramSettingsKeyTest, ReadsAndWritesBackTheTextForm) {
  Program program;
  const KeyCase& c = GetParam();
  const bool own = std::string_view(c.section) != "program";
  // A key of a section of its own is read beside a "program" it must leave as it is.
  const std::string header =
      own ? "[program]\nfontsize=9\n[" + std::string(c.section) + "]\n" : "[program]\n";
  WriteAll(program.settingsFile, header + c.line + "\n");
  ProgramSettings settings;
  EXPECT_TRUE(program.Load(settings).empty());
  c.check(settings);
  program.Save(settings);
  const std::optional<std::string> written = IniFile(program.settingsFile).Read(c.section, c.key);
  if (c.written == nullptr) {
    EXPECT_EQ(written, std::nullopt);
  } else {
    EXPECT_EQ(written, c.written);
  }
  if (own) {
    EXPECT_EQ(settings.FontSize, 9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ProgramSettings, ProgramSettingsKeyTest,
    testing::Values(
        KeyCase{"booleans are true only as exactly true", "autostart=True", "autostart", "false",
                [](const ProgramSettings& s) { EXPECT_FALSE(s.AutoStart); }},
        KeyCase{"an empty boolean is present and false", "wwwupdate=", "wwwupdate", "false",
                [](const ProgramSettings& s) { EXPECT_FALSE(s.CheckForUpdates); }},
        KeyCase{"font style names are case-sensitive", "fontstyle=bold", "fontstyle", "Normal",
                [](const ProgramSettings& s) { EXPECT_EQ(s.FontStyle, 0u); }},
        KeyCase{"both styles", "fontstyle=BoldItalic", "fontstyle", "BoldItalic",
                [](const ProgramSettings& s) { EXPECT_EQ(s.FontStyle, kFontBold | kFontItalic); }},
        KeyCase{"a hexadecimal colour is written by its name", "color_yz=$000000FF", "color_yz",
                "clRed", [](const ProgramSettings& s) { EXPECT_EQ(s.AxesColour, 0x000000FF); }},
        KeyCase{"colour names ignore case; system colours stay", "color_mc=clbtnface", "color_mc",
                "clBtnFace",
                [](const ProgramSettings& s) {
                  EXPECT_EQ(s.MassCentreColour, static_cast<ColourValue>(0x8000000F));
                }},
        KeyCase{"eps zero", "eps=0", "eps", "0",
                [](const ProgramSettings& s) { EXPECT_EQ(s.AngleTolerance, 0.0); }},
        KeyCase{"eps in the shortest form", "eps=2.50", "eps", "2.5",
                [](const ProgramSettings& s) { EXPECT_EQ(s.AngleTolerance, 2.5); }},
        KeyCase{"eps with an exponent", "eps=1e-7", "eps", "1E-7",
                [](const ProgramSettings& s) { EXPECT_EQ(s.AngleTolerance, 1e-7); }},
        KeyCase{"an unknown convention stays as read", "deftype=7", "deftype", "7",
                [](const ProgramSettings& s) {
                  EXPECT_EQ(s.SignConvention, static_cast<SignConvention>(7));
                }},
        KeyCase{"hexadecimal integers", "fontsize=$10", "fontsize", "16",
                [](const ProgramSettings& s) { EXPECT_EQ(s.FontSize, 16); }},
        KeyCase{"font names are plain text", "FONT = DejaVu Sans ", "font", "DejaVu Sans",
                [](const ProgramSettings& s) { EXPECT_EQ(s.FontName, "DejaVu Sans"); }},
        KeyCase{"units in a section of their own", "system=kN-cm", "system", "kN-cm",
                [](const ProgramSettings& s) { EXPECT_EQ(s.Units, UnitSystem::KNcm); }, "units"},
        KeyCase{"kN-m written back as read", "SYSTEM = kN-m ", "system", "kN-m",
                [](const ProgramSettings& s) { EXPECT_EQ(s.Units, UnitSystem::KNm); }, "units"},
        KeyCase{"unknown units read as N-mm, which writes no section", "system=kN-M", "system",
                nullptr, [](const ProgramSettings& s) { EXPECT_EQ(s.Units, UnitSystem::NMm); },
                "units"},
        KeyCase{"N-mm named leaves no section either", "system=N-mm", "system", nullptr,
                [](const ProgramSettings& s) { EXPECT_EQ(s.Units, UnitSystem::NMm); }, "units"}),
    RowName);

TEST(ProgramSettingsTest, FailedKeysKeepDefaultsOthersAreReadAndFileIsKept) {
  Program program;
  const std::string text =
      "[program]\ndeftype=1\nfont=Courier\nfontsize=12pt\ncolor_yz=clNoSuch\neps=1,5\n"
      "autostart=false\n[data]\n";
  WriteAll(program.settingsFile, text);
  ProgramSettings settings;
  settings.FontSize = 99;  // a default of the table replaces whatever was there
  const std::vector<std::string> messages = program.Load(settings);
  EXPECT_EQ(Headlines(messages),
            (std::vector<std::string>{"'12pt' is not a valid integer value",
                                      "'clNoSuch' is not a valid integer value",
                                      "'1,5' is not a valid floating point value"}));
  // Each says which file and key failed, what is used instead and where the old file is.
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "'12pt' is not a valid integer value\r\rIn the settings file " +
                             program.settingsFile +
                             " the key \"fontsize\" does not convert; its default 14 is used.\r"
                             "The file as it was is kept as " +
                             program.settingsFile + ".bak.");
  EXPECT_NE(messages[1].find("\"color_yz\" does not convert; its default clBlue is used"),
            std::string::npos);
  EXPECT_NE(messages[2].find("\"eps\" does not convert; its default 1.00 is used"),
            std::string::npos);
  EXPECT_FALSE(settings.SettingsFileUnreadable);
  EXPECT_EQ(settings.SignConvention, SignConvention::EuroCode);
  EXPECT_EQ(settings.FontName, "Courier");
  EXPECT_EQ(settings.FontSize, 14);
  EXPECT_EQ(settings.AxesColour, 0x00FF0000);
  EXPECT_EQ(settings.AngleTolerance, 1.0);
  EXPECT_FALSE(settings.AutoStart);

  AddMaterial(*program.library, {.inUse = false});
  // Every later change reaches the file: the damaged keys are written with their defaults,
  // what the user had written is in the backup.
  settings.FontName = "Courier New";
  program.Save(settings);
  EXPECT_EQ(ReadAll(program.settingsFile + ".bak"), text);
  ProgramSettings again;
  EXPECT_TRUE(program.Load(again).empty());
  EXPECT_EQ(again.FontName, "Courier New");
  EXPECT_EQ(again.FontSize, 14);
  EXPECT_EQ(again.SignConvention, SignConvention::EuroCode);
  EXPECT_FALSE(again.AutoStart);
  // the library is saved all the same
  EXPECT_EQ(TPROPClass(program.folder + "properties.ini", true).Count(), 1);
}

TEST(ProgramSettingsTest, UnreadableFileIsReportedAndNotOverwritten) {
  Program program;
  std::filesystem::create_directory(program.settingsFile);
  ProgramSettings settings;
  EXPECT_EQ(program.Load(settings),
            (std::vector<std::string>{"Unable to read " + program.settingsFile}));
  EXPECT_TRUE(settings.SettingsFileUnreadable);
  EXPECT_EQ(settings.FontName, "Arial");
  program.Save(settings);
  EXPECT_TRUE(std::filesystem::is_directory(program.settingsFile));
}

TEST(ProgramSettingsTest, EmptyDeftypeIsAConversionFailure) {
  Program program;
  WriteAll(program.settingsFile, "[program]\ndeftype=\n");
  ProgramSettings settings;
  EXPECT_EQ(Headlines(program.Load(settings)),
            (std::vector<std::string>{"'' is not a valid integer value"}));
  EXPECT_EQ(settings.SignConvention, SignConvention::DorvastPelkam);
}

TEST(ProgramSettingsTest, PathsFallBackIntoTheWorkingFolder) {
  Program program;
  const std::string work = program.dir.File("work") + "/";
  WriteAll(program.settingsFile, "[data]\npicturefile=\ndatafile=" + program.dir.File("gone.ini") +
                                     "\nworkingdir=" + work + "\n");
  ProgramSettings settings;
  program.Load(settings);
  EXPECT_EQ(settings.WorkingDir, work);
  EXPECT_EQ(settings.PictureFile, work + "section.bmp");
  EXPECT_EQ(settings.LibraryFile, work + "properties.ini");
}

TEST(ProgramSettingsTest, ExistingFilesAreKeptAndTheLibraryLoaded) {
  Program program;
  const std::string picture = program.dir.File("beam.bmp");
  const std::string library = program.dir.File("mine.ini");
  WriteAll(picture, "BM");
  WriteAll(library, "[properties]\nn=1\n1=1@clRed@steel@210000@7850\n");
  WriteAll(program.settingsFile, "[data]\npicturefile=" + picture + "\ndatafile=" + library + "\n");
  ProgramSettings settings;
  EXPECT_TRUE(program.Load(settings).empty());
  EXPECT_EQ(settings.WorkingDir, program.folder);
  EXPECT_EQ(settings.PictureFile, picture);
  EXPECT_EQ(settings.LibraryFile, library);
  EXPECT_EQ(program.library->FileName, library);
  ASSERT_EQ(program.library->Count(), 1);
  EXPECT_EQ(program.library->Newest()->prop.name, "steel");
  // a folder is no library file
  std::filesystem::remove(library);
  std::filesystem::create_directory(library);
  program.Load(settings);
  EXPECT_EQ(settings.LibraryFile, program.folder + "properties.ini");
}

TEST(ProgramSettingsTest, LibraryFailureIsReportedAfterTheSettingsAndStillCreated) {
  Program program;
  WriteAll(program.settingsFile, "[program]\neps=x\n");
  WriteAll(program.folder + "properties.ini", "[properties]\nn=1\n1=1@clRed@@1@y\n");
  ProgramSettings settings;
  EXPECT_EQ(Headlines(program.Load(settings)),
            (std::vector<std::string>{"'x' is not a valid floating point value",
                                      "'y' is not a valid floating point value"}));
  ASSERT_NE(program.library, nullptr);
  EXPECT_TRUE(program.library->LoadFailed());
}

TEST(ProgramSettingsTest, SaveKeepsOtherSectionsAndDropsUnknownKeys) {
  Program program;
  WriteAll(program.settingsFile,
           "; my notes\n[mine]\nx=1\n[Program]\nextra=1\nfont=Courier\n[data]\nold=2\n"
           "[later]\ny=2\n");
  ProgramSettings settings;
  program.Load(settings);
  program.Save(settings);
  const std::string text = ReadAll(program.settingsFile);
  EXPECT_EQ(text.substr(0, text.find("[later]")), "; my notes\r\n[mine]\r\nx=1\r\n");
  EXPECT_NE(text.find("[later]\r\ny=2\r\n[program]\r\ndeftype=0\r\nfont=Courier\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("extra"), std::string::npos);
  EXPECT_EQ(text.find("old="), std::string::npos);
}

TEST(ProgramSettingsTest, RecentPicturesKeepTheNewestEightInASectionOfTheirOwn) {
  std::vector<std::string> recent;
  for (int i = 1; i <= 10; ++i) RememberRecentPicture(recent, "/p/" + std::to_string(i) + ".bmp");
  ASSERT_EQ(recent.size(), kMaxRecentPictures);
  EXPECT_EQ(recent.front(), "/p/10.bmp");
  EXPECT_EQ(recent.back(), "/p/3.bmp");
  // Opened again, a picture moves to the top instead of appearing twice.
  RememberRecentPicture(recent, "/p/5.bmp");
  EXPECT_EQ(recent.front(), "/p/5.bmp");
  EXPECT_EQ(std::count(recent.begin(), recent.end(), "/p/5.bmp"), 1);
  EXPECT_EQ(recent.size(), kMaxRecentPictures);
  // What the file could not hold back is not kept.
  RememberRecentPicture(recent, "/p/two\nlines.bmp");
  RememberRecentPicture(recent, "/p/" + std::string(3000, 'x') + ".bmp");
  EXPECT_EQ(recent.front(), "/p/5.bmp");

  Program program;
  ProgramSettings settings;
  program.Load(settings);
  EXPECT_TRUE(settings.RecentPictures.empty());
  // Without recent pictures the file is what it always was; with them, one more section.
  program.Save(settings);
  EXPECT_EQ(ReadAll(program.settingsFile).find("[recent]"), std::string::npos);
  settings.RecentPictures = {"/p/b.bmp", "/p/a.bmp"};
  program.Save(settings);
  const std::string text = ReadAll(program.settingsFile);
  EXPECT_NE(text.find("\r\n[recent]\r\n1=/p/b.bmp\r\n2=/p/a.bmp\r\n"), std::string::npos);
  ProgramSettings back;
  program.Load(back);
  EXPECT_EQ(back.RecentPictures, settings.RecentPictures);

  // A path longer than a value holds (written by hand, or by another program) is never cut into
  // another file's name: it is dropped, and the ones after it stay.
  const std::string longPath = "/p/" + std::string(3000, 'x') + ".bmp";
  WriteAll(program.settingsFile, "[recent]\r\n1=" + longPath + "\r\n2=/p/a.bmp\r\n");
  program.Load(back);
  EXPECT_EQ(back.RecentPictures, std::vector<std::string>{"/p/a.bmp"});
  program.Save(back);
  EXPECT_EQ(ReadAll(program.settingsFile).find("xxx"), std::string::npos);
}

TEST(ProgramSettingsTest, StressActionsKeepASectionOfTheirOwnOnlyOnceGiven) {
  Program program;
  ProgramSettings settings;
  program.Load(settings);
  EXPECT_EQ(settings.Stress, StressSettings{});
  // Never given: the file is what it always was.
  program.Save(settings);
  EXPECT_EQ(ReadAll(program.settingsFile).find("[stress]"), std::string::npos);
  settings.Stress = {1000, -2.5e6, 3e7, 0, 4500, 1e5, "sigma"};
  program.Save(settings);
  const std::string text = ReadAll(program.settingsFile);
  EXPECT_EQ(text.substr(0, std::string(kDefaultFile).size()), kDefaultFile)
      << "the sections before it keep exactly their keys";
  EXPECT_NE(text.find("\r\n[stress]\r\nN=1000\r\nMy=-2500000\r\nMz=30000000\r\nVy=0\r\n"
                      "Vz=4500\r\nT=100000\r\nfield=sigma\r\n"),
            std::string::npos)
      << text;
  ProgramSettings back;
  program.Load(back);
  EXPECT_EQ(back.Stress, settings.Stress);
  // Back to the defaults, the section goes again.
  back.Stress = {};
  program.Save(back);
  EXPECT_EQ(ReadAll(program.settingsFile).find("[stress]"), std::string::npos);
}

TEST(ProgramSettingsTest, UnreadableStressValuesKeepTheirDefaults) {
  Program program;
  WriteAll(program.settingsFile, "[stress]\nN=12a\nMy=-3E6\nT=inf\nfield=stresses\n");
  ProgramSettings settings;
  EXPECT_TRUE(program.Load(settings).empty()) << "no message: the dialog shows what it uses";
  EXPECT_EQ(settings.Stress.N, 0);
  EXPECT_EQ(settings.Stress.My, -3e6);
  EXPECT_EQ(settings.Stress.T, 0);
  EXPECT_EQ(settings.Stress.Field, "von_mises");
}

TEST(ProgramSettingsTest, TheEdgesReadAsCoverageKeepASectionOfTheirOwn) {
  Program program;
  ProgramSettings settings;
  program.Load(settings);
  EXPECT_EQ(settings.Edges, EdgeMode::Flat);
  // The flat reading writes the file as it always was, and drops a section left from before.
  WriteAll(program.settingsFile, "[edges]\r\nmode=flat\r\n");
  program.Save(settings);
  const std::string flat = ReadAll(program.settingsFile);
  EXPECT_EQ(flat.find("[edges]"), std::string::npos);
  EXPECT_EQ(flat.substr(0, std::string(kDefaultFile).size()), kDefaultFile);
  settings.Edges = EdgeMode::Coverage;
  program.Save(settings);
  const std::string coverage = ReadAll(program.settingsFile);
  EXPECT_NE(coverage.find("\r\n[edges]\r\nmode=coverage\r\n"), std::string::npos);
  // The other sections keep exactly their keys.
  EXPECT_EQ(coverage.substr(0, coverage.find("[edges]")), flat);
  ProgramSettings back;
  program.Load(back);
  EXPECT_EQ(back.Edges, EdgeMode::Coverage);
  // Any other text reads flat, as a missing key does.
  for (const char* text : {"Coverage", "smooth", ""}) {
    WriteAll(program.settingsFile, std::string("[edges]\r\nmode=") + text + "\r\n");
    ProgramSettings other;
    EXPECT_TRUE(program.Load(other).empty()) << text;
    EXPECT_EQ(other.Edges, EdgeMode::Flat) << text;
  }
}

TEST(ProgramSettingsTest, UnstorablePathIsWrittenEmpty) {
  Program program;
  ProgramSettings settings;
  program.Load(settings);
  settings.PictureFile = program.folder + "two\nlines.bmp";
  program.Save(settings);
  const IniFile file(program.settingsFile);
  EXPECT_EQ(file.Read("data", "picturefile"), "");
  EXPECT_EQ(file.Read("data", "workingdir"), program.folder);
}

TEST(ProgramSettingsTest, SettingsWriteFailureIsSilentLibraryFailureIsNot) {
  TempDir dir;
  WriteAll(dir.File("file"), "x");
  // the program's folder is a file, so its settings file cannot be written
  const std::string programPath = dir.File("file/quorvane");
  ProgramSettings settings;
  TPROPClass library(dir.File("p.ini"));
  EXPECT_NO_THROW(SaveSettings(programPath, settings, &library));
  EXPECT_EQ(ReadAll(dir.File("p.ini")), "[properties]\r\nn=0\r\n");

  TPROPClass unwritable(dir.File("file/p.ini"));
  EXPECT_THROW(SaveSettings(programPath, settings, &unwritable), Error);
  EXPECT_NO_THROW(SaveSettings(programPath, settings, nullptr));
}

}  // namespace
}  // namespace qv::test
