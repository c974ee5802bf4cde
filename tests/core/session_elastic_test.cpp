// The session's torsion flow: the solve of the last analysis on the file's own pixels, its
// refusals, cancellation, and the Poisson's ratios beside the library in the library file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>

#include "core/base/error.h"
#include "core/elastic/section_solver.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"

namespace qv::test {
namespace {

// A red 40 x 20 pixel plate and a blue 10 x 20 one beside it, on white.
PixelGrid TwoPlates() {
  return MakeGrid(60, 30, kWhite, {{5, 5, 44, 24, kRed}, {45, 5, 54, 24, kBlue}});
}

class SessionElasticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf(
        {{"clRed", 210000, 7850, false, "steel"}, {"clBlue", 70000, 2700, false, "aluminium"}})));
  }
  void Open(const PixelGrid& grid, std::initializer_list<const char*> labels) {
    path = dir.WritePicture("section.bmp", grid);
    ASSERT_TRUE(session.AcceptPicture(path));
    session.ColourInventory();
    for (const char* label : labels) ASSERT_TRUE(session.AddColourToMaterialList(label));
  }
  void Analyse() {
    ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
    // The window draws its overlay now; the solve must not see it.
    session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 59, 29, kRed); });
  }
  // The same solve straight on the file's pixels.
  ElasticResult Direct(const PixelGrid& grid) const {
    const std::optional<ElasticResult> r =
        ComputeElasticSection(grid, session.Bounds(), *session.MaterialLibrary(), session.Poisson(),
                              size.widthMm, size.heightMm, session.Result());
    EXPECT_TRUE(r);
    return *r;
  }
  std::string ComputeError() {
    try {
      session.ComputeElastic();
    } catch (const Error& e) {
      return e.what();
    }
    return "no error";
  }

  TempDir dir;
  SectionSession session;
  std::string path;
  const SectionSize size{100, 40, "100", "40"};
};

TEST_F(SessionElasticTest, SolvesTheLastAnalysisOnTheFilesOwnPixels) {
  const PixelGrid grid = TwoPlates();
  Open(grid, {"clRed", "clBlue"});
  EXPECT_FALSE(session.ElasticOffered());
  EXPECT_EQ(ComputeError(), "No analysis yet: analyse the section first.");
  Analyse();
  ASSERT_TRUE(session.ElasticOffered());
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  EXPECT_TRUE(session.PictureFresh());  // read again: the overlay is gone
  EXPECT_EQ(session.Picture(), grid);
  ASSERT_TRUE(session.Elastic());
  const ElasticResult direct = Direct(grid);
  EXPECT_EQ(session.Elastic()->GJ, direct.GJ);
  EXPECT_EQ(session.Elastic()->ShearCentreHor, direct.ShearCentreHor);
  ASSERT_EQ(session.Elastic()->materials.size(), 2u);
  EXPECT_EQ(session.Elastic()->materials[0].pixels, 40 * 20);
  EXPECT_EQ(session.Elastic()->materials[1].pixels, 10 * 20);
  // Each new analysis starts without them.
  Analyse();
  EXPECT_FALSE(session.Elastic());
  EXPECT_TRUE(session.ElasticOffered());
}

TEST_F(SessionElasticTest, PixelsFromMemoryGiveWhatTheirFileGivesWithoutReadingIt) {
  const PixelGrid grid = TwoPlates();
  Open(grid, {"clRed", "clBlue"});
  Analyse();
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);

  // Under the file's own name, which no file of that name backs any longer.
  SectionSession memory;
  memory.SetLibrary(std::make_unique<TPROPClass>(*session.MaterialLibrary()));
  const auto pixels = std::make_shared<const PixelGrid>(grid);
  memory.AcceptPixels(pixels, path);
  EXPECT_EQ(memory.Picture().Row(0), pixels->Row(0)) << "shared, not copied, until drawn on";
  std::filesystem::remove(path);
  memory.ColourInventory();
  EXPECT_EQ(memory.FoundLabels(), session.FoundLabels());
  for (const char* label : {"clRed", "clBlue"}) ASSERT_TRUE(memory.AddColourToMaterialList(label));
  for (int run = 0; run < 2; ++run) {
    // Drawn over before the solve and the second analysis: undone from the pixels in memory.
    ASSERT_EQ(memory.Analyse(size), SectionSession::AnalyseOutcome::Done);
    memory.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 59, 29, kRed); });
    ASSERT_EQ(memory.ComputeElastic(), SectionSession::ElasticOutcome::Done);
    EXPECT_EQ(memory.Report(), session.Report());
    EXPECT_EQ(memory.Picture(), grid);
    EXPECT_EQ(memory.Elastic()->GJ, session.Elastic()->GJ);
    EXPECT_EQ(memory.Elastic()->ShearCentreVer, session.Elastic()->ShearCentreVer);
    memory.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 9, 9, kBlue); });
  }
  EXPECT_EQ(*pixels, grid);
}

