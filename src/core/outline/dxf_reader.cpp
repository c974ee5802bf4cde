// DXF entities to outline loops, through libdxflib's reader callbacks.
#include "core/outline/dxf_reader.h"

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "core/base/error.h"
#include "core/outline/outline_regions.h"

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;
// Coordinates beyond this many mm are no section drawing.
constexpr double kMaxCoordinateMm = 1e7;

std::uint32_t Pixel(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
         (static_cast<std::uint32_t>(b) << 16);
}

// An open run of edges: each vertex's bulge belongs to the edge to the next; the last's is
// unused.
using Path = std::vector<OutlineVertex>;

Path Reversed(const Path& path) {
  Path out(path.rbegin(), path.rend());
  for (std::size_t i = 0; i + 1 < out.size(); ++i) out[i].bulge = -out[i + 1].bulge;
  if (!out.empty()) out.back().bulge = 0;
  return out;
}

// Whether p lies inside `loop` by the even-odd rule, arcs taken as a few chords: enough to
// tell which of two nested loops holds the other.
bool Inside(const OutlineLoop& loop, DrawingPoint p) {
  std::vector<DrawingPoint> points;
  const std::size_t n = loop.vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const OutlineVertex& v = loop.vertices[i];
    points.push_back({v.x, v.y});
    if (v.bulge == 0) continue;
    const OutlineVertex& w = loop.vertices[(i + 1) % n];
    const ArcCircle c = CircleOfArc({v.x, v.y}, {w.x, w.y}, v.bulge);
    for (int k = 1; k < 32; ++k) {
      const double angle = c.start + c.sweep * k / 32;
      points.push_back({c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)});
    }
  }
  bool inside = false;
  for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
    const DrawingPoint& a = points[i];
    const DrawingPoint& b = points[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
      inside = !inside;
    }
  }
  return inside;
}

class Collector : public DL_CreationAdapter {
 public:
  struct Item {
    std::uint32_t colour = 0;
    std::vector<OutlineLoop> loops;  // one shape's loops (several for a hatch)
    bool hatch = false;
  };

  std::vector<Item> items;
  std::vector<std::pair<std::uint32_t, Path>> open;
  std::int64_t ignored = 0;
  std::int64_t vertices = 0;
  std::int64_t maxVertices = kMaxOutlineVertices;
  bool tooMany = false;
  bool notFinite = false;
  int units = 4;

  void setVariableInt(const std::string& key, int value, int /*code*/) override {
    if (key == "$INSUNITS") units = value;
  }
  void addLayer(const DL_LayerData& data) override { mLayers[data.name] = AttributeColour(true); }
  void addBlock(const DL_BlockData& /*data*/) override {
    Flush();
    mInBlock = true;
  }
  void endBlock() override { mInBlock = false; }
  void endSequence() override { Flush(); }

