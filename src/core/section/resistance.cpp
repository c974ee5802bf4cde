// The ultimate resistance from the section binned by depth once per axis.
//
// Strain is linear over the section, eps(v) = e1 + (e2 - e1) v / H with v the depth from the
// first edge, so a pixel row (column) is a fibre strip whose stress depends on depth alone: each
// strip of each material is integrated exactly, split where the strain passes a kink of its law
// and the pieces taken by two-point Gauss (exact for the laws' polynomials of degree 2 and less).
// Runs of strips of one width are one segment. A state then costs the segments, not the pixels.
//
// Failure states form one path per sense of bending: the direction (e1, e2) runs from uniform
// tension (1, 1) through pure curvature to uniform compression (-1, -1), and each direction is
// scaled until the most used fibre reaches its limit (the utilisation is homogeneous of degree
// one in the strains, so the scaling is a division). Along that path the axial force falls from
// the resistance to tension to that to compression; the state at a given force is found by
// bisection on the path.
#include "core/section/resistance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/library/dd_props.h"
#include "core/scan/moments.h"
#include "core/section/integration.h"
#include "core/section/strip_counts.h"

namespace qv {
namespace {

struct Forces {
  double n = 0;  // N
  double m = 0;  // N mm, positive where it compresses the first side
};

// Consecutive strips of one width, integrated as one: a rectangle's rows are a single segment.
struct Segment {
  double from = 0;  // mm from the first edge
  double to = 0;
  double width = 0;  // mm
};

struct MaterialFibres {
  const LawOfMaterial* law = nullptr;
  std::vector<Segment> segments;
  double vmin = 0;  // the material's extent, mm from the first edge
  double vmax = 0;
  std::vector<double> kinks;
  // Two Gauss points are exact only where the stress is a polynomial of degree 2 at most;
  // elsewhere (a parabola of another exponent) a piece is integrated strip by strip.
  double longestPiece = 0;
};

class AxisFibres {
 public:
  AxisFibres(const StripCounts& counts, const std::vector<LawOfMaterial>& laws, double across,
             double h, double reference)
      : mDepth(h * counts.strips), mReference(reference) {
    const std::size_t materials = laws.size();
    for (std::size_t m = 0; m < materials; ++m) {
      MaterialFibres fibres;
      fibres.law = &laws[m];
      fibres.kinks = laws[m].Kinks();
      const MaterialLaw& law = laws[m].Law();
      const bool polynomial = law.kind != LawKind::kParabolaRectangle || law.n == 1 || law.n == 2;
      fibres.longestPiece = polynomial ? std::numeric_limits<double>::infinity() : h;
      std::int64_t last = -1;
      for (int i = 0; i < counts.strips; ++i) {
        const std::int64_t count = counts.counts[static_cast<std::size_t>(i) * materials + m];
        if (count == 0) continue;
        if (count == last && fibres.segments.back().to == i * h) {
          fibres.segments.back().to = (i + 1) * h;
        } else {
          fibres.segments.push_back(
              {i * h, (i + 1) * h,
               static_cast<double>(count) / static_cast<double>(counts.unit) * across});
        }
        last = count;
      }
      if (fibres.segments.empty()) continue;
      fibres.vmin = fibres.segments.front().from;
      fibres.vmax = fibres.segments.back().to;
      mMaterials.push_back(std::move(fibres));
    }
  }

  double Depth() const { return mDepth; }

  Forces Integrate(double e1, double e2) const {
    const double k = (e2 - e1) / mDepth;
    Forces total;
    std::vector<double> cuts;
    for (const MaterialFibres& f : mMaterials) {
      for (const Segment& segment : f.segments) {
        const double va = segment.from;
        const double vb = segment.to;
        cuts.assign(1, va);
        if (k != 0) {
          const double ea = e1 + k * va;
          const double eb = e1 + k * vb;
          for (const double kink : f.kinks) {
            if (kink > std::min(ea, eb) && kink < std::max(ea, eb)) {
              cuts.push_back((kink - e1) / k);
            }
          }
          std::sort(cuts.begin() + 1, cuts.end());
        }
        cuts.push_back(vb);
        for (std::size_t p = 0; p + 1 < cuts.size(); ++p) {
          const double length = cuts[p + 1] - cuts[p];
          const double parts = length > f.longestPiece ? std::ceil(length / f.longestPiece) : 1;
          const double half = length / parts / 2;
          const double gauss = half / std::sqrt(3.0);
          for (double q = 0; q < parts; ++q) {
            const double mid = cuts[p] + (2 * q + 1) * half;
            for (const double v : {mid - gauss, mid + gauss}) {
              const double force = segment.width * half * f.law->Sigma(e1 + k * v);
              total.n += force;
              total.m += force * (v - mReference);
            }
          }
        }
      }
    }
    return total;
  }

