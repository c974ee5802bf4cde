// A session that keeps its picture as the file (the batch tool's way): the same lists, texts and
// report as a session holding the picture, whichever way the material list changes; the
// commands that need every pixel read the picture first; damaged pixels stop the listing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/session/session.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/png_writer.h"

namespace qv::test {
namespace {

const SectionSize kSize{400, 300, "400", "300"};

class SessionStreamingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (SectionSession* s : {&held, &streamed}) {
      s->SetLibrary(std::make_unique<TPROPClass>(
          LibraryOf({{"clRed", 210000, 7850, false}, {"clBlue", 11000, 500, false}})));
      ProgramSettings settings = s->Settings();
      settings.IgnoreDollarColours = false;
      s->ChangeSettings(settings);
    }
    streamed.SetPictureStreaming(true);
  }

  void OpenBoth(const std::string& path) {
    for (SectionSession* s : {&held, &streamed}) {
      ASSERT_TRUE(s->AcceptPicture(path));
      s->ColourInventory();
    }
  }

  // Runs `step` on both sessions, then compares everything the window and the tool show.
  template <typename Step>
  void Both(Step step) {
    step(held);
    step(streamed);
    EXPECT_EQ(streamed.FoundLabels(), held.FoundLabels());
    EXPECT_EQ(streamed.MaterialList(), held.MaterialList());
    EXPECT_EQ(streamed.WidthPixelsText(), held.WidthPixelsText());
    EXPECT_EQ(streamed.HeightPixelsText(), held.HeightPixelsText());
    EXPECT_EQ(streamed.ReportText(), held.ReportText());
    EXPECT_EQ(streamed.Centre().ea, held.Centre().ea);
    EXPECT_EQ(streamed.Centre().ncHor, held.Centre().ncHor);
    EXPECT_EQ(streamed.Stiffness().eiyy, held.Stiffness().eiyy);
    EXPECT_EQ(streamed.PictureWidth(), held.PictureWidth());
    EXPECT_EQ(streamed.PictureHeight(), held.PictureHeight());
  }

  TempDir dir;
  SectionSession held;
  SectionSession streamed;
};

PixelGrid Section() {
  return MakeGrid(420, 330, kWhite,
                  {{10, 10, 409, 49, kRed},
                   {190, 50, 229, 279, kBlue},
                   {10, 280, 409, 319, kRed},
                   {300, 100, 340, 120, kLime}});
}

TEST_F(SessionStreamingTest, ListsAndAnalysesAsTheSessionHoldingThePicture) {
  OpenBoth(dir.WritePicture("section.bmp", Section()));
  EXPECT_TRUE(streamed.Picture().Empty());
  ASSERT_TRUE(held.SmallPictureWarning().has_value());
  EXPECT_EQ(streamed.SmallPictureWarning(), held.SmallPictureWarning());
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clRed");
    s.AddColourToMaterialList("clBlue");
    ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done);
  });
  EXPECT_NE(held.ReportText().find("EIyy"), std::string::npos);
  // Again, after the picture counts as drawn over; then with a colour the library did not have
  // when the colours were listed, whose moments the listing could not gather.
  Both(
      [](SectionSession& s) { ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done); });
  Both([](SectionSession& s) {
    s.RemoveFromMaterialList("clBlue");
    s.AddColourToMaterialList("clLime");
    s.EditLibrary().FindByLabel("clLime")->prop.E = 70000;
    ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done);
  });
  EXPECT_TRUE(streamed.Picture().Empty());
}

TEST_F(SessionStreamingTest, CommandsThatNeedEveryPixelReadThePictureFirst) {
  OpenBoth(dir.WritePicture("section.bmp", Section()));
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clRed");
    s.AddColourToMaterialList("clBlue");
    s.HideColoursBut("clBlue");
    ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done);
  });
  EXPECT_EQ(streamed.Picture(), held.Picture());
  EXPECT_EQ(streamed.Moments().materials[0].count, 0);

  SectionSession drawn;
  drawn.SetPictureStreaming(true);
  ASSERT_TRUE(drawn.AcceptPicture(dir.File("section.bmp")));
  drawn.ColourInventory();
  drawn.DrawOnPicture([](PixelGrid& picture) { picture.FillRect(0, 0, 419, 0, kBlack); });
  ASSERT_EQ(drawn.Picture().Width(), 420);
  EXPECT_EQ(drawn.Picture().At(5, 0), kBlack);
  EXPECT_EQ(drawn.Picture().At(5, 10), kWhite);
  EXPECT_FALSE(drawn.PictureFresh());
}