  void addLine(const DL_LineData& d) override {
    if (Skip()) return;
    AddOpen({{d.x1, d.y1, 0}, {d.x2, d.y2, 0}});
  }
  void addArc(const DL_ArcData& d) override {
    if (Skip()) return;
    const double a1 = d.angle1 * kPi / 180;
    double sweep = std::fmod(d.angle2 - d.angle1, 360.0);
    if (sweep <= 0) sweep += 360;
    sweep *= kPi / 180;
    const double a2 = a1 + sweep;
    AddOpen(Placed(
        {{d.cx + d.radius * std::cos(a1), d.cy + d.radius * std::sin(a1), BulgeOfSweep(sweep)},
         {d.cx + d.radius * std::cos(a2), d.cy + d.radius * std::sin(a2), 0}}));
  }
  void addCircle(const DL_CircleData& d) override {
    if (Skip()) return;
    if (!(d.radius > 0)) {
      ++ignored;
      return;
    }
    AddLoop({Placed({{d.cx - d.radius, d.cy, 1}, {d.cx + d.radius, d.cy, 1}})});
  }
  void addEllipse(const DL_EllipseData& d) override {
    if (Skip()) return;
    const double t0 = d.angle1;
    double t1 = d.angle2;
    const bool full = std::abs(std::remainder(t1 - t0, 2 * kPi)) < 1e-12;
    if (full) t1 = t0 + 2 * kPi;
    std::vector<DrawingPoint> points =
        FlattenEllipse({d.cx, d.cy}, {d.mx, d.my}, d.ratio, t0, t1, Tolerance());
    Count(static_cast<std::int64_t>(points.size()));
    if (full) {
      AddLoop(LoopOfPoints(points));
    } else {
      AddOpen(PathOf(points));
    }
  }
  void addPolyline(const DL_PolylineData& d) override {
    if (Skip()) return;
    mPolyline = Path{};
    mPolylineMirrored = Mirrored();
    mPolylineClosed = (d.flags & 1) != 0;
    mPolylineColour = AttributeColour(false);
  }
  void addVertex(const DL_VertexData& d) override {
    if (!mPolyline) return;
    Count(1);
    mPolyline->push_back({d.x, d.y, d.bulge});
  }
  void addSpline(const DL_SplineData& d) override {
    if (Skip()) return;
    mSpline = SplineState{};
    mSpline->degree = static_cast<int>(d.degree);
    mSpline->closed = (d.flags & 1) != 0;
    mSpline->colour = AttributeColour(false);
  }
  void addControlPoint(const DL_ControlPointData& d) override {
    if (!mSpline) return;
    Count(1);
    mSpline->controls.push_back({d.x, d.y});
    mSpline->weights.push_back(d.w);
  }
  void addKnot(const DL_KnotData& d) override {
    if (mSpline) mSpline->knots.push_back(d.k);
  }
  void addHatch(const DL_HatchData& /*data*/) override {
    if (Skip()) return;
    mHatch = Item{AttributeColour(false), {}, true};
    mHatchMirrored = Mirrored();
  }
  void addHatchLoop(const DL_HatchLoopData& /*data*/) override {
    if (mHatch) mHatchPath.emplace_back();
  }
  void addHatchEdge(const DL_HatchEdgeData& d) override {
    if (!mHatch || mHatchPath.empty()) return;
    Path& path = mHatchPath.back();
    if (d.type == 1) {
      AppendTo(path, {{d.x1, d.y1, 0}, {d.x2, d.y2, 0}});
    } else if (d.type == 2) {
      // Clockwise edges give their angles mirrored.
      double a1 = d.angle1;
      double a2 = d.angle2;
      if (!d.ccw) {
        a1 = -a1;
        a2 = -a2;
      }
      double sweep = std::fmod(d.ccw ? a2 - a1 : a1 - a2, 2 * kPi);
      if (sweep <= 0) sweep += 2 * kPi;
      if (!d.ccw) sweep = -sweep;
      AppendTo(
          path,
          {{d.cx + d.radius * std::cos(a1), d.cy + d.radius * std::sin(a1), BulgeOfSweep(sweep)},
           {d.cx + d.radius * std::cos(a1 + sweep), d.cy + d.radius * std::sin(a1 + sweep), 0}});
    } else if (d.type == 3) {
      double t0 = d.angle1;
      double t1 = d.angle2;
      std::vector<DrawingPoint> points;
      if (d.ccw) {
        points = FlattenEllipse({d.cx, d.cy}, {d.mx, d.my}, d.ratio, t0, t1, Tolerance());
      } else {
        points = FlattenEllipse({d.cx, d.cy}, {d.mx, d.my}, d.ratio, -t0, -t1, Tolerance());
        for (DrawingPoint& p : points) p.y = 2 * d.cy - p.y;  // mirrored back
      }
      Count(static_cast<std::int64_t>(points.size()));
      AppendTo(path, PathOf(points));
    } else if (d.type == 4) {
      std::vector<DrawingPoint> controls;
      for (const auto& c : d.controlPoints) {
        if (c.size() >= 2) controls.push_back({c[0], c[1]});
      }
      const std::vector<DrawingPoint> points =
          FlattenSpline(static_cast<int>(d.degree), controls, d.weights, d.knots, Tolerance());
      Count(static_cast<std::int64_t>(points.size()));
      AppendTo(path, PathOf(points));
    }
  }

