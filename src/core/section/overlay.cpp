// Geometry of the section frame and the result overlay.
#include "core/section/overlay.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "core/base/number_text.h"
#include "core/settings/program_settings.h"

namespace qv {

namespace {

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

// Positions are summed in 64 bits and narrowed once, so a saturated far end plus an offset
// stays far away instead of wrapping around onto the picture.
int Narrow(std::int64_t v) {
  return static_cast<int>(v < kIntMin ? kIntMin : v > kIntMax ? kIntMax : v);
}

PixelPoint Point(std::int64_t x, std::int64_t y) { return {Narrow(x), Narrow(y)}; }

std::int64_t R(double v) { return RoundEven(v); }

double Abs(std::int64_t v) { return static_cast<double>(v < 0 ? -v : v); }

bool AnyNegative(PixelPoint p) { return p.x < 0 || p.y < 0; }

}  // namespace

int RoundEven(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(kIntMin)) return static_cast<int>(kIntMin);
  if (v >= static_cast<double>(kIntMax)) return static_cast<int>(kIntMax);
  // Explicit rather than nearbyint, which would follow whatever rounding mode is current.
  const double floor = std::floor(v);
  const double fraction = v - floor;
  auto result = static_cast<std::int64_t>(floor);
  if (fraction > 0.5 || (fraction == 0.5 && (result & 1) != 0)) ++result;
  return Narrow(result);
}

long long PictureOfView(double viewPos, double viewSize, double pictureSize) {
  return static_cast<long long>(std::nearbyint(pictureSize * viewPos / viewSize));
}

int PenWidthFor(int height) {
  if (height >= 1000) return 4;
  if (height >= 600) return 3;
  return 2;
}

int LabelDpiFor(int height, int boxHeight, int screenDpi) {
  if (boxHeight <= 0 || height <= boxHeight) return screenDpi;
  return RoundEven(static_cast<double>(screenDpi) * height / boxHeight);
}

OverlayInput MakeOverlayInput(int width, int height, const SectionBounds& bounds,
                              const SectionResult& result, const ProgramSettings& settings) {
  OverlayInput input;
  input.Width = width;
  input.Height = height;
  input.Bounds = bounds;
  input.NC = result.NC;
  input.MC = result.MC;
  input.Alpha = result.Alpha;
  input.AxesColour = settings.AxesColour;
  input.MassCentreColour = settings.MassCentreColour;
  input.PrincipalAxesColour = settings.PrincipalAxesColour;
  input.AngleTolerance = settings.AngleTolerance;
  input.SignConvention = settings.SignConvention;
  input.Font = {settings.FontName, settings.FontSize, settings.FontStyle};
  return input;
}

OverlayDrawing::OverlayDrawing(const OverlayInput& input)
    : mInput(input),
      mPenWidth(PenWidthFor(input.Height)),
      mLabelDpi(LabelDpiFor(input.Height, input.BoxHeight, input.ScreenDpi)) {}

void OverlayDrawing::AddLine(std::vector<PixelPoint> points, ColourValue colour) {
  // Braces, not parentheses: clang 14 (the sanitizer build) has no parenthesised aggregate init.
  mOps.emplace_back(PolylineOp{std::move(points), colour, mPenWidth});
}

void OverlayDrawing::DrawLine(PixelPoint p, PixelPoint q, ColourValue colour) {
  if (AnyNegative(p) || AnyNegative(q)) return;
  AddLine({p, q}, colour);
}

void OverlayDrawing::DrawArrow(PixelPoint p, PixelPoint q, ColourValue colour) {
  if (AnyNegative(p) || AnyNegative(q)) return;
  const std::int64_t sx = p.x + R(0.9 * (static_cast<double>(q.x) - p.x));
  const std::int64_t sy = p.y + R(0.9 * (static_cast<double>(q.y) - p.y));
  const double dx = static_cast<double>(q.x - sx);
  const double dy = static_cast<double>(q.y - sy);
  const PixelPoint s = Point(sx, sy);
  const PixelPoint a = Point(sx + R(0.2 * dy), sy - R(0.2 * dx));
  const PixelPoint b = Point(sx - R(0.2 * dy), sy + R(0.2 * dx));
  AddLine({p, s, b, q, a, s}, colour);
}

