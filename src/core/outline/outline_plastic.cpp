// Plastic moments from each material's boundary, cut by the axis.
//
// For a region bounded anticlockwise, the area and the first moment about a horizontal line
// y = c of its part above the line are boundary integrals with only dy terms,
//   A = closed integral of x dy,   Q = closed integral of x (y - c) dy,
// which vanish along the line itself. So the part's boundary needs no closing along the cut:
// each boundary piece is clipped to its side of the line (arcs split exactly where they cross
// it) and integrated in closed form. The balance of the blocks' forces,
//   f(c) = sum of fc A(above c) - sum of ft A(below c),
// never grows with c; its zero is bracketed between the heights where pieces begin and end and
// then found by bisection on these exact areas. A vertical axis is
// the same problem with the drawing turned a quarter clockwise, which keeps each region on the
// left of its boundary and puts "left of the axis" above it.
#include "core/outline/outline_plastic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/outline/outline_regions.h"
#include "core/scan/moments.h"
#include "core/section/integration.h"

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;

struct Carrier {
  double E = 0;
  Strength strength;
};

/// A boundary piece with its circle worked out once, since every cut reuses it.
struct Piece {
  DrawingPoint a;
  DrawingPoint b;
  bool arc = false;
  ArcCircle circle;
  double ymin = 0;  ///< its extent up the drawing, an arc's crest included
  double ymax = 0;
};

/// One material's boundary, ready for cutting.
struct Region {
  std::vector<Piece> pieces;
  double x0 = 0;  ///< the middle of its extent across: x is integrated about it
  double ymin = 0;
  double ymax = 0;
  double area = 0;
  double firstMoment = 0;  ///< of y about the origin
};

/// A region's part on one side of the cut: its area and the first moment of its distance from
/// the cut (never negative).
struct Block {
  double A = 0;
  double Q = 0;
};

struct Cut {
  Block above;
  Block below;
};

/// Where `angle` lies along the arc from its start, signed as the sweep: in [0, 2 pi) for an
/// anticlockwise arc, (-2 pi, 0] for a clockwise one.
double AlongSweep(double angle, const ArcCircle& c) {
  double d = std::remainder(angle - c.start, 2 * kPi);
  if (c.sweep >= 0 && d < 0) d += 2 * kPi;
  if (c.sweep < 0 && d > 0) d -= 2 * kPi;
  return d;
}

bool OnArc(double angle, const ArcCircle& c) {
  return std::abs(AlongSweep(angle, c)) <= std::abs(c.sweep);
}

/// Adds the straight piece from (x1, u1) to (x2, u2) to the block of its side: x about the
/// region's x0, u the height above the cut.
void AddStraight(double x1, double u1, double x2, double u2, Cut& cut) {
  const double du = u2 - u1;
  const double a = 0.5 * (x1 + x2) * du;
  const double q = du * (2 * x1 * u1 + x1 * u2 + x2 * u1 + 2 * x2 * u2) / 6;
  if (u1 + u2 > 0) {
    cut.above.A += a;
    cut.above.Q += q;
  } else {
    cut.below.A += a;
    cut.below.Q -= q;
  }
}

/// Adds the arc of `circle` from angle t0 to t1, which does not cross the cut at y = c, to the
/// block of its side; x about x0.
void AddArc(const ArcCircle& circle, double x0, double c, double t0, double t1, Cut& cut) {
  const double r = circle.r;
  const double px = circle.cx - x0;
  const double v = circle.cy - c;
  const double s0 = std::sin(t0);
  const double s1 = std::sin(t1);
  const double c0 = std::cos(t0);
  const double c1 = std::cos(t1);
  // x = px + r cos t, u = v + r sin t, du = r cos t dt.
  const double sinDiff = s1 - s0;
  const double halfCos2 = 0.5 * (t1 - t0) + 0.5 * (s1 * c1 - s0 * c0);  // integral of cos^2
  const double a = px * r * sinDiff + r * r * halfCos2;
  const double q = px * v * r * sinDiff + px * r * r * 0.5 * (s1 * s1 - s0 * s0) +
                   v * r * r * halfCos2 - r * r * r * (c1 * c1 * c1 - c0 * c0 * c0) / 3;
  // The piece lies on one side; its middle alone may touch the line (a tangent crest).
  if (4 * v + r * (s0 + s1 + 2 * std::sin(0.5 * (t0 + t1))) > 0) {
    cut.above.A += a;
    cut.above.Q += q;
  } else {
    cut.below.A += a;
    cut.below.Q -= q;
  }
}

