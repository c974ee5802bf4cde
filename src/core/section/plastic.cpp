// Plastic moments from each pixel row's and column's exact pixel counts per material.
//
// Along one direction the section is a stack of strips (rows, or columns) of thickness h. Strip
// i carries a_i per mm of depth on the first side of the axis and b_i on the second: the sum of
// its pixels' widths times their strengths. With the axis at depth v the balance
//   f(v) = integral_0^v a - integral_v^H b
// is continuous, piecewise linear and never decreasing, so its zero is found exactly: between
// strip edges it is a straight line, and the strip the axis cuts is split at v.
#include "core/section/plastic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/scan/moments.h"
#include "core/section/integration.h"
#include "core/section/strip_counts.h"

namespace qv {
namespace {

struct Carrier {
  std::uint32_t colour = 0;
  double E = 0;
  Strength strength;
};

struct AxisBalance {
  double position = 0;  // mm from the first edge
  double moment = 0;    // N mm
};

/// The axis where sum(first side) a = sum(second side) b, and the moment of both blocks about
/// it; a and b per mm of depth, strips of thickness h.
AxisBalance Balance(const std::vector<double>& a, const std::vector<double>& b, double h) {
  const std::size_t n = a.size();
  std::vector<double> before(n + 1, 0.0);  // h * sum_{i<k} a_i
  std::vector<double> after(n + 1, 0.0);   // h * sum_{i>=k} b_i
  for (std::size_t i = 0; i < n; ++i) before[i + 1] = before[i] + a[i] * h;
  for (std::size_t i = n; i-- > 0;) after[i] = after[i + 1] + b[i] * h;
  const auto f = [&](std::size_t k) { return before[k] - after[k]; };
  // Inside strip r at depth r h + s, f grows from f(r) by (a_r + b_r) s.
  const auto inside = [&](std::size_t r) {
    const double slope = a[r] + b[r];
    return slope > 0 ? std::clamp(-f(r) / slope, 0.0, h) : 0.0;
  };
  std::size_t lo = 0;
  while (lo <= n && f(lo) < 0) ++lo;
  const double low = lo == 0 ? 0.0 : static_cast<double>(lo - 1) * h + inside(lo - 1);
  std::size_t hi = n;
  while (hi > 0 && f(hi) > 0) --hi;
  const double high =
      hi == n ? static_cast<double>(n) * h : static_cast<double>(hi) * h + inside(hi);
  AxisBalance result;
  result.position = (low + high) / 2;

  // The cut strip's two blocks each act at their own middle.
  const auto cut = std::min(n - 1, static_cast<std::size_t>(std::max(0.0, result.position / h)));
  const double s = result.position - static_cast<double>(cut) * h;
  double moment = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double middle = (static_cast<double>(i) + 0.5) * h;
    if (i < cut) {
      moment += a[i] * h * (result.position - middle);
    } else if (i > cut) {
      moment += b[i] * h * (middle - result.position);
    } else {
      moment += a[i] * s * s / 2 + b[i] * (h - s) * (h - s) / 2;
    }
  }
  result.moment = moment;
  return result;
}

/// The plastic values about one axis from the strips' counts; `across` is a pixel's size along
/// the strip, `h` across it. The balance is struck in units of the largest strength `unit`, so
/// that the axis, which depends only on the strengths' ratios, comes out finite however large
/// they are; the moments are scaled back at the end and may then overflow.
PlasticAxis AxisValues(const StripCounts& strips, const std::vector<Carrier>& carriers,
                       double across, double h, double unit) {
  const std::size_t materials = carriers.size();
  const auto n = static_cast<std::size_t>(strips.strips);
  std::vector<double> compression(n, 0.0);
  std::vector<double> tension(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t m = 0; m < materials; ++m) {
      const auto count =
          static_cast<double>(strips.counts[i * materials + m]) / static_cast<double>(strips.unit);
      compression[i] += count * across * (carriers[m].strength.compression / unit);
      tension[i] += count * across * (carriers[m].strength.tension / unit);
    }
  }
  const AxisBalance first = Balance(compression, tension, h);
  const AxisBalance second = Balance(tension, compression, h);
  PlasticAxis axis;
  axis.mplFirstCompressed = first.moment * unit;
  axis.axisFirstCompressed = first.position;
  axis.mplSecondCompressed = second.moment * unit;
  axis.axisSecondCompressed = second.position;
  return axis;
}