void OverlayDrawing::DrawMarker(PixelPoint p, ColourValue colour, MarkerKind kind) {
  const std::int64_t x = p.x;
  const std::int64_t y = p.y;
  if (kind == MarkerKind::Cross) {
    AddLine({Point(x - 5, y), Point(x + 5, y)}, colour);
    AddLine({Point(x, y - 5), Point(x, y + 5)}, colour);
  } else if (kind == MarkerKind::Diamond) {
    AddLine({Point(x, y - 8), Point(x + 8, y), Point(x, y + 8), Point(x - 8, y), Point(x, y - 8)},
            colour);
  } else {
    mOps.emplace_back(EllipseOp{Point(x - 5, y - 5), Point(x + 5, y + 5), colour, mPenWidth});
  }
}

void OverlayDrawing::DrawLabel(PixelPoint p, std::string_view text, ColourValue colour) {
  mOps.emplace_back(LabelOp{p, std::string(text), colour, mInput.Font, mLabelDpi});
}

void OverlayDrawing::DrawSectionFrame() {
  // Unset bounds are all -1, which DrawLine refuses, so no special case is needed.
  const SectionBounds& b = mInput.Bounds;
  const PixelPoint ul{b.xmin, b.ymin};
  const PixelPoint ur{b.xmax, b.ymin};
  const PixelPoint lr{b.xmax, b.ymax};
  const PixelPoint ll{b.xmin, b.ymax};
  const ColourValue c = mInput.AxesColour;
  DrawLine(ul, ur, c);
  DrawLine(ur, lr, c);
  DrawLine(lr, ll, c);
  DrawLine(ll, ul, c);
}

void OverlayDrawing::DrawResultOverlay() {
  const OverlayInput& in = mInput;
  const double w = in.Width;
  const double h = in.Height;
  const std::int64_t ncx = in.NC.x;
  const std::int64_t ncy = in.NC.y;
  const ColourValue axes = in.AxesColour;

  DrawMarker(in.NC, axes, MarkerKind::Circle);
  DrawMarker(in.MC, in.MassCentreColour, MarkerKind::Circle);
  DrawLabel(Point(std::int64_t{in.MC.x} + R(0.025 * w), std::int64_t{in.MC.y} - R(0.025 * h)),
            " MC ", in.MassCentreColour);

  const PixelPoint zEnd = Point(ncx, std::int64_t{in.Bounds.ymax} + R(0.075 * h));
  DrawArrow(in.NC, zEnd, axes);
  DrawLabel(zEnd, " z ", axes);

  const PixelPoint yEnd = Point(std::int64_t{in.Bounds.xmin} - R(0.075 * w), ncy);
  DrawArrow(in.NC, yEnd, axes);
  DrawLabel(Point(std::int64_t{yEnd.x} - R(0.05 * w), yEnd.y), " y ", axes);

  const PixelPoint ul{in.Bounds.xmin, in.Bounds.ymin};
  DrawMarker(ul, axes, MarkerKind::Cross);
  DrawLabel(Point(std::int64_t{ul.x} + R(0.025 * w), std::int64_t{ul.y} - R(0.05 * h)),
            " UL-corner ", axes);

  DrawPrincipalAxes();
}

PrincipalAxesCase PrincipalAxesOf(double alpha, double angleTolerance) {
  const double tol = angleTolerance * std::numbers::pi / 180.0;
  const double b = std::abs(alpha);
  // Written as "not beyond" so that a NaN angle or tolerance draws nothing as well.
  if (!(b > tol)) return PrincipalAxesCase::None;
  if (tol >= std::abs(b - std::numbers::pi / 2)) return PrincipalAxesCase::Swapped;
  return PrincipalAxesCase::Turned;
}

std::optional<std::pair<std::string_view, std::string_view>> PrincipalAxisNames(
    SignConvention convention) {
  const std::optional<ConventionTerms> terms = TermsOf(convention);
  if (!terms) return std::nullopt;
  return std::pair{terms->firstAxis, terms->secondAxis};
}