/// Adds the blocks of piece `p` of a region integrated about x0 above and below y = c.
void AddPiece(const Piece& p, double x0, double c, Cut& cut) {
  if (!p.arc) {
    const double x1 = p.a.x - x0;
    const double x2 = p.b.x - x0;
    const double u1 = p.a.y - c;
    const double u2 = p.b.y - c;
    if ((u1 > 0 && u2 < 0) || (u1 < 0 && u2 > 0)) {
      const double xm = x1 + (x2 - x1) * (u1 / (u1 - u2));
      AddStraight(x1, u1, xm, 0, cut);
      AddStraight(xm, 0, x2, u2, cut);
    } else {
      AddStraight(x1, u1, x2, u2, cut);
    }
    return;
  }
  // The arc meets the line where sin t = (c - cy) / r: split it there, in sweep order.
  const ArcCircle& circle = p.circle;
  double splits[2];
  int count = 0;
  const double s = (c - circle.cy) / circle.r;
  if (std::abs(s) < 1) {
    const double t = std::asin(s);
    for (const double angle : {t, kPi - t}) {
      const double d = AlongSweep(angle, circle);
      if (d != 0 && std::abs(d) < std::abs(circle.sweep)) splits[count++] = d;
    }
  }
  if (count == 2 && std::abs(splits[1]) < std::abs(splits[0])) std::swap(splits[0], splits[1]);
  double from = 0;
  for (int i = 0; i <= count; ++i) {
    const double to = i < count ? splits[i] : circle.sweep;
    AddArc(circle, x0, c, circle.start + from, circle.start + to, cut);
    from = to;
  }
}

Region RegionOf(const std::vector<BoundaryPiece>& boundary) {
  Region region;
  if (boundary.empty()) return region;
  double xmin = std::numeric_limits<double>::infinity();
  double xmax = -xmin;
  region.ymin = xmin;
  region.ymax = xmax;
  const auto grow = [&](double x, double y) {
    xmin = std::min(xmin, x);
    xmax = std::max(xmax, x);
    region.ymin = std::min(region.ymin, y);
    region.ymax = std::max(region.ymax, y);
  };
  for (const BoundaryPiece& b : boundary) {
    Piece p{b.a, b.b, b.bulge != 0, {}, std::min(b.a.y, b.b.y), std::max(b.a.y, b.b.y)};
    grow(b.a.x, b.a.y);
    if (p.arc) {
      p.circle = CircleOfArc(b.a, b.b, b.bulge);
      for (int quarter = 0; quarter < 4; ++quarter) {
        const double angle = quarter * kPi / 2;
        if (OnArc(angle, p.circle)) {
          const double y = p.circle.cy + p.circle.r * std::sin(angle);
          grow(p.circle.cx + p.circle.r * std::cos(angle), y);
          p.ymin = std::min(p.ymin, y);
          p.ymax = std::max(p.ymax, y);
        }
      }
    }
    region.pieces.push_back(p);
  }
  region.x0 = 0.5 * (xmin + xmax);
  const AreaMoments m = RegionMoments(boundary);
  region.area = m.A;
  region.firstMoment = m.Sy;
  return region;
}

/// The boundary turned a quarter clockwise, (x, y) -> (y, -x): "left of x = c" becomes "above
/// y = -c", and the region stays on the left of its pieces.
std::vector<BoundaryPiece> Turned(const std::vector<BoundaryPiece>& boundary) {
  std::vector<BoundaryPiece> turned;
  turned.reserve(boundary.size());
  for (const BoundaryPiece& p : boundary) {
    turned.push_back({{p.a.y, -p.a.x}, {p.b.y, -p.b.x}, p.bulge});
  }
  return turned;
}

/// Every piece of every region, with what the search needs of it.
struct Item {
  const Piece* piece = nullptr;
  double x0 = 0;
  std::size_t region = 0;
};

struct AxisBalance {
  double position = 0;  // drawing y of the axis
  double moment = 0;    // N mm, in units of the strength unit
};

/// The forces on either side of the cut at y = c, the first side (above) at strength `first`
/// and the second at `second` (per region): sum first A(above) - second A(below).
double Force(const std::vector<const Item*>& items, const std::vector<double>& first,
             const std::vector<double>& second, double c) {
  double f = 0;
  for (const Item* item : items) {
    Cut cut;
    AddPiece(*item->piece, item->x0, c, cut);
    f += first[item->region] * cut.above.A - second[item->region] * cut.below.A;
  }
  return f;
}

