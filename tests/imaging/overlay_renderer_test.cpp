// Tests of the QPainter rendering of overlays and of the picture conversions and output.
#include "imaging/overlay_renderer.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "core/base/error.h"
#include "imaging/overlay_layer.h"
#include "imaging/picture_image.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

// Labels need the font database of a QGuiApplication; one for the whole binary.
class GuiApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance() == nullptr) mApp = new QGuiApplication(mArgc, mArgv);
  }
  void TearDown() override {
    delete mApp;
    mApp = nullptr;
  }

 private:
  int mArgc = 1;
  char mName[24] = "qv_imaging_tests";
  char* mArgv[2] = {mName, nullptr};
  QGuiApplication* mApp = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

std::set<std::uint32_t> Colours(const PixelGrid& grid) {
  return {grid.Data(), grid.Data() + grid.Size()};
}

struct Extent {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
  bool Empty() const { return x0 > x1; }
};

// The rectangle of all pixels that differ from `background`.
Extent Changed(const PixelGrid& grid, std::uint32_t background) {
  Extent e;
  for (int y = 0; y < grid.Height(); ++y)
    for (int x = 0; x < grid.Width(); ++x)
      if (grid.At(x, y) != background) {
        e.x0 = std::min(e.x0, x);
        e.y0 = std::min(e.y0, y);
        e.x1 = std::max(e.x1, x);
        e.y1 = std::max(e.y1, y);
      }
  return e;
}

class OverlayRendererPenTest : public ::testing::TestWithParam<int> {};

TEST_P(OverlayRendererPenTest, HorizontalLineHasPenWidthRowsInExactColourOnly) {
  const int pen = GetParam();
  PixelGrid grid(60, 30, kWhite);
  RenderOverlay({PolylineOp{{{10, 15}, {50, 15}}, kRed, pen}}, grid);
  EXPECT_EQ(Colours(grid), (std::set<std::uint32_t>{kWhite, kRed}));
  int rows = 0;
  int first = -1;
  for (int y = 0; y < grid.Height(); ++y) {
    if (grid.At(30, y) != kRed) continue;
    if (first < 0) first = y;
    EXPECT_EQ(y, first + rows) << "rows are contiguous";
    ++rows;
  }
  EXPECT_EQ(rows, pen);
  EXPECT_LE(first, 15);
  EXPECT_GE(first + rows - 1, 14);  // the band runs along row 15
  // Nothing beyond the ends but the round cap.
  EXPECT_EQ(grid.At(5, 15), kWhite);
  EXPECT_EQ(grid.At(55, 15), kWhite);
}

INSTANTIATE_TEST_SUITE_P(, OverlayRendererPenTest, ::testing::Values(2, 3, 4), RowName);

TEST(OverlayRendererTest, NegativePointsPaintNothing) {
  OverlayInput in;
  in.Width = 50;
  in.Height = 50;
  OverlayDrawing drawing(in);
  drawing.DrawLine({-1, 10}, {40, 10}, kRed);
  drawing.DrawArrow({25, 25}, {-5, 25}, kRed);
  drawing.DrawArrow({25, 25}, {25, -5}, kRed);
  PixelGrid grid(50, 50, kWhite);
  RenderOverlay(drawing.Ops(), grid);
  EXPECT_EQ(grid, PixelGrid(50, 50, kWhite));
}

TEST(OverlayRendererTest, CircleMarkerIsAnUnfilledRingAroundItsCentre) {
  PixelGrid grid(40, 40, kWhite);
  RenderOverlay({EllipseOp{{15, 15}, {25, 25}, kBlue, 2}}, grid);
  EXPECT_EQ(Colours(grid), (std::set<std::uint32_t>{kWhite, kBlue}));
  EXPECT_EQ(grid.At(20, 20), kWhite) << "not filled";
  const Extent e = Changed(grid, kWhite);
  EXPECT_GE(e.x0, 13);
  EXPECT_LE(e.x1, 27);
  EXPECT_GE(e.y0, 13);
  EXPECT_LE(e.y1, 27);
  EXPECT_NE(grid.At(15, 20), kWhite);
  EXPECT_NE(grid.At(20, 15), kWhite);
}