// Lime is no library colour: told beforehand, the one read of the listing gathers it too, so
// the file is not read again (here it could not be: it is cut short after the listing).
TEST_F(SessionStreamingTest, ColoursNewToTheLibraryAreGatheredInTheOneRead) {
  const std::string path = dir.WritePicture("section.bmp", Section());
  streamed.GatherAlso({"clLime", "clRed"});
  OpenBoth(path);
  std::filesystem::resize_file(path, 100);
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clLime");
    s.AddColourToMaterialList("clRed");
    ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done);
  });
  EXPECT_EQ(streamed.Moments().materials.size(), 2u);

  SectionSession untold;
  untold.SetPictureStreaming(true);
  untold.SetLibrary(std::make_unique<TPROPClass>());
  WriteAll(path, ReadAll(dir.WritePicture("again.bmp", Section())));
  ASSERT_TRUE(untold.AcceptPicture(path));
  untold.ColourInventory();
  std::filesystem::resize_file(path, 100);
  untold.AddColourToMaterialList("clLime");
  EXPECT_THROW(untold.Analyse(kSize), Error);
}

TEST_F(SessionStreamingTest, TorsionReadsThePictureAndSolvesTheSameSection) {
  OpenBoth(dir.WritePicture("bar.bmp", MakeGrid(44, 24, kWhite, {{2, 2, 41, 21, kRed}})));
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clRed");
    ASSERT_EQ(s.Analyse(SectionSize{40, 20, "40", "20"}), SectionSession::AnalyseOutcome::Done);
    ASSERT_EQ(s.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  });
  ASSERT_TRUE(streamed.Elastic() && held.Elastic());
  EXPECT_EQ(streamed.Elastic()->GJ, held.Elastic()->GJ);
  EXPECT_EQ(streamed.Elastic()->ShearCentreHor, held.Elastic()->ShearCentreHor);
}

TEST_F(SessionStreamingTest, FindsASmoothedDrawingAsTheSessionHoldingThePicture) {
  OpenBoth(dir.WritePicture("diagonal.bmp", SmoothedDiagonal(300)));
  const EdgeSmoothing fromFile = streamed.PictureEdgeSmoothing();
  const EdgeSmoothing inMemory = held.PictureEdgeSmoothing();
  EXPECT_TRUE(streamed.Picture().Empty());
  ASSERT_EQ(inMemory.smoothed.size(), 2u);
  EXPECT_EQ(EdgeSmoothingNote(fromFile), EdgeSmoothingNote(inMemory));
  ASSERT_EQ(fromFile.smoothed.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fromFile.smoothed[i].edgePixels, inMemory.smoothed[i].edgePixels);
    EXPECT_EQ(fromFile.smoothed[i].touchingPixels, inMemory.smoothed[i].touchingPixels);
  }
}

// A PNG file is decoded once for the listing, the moments and the smoothing check's first pass:
// cut short after the listing, it still gives the analysis and a flat drawing's smoothing check;
// a smoothed drawing's second pass reads it again.
TEST_F(SessionStreamingTest, APngPictureIsDecodedOnceForListingAnalysisAndSmoothingCheck) {
  const std::string path = dir.File("section.png");
  WriteAll(path, EncodePng(Section()));
  streamed.CheckSmoothingAlong(true);
  streamed.GatherAlso({"clRed", "clBlue"});
  OpenBoth(path);
  EXPECT_TRUE(streamed.Picture().Empty());
  std::filesystem::resize_file(path, 100);
  const EdgeSmoothing flat = streamed.PictureEdgeSmoothing();
  EXPECT_TRUE(flat.smoothed.empty());
  EXPECT_EQ(flat.inBetweenColours, 0);
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clRed");
    s.AddColourToMaterialList("clBlue");
    ASSERT_EQ(s.Analyse(kSize), SectionSession::AnalyseOutcome::Done);
  });
  EXPECT_TRUE(streamed.Picture().Empty());

  const std::string smoothedPath = dir.File("diagonal.png");
  WriteAll(smoothedPath, EncodePng(SmoothedDiagonal(300)));
  OpenBoth(smoothedPath);
  const EdgeSmoothing fromFile = streamed.PictureEdgeSmoothing();
  const EdgeSmoothing inMemory = held.PictureEdgeSmoothing();
  ASSERT_EQ(inMemory.smoothed.size(), 2u);
  EXPECT_EQ(EdgeSmoothingNote(fromFile), EdgeSmoothingNote(inMemory));
  ASSERT_EQ(fromFile.smoothed.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fromFile.smoothed[i].edgePixels, inMemory.smoothed[i].edgePixels);
    EXPECT_EQ(fromFile.smoothed[i].touchingPixels, inMemory.smoothed[i].touchingPixels);
  }
  // The second pass needs the file: cut short, it is refused in the reader's words.
  OpenBoth(smoothedPath);
  std::filesystem::resize_file(smoothedPath, 100);
  EXPECT_THROW(streamed.PictureEdgeSmoothing(), Error);
}