/// The elastic section modulus of the first material to yield, EI / (E c), about an axis
/// through the elastic centre at `centre` (pixels from the box's first edge), from the strips
/// each material reaches; nothing when no fibre lies off the axis or EI is not above 0.
std::optional<double> ElasticModulus(const StripCounts& strips,
                                     const std::vector<Carrier>& carriers, double centre,
                                     double pixelMm, double EI) {
  if (!(EI > 0)) return std::nullopt;
  const std::size_t materials = carriers.size();
  double least = std::numeric_limits<double>::infinity();
  for (std::size_t m = 0; m < materials; ++m) {
    int first = -1;
    int last = -1;
    for (int i = 0; i < strips.strips; ++i) {
      if (strips.counts[static_cast<std::size_t>(i) * materials + m] == 0) continue;
      if (first < 0) first = i;
      last = i;
    }
    if (first < 0) continue;
    const double c = std::max(std::abs(first - centre), std::abs(last + 1 - centre)) * pixelMm;
    if (c > 0) least = std::min(least, EI / (carriers[m].E * c));
  }
  if (!std::isfinite(least)) return std::nullopt;
  return least;
}

}  // namespace

std::optional<std::string> BeyondRange(const PlasticSection& values, double scale) {
  for (const PlasticAxis* axis : {&values.horizontal, &values.vertical}) {
    if (!std::isfinite(axis->mplFirstCompressed) || !std::isfinite(axis->mplSecondCompressed)) {
      return "the moments lie beyond the range of numbers with strengths up to " +
             FormatGeneral(scale, 3, 1) + " N/mm^2";
    }
  }
  return std::nullopt;
}

PlasticOutcome ComputePlasticSection(const PixelGrid& grid, const SectionBounds& bounds,
                                     const TPROPClass& library, const StrengthTable& strengths,
                                     const SectionResult& section, const CoverageTable* coverage) {
  PlasticOutcome outcome;
  std::vector<Carrier> carriers;
  std::vector<std::pair<std::string, Strength>> used;
  std::string without;
  std::vector<int> carrierOf;  // the carrier of each material in use, -1 for none
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    carrierOf.push_back(-1);
    if (!(m.E > 0)) continue;  // a hole drawn in a colour
    const std::string& label = m.entry->prop.colorlabel;
    const std::optional<Strength> strength = strengths.Get(label);
    if (!strength) {
      without += (without.empty() ? "" : ", ") + label;
      continue;
    }
    carrierOf.back() = static_cast<int>(carriers.size());
    carriers.push_back({m.colour, m.E, *strength});
    used.emplace_back(label, *strength);
  }
  if (!without.empty()) {
    outcome.missing = "no strength given for " + without;
    return outcome;
  }
  if (carriers.empty() || bounds.Unset() || bounds.xmin < 0 || bounds.ymin < 0 ||
      bounds.xmax >= grid.Width() || bounds.ymax >= grid.Height()) {
    outcome.missing = "no material with E above 0 in the section";
    return outcome;
  }

  std::vector<std::uint32_t> colours;
  colours.reserve(carriers.size());
  for (const Carrier& c : carriers) colours.push_back(c.colour);
  const SectionStrips counted = CountStrips({&grid, nullptr, coverage}, bounds, colours, carrierOf);
  if (!counted.any) {
    outcome.missing = "no material with E above 0 in the section";
    return outcome;
  }
  const StripCounts& rows = counted.rows;
  const StripCounts& columns = counted.columns;

  const double unit = StrengthScale(carriers);
  PlasticSection values;
  values.strengths = std::move(used);
  values.horizontal = AxisValues(rows, carriers, section.Dx, section.Dy, unit);
  values.vertical = AxisValues(columns, carriers, section.Dy, section.Dx, unit);
  if (std::optional<std::string> beyond = BeyondRange(values, unit)) {
    outcome.missing = std::move(*beyond);
    return outcome;
  }
  if (const double fy = SingleStrength(carriers); fy > 0) {
    values.fy = fy;
    // Wel as the moduli take it: about the elastic centre C, in pixels from the box's top and
    // left edges, with the drawn area's stiffnesses about it.
    const ElasticCentre c = ElasticCentreOf(section).value_or(CentreAtNC(section));
    const double ncRow = c.y - bounds.ymin + 0.5;
    const double ncColumn = c.x - bounds.xmin + 0.5;
    const auto finish = [&](PlasticAxis& axis, const StripCounts& strips, double centre,
                            double pixelMm, double EI) {
      axis.wpl = axis.mplFirstCompressed / fy;
      if (const std::optional<double> wel = ElasticModulus(strips, carriers, centre, pixelMm, EI)) {
        axis.shapeFactor = *axis.wpl / *wel;
      }
    };
    finish(values.horizontal, rows, ncRow, section.Dy, c.EIzz);
    finish(values.vertical, columns, ncColumn, section.Dx, c.EIyy);
  }
  outcome.values = values;
  return outcome;
}

}  // namespace qv