TEST(OverlayRendererTest, LabelChangesPixelsBelowAndRightOfItsPositionOnly) {
  PixelGrid grid(300, 120, kWhite);
  const LabelOp label{{40, 30}, "MC", kBlack, GraphicsFont{"Arial", 14, 0}, 96};
  RenderOverlay({label}, grid);
  EXPECT_EQ(Colours(grid), (std::set<std::uint32_t>{kWhite, kBlack})) << "no anti-aliasing";
  const Extent e = Changed(grid, kWhite);
  ASSERT_FALSE(e.Empty());
  const int pixelSize = LabelPixelSize(14, 96);
  EXPECT_GE(e.x0, 38);  // a glyph may start a pixel left of its cell
  EXPECT_GE(e.y0, 30);  // the cell's top is the position
  EXPECT_LE(e.y1, 30 + 2 * pixelSize);
  EXPECT_LE(e.x1, 40 + 4 * pixelSize);
}

TEST(OverlayRendererTest, LabelAtEnlargedResolutionIsPaintedLarger) {
  const GraphicsFont font{"Arial", 10, kFontBold};
  PixelGrid small(400, 200, kWhite);
  PixelGrid large(400, 200, kWhite);
  RenderOverlay({LabelOp{{0, 0}, "MC", kBlack, font, 96}}, small);
  RenderOverlay({LabelOp{{0, 0}, "MC", kBlack, font, 480}}, large);
  const Extent s = Changed(small, kWhite);
  const Extent l = Changed(large, kWhite);
  ASSERT_FALSE(s.Empty());
  ASSERT_FALSE(l.Empty());
  EXPECT_GE(l.y1 - l.y0 + 1, 4 * (s.y1 - s.y0 + 1));
}

TEST(OverlayRendererTest, LabelsAreCutOffAtThePictureEdge) {
  PixelGrid grid(30, 30, kWhite);
  RenderOverlay({LabelOp{{-12, 20}, "MC", kBlack, GraphicsFont{}, 96},
                 LabelOp{{INT_MIN, INT_MAX}, "far", kBlack, GraphicsFont{}, 96},
                 LabelOp{{INT_MAX, 0}, "far", kBlack, GraphicsFont{}, 96}},
                grid);
  const Extent e = Changed(grid, kWhite);
  ASSERT_FALSE(e.Empty());
  EXPECT_EQ(e.x0, 0);
  EXPECT_GE(e.y0, 20);
}

TEST(OverlayRendererTest, FarEndsAreClippedNotWrapped) {
  PixelGrid grid(50, 40, kWhite);
  RenderOverlay({PolylineOp{{{10, 20}, {INT_MAX, 20}}, kRed, 2},
                 PolylineOp{{{INT_MAX, INT_MAX}, {INT_MAX - 1, INT_MAX}}, kBlue, 2}},
                grid);
  EXPECT_EQ(Colours(grid), (std::set<std::uint32_t>{kWhite, kRed}));
  for (int x = 11; x < 50; ++x) EXPECT_EQ(grid.At(x, 20), kRed) << x;
  const Extent e = Changed(grid, kWhite);
  EXPECT_GE(e.x0, 8);
  EXPECT_GE(e.y0, 18);
  EXPECT_LE(e.y1, 21);
}

TEST(OverlayRendererTest, GridAndImageRenderingAgreeOnTheWholeOverlay) {
  OverlayInput in;
  in.Width = 400;
  in.Height = 400;
  in.Bounds = {100, 50, 299, 349};
  in.NC = {200, 200};
  in.MC = {200, 210};
  in.Alpha = 0.3;
  in.AxesColour = 0x00FF0000;
  in.MassCentreColour = 0x0000FF00;
  in.PrincipalAxesColour = 0x000000FF;
  const OverlayOps ops = DrawResultOverlay(in);

  PixelGrid grid(400, 400, 0x00C0C0C0);
  RenderOverlay(ops, grid);
  QImage image = ToQImage(PixelGrid(400, 400, 0x00C0C0C0));
  RenderOverlay(ops, image);
  EXPECT_EQ(grid, FromQImage(image));

  for (std::uint32_t c : Colours(grid)) EXPECT_EQ(c & 0xFF000000u, 0u) << std::hex << c;
  EXPECT_EQ(grid.At(150, 200), 0x00FF0000u) << "y-axis shaft";
  EXPECT_EQ(grid.At(200, 300), 0x00FF0000u) << "z-axis shaft";
  EXPECT_EQ(grid.At(130, 221), 0x000000FFu) << "first principal axis";
  EXPECT_EQ(grid.At(10, 390), 0x00C0C0C0u);
}

