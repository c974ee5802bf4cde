// The interaction and moment-curvature diagrams as drawing operations.
#include "core/section/resistance_diagram.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <tuple>

#include "core/base/number_text.h"

namespace qv {
namespace {

constexpr ColourValue kBlack = 0x00000000;
constexpr ColourValue kFrameGrey = 0x00808080;
constexpr ColourValue kGridGrey = 0x00DCDCDC;
constexpr int kLabelDpi = 96;

/// The labels' measures, estimated generously: the core knows no font metrics, and a label
/// that is placed a little too far off still reads where one that overlaps does not.
struct TextMetrics {
  GraphicsFont font;
  double pixels = 16;  // the font's size in pixels
  double Width(std::string_view text) const { return 0.62 * pixels * double(text.size()); }
  double Line() const { return 1.4 * pixels; }
};

TextMetrics MetricsFor(const ResistanceDiagramInput& input) {
  TextMetrics m;
  m.font = input.Font;
  m.font.PointSize = std::max(6, RoundEven(input.Height / 75.0));
  m.pixels = m.font.PointSize * kLabelDpi / 72.0;
  return m;
}

struct Range {
  double lo = 0;
  double hi = 0;
  void Add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
};

/// 0 always inside, a margin of 6 % each side, and some span even for no values at all.
std::pair<double, double> Padded(Range r) {
  if (!(r.hi > r.lo)) return {r.lo - 1, r.hi + 1};
  const double pad = 0.06 * (r.hi - r.lo);
  return {r.lo - pad, r.hi + pad};
}

/// A round step (1, 2 or 5 times a power of ten) giving about six intervals over `span`.
double RoundStep(double span) {
  const double raw = span / 6;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double scaled = raw / power;
  return (scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * power;
}

std::string TickText(double v, double step) {
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  return FormatFixed(v, 15, decimals);
}

std::string Value(double v) { return FormatGeneral(v, 5, 0); }

class Painter {
 public:
  Painter(OverlayOps& ops, const TextMetrics& text) : mOps(ops), mText(text) {}

  void Line(std::vector<PixelPoint> points, ColourValue colour, int pen) {
    mOps.push_back(PolylineOp{std::move(points), colour, pen});
  }
  void Label(double x, double y, std::string text, ColourValue colour) {
    mOps.push_back(
        LabelOp{{RoundEven(x), RoundEven(y)}, std::move(text), colour, mText.font, kLabelDpi});
  }
  const TextMetrics& Text() const { return mText; }

  /// Frame, grid at round values with their labels, axes through 0 and the captions.
  void Panel(const DiagramFrame& f, const std::string& title, const std::string& xCaption,
             const std::string& yCaption) {
    const double line = mText.Line();
    const double xStep = RoundStep(f.XMax - f.XMin);
    for (double k = std::ceil(f.XMin / xStep); k * xStep <= f.XMax; k += 1) {
      const double v = k * xStep;
      const int x = f.ToPixel(v, f.YMin).x;
      Line({{x, f.Top}, {x, f.Bottom}}, kGridGrey, 1);
      const std::string text = TickText(v, xStep);
      Label(x - mText.Width(text) / 2, f.Bottom + 6, text, kBlack);
    }
    const double yStep = RoundStep(f.YMax - f.YMin);
    for (double k = std::ceil(f.YMin / yStep); k * yStep <= f.YMax; k += 1) {
      const double v = k * yStep;
      const int y = f.ToPixel(f.XMin, v).y;
      Line({{f.Left, y}, {f.Right, y}}, kGridGrey, 1);
      const std::string text = TickText(v, yStep);
      Label(f.Left - 8 - mText.Width(text), y - mText.pixels * 0.6, text, kBlack);
    }
    Line({{f.Left, f.Top},
          {f.Right, f.Top},
          {f.Right, f.Bottom},
          {f.Left, f.Bottom},
          {f.Left, f.Top}},
         kFrameGrey, 1);
    const PixelPoint origin = f.ToPixel(0, 0);
    Line({{f.Left, origin.y}, {f.Right, origin.y}}, kBlack, 2);
    Line({{origin.x, f.Top}, {origin.x, f.Bottom}}, kBlack, 2);
    Label(f.Left, f.Top - 2.3 * line, title, kBlack);
    Label(f.Left, f.Top - 1.2 * line, yCaption, kBlack);
    Label(f.Right - mText.Width(xCaption), f.Bottom + 6 + line, xCaption, kBlack);
  }

  void Curve(const DiagramFrame& f, const std::vector<DiagramPoint>& points, ColourValue colour) {
    if (points.size() < 2) return;
    std::vector<PixelPoint> pixels;
    pixels.reserve(points.size());
    for (const DiagramPoint& p : points) pixels.push_back(f.ToPixel(p.m, p.n));
    Line(std::move(pixels), colour, 3);
  }

  /// A ring and a cross at `p`, with `text` by it.
  void Marker(const DiagramFrame& f, DiagramPoint p, const std::string& text, ColourValue colour) {
    const PixelPoint c = f.ToPixel(p.m, p.n);
    constexpr int kRadius = 8;
    mOps.push_back(
        EllipseOp{{c.x - kRadius, c.y - kRadius}, {c.x + kRadius, c.y + kRadius}, colour, 3});
    Line({{c.x - 2 * kRadius, c.y}, {c.x + 2 * kRadius, c.y}}, colour, 2);
    Line({{c.x, c.y - 2 * kRadius}, {c.x, c.y + 2 * kRadius}}, colour, 2);
    // Above the mark (below it at the panel's top), centred on it as far as the panel lets.
    const double width = mText.Width(text);
    const double x = std::clamp<double>(c.x - width / 2, f.Left + 4,
                                        std::max<double>(f.Left + 4, f.Right - 4 - width));
    const double y = c.y - 2 * kRadius - mText.Line() >= f.Top ? c.y - 2 * kRadius - mText.Line()
                                                               : c.y + 2 * kRadius + 2;
    Label(x, y, text, colour);
  }

 private:
  OverlayOps& mOps;
  const TextMetrics& mText;
};

/// The plotting area inside a cell of the picture, leaving room for the labels around it.
DiagramFrame FrameIn(int left, int top, int right, int bottom, const TextMetrics& text) {
  DiagramFrame f;
  f.Left = left + RoundEven(text.Width("-00000.0") + 12);
  f.Top = top + RoundEven(2.6 * text.Line());
  f.Right = right - RoundEven(text.Width("00"));
  f.Bottom = bottom - RoundEven(2.4 * text.Line());
  return f;
}

void SetRange(DiagramFrame& f, Range x, Range y) {
  std::tie(f.XMin, f.XMax) = Padded(x);
  std::tie(f.YMin, f.YMax) = Padded(y);
}

void AddCurve(Range& x, Range& y, const std::vector<DiagramPoint>& curve) {
  for (const DiagramPoint& p : curve) {
    x.Add(p.m);
    y.Add(p.n);
  }
}

std::vector<DiagramPoint> CurvatureCurve(const std::vector<std::array<double, 2>>& list) {
  std::vector<DiagramPoint> curve;
  curve.reserve(list.size());
  for (const auto& [k, m] : list) curve.push_back({k * 1e6, m / 1e6});
  return curve;
}

}  // namespace

PixelPoint DiagramFrame::ToPixel(double x, double y) const {
  const double px = Left + (x - XMin) / (XMax - XMin) * (Right - Left);
  const double py = Bottom - (y - YMin) / (YMax - YMin) * (Bottom - Top);
  return {RoundEven(px), RoundEven(py)};
}

DiagramPoint HorizontalActionPoint(const SectionActions& actions) {
  return {actions.Mz / 1e6, actions.N / 1e3};
}

DiagramPoint VerticalActionPoint(const SectionActions& actions) {
  return {-actions.My / 1e6, actions.N / 1e3};
}

std::vector<DiagramPoint> InteractionCurve(const std::vector<std::array<double, 3>>& list) {
  std::vector<DiagramPoint> curve;
  curve.reserve(2 * list.size() + 1);
  for (const auto& [n, first, second] : list) curve.push_back({first / 1e6, n / 1e3});
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    curve.push_back({-(*it)[2] / 1e6, (*it)[0] / 1e3});
  }
  if (!curve.empty()) curve.push_back(curve.front());
  return curve;
}

bool WithinInteraction(const std::vector<DiagramPoint>& curve, DiagramPoint p) {
  if (curve.size() < 3) return false;
  bool inside = false;
  for (std::size_t i = 0, j = curve.size() - 1; i < curve.size(); j = i++) {
    const DiagramPoint& a = curve[i];
    const DiagramPoint& b = curve[j];
    // On an edge: the resistance is just reached, which the section still holds.
    const double cross = (b.m - a.m) * (p.n - a.n) - (b.n - a.n) * (p.m - a.m);
    const double scale =
        std::max({std::abs(a.m), std::abs(b.m), std::abs(a.n), std::abs(b.n), 1.0});
    if (std::abs(cross) <= 1e-12 * scale * scale && p.m >= std::min(a.m, b.m) &&
        p.m <= std::max(a.m, b.m) && p.n >= std::min(a.n, b.n) && p.n <= std::max(a.n, b.n)) {
      return true;
    }
    if ((a.n > p.n) != (b.n > p.n) && p.m < a.m + (b.m - a.m) * (p.n - a.n) / (b.n - a.n)) {
      inside = !inside;
    }
  }
  return inside;
}

ResistanceDiagramLayout LayoutResistanceDiagrams(const ResistanceSection& r,
                                                 const ResistanceDiagramInput& input) {
  const TextMetrics text = MetricsFor(input);
  const bool curvature =
      !r.horizontal.momentCurvature.empty() || !r.vertical.momentCurvature.empty();
  const int w = input.Width;
  const int h = input.Height;
  const int split = curvature ? RoundEven(h * 0.55) : h;
  ResistanceDiagramLayout layout;
  layout.Horizontal = FrameIn(0, 0, w / 2, split, text);
  layout.Vertical = FrameIn(w / 2, 0, w, split, text);

  const auto interactionRange = [&](DiagramFrame& f, const ResistanceAxis& axis,
                                    std::optional<DiagramPoint> action) {
    Range x;
    Range y;
    y.Add(r.nCompression / 1e3);
    y.Add(r.nTension / 1e3);
    AddCurve(x, y, InteractionCurve(axis.interaction));
    if (axis.mFirstCompressed) x.Add(*axis.mFirstCompressed / 1e6);
    if (axis.mSecondCompressed) x.Add(-*axis.mSecondCompressed / 1e6);
    if (action) AddCurve(x, y, {*action});
    SetRange(f, x, y);
  };
  std::optional<DiagramPoint> horizontalAction;
  std::optional<DiagramPoint> verticalAction;
  if (input.Actions) {
    horizontalAction = HorizontalActionPoint(*input.Actions);
    verticalAction = VerticalActionPoint(*input.Actions);
  }
  interactionRange(layout.Horizontal, r.horizontal, horizontalAction);
  interactionRange(layout.Vertical, r.vertical, verticalAction);
  if (curvature) {
    DiagramFrame f = FrameIn(0, split, w, h, text);
    Range x;
    Range y;
    AddCurve(x, y, CurvatureCurve(r.horizontal.momentCurvature));
    AddCurve(x, y, CurvatureCurve(r.vertical.momentCurvature));
    SetRange(f, x, y);
    layout.Curvature = f;
  }
  return layout;
}

OverlayOps DrawResistanceDiagrams(const ResistanceSection& r, const ResistanceDiagramInput& input) {
  const TextMetrics text = MetricsFor(input);
  const ResistanceDiagramLayout layout = LayoutResistanceDiagrams(r, input);
  OverlayOps ops;
  Painter paint(ops, text);

  const auto interaction = [&](const DiagramFrame& f, const ResistanceAxis& axis, const char* title,
                               const char* first, const char* second,
                               const std::optional<DiagramPoint>& action,
                               const std::string& actionText) {
    paint.Panel(f, title,
                std::string("M [kNm], + ") + first + " compressed, - " + second + " compressed",
                "N [kN], compression < 0");
    const std::vector<DiagramPoint> curve = InteractionCurve(axis.interaction);
    paint.Curve(f, curve, kDiagramFirstCurveColour);
    if (!action) return;
    const bool within = WithinInteraction(curve, *action);
    paint.Marker(f, *action, actionText + (within ? ": inside" : ": outside"),
                 within ? kDiagramInsideColour : kDiagramOutsideColour);
  };
  std::optional<DiagramPoint> horizontalAction;
  std::optional<DiagramPoint> verticalAction;
  std::string horizontalText;
  std::string verticalText;
  if (input.Actions) {
    const SectionActions& a = *input.Actions;
    horizontalAction = HorizontalActionPoint(a);
    verticalAction = VerticalActionPoint(a);
    const std::string n = "N = " + Value(a.N / 1e3) + " kN, ";
    horizontalText = n + input.MzName + " = " + Value(a.Mz / 1e6) + " kNm";
    verticalText = n + input.MyName + " = " + Value(a.My / 1e6) + " kNm";
  }
  interaction(layout.Horizontal, r.horizontal, "N-M interaction about the horizontal axis", "top",
              "bottom", horizontalAction, horizontalText);
  interaction(layout.Vertical, r.vertical, "N-M interaction about the vertical axis", "left",
              "right", verticalAction, verticalText);

  if (layout.Curvature) {
    const DiagramFrame& f = *layout.Curvature;
    paint.Panel(f, "Moment-curvature at N = " + Value(r.n / 1e3) + " kN", "curvature [1/km]",
                "M [kNm]");
    paint.Curve(f, CurvatureCurve(r.horizontal.momentCurvature), kDiagramFirstCurveColour);
    paint.Curve(f, CurvatureCurve(r.vertical.momentCurvature), kDiagramSecondCurveColour);
    // Below the curves' plateau, where they leave room.
    const std::string first = "about the horizontal axis, top compressed";
    const std::string second = "about the vertical axis, left compressed";
    const double line = text.Line();
    const double x = f.Right - 12 - text.Width(first);
    const double y = std::min<double>(f.ToPixel(0, 0).y, f.Bottom) - 2.4 * line;
    paint.Label(x, y, first, kDiagramFirstCurveColour);
    paint.Label(x, y + line, second, kDiagramSecondCurveColour);
  }
  return ops;
}

}  // namespace qv
