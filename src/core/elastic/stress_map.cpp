// Stress maps: the colour scales, the view's map and the picture for saving.
#include "core/elastic/stress_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "core/base/number_text.h"
#include "core/base/units.h"

namespace qv {
namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

// Viridis (van der Walt and Smith, public domain) at 33 evenly spaced points.
constexpr std::array<Rgb, 33> kViridis = {{
    {68, 1, 84},    {71, 13, 96},   {72, 24, 106},  {72, 35, 116},  {71, 45, 123},  {69, 54, 129},
    {66, 64, 134},  {63, 73, 137},  {59, 82, 139},  {55, 90, 141},  {51, 99, 141},  {47, 106, 142},
    {44, 114, 142}, {41, 122, 142}, {38, 129, 142}, {35, 137, 142}, {33, 144, 140}, {31, 152, 139},
    {31, 159, 136}, {33, 166, 133}, {40, 174, 128}, {49, 181, 123}, {62, 188, 116}, {76, 194, 108},
    {93, 201, 99},  {110, 206, 88}, {130, 211, 76}, {150, 216, 63}, {171, 220, 50}, {192, 223, 36},
    {213, 226, 26}, {234, 229, 26}, {253, 231, 37},
}};

// Moreland's smooth cool-to-warm diverging scale at 33 evenly spaced points.
constexpr std::array<Rgb, 33> kCoolWarm = {{
    {59, 76, 192},   {68, 90, 204},   {77, 104, 215},  {87, 117, 225},  {98, 130, 234},
    {108, 142, 241}, {119, 154, 247}, {130, 165, 251}, {141, 176, 254}, {152, 185, 255},
    {163, 194, 255}, {174, 201, 253}, {184, 208, 249}, {194, 213, 244}, {204, 217, 238},
    {213, 219, 230}, {221, 221, 221}, {229, 216, 209}, {236, 211, 197}, {241, 204, 185},
    {245, 196, 173}, {247, 187, 160}, {247, 177, 148}, {247, 166, 135}, {244, 154, 123},
    {241, 141, 111}, {236, 127, 99},  {229, 112, 88},  {222, 96, 77},   {213, 80, 66},
    {203, 62, 56},   {192, 40, 47},   {180, 4, 38},
}};

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;
// The labels' size on the map, points: smaller than the overlay's, as the map carries more text.
constexpr int kMapPointSize = 10;

std::uint32_t Along(const std::array<Rgb, 33>& table, double t) {
  if (!(t > 0)) t = 0;  // NaN too
  if (t > 1) t = 1;
  const double at = t * static_cast<double>(table.size() - 1);
  const auto i = std::min(static_cast<std::size_t>(at), table.size() - 2);
  const double f = at - static_cast<double>(i);
  const auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint32_t>(std::lround(a + (b - a) * f));
  };
  const Rgb& p = table[i];
  const Rgb& q = table[i + 1];
  return mix(p.r, q.r) | (mix(p.g, q.g) << 8) | (mix(p.b, q.b) << 16);
}

int LineHeightAt(int dpi) { return static_cast<int>(std::ceil(kMapPointSize * dpi / 72.0 * 1.4)); }

GraphicsFont MapFont(const GraphicsFont& font) {
  GraphicsFont f = font;
  f.PointSize = kMapPointSize;
  return f;
}

/// A colour bar with its frame and values: `top` .. `top + height` at `left`, `width` wide; the
/// values to the right of it, the unit above it.
void DrawBar(const StressScale& scale, PixelGrid& picture, OverlayOps& ops, int left, int top,
             int width, int height, const GraphicsFont& font, int dpi, int line, UnitSystem units) {
  for (int y = 0; y < height; ++y) {
    const double t = height > 1 ? 1.0 - static_cast<double>(y) / (height - 1) : 0.5;
    const std::uint32_t colour = scale.Colour(scale.low + t * (scale.high - scale.low));
    picture.FillRect(left, top + y, left + width - 1, top + y, colour);
  }
  // A frame of one pixel, so the pale middle of the diverging scale keeps its edge on white.
  picture.FillRect(left - 1, top - 1, left + width, top - 1, kBlack);
  picture.FillRect(left - 1, top + height, left + width, top + height, kBlack);
  picture.FillRect(left - 1, top - 1, left - 1, top + height, kBlack);
  picture.FillRect(left + width, top - 1, left + width, top + height, kBlack);
  const int textLeft = left + width + line / 3;
  const int half = line / 3;  // from a tick to the top of its text
  const auto value = [&](double v, int y) {
    ops.emplace_back(LabelOp{{textLeft, y - half},
                             StressValueText(InUnits(v, Quantity::Stress, units)),
                             kBlack,
                             font,
                             dpi});
    picture.FillRect(left + width, y, left + width + line / 4, y, kBlack);
  };
  value(scale.high, top);
  value((scale.low + scale.high) / 2, top + height / 2);
  value(scale.low, top + height - 1);
  ops.emplace_back(LabelOp{{left, top - line - line / 4},
                           std::string(UnitText(Quantity::Stress, units)),
                           kBlack,
                           font,
                           dpi});
}

}  // namespace

