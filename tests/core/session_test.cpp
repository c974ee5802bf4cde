// The section session: picture acceptance, inventory reset, material list and analysis flows.
#include "core/session/session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/base/error.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session.SetLibrary(std::make_unique<TPROPClass>());
    ProgramSettings settings = session.Settings();
    settings.IgnoreDollarColours = false;
    session.ChangeSettings(settings);
  }
  void Open(const PixelGrid& grid) {
    ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("section.bmp", grid)));
    session.ColourInventory();
  }

  TempDir dir;
  SectionSession session;
};

TEST_F(SessionTest, AcceptingAPictureSetsFolderAndLists) {
  Open(MakeGrid(10, 20, kWhite, {{2, 3, 4, 5, kRed}}));
  EXPECT_EQ(session.Settings().WorkingDir, dir.Path() + "/");
  EXPECT_TRUE(session.PictureFresh());
  EXPECT_TRUE(session.InventoryDone());
  EXPECT_EQ(session.FoundLabels(), (std::vector<std::string>{"clWhite", "clRed"}));
  EXPECT_EQ(session.SmallPictureWarning(),
            "Bitmap size 10x20 is smaller than 400x400 pixels,\rcorrect screen output can not be "
            "guaranteed!");
  EXPECT_FALSE(session.AcceptPicture(dir.File("missing.bmp")));
}

TEST_F(SessionTest, FoundColourIdsGoOnFromTheLargest) {
  Open(MakeGrid(10, 20, kWhite, {{2, 3, 4, 5, kRed}, {6, 6, 7, 7, kBlue}}));
  EXPECT_EQ(session.Found().Size(), 3u);
  EXPECT_EQ(session.Found().Entry(2).id, 3);
  EXPECT_EQ(session.Found().AsContainer().MaxId(), 3);
}

TEST_F(SessionTest, APictureDrawnOverIsNeverAnalysedWhenItsFileIsGone) {
  Open(MakeGrid(10, 10, kWhite, {{2, 2, 6, 6, kRed}}));
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  // The window's frame drawn in the material's own colour, then the file vanishes.
  session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 9, 0, kRed); });
  std::filesystem::remove(session.PictureFile());
  try {
    session.Analyse(SectionSize{10, 10, "10", "10"});
    FAIL() << "analysed";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The picture file " + session.PictureFile() +
                                         " is no longer there, so the section cannot be analysed.");
  }
  EXPECT_TRUE(session.Report().empty());
  EXPECT_EQ(session.Result().RelevantPixels, 0);
}

TEST_F(SessionTest, BoundsGrowAndRebuildAsColoursComeAndGo) {
  // Red spans x 10..49, y 0..99; blue x 0..59, y 20..39 (drawn over red in part).
  PixelGrid g = MakeGrid(100, 100, kWhite, {{10, 0, 49, 99, kRed}, {0, 20, 59, 39, kBlue}});
  g.FillRect(10, 0, 49, 19, kRed);
  Open(g);
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  EXPECT_EQ(session.Bounds(), (SectionBounds{10, 0, 49, 99}));
  EXPECT_EQ(session.WidthPixelsText(), "40");
  EXPECT_EQ(session.HeightPixelsText(), "100");
  const TPROPRec* red = session.MaterialLibrary()->FindByLabel("clRed");
  ASSERT_NE(red, nullptr);
  EXPECT_TRUE(red->inUse);
  EXPECT_EQ(red->id, 1);
  EXPECT_EQ(red->prop.E, 1);
  EXPECT_TRUE(red->prop.name.empty());

  ASSERT_TRUE(session.AddColourToMaterialList("clBlue"));
  EXPECT_EQ(session.Bounds(), (SectionBounds{0, 0, 59, 99}));
  EXPECT_EQ(session.WidthPixelsText(), "60");
  EXPECT_FALSE(session.AddColourToMaterialList("clBlue"));  // already listed: nothing changes
  EXPECT_EQ(session.MaterialList().size(), 2u);

  ASSERT_TRUE(session.RemoveFromMaterialList("clBlue"));
  EXPECT_EQ(session.Bounds(), (SectionBounds{10, 0, 49, 99}));
  EXPECT_EQ(session.WidthPixelsText(), "40");
  EXPECT_FALSE(session.MaterialLibrary()->FindByLabel("clBlue")->inUse);  // kept, not in use
  ASSERT_TRUE(session.RemoveFromMaterialList("clRed"));
  EXPECT_TRUE(session.Bounds().Unset());
  EXPECT_FALSE(session.SectionSpansArea());
  EXPECT_EQ(session.MaterialLibrary()->Count(), 2);
}

