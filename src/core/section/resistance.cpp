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
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/library/dd_props.h"
#include "core/scan/moments.h"
#include "core/section/integration.h"
#include "core/section/rotated_fibres.h"
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

  /// How far the strains go to failure: 1 at failure, homogeneous of degree one. With
  /// `limitedOnly`, a material without limits counts for nothing.
  double Utilisation(double e1, double e2, bool limitedOnly = false) const {
    const auto eps = [&](double v) { return e1 + (e2 - e1) * v / mDepth; };
    double most = 0;
    for (const MaterialFibres& f : mMaterials) {
      const double ea = eps(f.vmin);
      const double eb = eps(f.vmax);
      const double lo = std::min(ea, eb);
      const double hi = std::max(ea, eb);
      const LawOfMaterial& law = *f.law;
      if (limitedOnly && !law.CompressionLimit() && !law.TensionLimit()) continue;
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

  /// Some fibre's strain has reached a kink of its law other than at zero strain (where concrete
  /// cracks and a table may start): the end of the elastic range.
  bool Yielded(double e1, double e2) const {
    const auto eps = [&](double v) { return e1 + (e2 - e1) * v / mDepth; };
    for (const MaterialFibres& f : mMaterials) {
      const double lo = std::min(eps(f.vmin), eps(f.vmax));
      const double hi = std::max(eps(f.vmin), eps(f.vmax));
      for (const double kink : f.kinks) {
        if ((kink < 0 && lo <= kink) || (kink > 0 && hi >= kink)) return true;
      }
    }
    return false;
  }

 private:
  double mDepth;
  double mReference;
  std::vector<MaterialFibres> mMaterials;
};

/// The failure state at `t` of the path of one sense: 0 uniform tension, 1 uniform compression.
template <class Resultants>
struct FailureStateOf {
  double e1 = 0;
  double e2 = 0;
  Resultants forces;
};
using FailureState = FailureStateOf<Forces>;

template <class Fibres>
auto StateAt(const Fibres& fibres, double t, bool firstCompressed) {
  // Along two edges of the square of strains, so that both ends are exactly uniform.
  const double a = t <= 0.5 ? 1 - 4 * t : -1;  // the compressed side's strain
  const double b = t <= 0.5 ? 1 : 3 - 4 * t;   // the other side's
  FailureStateOf<decltype(fibres.Integrate(a, b))> s;
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
template <class Fibres>
auto StateAtForce(const Fibres& fibres, double n, bool firstCompressed, double nTension,
                  double nCompression) -> std::optional<decltype(StateAt(fibres, 0, true))> {
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

/// The root of `f`, increasing, between `lo` and `hi` where f(lo) <= 0 <= f(hi): regula falsi
/// with the Illinois step (the side kept twice has its value halved), so that a smooth force
/// converges in a few integrations where bisection takes fifty. `tolerance` bounds |f| at the end.
template <class F>
double Root(F f, double lo, double hi, double flo, double fhi, double tolerance) {
  if (flo >= 0) return lo;
  if (fhi <= 0) return hi;
  int kept = 0;
  for (int i = 0; i < 200 && hi - lo > 1e-15 * (std::abs(lo) + std::abs(hi)); ++i) {
    double x = (lo * fhi - hi * flo) / (fhi - flo);
    if (!(x > lo && x < hi)) x = (lo + hi) / 2;
    const double fx = f(x);
    if (std::abs(fx) <= tolerance) return x;
    if (fx < 0) {
      lo = x;
      flo = fx;
      if (kept == -1) fhi /= 2;
      kept = -1;
    } else {
      hi = x;
      fhi = fx;
      if (kept == 1) flo /= 2;
      kept = 1;
    }
  }
  return (lo + hi) / 2;
}

/// The states of one axis at a given curvature with the axial force n, the first side compressed.
class CurvatureStates {
 public:
  CurvatureStates(const AxisFibres& fibres, double tolerance)
      : mFibres(fibres), mTolerance(tolerance) {}

  /// The strain at the first edge of the state with curvature `k` (1/mm) and the axial force
  /// `n`, searched from `guess`; none where no strain gives that force.
  std::optional<double> FirstStrain(double k, double n, double guess) const {
    const double span = k * mFibres.Depth();
    const auto f = [&](double e1) { return mFibres.Integrate(e1, e1 + span).n - n; };
    const double at = f(guess);
    if (at == 0) return guess;
    // Steps doubling away from the guess until the force passes n.
    double step = std::max(1e-4, std::abs(span));
    double lo = guess;
    double hi = guess;
    double flo = at;
    double fhi = at;
    while (at < 0 ? fhi < 0 : flo > 0) {
      if (step > 1e3) return std::nullopt;
      if (at < 0) {
        lo = hi;
        flo = fhi;
        hi = guess + step;
        fhi = f(hi);
      } else {
        hi = lo;
        fhi = flo;
        lo = guess - step;
        flo = f(lo);
      }
      step *= 2;
    }
    return Root(f, lo, hi, flo, fhi, mTolerance);
  }

  /// The smallest curvature up to `kMax` at which the fibres leave the elastic range; 0 where
  /// they have left it already without curvature, none where they stay in it.
  std::optional<double> FirstYield(double n, double kMax, double guess) const {
    const auto yielded = [&](double k) {
      const std::optional<double> e1 = FirstStrain(k, n, guess);
      if (e1) guess = *e1;
      return e1 && mFibres.Yielded(*e1, *e1 + k * mFibres.Depth());
    };
    if (yielded(0)) return 0.0;
    if (!yielded(kMax)) return std::nullopt;
    double lo = 0;
    double hi = kMax;
    for (int i = 0; i < 60 && hi - lo > 1e-12 * hi; ++i) {
      const double mid = (lo + hi) / 2;
      (yielded(mid) ? hi : lo) = mid;
    }
    return hi;
  }

 private:
  const AxisFibres& mFibres;
  double mTolerance;
};

/// The moment-curvature list of one axis at the force of `failure` (the failure state with the
/// first side compressed at that force): from curvature 0 to the failure state itself or, where
/// the failure comes from the strain taken for materials without limits, to 30 times the first
/// yield curvature. Points: 15 equal steps to the first yield, 44 growing geometrically after it,
/// where the curve bends most.
void MomentCurvature(const AxisFibres& fibres, double n, const std::optional<FailureState>& failure,
                     double tolerance, ResistanceAxis& axis) {
  std::vector<std::array<double, 2>>& curve = axis.momentCurvature;
  if (!failure) return;
  const double depth = fibres.Depth();
  const double kFail = (failure->e2 - failure->e1) / depth;
  if (!(kFail > 0)) {
    curve.push_back({0.0, failure->forces.m});
    axis.curveEndsAtFailure = true;
    return;
  }
  const CurvatureStates states(fibres, tolerance);
  const double guess = failure->e1 + kFail * depth / 2;
  double kEnd = kFail;
  std::optional<double> yield = states.FirstYield(n, kFail, guess);
  const bool limited = fibres.Utilisation(failure->e1, failure->e2, true) >= 1 - 1e-9;
  if (!limited) {
    // Loaded past the elastic range by N alone: the yield curvature without the force sets the
    // scale instead.
    std::optional<double> scale = yield;
    if (scale && *scale == 0) scale = states.FirstYield(0, kFail, guess);
    if (scale && *scale > 0) kEnd = std::min(kFail, 30 * *scale);
  }
  std::vector<double> ks;
  constexpr int kBefore = 15;
  constexpr int kAfter = 44;
  if (yield && *yield > 0 && *yield < kEnd) {
    for (int i = 0; i <= kBefore; ++i) ks.push_back(i == kBefore ? *yield : *yield * i / kBefore);
    for (int i = 1; i <= kAfter; ++i) {
      ks.push_back(i == kAfter ? kEnd : *yield * std::pow(kEnd / *yield, double(i) / kAfter));
    }
  } else {
    for (int i = 0; i <= kBefore + kAfter; ++i) {
      ks.push_back(i == kBefore + kAfter ? kEnd : kEnd * i / (kBefore + kAfter));
    }
  }
  double e1 = guess;
  for (const double k : ks) {
    if (k == kFail) {
      curve.push_back({k, failure->forces.m});
      axis.curveEndsAtFailure = true;
      break;
    }
    const std::optional<double> first = states.FirstStrain(k, n, e1);
    if (!first) break;
    e1 = *first;
    curve.push_back({k, fibres.Integrate(e1, e1 + k * depth).m});
    if (yield && k == *yield) axis.firstYield = curve.back();
  }
}

bool Stopped(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

ResistanceAxis AxisResistance(const AxisFibres& fibres, const ResistanceSection& r,
                              const ResistanceAsk& ask, const std::atomic<bool>* cancel) {
  const int interactionPoints = ask.interactionPoints;
  ResistanceAxis axis;
  const auto at = [&](double n, bool first) {
    return StateAtForce(fibres, n, first, r.nTension, r.nCompression);
  };
  const std::optional<FailureState> failure = at(r.n, true);
  if (failure) {
    axis.mFirstCompressed = failure->forces.m;
    axis.axisFirstCompressed = NeutralAxis(*failure, fibres.Depth());
  }
  if (ask.momentCurvature) {
    const double tolerance = 1e-13 * (r.nTension - r.nCompression);
    MomentCurvature(fibres, r.n, failure, tolerance, axis);
  }
  if (const std::optional<FailureState> s = at(r.n, false)) {
    axis.mSecondCompressed = s->forces.m;
    axis.axisSecondCompressed = NeutralAxis(*s, fibres.Depth());
  }
  for (int i = 0; i < interactionPoints && !Stopped(cancel); ++i) {
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

/// The failure moments at the force of `r` for `angles` directions of the neutral axis evenly
/// round the turn, angle 0 the horizontal axis with the top compressed, turning anticlockwise on
/// the screen; empty where the force lies beyond the resistances.
std::vector<std::array<double, 3>> Biaxial(const std::vector<MaterialRect>& rects,
                                           const std::vector<LawOfMaterial>& laws, double bin,
                                           const ResistanceSection& r, int angles,
                                           const std::atomic<bool>* cancel) {
  std::vector<std::array<double, 3>> list;
  if (!(r.n <= r.nTension && r.n >= r.nCompression)) return list;
  const double tolerance = 1e-13 * (r.nTension - r.nCompression);
  RotatedFibres fibres(rects, laws);
  for (int i = 0; i < angles && !Stopped(cancel); ++i) {
    const double angle = 360.0 * i / angles;
    fibres.Turn(angle, bin);
    // The force falls smoothly along the path, so regula falsi needs a fifth of bisection's
    // integrations, and a direction costs about what an axis does.
    const auto excess = [&](double t) { return r.n - StateAt(fibres, t, true).forces.n; };
    const double t = Root(excess, 0, 1, excess(0), excess(1), tolerance);
    const std::array<double, 2> m = fibres.AxisMoments(StateAt(fibres, t, true).forces);
    list.push_back({angle, m[0], m[1]});
  }
  return list;
}

bool Finite(const std::optional<double>& v) { return !v || std::isfinite(*v); }

}  // namespace

ResistanceOutcome ComputeResistance(const SectionPixels& pixels, const SectionBounds& bounds,
                                    const TPROPClass& library, const StrengthTable& strengths,
                                    const LawTable& laws, const SectionResult& section, double n,
                                    const ResistanceAsk& ask, const std::atomic<bool>* cancel) {
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
  std::vector<PixelRect> pixelRects;
  const SectionStrips strips = CountStrips(pixels, bounds, colours, carrierOf,
                                           ask.biaxialAngles > 0 ? &pixelRects : nullptr);
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
  values.asked = ask;
  values.laws = std::move(used);
  values.nTension = StateAt(rows, 0, true).forces.n;
  values.nCompression = StateAt(rows, 1, true).forces.n;
  values.horizontal = AxisResistance(rows, values, ask, cancel);
  if (!Stopped(cancel)) values.vertical = AxisResistance(columns, values, ask, cancel);
  if (ask.biaxialAngles > 0 && !Stopped(cancel)) {
    const double cx = (c.x - bounds.xmin + 0.5) * section.Dx;
    const double cy = (c.y - bounds.ymin + 0.5) * section.Dy;
    std::vector<MaterialRect> rects;
    for (const PixelRect& p : pixelRects) {
      const MaterialRect at = {p.x0 * section.Dx - cx, p.x1 * section.Dx - cx,
                               p.y0 * section.Dy - cy, p.y1 * section.Dy - cy};
      if (pixels.coverage == nullptr) {
        const auto colour = std::find(colours.begin(), colours.end(), p.colour);
        rects.push_back(at);
        rects.back().material = static_cast<std::size_t>(colour - colours.begin());
        continue;
      }
      for (const CoverageShare& share : pixels.coverage->Shares(p.colour)) {
        const int m = carrierOf[static_cast<std::size_t>(share.material)];
        if (m < 0) continue;
        rects.push_back(at);
        rects.back().material = static_cast<std::size_t>(m);
        rects.back().weight =
            static_cast<double>(share.weight) / static_cast<double>(kCoverageUnit);
      }
    }
    values.biaxial = Biaxial(rects, carriers, std::min(section.Dx, section.Dy), values,
                             ask.biaxialAngles, cancel);
  }
  if (Stopped(cancel)) {
    outcome.missing = "cancelled";
    return outcome;
  }
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