std::uint32_t ViridisColour(double t) { return Along(kViridis, t); }
std::uint32_t CoolWarmColour(double t) { return Along(kCoolWarm, t); }

std::uint32_t StressScale::Colour(double value) const {
  const double span = high - low;
  const double t = span > 0 ? (value - low) / span : 0.5;
  return diverging ? CoolWarmColour(t) : ViridisColour(t);
}

StressScale ScaleOf(const StressField& field, StressKind kind) {
  StressScale scale;
  scale.kind = kind;
  const StressExtremes& e = field.Overall();
  if (kind == StressKind::Sigma) {
    const double m = std::max(std::abs(e.sigmaMin.value), std::abs(e.sigmaMax.value));
    scale.diverging = true;
    scale.low = m > 0 ? -m : -1;
    scale.high = m > 0 ? m : 1;
  } else {
    const double m = kind == StressKind::Tau ? e.tauMax.value : e.vonMisesMax.value;
    scale.low = 0;
    scale.high = m > 0 ? m : 1;
  }
  return scale;
}

int PictureOfViewPixel(int viewPos, int viewSize, int pictureSize) {
  if (viewSize <= 0 || pictureSize <= 0) return 0;
  const std::int64_t p =
      (2 * static_cast<std::int64_t>(viewPos) + 1) * pictureSize / (2 * std::int64_t{viewSize});
  return static_cast<int>(std::clamp<std::int64_t>(p, 0, pictureSize - 1));
}

std::string StressValueText(double value) { return FormatGeneral(value, 4, 1); }

std::optional<PixelPoint> StressViewLayout::PictureAt(int x, int y, int pictureWidth,
                                                      int pictureHeight) const {
  if (x < mapLeft || x >= mapLeft + mapWidth || y < mapTop || y >= mapTop + mapHeight) {
    return std::nullopt;
  }
  return PixelPoint{PictureOfViewPixel(x - mapLeft, mapWidth, pictureWidth),
                    PictureOfViewPixel(y - mapTop, mapHeight, pictureHeight)};
}

