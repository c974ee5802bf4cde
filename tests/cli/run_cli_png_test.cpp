// The batch tool on PNG pictures: the same section saved as BMP and as PNG in every colour type
// gives byte-identical colour listings, reports and JSON; smoothed drawings get one note.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/bmp_writer.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"
#include "support/png_writer.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

struct PngCase {
  const char* label;
  PngOptions options;
  // Background and the two materials, colours the format holds, with their labels.
  std::uint32_t background, flange, web;
  const char* flangeLabel;
  const char* webLabel;
};
void PrintTo(const PngCase& c, std::ostream* os) { *os << c.label; }

PngOptions Png(PngColour colour, int depth, bool interlaced = false,
               std::optional<std::uint32_t> transparent = std::nullopt) {
  PngOptions o;
  o.colour = colour;
  o.depth = depth;
  o.interlaced = interlaced;
  o.transparent = transparent;
  return o;
}

// An I-section: two flanges and a web in a picture with a margin; the flange is wider than
// the web so that the two stiffnesses differ.
PixelGrid Beam(const PngCase& c) {
  return MakeGrid(61, 47, c.background,
                  {{8, 4, 52, 9, c.flange}, {27, 10, 33, 36, c.web}, {8, 37, 52, 42, c.flange}});
}

class PngCliTest : public testing::TestWithParam<PngCase> {};

TEST_P(PngCliTest, SameSectionAsBmpAndPngGivesIdenticalListingsAndAnalyses) {
  const PngCase& c = GetParam();
  TempDir dir;
  std::filesystem::create_directory(dir.File("bmp"));
  std::filesystem::create_directory(dir.File("png"));
  // The same file name in both folders: the report carries it.
  const std::string bmp = dir.File("bmp/section"), png = dir.File("png/section");
  PixelGrid drawn = Beam(c);
  WriteAll(png, EncodePng(drawn, c.options));
  if (c.options.transparent) {  // a transparent background reads as white
    for (std::size_t i = 0; i < drawn.Size(); ++i) {
      if (drawn.Data()[i] == *c.options.transparent) drawn.Data()[i] = kWhite;
    }
  }
  WriteAll(bmp, EncodeBmp24(drawn));

  std::vector<std::string> analyse = {
      "analyse",    "{}",
      "--width",    "450",
      "--height",   "430",
      "--use",      c.flangeLabel,
      "--material", std::string(c.flangeLabel) + "@steel@210000@7850"};
  if (std::string(c.webLabel) != c.flangeLabel) {
    for (const std::string& more :
         {std::string("--use"), std::string(c.webLabel), std::string("--material"),
          std::string(c.webLabel) + "@timber@11000@420"}) {
      analyse.push_back(more);
    }
  }
  std::vector<std::string> json = analyse;
  json.push_back("--json");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"colours", "{}", "--all"}, analyse, json}) {
    std::vector<std::string> forBmp = args, forPng = args;
    forBmp[1] = bmp;
    forPng[1] = png;
    const CliRun fromBmp = RunTool(forBmp), fromPng = RunTool(forPng);
    ASSERT_EQ(fromBmp.code, 0) << args[0] << ": " << fromBmp.err;
    EXPECT_EQ(fromPng.code, 0) << args[0] << ": " << fromPng.err;
    EXPECT_EQ(fromPng.out, fromBmp.out) << args[0];
    EXPECT_EQ(fromPng.err, "") << args[0];
  }
}

constexpr std::uint32_t kGray = 0x00808080, kSilver = 0x00C0C0C0, kDark = 0x00555555,
                        kLight = 0x00AAAAAA, kGrey136 = 0x00888888, kNavy = 0x00800000;