TEST(OverlayRendererTest, ColoursConvertFromBgrAndSystemColoursResolve) {
  EXPECT_EQ(ToQColor(0x00123456).rgb(), 0xFF563412u);
  EXPECT_EQ(ToQColor(static_cast<ColourValue>(0x8000000Fu)).rgb(), 0xFFD4D0C8u);  // button face
  EXPECT_EQ(ToQColor(static_cast<ColourValue>(0x80000063u)).rgb(), 0xFF000000u);  // unknown
}

TEST(OverlayRendererTest, LabelPixelSizeFollowsPointsAndResolution) {
  EXPECT_EQ(LabelPixelSize(14, 96), 19);   // 18.67
  EXPECT_EQ(LabelPixelSize(14, 480), 93);  // 93.33
  EXPECT_EQ(LabelPixelSize(9, 96), 12);
  EXPECT_EQ(LabelPixelSize(0, 96), 1);
}

TEST(PictureImageTest, RoundTripKeepsExactColours) {
  PixelGrid grid(3, 2);
  const std::uint32_t values[6] = {0x00000000, 0x00FFFFFF, 0x000000FF,
                                   0x00FF0000, 0x00123456, 0x00ABCDEF};
  for (int i = 0; i < 6; ++i) grid.Set(i % 3, i / 3, values[i]);
  const QImage image = ToQImage(grid);
  ASSERT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(image.pixel(2, 0), 0xFFFF0000u) << "red lands in Qt's red channel";
  EXPECT_EQ(image.pixel(1, 1), 0xFF563412u);
  EXPECT_EQ(FromQImage(image), grid);
  EXPECT_EQ(FromQImage(image.convertToFormat(QImage::Format_RGB888)), grid);
  EXPECT_TRUE(FromQImage(QImage()).Empty());
  EXPECT_TRUE(ToQImage(PixelGrid()).isNull());
}

class PictureImageSaveTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PictureImageSaveTest, SavedPictureReadsBackWithExactColours) {
  TempDir dir;
  const std::string path = dir.File(GetParam());
  const PixelGrid grid = MakeGrid(7, 5, 0x00123456, {{1, 1, 3, 2, kRed}, {4, 0, 6, 4, kBlue}});
  SavePicture(grid, path);
  QImage read;
  ASSERT_TRUE(read.load(QString::fromStdString(path)));
  EXPECT_EQ(FromQImage(read), grid);
}

INSTANTIATE_TEST_SUITE_P(, PictureImageSaveTest,
                         ::testing::Values("out.png",   // lower case
                                           "OUT.BMP",   // extension in any case
                                           "a.b.bmp"),  // only the last dot counts
                         RowName);

TEST(PictureImageTest, SaveRefusesUnknownExtensionsAndReportsFailedWrites) {
  TempDir dir;
  const PixelGrid grid(2, 2);
  for (const std::string name : {"picture.jpg", "picture", "dir.png/picture"}) {
    const std::string path = dir.File(name);
    try {
      SavePicture(grid, path);
      ADD_FAILURE() << path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + path + "' is not a .png or .bmp file name");
    }
  }
  const std::string missingFolder = dir.File("missing/picture.png");
  try {
    SavePicture(grid, missingFolder);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + missingFolder);
  }
}

TEST(PictureImageTest, AnImageThatCannotBeAllocatedIsAnErrorNotACrash) {
  const PixelGrid grid(4096, 4096, kWhite);  // 64 MiB, allocated before the limit
  RunWithMemoryLimit(std::uint64_t{16} << 20, [&] {
    try {
      ToQImage(grid, "/pictures/big.bmp");
      ADD_FAILURE() << "converted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Not enough memory for the picture /pictures/big.bmp (4096 x 4096)");
    }
  });
}