  void addText(const DL_TextData& /*data*/) override { Ignore(); }
  void addMText(const DL_MTextData& /*data*/) override { Ignore(); }
  void addPoint(const DL_PointData& /*data*/) override { Ignore(); }
  void addInsert(const DL_InsertData& /*data*/) override { Ignore(); }
  void addLeader(const DL_LeaderData& /*data*/) override { Ignore(); }
  void addSolid(const DL_SolidData& /*data*/) override { Ignore(); }
  void addXLine(const DL_XLineData& /*data*/) override { Ignore(); }
  void addRay(const DL_RayData& /*data*/) override { Ignore(); }
  void addDimAlign(const DL_DimensionData& /*data*/, const DL_DimAlignedData& /*e*/) override {
    Ignore();
  }
  void addDimLinear(const DL_DimensionData& /*data*/, const DL_DimLinearData& /*e*/) override {
    Ignore();
  }
  void addDimRadial(const DL_DimensionData& /*data*/, const DL_DimRadialData& /*e*/) override {
    Ignore();
  }
  void addDimDiametric(const DL_DimensionData& /*data*/,
                       const DL_DimDiametricData& /*e*/) override {
    Ignore();
  }
  void addDimAngular(const DL_DimensionData& /*data*/, const DL_DimAngular2LData& /*e*/) override {
    Ignore();
  }
  void addDimAngular3P(const DL_DimensionData& /*data*/,
                       const DL_DimAngular3PData& /*e*/) override {
    Ignore();
  }
  void addDimOrdinate(const DL_DimensionData& /*data*/, const DL_DimOrdinateData& /*e*/) override {
    Ignore();
  }

  // Ends whatever entity of several callbacks is still open.
  void Flush() {
    if (mPolyline) {
      Path path = std::move(*mPolyline);
      mPolyline.reset();
      if (mPolylineMirrored) path = Mirror(std::move(path));
      if (path.size() >= 2 && path.front().x == path.back().x && path.front().y == path.back().y &&
          !mPolylineClosed) {
        path.pop_back();
        mPolylineClosed = true;
      }
      if (mPolylineClosed && path.size() >= 2) {
        AddLoop({std::move(path)}, mPolylineColour);
      } else if (path.size() >= 2) {
        path.back().bulge = 0;
        open.emplace_back(mPolylineColour, std::move(path));
      } else {
        ++ignored;
      }
    }
    if (mSpline) {
      const SplineState s = std::move(*mSpline);
      mSpline.reset();
      std::vector<double> weights = s.weights;
      if (std::all_of(weights.begin(), weights.end(), [](double w) { return w == 1 || w <= 0; })) {
        weights.clear();
      }
      const std::vector<DrawingPoint> points =
          FlattenSpline(s.degree, s.controls, weights, s.knots, Tolerance());
      Count(static_cast<std::int64_t>(points.size()));
      if (points.size() < 2) {
        ++ignored;
      } else if (s.closed ||
                 (points.front().x == points.back().x && points.front().y == points.back().y)) {
        AddLoop(LoopOfPoints(points), s.colour);
      } else {
        open.emplace_back(s.colour, PathOf(points));
      }
    }
    if (mHatch) {
      Item hatch = std::move(*mHatch);
      mHatch.reset();
      for (Path& path : mHatchPath) {
        if (mHatchMirrored) path = Mirror(std::move(path));
        if (path.size() >= 2 && path.front().x == path.back().x &&
            path.front().y == path.back().y) {
          path.pop_back();
        }
        if (path.size() >= 2) hatch.loops.push_back({std::move(path)});
      }
      mHatchPath.clear();
      if (hatch.loops.empty()) {
        ++ignored;
      } else {
        items.push_back(std::move(hatch));
      }
    }
  }

  // The drawing's size, for the flattening tolerance: the extent seen so far, grown as read.
  double Tolerance() const { return kFlatteningTolerance * std::max(1.0, mExtent); }

 private:
  struct SplineState {
    int degree = 3;
    bool closed = false;
    std::uint32_t colour = 0;
    std::vector<DrawingPoint> controls;
    std::vector<double> weights;
    std::vector<double> knots;
  };