/// The first index in [begin, end) where `holds` fails, for a `holds` true then false.
template <typename Holds>
std::size_t FirstFailing(std::size_t begin, std::size_t end, Holds holds) {
  while (begin < end) {
    const std::size_t middle = begin + (end - begin) / 2;
    if (holds(middle)) {
      begin = middle + 1;
    } else {
      end = middle;
    }
  }
  return begin;
}

/// The axis where the blocks balance, and their moment about it. `levels` are the heights
/// where pieces begin or end, sorted: between two of them every piece lies wholly on one side
/// of the cut or crosses the whole span, so the search brackets the axis between levels with
/// full sums and then bisects with the crossing pieces alone.
AxisBalance Balance(const std::vector<Item>& items, const std::vector<double>& levels,
                    const std::vector<Region>& regions, const std::vector<double>& first,
                    const std::vector<double>& second) {
  double scale = 0;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    scale += (first[i] + second[i]) * std::abs(regions[i].area);
  }
  // The areas carry rounding of a few units in the last place; within it the balance counts as
  // struck, which is what finds a band of no material between two parts.
  const double tolerance = 64 * std::numeric_limits<double>::epsilon() * scale;
  const auto above = [&](double f) { return f > tolerance; };
  const auto notBelow = [&](double f) { return f >= -tolerance; };
  std::vector<const Item*> all;
  all.reserve(items.size());
  for (const Item& item : items) all.push_back(&item);
  const auto forceAt = [&](std::size_t level) { return Force(all, first, second, levels[level]); };
  const double resolution = 1e-15 * (levels.back() - levels.front());

  // The point of the span levels[k] .. levels[k + 1] where `holds` of the force turns false.
  const auto within = [&](std::size_t k, auto holds) {
    double a = levels[k];
    double b = levels[k + 1];
    double fixed = 0;
    std::vector<const Item*> crossing;
    const double middle = 0.5 * (a + b);
    for (const Item& item : items) {
      if (item.piece->ymin < b && item.piece->ymax > a) {
        crossing.push_back(&item);
      } else {
        Cut cut;
        AddPiece(*item.piece, item.x0, middle, cut);
        fixed += first[item.region] * cut.above.A - second[item.region] * cut.below.A;
      }
    }
    while (b - a > resolution) {
      const double m = 0.5 * (a + b);
      if (m <= a || m >= b) break;
      (holds(fixed + Force(crossing, first, second, m)) ? a : b) = m;
    }
    return 0.5 * (a + b);
  };

  // The force never grows with the height: the band where it is nought lies between the last
  // level still above it and the first level below it.
  const std::size_t n = levels.size();
  const std::size_t pastAbove =
      FirstFailing(0, n, [&](std::size_t i) { return above(forceAt(i)); });
  const double low = pastAbove == 0   ? levels.front()
                     : pastAbove == n ? levels.back()
                                      : within(pastAbove - 1, above);
  std::size_t pastNotBelow = pastAbove;
  if (pastNotBelow < n && notBelow(forceAt(pastNotBelow))) {
    pastNotBelow =
        FirstFailing(pastNotBelow + 1, n, [&](std::size_t i) { return notBelow(forceAt(i)); });
  }
  const double high = pastNotBelow == 0   ? levels.front()
                      : pastNotBelow == n ? levels.back()
                                          : within(pastNotBelow - 1, notBelow);
  AxisBalance result;
  result.position = 0.5 * (low + high);
  for (const Item& item : items) {
    Cut cut;
    AddPiece(*item.piece, item.x0, result.position, cut);
    result.moment += first[item.region] * cut.above.Q + second[item.region] * cut.below.Q;
  }
  return result;
}

/// The plastic values about a horizontal axis of the drawing whose box's top edge is at `top`.
PlasticAxis AxisValues(const std::vector<Region>& regions, const std::vector<Carrier>& carriers,
                       double top, double unit) {
  std::vector<double> compression;
  std::vector<double> tension;
  std::vector<Item> items;
  std::vector<double> levels;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    compression.push_back(carriers[i].strength.compression / unit);
    tension.push_back(carriers[i].strength.tension / unit);
    for (const Piece& p : regions[i].pieces) {
      items.push_back({&p, regions[i].x0, i});
      levels.push_back(p.ymin);
      levels.push_back(p.ymax);
    }
  }
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  const AxisBalance first = Balance(items, levels, regions, compression, tension);
  const AxisBalance second = Balance(items, levels, regions, tension, compression);
  PlasticAxis axis;
  axis.mplFirstCompressed = first.moment * unit;
  axis.axisFirstCompressed = top - first.position;
  axis.mplSecondCompressed = second.moment * unit;
  axis.axisSecondCompressed = top - second.position;
  return axis;
}