// Read as coverage, the listing's one read of the file also gathers every colour's facts and
// moments: cut short after the listing, the file still gives the same analysis, and no picture
// is held.
TEST_F(SessionStreamingTest, EdgesReadAsCoverageComeFromTheListingsOneRead) {
  for (SectionSession* s : {&held, &streamed}) {
    ProgramSettings settings = s->Settings();
    settings.Edges = EdgeMode::Coverage;
    s->ChangeSettings(settings);
  }
  for (const std::string name : {"diagonal.bmp", "diagonal.png"}) {
    const std::string path = dir.File(name);
    WriteAll(path, name.ends_with(".png") ? EncodePng(SmoothedDiagonal(300))
                                          : EncodeBmp24(SmoothedDiagonal(300)));
    OpenBoth(path);
    std::filesystem::resize_file(path, 100);
    Both([](SectionSession& s) {
      s.AddColourToMaterialList("clRed");
      ASSERT_EQ(s.Analyse(SectionSize{300, 300, "300", "300"}),
                SectionSession::AnalyseOutcome::Done);
    });
    EXPECT_TRUE(streamed.Picture().Empty()) << name;
    const SectionMoments& a = streamed.Moments();
    const SectionMoments& b = held.Moments();
    ASSERT_EQ(a.unit, kCoverageUnit);
    EXPECT_EQ(a.touchedPixels, b.touchedPixels);
    ASSERT_EQ(a.materials.size(), 1u);
    EXPECT_EQ(a.materials[0].count, b.materials[0].count);
    EXPECT_TRUE(a.materials[0].sumXX == b.materials[0].sumXX &&
                a.materials[0].sumXY == b.materials[0].sumXY);
    for (SectionSession* s : {&held, &streamed}) s->RemoveFromMaterialList("clRed");
  }
}

TEST_F(SessionStreamingTest, DamagedPixelsStopTheListingWithTheReadersMessage) {
  // An 8-bit picture with one pixel beyond its palette: its header is sound, so only the
  // listing, which reads the pixels, finds the damage.
  std::vector<std::uint8_t> indices(40 * 30, 1);
  indices[20 * 40 + 7] = 9;
  BmpOptions options;
  options.bits = 8;
  const std::string path = dir.File("bad.bmp");
  WriteAll(path, EncodeIndexedBmp(40, 30, indices, {kWhite, kRed, kBlue}, options));
  const std::string message = "Cannot read picture " + path +
                              ": a pixel refers to palette entry 9, but the palette has 3 "
                              "entries";
  try {
    held.AcceptPicture(path);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), message);
  }
  ASSERT_TRUE(streamed.AcceptPicture(path));
  try {
    streamed.ColourInventory();
    FAIL() << "listed";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), message);
  }
  EXPECT_FALSE(streamed.InventoryDone());
  EXPECT_TRUE(streamed.FoundLabels().empty());
  EXPECT_FALSE(streamed.PictureFresh());
}

TEST_F(SessionStreamingTest, MillionsOfColoursAreListedFromThePictureReadWhole) {
  PixelGrid noise(1100, 1000);
  for (std::size_t i = 0; i < noise.Size(); ++i) noise.Data()[i] = static_cast<std::uint32_t>(i);
  noise.FillRect(0, 0, 9, 9, kRed);
  OpenBoth(dir.WritePicture("noise.bmp", noise));
  EXPECT_EQ(streamed.Found().Size(), held.Found().Size());
  EXPECT_EQ(streamed.FoundLabels(), held.FoundLabels());
  Both([](SectionSession& s) {
    s.AddColourToMaterialList("clRed");
    ASSERT_EQ(s.Analyse(SectionSize{10, 10, "10", "10"}), SectionSession::AnalyseOutcome::Done);
  });
}

}  // namespace
}  // namespace qv::test