  // An entity drawn in its own coordinate system seen from below (extrusion direction 0, 0,
  // -1, as some programs write mirrored arcs and polylines): x turns round, and so do arcs.
  bool Mirrored() {
    const DL_Extrusion* direction = getExtrusion();
    return direction != nullptr && direction->getDirection()[2] < 0;
  }
  static Path Mirror(Path path) {
    for (OutlineVertex& v : path) {
      v.x = -v.x;
      v.bulge = -v.bulge;
    }
    return path;
  }
  Path Placed(Path path) { return Mirrored() ? Mirror(std::move(path)) : path; }

  bool Skip() {
    Flush();
    return mInBlock;
  }
  void Ignore() {
    Flush();
    if (!mInBlock) ++ignored;
  }
  void Count(std::int64_t n) {
    vertices += n;
    if (vertices > maxVertices) tooMany = true;
  }
  void Check(const Path& path) {
    for (const OutlineVertex& v : path) {
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.bulge)) notFinite = true;
      mExtent = std::max({mExtent, std::abs(v.x), std::abs(v.y)});
    }
  }
  static Path PathOf(const std::vector<DrawingPoint>& points) {
    Path path;
    for (const DrawingPoint& p : points) path.push_back({p.x, p.y, 0});
    return path;
  }
  void AppendTo(Path& path, Path part) {
    Check(part);
    if (!path.empty() && !part.empty()) path.pop_back();  // the shared corner
    path.insert(path.end(), part.begin(), part.end());
  }
  void AddOpen(Path path) {
    Count(static_cast<std::int64_t>(path.size()));
    Check(path);
    open.emplace_back(AttributeColour(false), std::move(path));
  }
  void AddLoop(OutlineLoop loop) { AddLoop(std::move(loop), AttributeColour(false)); }
  void AddLoop(OutlineLoop loop, std::uint32_t colour) {
    Count(static_cast<std::int64_t>(loop.vertices.size()));
    Check(loop.vertices);
    items.push_back({colour, {std::move(loop)}, false});
  }

  // The current entity's colour: its true colour, else its index, else its layer's.
  std::uint32_t AttributeColour(bool layer) {
    const DL_Attributes a = getAttributes();
    const int rgb = a.getColor24();
    if (rgb >= 0) return Pixel((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    const int index = layer ? std::abs(a.getColor()) : a.getColor();
    if (index >= 1 && index <= 255) return ColourOfIndex(index);
    if (!layer) {
      const auto it = mLayers.find(a.getLayer());
      if (it != mLayers.end()) return it->second;
    }
    return ColourOfIndex(7);
  }

  std::map<std::string, std::uint32_t> mLayers;
  bool mInBlock = false;
  double mExtent = 0;
  std::optional<Path> mPolyline;
  bool mPolylineClosed = false;
  bool mPolylineMirrored = false;
  bool mHatchMirrored = false;
  std::uint32_t mPolylineColour = 0;
  std::optional<SplineState> mSpline;
  std::optional<Item> mHatch;
  std::vector<Path> mHatchPath;
};

// Chains the open paths of one colour whose ends meet into loops; the rest stays open.
std::vector<std::pair<std::uint32_t, OutlineLoop>> ChainLoops(
    std::vector<std::pair<std::uint32_t, Path>> open, double tolerance, std::int64_t& ignored) {
  std::vector<std::pair<std::uint32_t, OutlineLoop>> loops;
  std::vector<char> used(open.size(), 0);
  const auto near = [&](const OutlineVertex& p, const OutlineVertex& q) {
    return std::hypot(p.x - q.x, p.y - q.y) <= tolerance;
  };
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (used[i]) continue;
    used[i] = 1;
    const std::uint32_t colour = open[i].first;
    Path chain = open[i].second;
    std::int64_t parts = 1;
    while (!near(chain.front(), chain.back()) || chain.size() < 3) {
      bool grown = false;
      for (std::size_t j = 0; j < open.size() && !grown; ++j) {
        if (used[j] || open[j].first != colour) continue;
        const Path& next = open[j].second;
        Path part;
        if (near(chain.back(), next.front())) {
          part = next;
        } else if (near(chain.back(), next.back())) {
          part = Reversed(next);
        } else {
          continue;
        }
        used[j] = 1;
        ++parts;
        const double bulge = part.front().bulge;
        chain.back().bulge = bulge;
        chain.insert(chain.end(), part.begin() + 1, part.end());
        grown = true;
      }
      if (!grown) break;
    }
    if (chain.size() >= 3 && near(chain.front(), chain.back())) {
      chain.pop_back();  // the closing corner is the first one
      loops.emplace_back(colour, OutlineLoop{std::move(chain)});
    } else {
      ignored += parts;
    }
  }
  return loops;
}