/// The elastic section modulus of the first material to yield, EI / (E c), with c its fibre
/// farthest from the elastic centre; nothing when EI is not above 0 or no fibre lies off it.
std::optional<double> ElasticModulus(const std::vector<Region>& regions,
                                     const std::vector<Carrier>& carriers, double EI) {
  if (!(EI > 0)) return std::nullopt;
  double EA = 0;
  double ES = 0;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    EA += carriers[i].E * regions[i].area;
    ES += carriers[i].E * regions[i].firstMoment;
  }
  if (!(EA > 0)) return std::nullopt;
  const double centre = ES / EA;
  double least = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < regions.size(); ++i) {
    if (regions[i].pieces.empty() || !(regions[i].area > 0)) continue;
    const double c =
        std::max(std::abs(regions[i].ymax - centre), std::abs(regions[i].ymin - centre));
    if (c > 0) least = std::min(least, EI / (carriers[i].E * c));
  }
  if (!std::isfinite(least)) return std::nullopt;
  return least;
}

}  // namespace

PlasticOutcome OutlinePlasticSection(const OutlineDrawing& drawing, const TPROPClass& library,
                                     const StrengthTable& strengths, const SectionResult& section,
                                     double boxLeft, double boxTop) {
  PlasticOutcome outcome;
  std::vector<Carrier> carriers;
  std::vector<std::uint32_t> colours;
  std::vector<std::pair<std::string, Strength>> used;
  std::string without;
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    if (!(m.E > 0)) continue;  // a hole drawn in a colour
    const std::string& label = m.entry->prop.colorlabel;
    const std::optional<Strength> strength = strengths.Get(label);
    if (!strength) {
      without += (without.empty() ? "" : ", ") + label;
      continue;
    }
    carriers.push_back({m.E, *strength});
    colours.push_back(m.colour);
    used.emplace_back(label, *strength);
  }
  if (!without.empty()) {
    outcome.missing = "no strength given for " + without;
    return outcome;
  }
  const std::string nothing = "no material with E above 0 in the section";
  if (carriers.empty()) {
    outcome.missing = nothing;
    return outcome;
  }

  const std::vector<std::vector<BoundaryPiece>> boundaries = MaterialBoundaries(drawing, colours);
  std::vector<Region> rows;
  std::vector<Region> columns;
  double area = 0;
  for (const std::vector<BoundaryPiece>& boundary : boundaries) {
    rows.push_back(RegionOf(boundary));
    columns.push_back(RegionOf(Turned(boundary)));
    area += std::max(0.0, rows.back().area);
  }
  if (!(area > 0)) {
    outcome.missing = nothing;
    return outcome;
  }

  const double unit = StrengthScale(carriers);
  PlasticSection values;
  values.strengths = std::move(used);
  values.horizontal = AxisValues(rows, carriers, boxTop, unit);
  values.vertical = AxisValues(columns, carriers, -boxLeft, unit);
  if (std::optional<std::string> beyond = BeyondRange(values, unit)) {
    outcome.missing = std::move(*beyond);
    return outcome;
  }
  if (const double fy = SingleStrength(carriers); fy > 0) {
    values.fy = fy;
    const auto finish = [&](PlasticAxis& axis, const std::vector<Region>& regions, double EI) {
      axis.wpl = axis.mplFirstCompressed / fy;
      if (const std::optional<double> wel = ElasticModulus(regions, carriers, EI)) {
        axis.shapeFactor = *axis.wpl / *wel;
      }
    };
    // The stiffnesses as the moduli take them: moved from the analysis's rounded NC to the
    // elastic centre, or as they stand for values without a pixel size.
    const ElasticCentre c = ElasticCentreOf(section).value_or(CentreAtNC(section));
    finish(values.horizontal, rows, c.EIzz);
    finish(values.vertical, columns, c.EIyy);
  }
  outcome.values = values;
  return outcome;
}

}  // namespace qv