INSTANTIATE_TEST_SUITE_P(
    Formats, PngCliTest,
    testing::Values(
        PngCase{"palette1", Png(PngColour::kPalette, 1), kWhite, kRed, kRed, "clRed", "clRed"},
        PngCase{"palette2", Png(PngColour::kPalette, 2), kWhite, kRed, kBlue, "clRed", "clBlue"},
        PngCase{"palette4", Png(PngColour::kPalette, 4), kWhite, kRed, kNavy, "clRed", "clNavy"},
        PngCase{"palette8", Png(PngColour::kPalette, 8), kWhite, kRed, kNavy, "clRed", "clNavy"},
        PngCase{"palette8Adam7", Png(PngColour::kPalette, 8, true), kWhite, kRed, kNavy, "clRed",
                "clNavy"},
        // grey levels each depth holds: 1 bit black and white, 2 bits steps of 85, 4 of 17
        PngCase{"grey1", Png(PngColour::kGrey, 1), kWhite, kBlack, kBlack, "clBlack", "clBlack"},
        PngCase{"grey2", Png(PngColour::kGrey, 2), kWhite, kDark, kLight, "$00555555", "$00AAAAAA"},
        PngCase{"grey4", Png(PngColour::kGrey, 4), kWhite, kBlack, kGrey136, "clBlack",
                "$00888888"},
        PngCase{"grey4Adam7", Png(PngColour::kGrey, 4, true), kWhite, kBlack, kGrey136, "clBlack",
                "$00888888"},
        PngCase{"grey8", Png(PngColour::kGrey, 8), kWhite, kGray, kSilver, "clGray", "clSilver"},
        PngCase{"grey16", Png(PngColour::kGrey, 16), kWhite, kGray, kSilver, "clGray", "clSilver"},
        PngCase{"greyKey8", Png(PngColour::kGrey, 8, false, kBlack), kBlack, kGray, kSilver,
                "clGray", "clSilver"},
        PngCase{"greyAlpha8", Png(PngColour::kGreyAlpha, 8, false, kBlack), kBlack, kGray, kSilver,
                "clGray", "clSilver"},
        PngCase{"greyAlpha16", Png(PngColour::kGreyAlpha, 16, true, kBlack), kBlack, kGray, kSilver,
                "clGray", "clSilver"},
        PngCase{"rgb8", Png(PngColour::kRgb, 8), kWhite, kRed, kNavy, "clRed", "clNavy"},
        PngCase{"rgb8Adam7", Png(PngColour::kRgb, 8, true), kWhite, kRed, kNavy, "clRed", "clNavy"},
        PngCase{"rgb16", Png(PngColour::kRgb, 16), kWhite, kRed, kNavy, "clRed", "clNavy"},
        PngCase{"rgbKey16", Png(PngColour::kRgb, 16, false, kLime), kLime, kRed, kNavy, "clRed",
                "clNavy"},
        // transparent backgrounds, as paint programs save them
        PngCase{"rgba8", Png(PngColour::kRgba, 8, false, kBlack), kBlack, kRed, kNavy, "clRed",
                "clNavy"},
        PngCase{"rgba16", Png(PngColour::kRgba, 16, false, kBlack), kBlack, kRed, kNavy, "clRed",
                "clNavy"},
        PngCase{"rgba16Adam7", Png(PngColour::kRgba, 16, true, kBlack), kBlack, kRed, kNavy,
                "clRed", "clNavy"},
        PngCase{"palette8Transparent", Png(PngColour::kPalette, 8, false, kBlack), kBlack, kRed,
                kNavy, "clRed", "clNavy"}),
    RowName);

TEST(PngCliNoteTest, ColoursNotesASmoothedDrawingOnceOnStandardError) {
  TempDir dir;
  const std::string smoothed = dir.File("smoothed.png");
  WriteAll(smoothed, EncodePng(SmoothedDiagonal(40)));
  const CliRun run = RunTool({"colours", smoothed});
  EXPECT_EQ(run.code, 0);
  // Found column by column: red at x 0 below the first blend, white from x 1; the blends have
  // no names and are listed only with --all.
  EXPECT_EQ(run.out, "clRed\t0\t38\t1\t39\nclWhite\t1\t39\t0\t38\n");
  EXPECT_EQ(run.err,
            "quorvane-cli: note: the picture looks smoothed (anti-aliased): 3 colours with 40 "
            "pixels lie only along the edges of clRed and clWhite and belong to no material; "
            "save the drawing without smoothing (see \"Drawing a section\" in the manual)\n");
  // The same drawing as a BMP file, which the tool reads a few rows at a time.
  const CliRun fromBmp =
      RunTool({"colours", dir.WritePicture("smoothed.bmp", SmoothedDiagonal(40))});
  EXPECT_EQ(fromBmp.code, 0);
  EXPECT_EQ(fromBmp.out, run.out);
  EXPECT_EQ(fromBmp.err, run.err);

  // A drawing in flat colours, and the analysis of the smoothed one, go without a note.
  const std::string flat = dir.File("flat.png");
  WriteAll(flat, EncodePng(MakeGrid(40, 40, kWhite, {{5, 5, 20, 30, kRed}})));
  EXPECT_EQ(RunTool({"colours", flat}).err, "");
  const CliRun analysis = RunTool({"analyse", smoothed, "--width", "40", "--height", "40", "--use",
                                   "clRed", "--material", "clRed@steel@210000@7850"});
  EXPECT_EQ(analysis.code, 0);
  EXPECT_EQ(analysis.err, "");
}

TEST(PngCliNoteTest, DamagedPngFailsWithTheReadersReason) {
  TempDir dir;
  const std::string png = EncodePng(MakeGrid(40, 40, kWhite, {{5, 5, 20, 30, kRed}}));
  const std::string path = dir.File("cut.png");
  WriteAll(path, png.substr(0, png.size() - 12));
  const CliRun run = RunTool({"colours", path});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "quorvane-cli: Cannot read picture " + path +
                         ": the file ends before its end chunk (IEND)\n");
}

}  // namespace
}  // namespace qv::test