TEST_F(SessionTest, KnownMaterialKeepsItsDataAndOnePixelSectionsHaveNoArea) {
  AddMaterial(session.EditLibrary(), {"clRed", 210000, 1, false, "steel"});
  Open(MakeGrid(30, 30, kWhite, {{5, 2, 5, 20, kRed}, {0, 0, 0, 0, kBlue}}));
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  EXPECT_EQ(session.MaterialLibrary()->Count(), 1);
  EXPECT_EQ(session.MaterialLibrary()->FindByLabel("clRed")->prop.E, 210000);
  EXPECT_FALSE(session.SectionSpansArea());                  // one pixel wide
  EXPECT_FALSE(session.AddColourToMaterialList("clGreen"));  // not in the picture
}

TEST_F(SessionTest, NewPictureResetsEverythingOfTheLastOne) {
  Open(MakeGrid(40, 40, kWhite, {{5, 5, 30, 30, kRed}}));
  session.AddColourToMaterialList("clRed");
  ASSERT_EQ(session.Analyse({100, 100, "100", "100"}), SectionSession::AnalyseOutcome::Done);
  EXPECT_NE(session.Result().EA, 0);
  const std::string ncText = session.Centre().ncHor;

  Open(MakeGrid(20, 20, kBlue));
  EXPECT_TRUE(session.MaterialList().empty());
  EXPECT_TRUE(session.Bounds().Unset());
  EXPECT_EQ(session.WidthPixelsText(), "0");
  const TPROPRec* red = session.MaterialLibrary()->FindByLabel("clRed");
  EXPECT_FALSE(red->inUse);
  EXPECT_EQ(red->prop.xmin, -1);
  EXPECT_EQ(session.Result().EA, 0);
  EXPECT_EQ(session.Result().EIyy, 0);
  EXPECT_EQ(session.Centre().ea, "0");
  EXPECT_EQ(session.Stiffness().hintEIyy, "0");
  EXPECT_EQ(session.Centre().ncHor, ncText);  // the centre texts keep theirs
  EXPECT_TRUE(session.Report().empty());      // nothing to save for the new picture
  EXPECT_EQ(session.FoundLabels(), (std::vector<std::string>{"clBlue"}));
  EXPECT_EQ(session.Found().Find("clBlue"), 0u);
}

TEST_F(SessionTest, AnalysingTwiceReloadsAndGivesTheSameReport) {
  Open(MakeGrid(50, 60, kWhite, {{10, 5, 29, 54, kRed}, {30, 5, 39, 14, kBlue}}));
  AddMaterial(session.EditLibrary(), {"clRed", 210000, 7850, false, "steel"});
  session.AddColourToMaterialList("clRed");
  session.AddColourToMaterialList("clBlue");
  const SectionSize size{300, 500, "300", "500"};
  ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  EXPECT_FALSE(session.PictureFresh());
  const std::string first = session.ReportText();
  // Draw over the picture in memory as the overlay would; the next analysis must not see it.
  session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 49, 59, kRed); });
  ASSERT_EQ(session.Analyse(size), SectionSession::AnalyseOutcome::Done);
  EXPECT_EQ(session.ReportText(), first);
  EXPECT_EQ(session.Result().RelevantPixels, 20 * 50 + 10 * 10);
  EXPECT_NE(first.find("QUORVANE RESULTS : section.bmp\r\n"), std::string::npos);
  EXPECT_NE(first.find("    width  = 30 equals to 300 mm\r\n"), std::string::npos);
  EXPECT_NE(first.find("steel\t\tclRed\t210000\t\t7850\r\n"), std::string::npos);
  EXPECT_NE(first.find("\t\tclBlue\t1\t\t1\r\n"), std::string::npos);
}