double UnitToMm(int units) {
  switch (units) {
    case 0:  // unitless: taken as mm
    case 4:
      return 1;
    case 1:
      return 25.4;
    case 2:
      return 304.8;
    case 5:
      return 10;
    case 6:
      return 1000;
    case 8:
      return 25.4e-6;
    case 9:
      return 0.0254;
    case 10:
      return 914.4;
    case 13:
      return 1e-3;
    case 14:
      return 100;
    default:
      return 0;
  }
}

}  // namespace

std::uint32_t ColourOfIndex(int index) {
  static constexpr std::array<std::array<int, 3>, 10> kFirst = {{{0, 0, 0},
                                                                 {255, 0, 0},
                                                                 {255, 255, 0},
                                                                 {0, 255, 0},
                                                                 {0, 255, 255},
                                                                 {0, 0, 255},
                                                                 {255, 0, 255},
                                                                 {0, 0, 0},
                                                                 {128, 128, 128},
                                                                 {192, 192, 192}}};
  if (index < 1 || index > 255) index = 7;
  if (index <= 9) return Pixel(kFirst[index][0], kFirst[index][1], kFirst[index][2]);
  if (index >= 250) {
    const int level = 51 + (index - 250) * 204 / 5;
    return Pixel(level, level, level);
  }
  // Ten entries per hue, 15 degrees apart: five shades, each full then half saturated.
  const int hue = (index - 10) / 10 * 15;
  const int step = (index - 10) % 10;
  static constexpr std::array<double, 5> kValue = {1.0, 0.8, 0.6, 0.5, 0.3};
  const double value = kValue[static_cast<std::size_t>(step / 2)];
  const double saturation = step % 2 == 0 ? 1.0 : 0.5;
  const double h = hue / 60.0;
  const double c = value * saturation;
  const double x = c * (1 - std::abs(std::fmod(h, 2.0) - 1));
  double r = 0;
  double g = 0;
  double b = 0;
  if (h < 1) {
    r = c, g = x;
  } else if (h < 2) {
    r = x, g = c;
  } else if (h < 3) {
    g = c, b = x;
  } else if (h < 4) {
    g = x, b = c;
  } else if (h < 5) {
    r = x, b = c;
  } else {
    r = c, b = x;
  }
  const double m = value - c;
  const auto level = [&](double v) { return static_cast<int>(std::lround((v + m) * 255)); };
  return Pixel(level(r), level(g), level(b));
}