  /// How far the strains go to failure: 1 at failure, homogeneous of degree one.
  double Utilisation(double e1, double e2) const {
    const auto eps = [&](double v) { return e1 + (e2 - e1) * v / mDepth; };
    double most = 0;
    for (const MaterialFibres& f : mMaterials) {
      const double ea = eps(f.vmin);
      const double eb = eps(f.vmax);
      const double lo = std::min(ea, eb);
      const double hi = std::max(ea, eb);
      const LawOfMaterial& law = *f.law;
      if (lo < 0) most = std::max(most, lo / law.CompressionLimit().value_or(-kUnlimitedStrain));
      if (hi > 0) most = std::max(most, hi / law.TensionLimit().value_or(kUnlimitedStrain));
      if (law.HasPivot() && hi <= 0 && lo < 0) {
        const double reach = law.PivotDepth() * (f.vmax - f.vmin);
        const double pivot = ea <= eb ? f.vmin + reach : f.vmax - reach;
        most = std::max(most, -eps(pivot) / law.PivotStrain());
      }
    }
    return most;
  }

 private:
  double mDepth;
  double mReference;
  std::vector<MaterialFibres> mMaterials;
};

/// The failure state at `t` of the path of one sense: 0 uniform tension, 1 uniform compression.
struct FailureState {
  double e1 = 0;
  double e2 = 0;
  Forces forces;
};

FailureState StateAt(const AxisFibres& fibres, double t, bool firstCompressed) {
  // Along two edges of the square of strains, so that both ends are exactly uniform.
  const double a = t <= 0.5 ? 1 - 4 * t : -1;  // the compressed side's strain
  const double b = t <= 0.5 ? 1 : 3 - 4 * t;   // the other side's
  FailureState s;
  s.e1 = firstCompressed ? a : b;
  s.e2 = firstCompressed ? b : a;
  const double used = fibres.Utilisation(s.e1, s.e2);
  s.e1 /= used;
  s.e2 /= used;
  s.forces = fibres.Integrate(s.e1, s.e2);
  if (!firstCompressed) s.forces.m = -s.forces.m;
  return s;
}

/// The failure state of one sense at the axial force `n`, or none beyond the resistances.
std::optional<FailureState> StateAtForce(const AxisFibres& fibres, double n, bool firstCompressed,
                                         double nTension, double nCompression) {
  if (!(n <= nTension && n >= nCompression)) return std::nullopt;
  double lo = 0;  // the force there is at least n
  double hi = 1;
  for (int i = 0; i < 200 && hi - lo > 1e-15; ++i) {
    const double mid = (lo + hi) / 2;
    if (StateAt(fibres, mid, firstCompressed).forces.n >= n) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return StateAt(fibres, (lo + hi) / 2, firstCompressed);
}

std::optional<double> NeutralAxis(const FailureState& s, double depth) {
  if (s.e1 == s.e2) return std::nullopt;
  return -s.e1 * depth / (s.e2 - s.e1);
}

ResistanceAxis AxisResistance(const AxisFibres& fibres, const ResistanceSection& r,
                              int interactionPoints) {
  ResistanceAxis axis;
  const auto at = [&](double n, bool first) {
    return StateAtForce(fibres, n, first, r.nTension, r.nCompression);
  };
  if (const std::optional<FailureState> s = at(r.n, true)) {
    axis.mFirstCompressed = s->forces.m;
    axis.axisFirstCompressed = NeutralAxis(*s, fibres.Depth());
  }
  if (const std::optional<FailureState> s = at(r.n, false)) {
    axis.mSecondCompressed = s->forces.m;
    axis.axisSecondCompressed = NeutralAxis(*s, fibres.Depth());
  }
  for (int i = 0; i < interactionPoints; ++i) {
    // The ends exactly, whatever the rounding of the steps between them.
    const double n =
        i == 0 ? r.nCompression
        : i == interactionPoints - 1
            ? r.nTension
            : r.nCompression + (r.nTension - r.nCompression) * i / (interactionPoints - 1);
    const std::optional<FailureState> first = at(n, true);
    const std::optional<FailureState> second = at(n, false);
    axis.interaction.push_back({n, first ? first->forces.m : 0.0, second ? second->forces.m : 0.0});
  }
  return axis;
}

bool Finite(const std::optional<double>& v) { return !v || std::isfinite(*v); }

}  // namespace

ResistanceOutcome ComputeResistance(const SectionPixels& pixels, const SectionBounds& bounds,
                                    const TPROPClass& library, const StrengthTable& strengths,
                                    const LawTable& laws, const SectionResult& section, double n,
                                    const ResistanceAsk& ask) {
  ResistanceOutcome outcome;
  std::vector<LawOfMaterial> carriers;
  std::vector<std::uint32_t> colours;
  std::vector<int> carrierOf;
  std::string without;
  std::string unbounded;
  std::vector<std::pair<std::string, std::string>> used;
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    carrierOf.push_back(-1);
    if (!(m.E > 0)) continue;  // a hole drawn in a colour
    const std::string& label = m.entry->prop.colorlabel;
    const std::optional<Strength> strength = strengths.Get(label);
    const std::optional<MaterialLaw> given = laws.Get(label);
    const MaterialLaw law = given.value_or(DefaultLaw(strength));
    const bool needsStrength =
        law.kind == LawKind::kElasticPlastic || law.kind == LawKind::kParabolaRectangle;
    if ((needsStrength || !given) && !strength) {
      without += (without.empty() ? "" : ", ") + label;
      continue;
    }
    LawOfMaterial material(law, m.E, strength.value_or(Strength{}));
    if (!material.Bounded()) {
      unbounded += (unbounded.empty() ? "" : ", ") + label + " (" + MaterialLawText(law) + ")";
      continue;
    }
    carrierOf.back() = static_cast<int>(carriers.size());
    carriers.push_back(std::move(material));
    colours.push_back(m.colour);
    used.emplace_back(label, MaterialLawText(law));
  }
  if (!without.empty()) {
    outcome.missing = "no strength given for " + without;
    return outcome;
  }
  if (!unbounded.empty()) {
    outcome.missing = "the law of " + unbounded + " bounds no stress";
    return outcome;
  }
  if (carriers.empty() || !pixels.Cover(bounds)) {
    outcome.missing = "no material with E above 0 in the section";
    return outcome;
  }
  const SectionStrips strips = CountStrips(pixels, bounds, colours, carrierOf);
  if (!strips.any) {
    outcome.missing = "no material with E above 0 in the section";
    return outcome;
  }
  // Moments about the elastic centre, where the analysis' actions apply.
  const ElasticCentre c = ElasticCentreOf(section).value_or(CentreAtNC(section));
  const AxisFibres rows(strips.rows, carriers, section.Dx, section.Dy,
                        (c.y - bounds.ymin + 0.5) * section.Dy);
  const AxisFibres columns(strips.columns, carriers, section.Dy, section.Dx,
                           (c.x - bounds.xmin + 0.5) * section.Dx);
  ResistanceSection values;
  values.n = n;
  values.laws = std::move(used);
  values.nTension = StateAt(rows, 0, true).forces.n;
  values.nCompression = StateAt(rows, 1, true).forces.n;
  values.horizontal = AxisResistance(rows, values, ask.interactionPoints);
  values.vertical = AxisResistance(columns, values, ask.interactionPoints);
  bool finite = std::isfinite(values.nTension) && std::isfinite(values.nCompression);
  for (const ResistanceAxis* axis : {&values.horizontal, &values.vertical}) {
    finite = finite && Finite(axis->mFirstCompressed) && Finite(axis->mSecondCompressed);
  }
  if (!finite) {
    outcome.missing = "the resistance lies beyond the range of numbers";
    return outcome;
  }
  outcome.values = std::move(values);
  return outcome;
}

}  // namespace qv