TEST_F(SessionElasticTest, AnalysisOfHiddenColoursIsSolvedHiddenToo) {
  // Analysed with everything but red hidden (F2): the blue plate counted for nothing there, so
  // it must count for nothing in the solve, although reading the file brings it back.
  const PixelGrid grid = TwoPlates();
  Open(grid, {"clRed", "clBlue"});
  session.HideColoursBut("clRed");
  Analyse();
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  EXPECT_EQ(session.Elastic()->materials[1].pixels, 0);
  PixelGrid redOnly = grid;
  redOnly.FillRect(45, 5, 54, 24, kWhite);
  EXPECT_EQ(session.Elastic()->GJ, Direct(redOnly).GJ);
}

TEST_F(SessionElasticTest, RefusesASectionChangedSinceTheAnalysis) {
  const std::string changed =
      "The section or its materials changed since the last analysis: analyse again.";
  Open(TwoPlates(), {"clRed", "clBlue"});
  Analyse();
  // A material's E edited in the library.
  session.EditLibrary().FindByLabel("clBlue")->prop.E = 1;
  EXPECT_EQ(ComputeError(), changed);
  session.EditLibrary().FindByLabel("clBlue")->prop.E = 70000;
  // A colour taken off the list ends the analysis, whose results leave with it; put back, the
  // section is analysed again.
  ASSERT_TRUE(session.RemoveFromMaterialList("clBlue"));
  EXPECT_EQ(ComputeError(), "No analysis yet: analyse the section first.");
  ASSERT_TRUE(session.AddColourToMaterialList("clBlue"));
  EXPECT_FALSE(session.ElasticOffered());
  Analyse();
  EXPECT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  // The file itself replaced by another drawing after the analysis.
  session.DrawOnPicture([](PixelGrid&) {});
  PixelGrid other = TwoPlates();
  other.FillRect(5, 5, 10, 10, kWhite);
  dir.WritePicture("section.bmp", other);
  std::filesystem::last_write_time(
      path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
  EXPECT_EQ(ComputeError(),
            "The picture file " + path + " changed since the last analysis: analyse again.");
  EXPECT_FALSE(session.Elastic());
  // A new picture resets the analysis.
  Open(TwoPlates(), {});
  EXPECT_FALSE(session.ElasticOffered());
}

TEST_F(SessionElasticTest, CancelLeavesNoValues) {
  Open(TwoPlates(), {"clRed", "clBlue"});
  Analyse();
  std::atomic<bool> cancel{false};
  int calls = 0;
  const auto outcome = session.ComputeElastic(
      [&](std::int64_t, std::int64_t) {
        ++calls;
        cancel = true;
      },
      &cancel);
  EXPECT_EQ(outcome, SectionSession::ElasticOutcome::Cancelled);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(session.Elastic());
  EXPECT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
}

TEST_F(SessionElasticTest, AChangedRatioDropsTheValuesAndABadOneChangesNothing) {
  Open(TwoPlates(), {"clRed", "clBlue"});
  Analyse();
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  const double gj = session.Elastic()->GJ;
  session.SetPoissonRatio("clRed", 0.3);  // the default, so nothing changed
  EXPECT_TRUE(session.Elastic());
  EXPECT_THROW(session.SetPoissonRatio("clRed", 0.5), Error);
  EXPECT_TRUE(session.Elastic());
  EXPECT_EQ(session.Poisson().Get("clRed"), 0.3);
  session.SetPoissonRatio("clBlue", 0);
  EXPECT_FALSE(session.Elastic());
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  EXPECT_EQ(session.Elastic()->materials[1].G, 35000);
  EXPECT_GT(session.Elastic()->GJ, gj);  // a stiffer aluminium in shear
}

// --- the ratios in the library file ----------------------------------------------------------

class SessionPoissonFileTest : public ::testing::Test {
 protected:
  std::string Program() const { return dir.File("quorvane"); }
  std::string Library() const { return dir.File("properties.ini"); }

  TempDir dir;
};

const std::string kMaterialLines =
    "[properties]\r\nn=2\r\n1=1@clRed@steel@210000@7850\r\n2=2@clBlue@aluminium@70000@2700\r\n";

TEST_F(SessionPoissonFileTest, RatiosAreReadWithTheLibraryAndSavedBesideIt) {
  WriteAll(Library(), kMaterialLines + "[poisson]\r\nclRed=0.25\r\n[notes]\r\nkept=yes\r\n");
  SectionSession session;
  EXPECT_TRUE(session.LoadSettings(Program()).empty());
  EXPECT_EQ(session.Poisson().Get("clRed"), 0.25);
  EXPECT_EQ(session.Poisson().Get("clBlue"), 0.3);
  session.SetPoissonRatio("clBlue", 0.33);
  session.SaveSettings();
  // The material lines exactly as the library writes them (its save puts its section at the
  // end of the file), the ratios after them, the other sections kept.
  EXPECT_EQ(ReadAll(Library()), "[notes]\r\nkept=yes\r\n" + kMaterialLines +
                                    "[poisson]\r\nclRed=0.25\r\nclBlue=0.33\r\n");
  SectionSession again;
  EXPECT_TRUE(again.LoadSettings(Program()).empty());
  EXPECT_EQ(again.Poisson().Get("clBlue"), 0.33);
}

TEST_F(SessionPoissonFileTest, AFileWithoutRatiosGainsNoSectionUntilOneIsSet) {
  WriteAll(Library(), kMaterialLines);
  {
    SectionSession session;
    EXPECT_TRUE(session.LoadSettings(Program()).empty());
    session.SaveSettings();
  }
  EXPECT_EQ(ReadAll(Library()), kMaterialLines);
}

TEST_F(SessionPoissonFileTest, UnreadableRatiosAreReportedAndKeptFromTheSave) {
  WriteAll(Library(), kMaterialLines + "[poisson]\r\nclRed=0.7\r\n");
  SectionSession session;
  const std::vector<std::string> messages = session.LoadSettings(Program());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "The Poisson's ratio of clRed must be at least 0 and below 0.5, not "
            "0.7. (" +
                Library() + ")");
  EXPECT_EQ(session.Poisson().Get("clRed"), 0.3);
  session.SetPoissonRatio("clBlue", 0.2);
  session.EditLibrary().FindByLabel("clBlue")->prop.name = "alloy";
  session.SaveSettings();
  // The library is saved; what the user wrote in [poisson] stays for them to correct.
  EXPECT_EQ(ReadAll(Library()),
            "[poisson]\r\nclRed=0.7\r\n[properties]\r\nn=2\r\n"
            "1=1@clRed@steel@210000@7850\r\n2=2@clBlue@alloy@70000@2700\r\n");
}

TEST_F(SessionPoissonFileTest, ALibraryThatDidNotLoadKeepsItsRatiosToo) {
  const std::string file =
      "[properties]\r\nn=1\r\n1=1@clRed@steel@2l0000@7850\r\n[poisson]\r\nclRed=0.25\r\n";
  WriteAll(Library(), file);
  SectionSession session;
  EXPECT_EQ(session.LoadSettings(Program()).size(), 1u);
  EXPECT_EQ(session.Poisson().Get("clRed"), 0.25);  // still used in this run
  session.SetPoissonRatio("clRed", 0.1);
  session.SaveSettings();
  EXPECT_EQ(ReadAll(Library()), file);
}

}  // namespace
}  // namespace qv::test