OutlineDrawing ReadDxf(std::istream& in, const std::string& name, std::int64_t maxVertices) {
  const auto fail = [&](const std::string& reason) {
    throw Error("Cannot read drawing " + name + ": " + reason);
  };
  Collector collector;
  collector.maxVertices = maxVertices;
  DL_Dxf dxf;
  if (!dxf.in(in, &collector)) fail("it is no DXF file");
  collector.Flush();
  if (collector.tooMany) {
    fail("it holds more than " + std::to_string(maxVertices) + " outline corners");
  }
  if (collector.notFinite) fail("it holds a coordinate that is not a finite number");
  const double scale = UnitToMm(collector.units);
  if (scale == 0) {
    fail("its unit (INSUNITS " + std::to_string(collector.units) + ") is no length of a section");
  }

  // Chained ends meet within a millionth of the drawing's size.
  OutlineBox box;
  const auto grow = [&](const OutlineVertex& v) {
    if (box.Empty()) {
      box = {v.x, v.y, v.x, v.y};
      return;
    }
    box.xmin = std::min(box.xmin, v.x);
    box.ymin = std::min(box.ymin, v.y);
    box.xmax = std::max(box.xmax, v.x);
    box.ymax = std::max(box.ymax, v.y);
  };
  for (const auto& [colour, path] : collector.open) std::for_each(path.begin(), path.end(), grow);
  for (const auto& item : collector.items) {
    for (const OutlineLoop& loop : item.loops) {
      std::for_each(loop.vertices.begin(), loop.vertices.end(), grow);
    }
  }
  OutlineDrawing drawing;
  drawing.ignored = collector.ignored;
  const auto chained =
      ChainLoops(std::move(collector.open), kFlatteningTolerance * std::max(box.Size(), 1e-9),
                 drawing.ignored);

  // Drawing order: the entities' loops, then the chained ones (their place is ambiguous).
  std::vector<Collector::Item> items = std::move(collector.items);
  std::vector<std::vector<OutlineBox>> shapeBoxes;
  for (const auto& [colour, loop] : chained) items.push_back({colour, {loop}, false});
  for (Collector::Item& item : items) {
    for (OutlineLoop& loop : item.loops) {
      for (OutlineVertex& v : loop.vertices) {
        v.x *= scale;
        v.y *= scale;
        if (std::abs(v.x) > kMaxCoordinateMm || std::abs(v.y) > kMaxCoordinateMm) {
          fail("it reaches beyond 10 km from its origin");
        }
      }
    }
    // A loop nested with a loop of a shape of its colour, the latest first, joins that shape
    // (even-odd), wherever it was drawn: a hole drawn last is still a hole. Only
    // loops whose boxes nest are tested: a plate with ten thousand holes stays quick.
    std::vector<OutlineBox> boxes;
    for (const OutlineLoop& loop : item.loops) {
      OutlineDrawing one;
      one.shapes.push_back({0, {loop}});
      boxes.push_back(BoxOf(one));
    }
    if (!item.hatch && item.loops.size() == 1) {
      const OutlineLoop& loop = item.loops.front();
      const OutlineBox& loopBox = boxes.front();
      const auto within = [](const OutlineBox& p, const OutlineBox& q) {
        return p.xmin >= q.xmin && p.xmax <= q.xmax && p.ymin >= q.ymin && p.ymax <= q.ymax;
      };
      bool joined = false;
      for (std::size_t s = drawing.shapes.size(); s-- > 0;) {
        OutlineShape& shape = drawing.shapes[s];
        if (shape.colour != item.colour) continue;
        for (std::size_t l = 0; l < shape.loops.size() && !joined; ++l) {
          const OutlineLoop& other = shape.loops[l];
          const OutlineBox& otherBox = shapeBoxes[s][l];
          const OutlineVertex& a = loop.vertices.front();
          const OutlineVertex& b = other.vertices.front();
          joined = (within(loopBox, otherBox) && Inside(other, {a.x, a.y})) ||
                   (within(otherBox, loopBox) && Inside(loop, {b.x, b.y}));
        }
        if (joined) {
          shape.loops.push_back(loop);
          shapeBoxes[s].push_back(loopBox);
          break;
        }
      }
      if (joined) continue;
    }
    drawing.shapes.push_back({item.colour, std::move(item.loops)});
    shapeBoxes.push_back(std::move(boxes));
  }
  if (drawing.shapes.empty()) fail("it holds no closed outline");
  try {
    MaterialBoundaries(drawing, {});
  } catch (const Error& e) {
    fail(e.what());
  }
  return drawing;
}

OutlineDrawing ReadDxfFile(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(file, error);
  if (error) throw Error("Cannot read drawing " + name + ": " + error.message());
  if (bytes > kMaxDxfBytes) {
    throw Error("Cannot read drawing " + name + ": it is larger than " +
                std::to_string(kMaxDxfBytes >> 20) + " MB");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Error("Cannot read drawing " + name + ": it cannot be opened");
  return ReadDxf(in, name);
}

}  // namespace qv