TEST_F(SessionTest, EmptyMaterialListComputesNothing) {
  Open(MakeGrid(20, 20, kWhite, {{1, 1, 5, 5, kRed}}));
  session.DrawOnPicture([](PixelGrid&) {});
  EXPECT_EQ(session.Analyse({10, 10, "10", "10"}),
            SectionSession::AnalyseOutcome::NoMaterialSelected);
  EXPECT_TRUE(session.PictureFresh());  // the picture was reloaded all the same
  EXPECT_TRUE(session.Report().empty());
}

TEST_F(SessionTest, WithoutLibraryTheReportHasTwoLinesAndBothPassesComplain) {
  Open(MakeGrid(20, 20, kWhite, {{1, 1, 5, 5, kRed}}));
  session.AddColourToMaterialList("clRed");
  session.SetLibrary(nullptr);
  std::vector<std::string> messages;
  ASSERT_EQ(session.Analyse({10, 10, "10", "10"}, {}, &messages),
            SectionSession::AnalyseOutcome::Done);
  EXPECT_EQ(messages, (std::vector<std::string>{"no material properties defined",
                                                "no material properties defined"}));
  EXPECT_EQ(session.ReportText(), "QUORVANE RESULTS : section.bmp\r\n\r\n");
  EXPECT_EQ(session.Result().EA, 0);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// Records the window steps of an inventory in order.
class RecordingView : public InventoryView {
 public:
  void SetBusy(bool busy) override { steps.push_back(busy ? "busy" : "idle"); }
  void InventoryStarted() override { steps.push_back("started"); }
  void ResultsReset() override { steps.push_back("reset"); }
  void Progress(std::int64_t done, std::int64_t total) override {
    if (steps.back() != "progress") steps.push_back("progress");
    lastDone = done;
    lastTotal = total;
  }
  void InventoryFinished() override { steps.push_back("finished"); }
  std::vector<std::string> steps;
  std::int64_t lastDone = 0, lastTotal = 0;
};

TEST_F(SessionTest, InventoryRunsTheWindowStepsInOrder) {
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("a.bmp", MakeGrid(30, 200, kWhite))));
  RecordingView view;
  session.ColourInventory(&view);
  EXPECT_EQ(view.steps,
            (std::vector<std::string>{"busy", "started", "reset", "progress", "finished", "idle"}));
  EXPECT_EQ(view.lastDone, 6000);
  EXPECT_EQ(view.lastTotal, 6000);
  SectionSession empty;  // no picture: nothing happens
  RecordingView none;
  empty.ColourInventory(&none);
  EXPECT_TRUE(none.steps.empty());
  EXPECT_FALSE(empty.InventoryDone());
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(SessionTest, ReloadsReuseThePictureMemoryAndStayExact) {
  const PixelGrid first = MakeGrid(64, 48, kWhite, {{3, 4, 20, 30, kRed}});
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("a.bmp", first)));
  session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 63, 47, kBlue); });
  ASSERT_TRUE(session.LoadPicture());
  EXPECT_EQ(session.Picture(), first);
  const std::uint32_t* memory = session.Picture().Data();
  ASSERT_TRUE(session.LoadPicture());  // the same memory is decoded into
  ASSERT_TRUE(session.LoadPicture());
  EXPECT_EQ(session.Picture().Data(), memory);
  EXPECT_EQ(session.Picture(), first);
  // A picture of another size is read into fresh memory, exactly as well.
  const PixelGrid other = MakeGrid(10, 10, kBlue, {{0, 0, 0, 9, kRed}});
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("b.bmp", other)));
  EXPECT_EQ(session.Picture(), other);
}

// A view that copies the pixels copies again exactly when they may differ from its copy.
TEST_F(SessionTest, PictureRevisionMovesWithThePixelsOnly) {
  Open(MakeGrid(20, 20, kWhite, {{2, 2, 9, 9, kRed}, {10, 2, 15, 9, kBlue}}));
  std::uint64_t seen = session.PictureRevision();
  const auto moved = [&] {
    const bool changed = session.PictureRevision() != seen;
    seen = session.PictureRevision();
    return changed;
  };
  // Reading an unchanged file again gives these very pixels; lists and analyses touch none.
  ASSERT_TRUE(session.LoadPicture());
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  session.Analyse(SectionSize{10, 10, "10", "10"});
  EXPECT_FALSE(moved());
  session.HideColoursBut("clRed");
  EXPECT_TRUE(moved());
  ASSERT_TRUE(session.LoadPicture());  // F3 brings the hidden colours back
  EXPECT_TRUE(moved());
  session.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 0, 0, kBlue); });
  EXPECT_TRUE(moved());
  ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("other.bmp", MakeGrid(8, 8, kBlue))));
  EXPECT_TRUE(moved());
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// "analyse" is offered only for sizes whose fields show the values they hold.
struct TypedSize {
  const char* comment;
  SectionSize size;
  bool offered;
};
void PrintTo(const TypedSize& c, std::ostream* os) { *os << c.comment; }

