// The interaction and moment-curvature diagrams: where the axes, the curves and the actions'
// points land in the picture.
#include "core/section/resistance_diagram.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/row_name.h"

namespace qv::test {
namespace {

// A column of 3000 kN in compression and 1000 kN in tension, 200 kNm about the horizontal
// axis with the top compressed, 150 with the bottom compressed (not symmetric, so a swapped
// side shows), and a vertical axis half as strong.
ResistanceSection Column(bool momentCurvature) {
  ResistanceSection r;
  r.nCompression = -3e6;
  r.nTension = 1e6;
  r.horizontal.mFirstCompressed = 200e6;
  r.horizontal.mSecondCompressed = 150e6;
  r.horizontal.interaction = {{-3e6, 0, 0}, {-1e6, 260e6, 190e6}, {0, 200e6, 150e6}, {1e6, 0, 0}};
  r.vertical.interaction = {{-3e6, 0, 0}, {-1e6, 130e6, 130e6}, {0, 100e6, 100e6}, {1e6, 0, 0}};
  if (momentCurvature) {
    r.horizontal.momentCurvature = {{0, 0}, {2e-6, 150e6}, {20e-6, 200e6}};
    r.vertical.momentCurvature = {{0, 0}, {4e-6, 80e6}, {40e-6, 100e6}};
  }
  return r;
}

bool HasLine(const OverlayOps& ops, PixelPoint a, PixelPoint b) {
  return std::any_of(ops.begin(), ops.end(), [&](const DrawOp& op) {
    const auto* line = std::get_if<PolylineOp>(&op);
    return line != nullptr && line->Points == std::vector<PixelPoint>{a, b};
  });
}

// The curves: the polylines drawn with the widest pen.
std::vector<PolylineOp> Curves(const OverlayOps& ops) {
  std::vector<PolylineOp> curves;
  for (const DrawOp& op : ops) {
    const auto* line = std::get_if<PolylineOp>(&op);
    if (line != nullptr && line->PenWidth == 3) curves.push_back(*line);
  }
  return curves;
}

bool Within(const DiagramFrame& f, PixelPoint p) {
  return p.x >= f.Left && p.x <= f.Right && p.y >= f.Top && p.y <= f.Bottom;
}

struct DiagramCase {
  const char* name;
  std::optional<SectionActions> actions;
  bool momentCurvature;
  ColourValue marker;  // the colour of the points, 0 without actions
};
void PrintTo(const DiagramCase& c, std::ostream* os) { *os << c.name; }

class ResistanceDiagramTest : public ::testing::TestWithParam<DiagramCase> {};

TEST_P(ResistanceDiagramTest, AxesCurvesAndPointsLandOnTheirValues) {
  const DiagramCase c = GetParam();
  const ResistanceSection r = Column(c.momentCurvature);
  ResistanceDiagramInput input;
  input.Actions = c.actions;
  const ResistanceDiagramLayout layout = LayoutResistanceDiagrams(r, input);
  const OverlayOps ops = DrawResistanceDiagrams(r, input);

  for (const DiagramFrame* f : {&layout.Horizontal, &layout.Vertical}) {
    // The axes cross at 0, inside the panel, and run across it.
    const PixelPoint o = f->ToPixel(0, 0);
    EXPECT_TRUE(Within(*f, o));
    EXPECT_TRUE(HasLine(ops, {f->Left, o.y}, {f->Right, o.y}));
    EXPECT_TRUE(HasLine(ops, {o.x, f->Top}, {o.x, f->Bottom}));
    EXPECT_EQ(f->ToPixel(f->XMin, f->YMin), (PixelPoint{f->Left, f->Bottom}));
    EXPECT_EQ(f->ToPixel(f->XMax, f->YMax), (PixelPoint{f->Right, f->Top}));
  }
  EXPECT_LT(layout.Horizontal.Right, layout.Vertical.Left);

  // The interaction curves close through the extreme points: top compressed at +260 kNm, bottom
  // compressed at -190 kNm (both at -1000 kN), pure compression and pure tension on the N axis.
  const std::vector<PolylineOp> curves = Curves(ops);
  ASSERT_EQ(curves.size(), c.momentCurvature ? 4U : 2U);
  const std::vector<PixelPoint>& h = curves[0].Points;
  const DiagramFrame& hf = layout.Horizontal;
  EXPECT_EQ(h.front(), h.back());
  for (const PixelPoint p : {hf.ToPixel(260, -1000), hf.ToPixel(-190, -1000), hf.ToPixel(0, -3000),
                             hf.ToPixel(0, 1000)}) {
    EXPECT_NE(std::find(h.begin(), h.end(), p), h.end()) << p.x << ", " << p.y;
  }
  for (const PixelPoint p : h) EXPECT_TRUE(Within(hf, p));
  EXPECT_NE(std::find(curves[1].Points.begin(), curves[1].Points.end(),
                      layout.Vertical.ToPixel(-130, -1000)),
            curves[1].Points.end());

  EXPECT_EQ(layout.Curvature.has_value(), c.momentCurvature);
  if (c.momentCurvature) {
    // 20e-6 1/mm is 20 1/km.
    EXPECT_EQ(curves[2].Points.back(), layout.Curvature->ToPixel(20, 200));
    EXPECT_EQ(curves[3].Points.back(), layout.Curvature->ToPixel(40, 100));
  }

  // Each action's point, a ring in the colour of its place, visibly within its panel.
  std::vector<EllipseOp> rings;
  for (const DrawOp& op : ops) {
    if (const auto* e = std::get_if<EllipseOp>(&op)) rings.push_back(*e);
  }
  ASSERT_EQ(rings.size(), c.actions ? 2U : 0U);
  if (!c.actions) return;
  const std::string place = c.marker == kDiagramInsideColour ? ": inside" : ": outside";
  int labelled = 0;
  for (const DrawOp& op : ops) {
    const auto* label = std::get_if<LabelOp>(&op);
    if (label != nullptr && label->Text.ends_with(place)) ++labelled;
  }
  EXPECT_EQ(labelled, 2);
  const DiagramPoint hp = HorizontalActionPoint(*c.actions);
  const DiagramPoint vp = VerticalActionPoint(*c.actions);
  const PixelPoint hc = hf.ToPixel(hp.m, hp.n);
  const PixelPoint vc = layout.Vertical.ToPixel(vp.m, vp.n);
  EXPECT_EQ(rings[0].Colour, c.marker);
  EXPECT_EQ(rings[1].Colour, c.marker);
  EXPECT_EQ((rings[0].TopLeft.x + rings[0].BottomRight.x) / 2, hc.x);
  EXPECT_EQ((rings[0].TopLeft.y + rings[0].BottomRight.y) / 2, hc.y);
  EXPECT_EQ((rings[1].TopLeft.x + rings[1].BottomRight.x) / 2, vc.x);
  EXPECT_TRUE(Within(hf, hc));
  EXPECT_TRUE(Within(layout.Vertical, vc));
}

INSTANTIATE_TEST_SUITE_P(
    Diagrams, ResistanceDiagramTest,
    ::testing::Values(
        // The interaction alone.
        DiagramCase{"Plain", std::nullopt, false, 0},
        // With the moment-curvature panel below.
        DiagramCase{"MomentCurvature", std::nullopt, true, 0},
        // -1000 kN with Mz 100 (top compressed) and My -50 (left compressed): within both.
        DiagramCase{"Inside", SectionActions{.N = -1e6, .My = -50e6, .Mz = 100e6}, false,
                    kDiagramInsideColour},
        // Far beyond both curves, bottom resp. right compressed: the panels widen to show them.
        DiagramCase{"Outside", SectionActions{.N = -2e6, .My = 900e6, .Mz = -900e6}, true,
                    kDiagramOutsideColour}),
    RowName);

}  // namespace
}  // namespace qv::test