TEST(PictureImageTest, AFullDiskLeavesTheOldPictureAndNoTemporary) {
  TempDir dir;
  const PixelGrid small = MakeGrid(4, 4, kRed);
  // Noise compresses badly, so the new picture needs far more than the disk has left.
  PixelGrid noise(300, 300);
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < noise.Size(); ++i) {
    state = state * 1664525u + 1013904223u;
    noise.Data()[i] = state >> 8;
  }
  for (const std::string name : {"out.png", "out.bmp"}) {
    // Qt's PNG writer leaks its row buffer when libpng gives up on a failed write (not ours to
    // mend); the leak checker of a sanitizer build would count it against us.
    if (SanitizerBuild() && name == "out.png") continue;
    const std::string path = dir.File(name);
    SavePicture(small, path);
    const std::string before = ReadAll(path);
    RunWithFileSizeLimit(64 * 1024, [&] {
      try {
        SavePicture(noise, path);
        ADD_FAILURE() << name << " reported as written";
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
      }
    });
    EXPECT_EQ(ReadAll(path), before) << name;
  }
  // Only the pictures written before the limit; no temporary is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
            SanitizerBuild() ? 1 : 2);
}

// The window keeps its drawings in a layer beside the picture; what it shows must be exactly the
// picture with the drawings painted into it.
TEST(OverlayLayerTest, ShowsExactlyWhatPaintingIntoThePictureWouldShow) {
  const PixelGrid picture =
      MakeGrid(700, 500, kWhite, {{150, 100, 449, 399, kRed}, {450, 100, 549, 249, kBlue}});
  SectionResult result;
  result.NC = {310, 260};
  result.MC = {330, 240};
  result.Alpha = 0.4;  // principal axes at an angle: diagonal lines
  ProgramSettings settings;
  settings.MassCentreColour = 0x000000FF;  // the mass centre drawn in the red of the picture
  const SectionBounds bounds{150, 100, 549, 399};
  const OverlayInput input = MakeOverlayInput(700, 500, bounds, result, settings);
  const OverlayOps frame = DrawSectionFrame(input);
  const OverlayOps overlay = DrawResultOverlay(input);

  PixelGrid painted = picture;
  RenderOverlay(frame, painted);
  RenderOverlay(overlay, painted);
  OverlayLayer layer;
  layer.Paint(frame, 700, 500, "p.bmp");
  layer.Paint(overlay, 700, 500, "p.bmp");
  ASSERT_FALSE(layer.Empty());
  EXPECT_TRUE(layer.Composed(picture) == painted);
  // The view: nearest-neighbour scaling of the painted picture, to a smaller and a larger box.
  for (const QSize box : {QSize(401, 401), QSize(1000, 900)}) {
    const QImage expected =
        ToQImage(painted).scaled(box, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_EQ(layer.ScaledView(picture, box.width(), box.height()), expected) << box.width();
  }
  // F2 on a drawn-over picture: every pixel but those of the kept colour turns white.
  PixelGrid hidden = painted;
  for (std::size_t i = 0; i < hidden.Size(); ++i) {
    if (hidden.Data()[i] != kRed) hidden.Data()[i] = kWhite;
  }
  PixelGrid below = picture;
  for (std::size_t i = 0; i < below.Size(); ++i) {
    if (below.Data()[i] != kRed) below.Data()[i] = kWhite;
  }
  layer.HideAllBut(kRed);
  EXPECT_TRUE(layer.Composed(below) == hidden);
  layer.Clear();
  EXPECT_TRUE(layer.Empty());
  EXPECT_TRUE(layer.Composed(picture) == picture);
  EXPECT_EQ(layer.At(310, 260), std::nullopt);
  // A cleared layer hands its pages back; the next drawing starts from nothing.
  PixelGrid frameOnly = picture;
  RenderOverlay(frame, frameOnly);
  layer.Paint(frame, 700, 500, "p.bmp");
  EXPECT_TRUE(layer.Composed(picture) == frameOnly);
}

}  // namespace
}  // namespace qv::test