StressViewLayout LayOutStressView(const SectionBounds& bounds, int pictureWidth, int pictureHeight,
                                  int viewWidth, int viewHeight, int dpi) {
  StressViewLayout l;
  if (viewWidth <= 0 || viewHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return l;
  const int line = LineHeightAt(dpi);
  l.barWidth = std::max(6, line / 2);
  l.legendWidth = l.barWidth + line / 3 + 4 * line;  // bar, gap and about seven digits
  l.margin = std::max(2, line / 4);
  const int strip = l.legendWidth + 2 * l.margin;
  l.mapWidth = viewWidth;
  l.mapHeight = viewHeight;
  // The room either side of the section's box at full size: the view's columns that show
  // picture columns left of its first and right of its last.
  int roomLeft = 0;
  while (roomLeft < viewWidth &&
         PictureOfViewPixel(roomLeft, viewWidth, pictureWidth) < bounds.xmin) {
    ++roomLeft;
  }
  int roomRight = 0;
  while (roomRight < viewWidth - roomLeft &&
         PictureOfViewPixel(viewWidth - 1 - roomRight, viewWidth, pictureWidth) > bounds.xmax) {
    ++roomRight;
  }
  const bool right = roomRight >= roomLeft;
  if (std::max(roomLeft, roomRight) < strip) {
    // No side has room: the map goes beside the strip, smaller, in its proportions.
    l.mapWidth = std::max(1, viewWidth - strip);
    l.mapHeight = std::max(
        1, static_cast<int>(static_cast<std::int64_t>(viewHeight) * l.mapWidth / viewWidth));
    l.mapTop = (viewHeight - l.mapHeight) / 2;
    l.mapLeft = right ? 0 : viewWidth - l.mapWidth;
  }
  l.barLeft = right ? viewWidth - l.legendWidth - l.margin : l.margin;
  l.barHeight = viewHeight * 3 / 5;
  l.barTop = (viewHeight - l.barHeight) / 2;
  return l;
}

StressDrawing DrawStressView(const StressField& field, const StressScale& scale, int pictureWidth,
                             int pictureHeight, int viewWidth, int viewHeight,
                             const GraphicsFont& font, int dpi, UnitSystem units) {
  StressDrawing d;
  if (viewWidth <= 0 || viewHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return d;
  d.picture = PixelGrid(viewWidth, viewHeight, kWhite);
  const SectionBounds& b = field.Bounds();
  const StressViewLayout l =
      LayOutStressView(b, pictureWidth, pictureHeight, viewWidth, viewHeight, dpi);
  std::vector<int> columns(static_cast<std::size_t>(l.mapWidth));
  for (int x = 0; x < l.mapWidth; ++x) {
    columns[static_cast<std::size_t>(x)] = PictureOfViewPixel(x, l.mapWidth, pictureWidth);
  }
  for (int y = 0; y < l.mapHeight; ++y) {
    const int py = PictureOfViewPixel(y, l.mapHeight, pictureHeight);
    if (py < b.ymin || py > b.ymax) continue;
    std::uint32_t* row = d.picture.Row(l.mapTop + y) + l.mapLeft;
    for (int x = 0; x < l.mapWidth; ++x) {
      const int px = columns[static_cast<std::size_t>(x)];
      if (px < b.xmin || px > b.xmax) continue;
      const PixelStress p = field.At(px, py);
      if (p.material >= 0) row[x] = scale.Colour(p.Value(scale.kind));
    }
  }

  // The bar beside the section, on a white ground.
  const int line = LineHeightAt(dpi);
  d.picture.FillRect(l.barLeft - l.margin, l.barTop - line - l.margin,
                     l.barLeft + l.legendWidth + l.margin - 1,
                     l.barTop + l.barHeight + line / 2 + l.margin, kWhite);
  DrawBar(scale, d.picture, d.ops, l.barLeft, l.barTop, l.barWidth, l.barHeight, MapFont(font), dpi,
          line, units);
  return d;
}

StressDrawing DrawStressPicture(const StressField& field, const StressScale& scale,
                                int pictureWidth, int pictureHeight, const StressMapText& text,
                                const GraphicsFont& font, int boxHeight, int screenDpi) {
  StressDrawing d;
  if (pictureWidth <= 0 || pictureHeight <= 0) return d;
  const int dpi = LabelDpiFor(pictureHeight, boxHeight, screenDpi);
  const int line = LineHeightAt(dpi);
  const GraphicsFont labelFont = MapFont(font);
  const int panel = 17 * line;
  const int height = std::max(pictureHeight, 24 * line);
  d.picture = PixelGrid(pictureWidth + panel, height, kWhite);

  const SectionBounds& b = field.Bounds();
  for (int y = b.ymin; y <= b.ymax; ++y) {
    std::uint32_t* row = d.picture.Row(y);
    for (int x = b.xmin; x <= b.xmax; ++x) {
      const PixelStress p = field.At(x, y);
      if (p.material >= 0) row[x] = scale.Colour(p.Value(scale.kind));
    }
  }
  // A line between the map and the panel.
  d.picture.FillRect(pictureWidth, 0, pictureWidth, height - 1, kBlack);

  // The extremes: a circle round each and its value beside it.
  const StressExtremes& e = field.Overall();
  struct Mark {
    const char* name;
    const StressExtreme* extreme;
  };
  std::vector<Mark> marks;
  if (scale.kind == StressKind::Sigma) {
    marks = {{"max", &e.sigmaMax}, {"min", &e.sigmaMin}};
  } else {
    marks = {{"max", scale.kind == StressKind::Tau ? &e.tauMax : &e.vonMisesMax}};
  }
  const int radius = std::max(5, line * 2 / 3);
  const int pen = PenWidthFor(height);
  const std::string stressUnit(UnitText(Quantity::Stress, text.units));
  const std::string lengthUnit(UnitText(Quantity::Length, text.units));
  std::vector<std::string> extremeLines;
  for (const Mark& m : marks) {
    if (e.pixels == 0) break;
    const std::optional<PicturePoint> at =
        PictureOfPoint(b, m.extreme->at.Hor, m.extreme->at.Ver, field.Dx(), field.Dy());
    if (!at) continue;
    const int x = RoundEven(at->x);
    const int y = RoundEven(at->y);
    d.ops.emplace_back(EllipseOp{{x - radius, y - radius}, {x + radius, y + radius}, kBlack, pen});
    const std::string value =
        std::string(m.name) + " " +
        StressValueText(InUnits(m.extreme->value, Quantity::Stress, text.units));
    d.ops.emplace_back(LabelOp{{x + radius, y + radius / 2}, value, kBlack, labelFont, dpi});
    std::string extremeLine = value;
    extremeLine += " " + stressUnit + " at ";
    extremeLine += LengthText(m.extreme->at.Hor, text.units) + ", ";
    extremeLine += LengthText(m.extreme->at.Ver, text.units) + " " + lengthUnit;
    extremeLines.push_back(std::move(extremeLine));
  }

  // The panel: name, field, actions, bar, extremes.
  const int left = pictureWidth + line / 2;
  int y = line / 2;
  const auto write = [&](const std::string& t) {
    d.ops.emplace_back(LabelOp{{left, y}, t, kBlack, labelFont, dpi});
    y += line;
  };
  write(text.pictureName);
  write(std::string(StressKindTitle(scale.kind)) + " [" + stressUnit + "]");
  y += line / 2;
  for (const std::string& action : text.actions) write(action);
  y += line * 2;
  const int barBottom = height - line * (2 + static_cast<int>(extremeLines.size()));
  const int barHeight = std::max(line * 4, barBottom - y);
  DrawBar(scale, d.picture, d.ops, left, y, line, barHeight, labelFont, dpi, line, text.units);
  y += barHeight + line;
  for (const std::string& t : extremeLines) write(t);
  return d;
}

}  // namespace qv