void OverlayDrawing::DrawPrincipalAxes() {
  const OverlayInput& in = mInput;
  const PrincipalAxesCase axes = PrincipalAxesOf(in.Alpha, in.AngleTolerance);
  if (axes == PrincipalAxesCase::None) return;

  const auto names = PrincipalAxisNames(in.SignConvention);
  const ColourValue colour = in.PrincipalAxesColour;
  const double w = in.Width;
  const double h = in.Height;
  const std::int64_t ncx = in.NC.x;
  const std::int64_t ncy = in.NC.y;
  const SectionBounds& s = in.Bounds;

  PixelPoint first;
  PixelPoint firstLabelAt;
  PixelPoint second;
  PixelPoint secondLabelAt;
  if (axes == PrincipalAxesCase::Swapped) {
    first = Point(ncx, ncy - R(0.5 * Abs(ncy - s.ymin)));
    firstLabelAt = Point(std::int64_t{first.x} + R(0.05 * w), first.y);
    second = Point(ncx - R(0.5 * Abs(s.xmin - ncx)), ncy);
    secondLabelAt = Point(second.x, std::int64_t{second.y} - R(0.05 * h));
  } else {
    const double t = std::tan(in.Alpha);
    const double at = std::abs(t);
    const std::int64_t left = s.xmin - R(0.075 * w);
    const std::int64_t right = s.xmax + R(0.075 * w);
    const std::int64_t top = s.ymin - R(0.075 * h);
    const std::int64_t bottom = s.ymax + R(0.075 * h);

    std::int64_t px = left;
    std::int64_t py = ncy + R(t * Abs(left - ncx));
    if (py < top) {
      px = ncx - R(Abs(ncy - top) / at);
      py = top;
    }
    if (py > bottom) {
      px = ncx - R(Abs(ncy - bottom) / at);
      py = bottom;
    }
    first = Point(px, py);
    firstLabelAt = Point(std::int64_t{first.x} - R(0.05 * w), first.y);

    std::int64_t qx = ncx + R(t * Abs(bottom - ncy));
    std::int64_t qy = bottom;
    if (qx < left) {
      qx = left;
      qy = ncy + R(Abs(left - ncx) / at);
    }
    if (qx > right) {
      qx = right;
      qy = ncy + R(Abs(right - ncx) / at);
    }
    second = Point(qx, qy);
    secondLabelAt = second;
  }

  // The labels are padded with a space each side, as every label of the overlay is.
  DrawArrow(in.NC, first, colour);
  if (names) DrawLabel(firstLabelAt, " " + std::string(names->first) + " ", colour);
  DrawArrow(in.NC, second, colour);
  if (names) DrawLabel(secondLabelAt, " " + std::string(names->second) + " ", colour);
}

OverlayOps DrawSectionFrame(const OverlayInput& input) {
  OverlayDrawing drawing(input);
  drawing.DrawSectionFrame();
  return drawing.TakeOps();
}

OverlayOps DrawResultOverlay(const OverlayInput& input) {
  OverlayDrawing drawing(input);
  drawing.DrawResultOverlay();
  return drawing.TakeOps();
}

std::optional<PixelPoint> PixelOfPoint(const SectionBounds& bounds, double horMm, double verMm,
                                       double dx, double dy) {
  if (!(dx > 0) || !(dy > 0)) return std::nullopt;
  // Pixel x covers x .. x + 1 in these units, so its centre is x + 0.5.
  const double x = bounds.xmin + horMm / dx - 0.5;
  const double y = bounds.ymin + verMm / dy - 0.5;
  if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
  return PixelPoint{RoundEven(x), RoundEven(y)};
}

OverlayOps DrawShearCentre(const OverlayInput& input, double horMm, double verMm, double dx,
                           double dy) {
  const std::optional<PixelPoint> at = PixelOfPoint(input.Bounds, horMm, verMm, dx, dy);
  if (!at) return {};
  OverlayDrawing drawing(input);
  drawing.DrawMarker(*at, kShearCentreColour, MarkerKind::Diamond);
  // Below and to the right, where none of the result overlay's labels go but the one of MC,
  // which starts above and to the right of its own circle.
  PixelPoint label = Point(std::int64_t{at->x} + R(0.025 * input.Width),
                           std::int64_t{at->y} + R(0.01 * input.Height));
  const PixelPoint mcLabel = Point(std::int64_t{input.MC.x} + R(0.025 * input.Width),
                                   std::int64_t{input.MC.y} - R(0.025 * input.Height));
  const std::int64_t line = LabelLineHeight(input);
  // " MC " and " SC " are four characters: well within three line heights across.
  const bool sameColumn = std::abs(std::int64_t{label.x} - mcLabel.x) < 3 * line;
  const bool sameLine = label.y < mcLabel.y + line && std::int64_t{label.y} + line > mcLabel.y;
  if (sameColumn && sameLine) label = Point(label.x, std::int64_t{mcLabel.y} + line);
  drawing.DrawLabel(label, " SC ", kShearCentreColour);
  return drawing.TakeOps();
}