class SessionSizeTest : public SessionTest, public ::testing::WithParamInterface<TypedSize> {};

TEST_P(SessionSizeTest, OffersAnalysisOnlyForSizesTheFieldsShow) {
  Open(MakeGrid(20, 20, kWhite, {{2, 2, 9, 9, kRed}}));
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  EXPECT_EQ(session.AnalyseOffered(GetParam().size), GetParam().offered);
  EXPECT_EQ(session.ScaleText(GetParam().size).has_value(), GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(
    Session, SessionSizeTest,
    ::testing::Values(TypedSize{"as typed", {500, 650, "500", "650"}, true},
                      // the field's own forms: a leading blank, hexadecimal
                      TypedSize{"blank and hexadecimal", {500, 650, " 500", "$28A"}, true},
                      // a syntax error keeps the last value that read; it must not be analysed
                      TypedSize{"12a holding 12", {12, 650, "12a", "650"}, false},
                      TypedSize{"emptied", {12, 650, "", "650"}, false},
                      TypedSize{"beyond the range", {100001, 650, "100001", "650"}, false},
                      TypedSize{"pasted without a key release", {12, 650, "13", "650"}, false}),
    RowName);

// Results leave with the section they describe; what only names or shows them keeps them.
struct SectionChange {
  const char* comment;
  void (*change)(SectionSession& session);
  bool resultsStand;
};
void PrintTo(const SectionChange& c, std::ostream* os) { *os << c.comment; }

class SessionResultsTest : public SessionTest,
                           public ::testing::WithParamInterface<SectionChange> {};

TEST_P(SessionResultsTest, StayOnlyWhileTheyDescribeTheSection) {
  Open(MakeGrid(20, 20, kWhite, {{2, 2, 9, 9, kRed}, {10, 2, 15, 9, kBlue}}));
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  ASSERT_EQ(session.Analyse({20, 20, "20", "20"}), SectionSession::AnalyseOutcome::Done);
  const std::string report = session.ReportText();
  GetParam().change(session);
  session.DropStaleResults();
  const bool stands = GetParam().resultsStand;
  EXPECT_EQ(session.HasResults(), stands);
  EXPECT_EQ(session.ReportText(), stands ? report : "");
  EXPECT_EQ(session.Centre().ea == "0", !stands);
}

void Edges(SectionSession& s) {
  ProgramSettings settings = s.Settings();
  settings.Edges = EdgeMode::Coverage;
  s.ChangeSettings(settings);
}
TPROPRec& Red(SectionSession& s) { return *s.EditLibrary().FindByLabel("clRed"); }

INSTANTIATE_TEST_SUITE_P(
    Session, SessionResultsTest,
    ::testing::Values(
        SectionChange{"a colour added",
                      [](SectionSession& s) { s.AddColourToMaterialList("clBlue"); }, false},
        SectionChange{"a colour taken off",
                      [](SectionSession& s) { s.RemoveFromMaterialList("clRed"); }, false},
        SectionChange{"edges read as coverage", Edges, false},
        // the material dialogs edit the library in place
        SectionChange{"E edited", [](SectionSession& s) { Red(s).prop.E = 2; }, false},
        SectionChange{"rho edited", [](SectionSession& s) { Red(s).prop.rho = 2; }, false},
        SectionChange{"name edited", [](SectionSession& s) { Red(s).prop.name = "steel"; }, true},
        SectionChange{"colours hidden", [](SectionSession& s) { s.HideColoursBut("clRed"); },
                      true}),
    RowName);

}  // namespace
}  // namespace qv::test