int LabelLineHeight(const OverlayInput& input) {
  const int dpi = LabelDpiFor(input.Height, input.BoxHeight, input.ScreenDpi);
  return static_cast<int>(std::ceil(std::max(input.Font.PointSize, 1) * dpi / 72.0 * 1.4));
}

std::optional<std::string> ShearCentreOffPictureNote(int width, int height,
                                                     const SectionBounds& bounds, double horMm,
                                                     double verMm, double dx, double dy) {
  const std::optional<PixelPoint> at = PixelOfPoint(bounds, horMm, verMm, dx, dy);
  if (!at || (at->x >= 0 && at->y >= 0 && at->x < width && at->y < height)) return std::nullopt;
  return "The shear centre SC lies outside the picture, at hor = " + FormatFixed(horMm, 8, 2) +
         " mm, ver = " + FormatFixed(verMm, 8, 2) + " mm from upper left corner UL.";
}

std::optional<PicturePoint> PictureOfPoint(const SectionBounds& bounds, double horMm, double verMm,
                                           double dx, double dy) {
  if (!(dx > 0) || !(dy > 0)) return std::nullopt;
  const PicturePoint at{bounds.xmin + horMm / dx, bounds.ymin + verMm / dy};
  if (!std::isfinite(at.x) || !std::isfinite(at.y)) return std::nullopt;
  return at;
}

std::optional<SectionPoint> PointOfPicture(const SectionBounds& bounds, PicturePoint at, double dx,
                                           double dy) {
  if (!(dx > 0) || !(dy > 0)) return std::nullopt;
  const SectionPoint point{(at.x - bounds.xmin) * dx, (at.y - bounds.ymin) * dy};
  if (!std::isfinite(point.Hor) || !std::isfinite(point.Ver)) return std::nullopt;
  return point;
}

SectionMarks MakeSectionMarks(const SectionBounds& bounds, const SectionResult& result,
                              const ProgramSettings& settings,
                              const std::optional<SectionPoint>& shearCentre) {
  SectionMarks marks;
  marks.NC = {static_cast<double>(result.NC.x), static_cast<double>(result.NC.y)};
  // Without mass the analysis leaves MC where a reset put it, which is no point of the section.
  if (result.Mass != 0) {
    marks.MC = PicturePoint{static_cast<double>(result.MC.x), static_cast<double>(result.MC.y)};
  }
  // y is positive to the left of NC and z downwards, in either sign convention.
  marks.Y = {{-1, 0}, "y"};
  marks.Z = {{0, 1}, "z"};

  const PrincipalAxesCase axes = PrincipalAxesOf(result.Alpha, settings.AngleTolerance);
  if (axes != PrincipalAxesCase::None) {
    const auto names = PrincipalAxisNames(settings.SignConvention);
    SectionAxis first;
    SectionAxis second;
    if (axes == PrincipalAxesCase::Swapped) {
      // As the overlay draws them: the first upwards, the second to the left.
      first.Direction = {0, -1};
      second.Direction = {-1, 0};
    } else {
      // Alpha turns from y (left) towards z (down); the second axis is a quarter turn further.
      const double c = std::cos(result.Alpha);
      const double s = std::sin(result.Alpha);
      first.Direction = {-c, s};
      second.Direction = {s, c};
    }
    if (names) {
      first.Name = names->first;
      second.Name = names->second;
    }
    marks.Principal = {first, second};
  }

  if (shearCentre) {
    marks.SC = PictureOfPoint(bounds, shearCentre->Hor, shearCentre->Ver, result.Dx, result.Dy);
  }
  return marks;
}

}  // namespace qv
