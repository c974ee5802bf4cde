// Binning the section's rectangles along an inclined direction.
//
// The pieces of the rectangles' trapezoids are added to the bins they lie in: a piece inside a
// bin (or the end of one inside it) is kept as it is, and one spanning whole bins goes into a
// difference array of polynomial coefficients, summed across the bins at the end. The cost is
// the rectangles and the bins, not the pixels; a state then costs the bins.
#include "core/section/rotated_fibres.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "core/section/resistance.h"

namespace qv {
namespace {

// Three-point Gauss-Legendre on [-1, 1]: exact for polynomials of degree 5, so for a stress of
// degree 2 times a width of degree 1 times the depth, or times a first moment of degree 2.
constexpr std::array<double, 3> kGaussX = {-0.7745966692414834, 0.0, 0.7745966692414834};
constexpr std::array<double, 3> kGaussW = {0.5555555555555556, 0.8888888888888888,
                                           0.5555555555555556};

// sin and cos of an angle in degrees, exact at the quarter turns so that those directions bin
// the section exactly as the strips along the axes do.
std::pair<double, double> SinCos(double degrees) {
  double turn = std::fmod(degrees, 360.0);
  if (turn < 0) turn += 360;
  if (turn == 0) return {0.0, 1.0};
  if (turn == 90) return {1.0, 0.0};
  if (turn == 180) return {0.0, -1.0};
  if (turn == 270) return {-1.0, 0.0};
  const double r = turn * std::numbers::pi / 180;
  return {std::sin(r), std::cos(r)};
}

}  // namespace

void RotatedFibres::Turn(double angleDegrees, double bin) {
  const std::vector<MaterialRect>& rects = mRects;
  const std::vector<LawOfMaterial>& laws = mLaws;
  const auto [sa, ca] = SinCos(angleDegrees);
  mSin = sa;
  mCos = ca;
  const double ux = sa;
  const double uy = ca;
  const double wx = ca;
  const double wy = -sa;
  const std::size_t materials = laws.size();
  mMaterials.resize(materials);
  for (Material& f : mMaterials) {
    f.kinks.clear();
    f.bins.clear();
  }
  mParts.clear();
  std::vector<bool> present(materials, false);
  double tmin = 0;
  double tmax = 0;
  bool first = true;
  for (const MaterialRect& r : rects) {
    for (const double x : {r.x0, r.x1}) {
      for (const double y : {r.y0, r.y1}) {
        const double t = x * ux + y * uy;
        Material& f = mMaterials[r.material];
        if (!present[r.material]) {
          f.tmin = f.tmax = t;
          present[r.material] = true;
        }
        f.tmin = std::min(f.tmin, t);
        f.tmax = std::max(f.tmax, t);
        tmin = first ? t : std::min(tmin, t);
        tmax = first ? t : std::max(tmax, t);
        first = false;
      }
    }
  }
  mStart = tmin;
  mDepth = tmax - tmin;
  mBin = std::max({bin, mDepth / kMaxBins, 1e-9});
  mBins = std::max(1, static_cast<int>(std::ceil(mDepth / mBin)));
  const auto edge = [&](int j) { return mStart + j * mBin; };
  const auto binOf = [&](double t) {
    return std::clamp(static_cast<int>(std::floor((t - mStart) / mBin)), 0, mBins - 1);
  };

  std::vector<std::vector<std::array<double, 5>>>& spans = mSpans;
  std::vector<std::vector<int>>& spanning = mSpanning;
  std::vector<std::vector<std::pair<int, Piece>>>& parts = mHeld;
  spans.resize(materials);
  spanning.resize(materials);
  parts.resize(materials);
  for (std::size_t m = 0; m < materials; ++m) {
    parts[m].clear();
    if (!present[m]) continue;
    spans[m].assign(static_cast<std::size_t>(mBins) + 1, {0, 0, 0, 0, 0});
    spanning[m].assign(static_cast<std::size_t>(mBins) + 1, 0);
  }
  const auto add = [&](std::size_t m, const Piece& piece) {
    const int jp = binOf(piece.from);
    const int jq = binOf(piece.to);
    const auto part = [&](int j, double from, double to) {
      if (!(to > from)) return;
      Piece p = piece;
      p.from = from;
      p.to = to;
      parts[m].emplace_back(j, p);
    };
    if (jp == jq) {
      part(jp, piece.from, piece.to);
      return;
    }
    part(jp, piece.from, edge(jp + 1));
    part(jq, edge(jq), piece.to);
    if (jq > jp + 1) {
      const std::array<double, 5> c = {piece.w[0], piece.w[1], piece.s[0], piece.s[1], piece.s[2]};
      for (std::size_t i = 0; i < 5; ++i) {
        spans[m][static_cast<std::size_t>(jp) + 1][i] += c[i];
        spans[m][static_cast<std::size_t>(jq)][i] -= c[i];
      }
      ++spanning[m][static_cast<std::size_t>(jp) + 1];
      --spanning[m][static_cast<std::size_t>(jq)];
    }
  };

  for (const MaterialRect& r : rects) {
    // The corners in turn round the rectangle, then the two paths round it from the shallowest
    // corner to the deepest (its opposite one): the chord at a depth runs between them.
    const std::array<std::array<double, 2>, 4> corners = {
        {{r.x0, r.y0}, {r.x1, r.y0}, {r.x1, r.y1}, {r.x0, r.y1}}};
    std::array<double, 4> t{};
    std::array<double, 4> s{};
    for (std::size_t i = 0; i < 4; ++i) {
      t[i] = corners[i][0] * ux + corners[i][1] * uy;
      s[i] = corners[i][0] * wx + corners[i][1] * wy;
    }
    const auto a = static_cast<std::size_t>(std::min_element(t.begin(), t.end()) - t.begin());
    const std::array<std::size_t, 3> one = {a, (a + 1) % 4, (a + 2) % 4};
    const std::array<std::size_t, 3> two = {a, (a + 3) % 4, (a + 2) % 4};
    const auto along = [&](const std::array<std::size_t, 3>& path, double at, double middle) {
      const std::size_t from = middle < t[path[1]] ? path[0] : path[1];
      const std::size_t to = middle < t[path[1]] ? path[1] : path[2];
      return s[from] + (s[to] - s[from]) * (at - t[from]) / (t[to] - t[from]);
    };
    const double lo = std::min(t[one[1]], t[two[1]]);
    const double hi = std::max(t[one[1]], t[two[1]]);
    for (const auto& [p, q] : {std::pair{t[a], lo}, std::pair{lo, hi}, std::pair{hi, t[one[2]]}}) {
      if (!(q > p)) continue;
      const double middle = (p + q) / 2;
      const double s1p = along(one, p, middle);
      const double s1q = along(one, q, middle);
      const double s2p = along(two, p, middle);
      const double s2q = along(two, q, middle);
      const double wp = std::abs(s1p - s2p) * r.weight;
      const double wq = std::abs(s1q - s2q) * r.weight;
      const double mp = (s1p + s2p) / 2;
      const double mq = (s1q + s2q) / 2;
      Piece piece;
      piece.from = p;
      piece.to = q;
      const double w1 = (wq - wp) / (q - p);
      const double w0 = wp - w1 * p;
      const double m1 = (mq - mp) / (q - p);
      const double m0 = mp - m1 * p;
      piece.w[0] = w0;
      piece.w[1] = w1;
      piece.s[0] = m0 * w0;
      piece.s[1] = m0 * w1 + m1 * w0;
      piece.s[2] = m1 * w1;
      add(r.material, piece);
    }
  }

  // The bins' moments about their middles, each piece's by Gauss (exact for its degree).
  const auto moments = [&](Bin& b, double from, double to, const double* w, const double* s) {
    const double middle = edge(b.index) + mBin / 2;
    const double half = (to - from) / 2;
    for (std::size_t g = 0; g < 3; ++g) {
      const double at = from + half * (1 + kGaussX[g]);
      const double width = (w[0] + w[1] * at) * half * kGaussW[g];
      const double moment = (s[0] + (s[1] + s[2] * at) * at) * half * kGaussW[g];
      const double tau = at - middle;
      double power = 1;
      for (std::size_t k = 0; k < 4; ++k) {
        b.wm[k] += width * power;
        if (k < 3) b.sm[k] += moment * power;
        power *= tau;
      }
    }
  };
  for (std::size_t m = 0; m < materials; ++m) {
    Material& f = mMaterials[m];
    f.law = &laws[m];
    for (const double kink : laws[m].Kinks()) f.kinks.push_back(kink);
    if (!present[m]) continue;
    std::stable_sort(parts[m].begin(), parts[m].end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::array<double, 5> running = {0, 0, 0, 0, 0};
    int count = 0;
    std::size_t next = 0;
    for (int j = 0; j < mBins; ++j) {
      for (std::size_t i = 0; i < 5; ++i) running[i] += spans[m][static_cast<std::size_t>(j)][i];
      count += spanning[m][static_cast<std::size_t>(j)];
      const std::size_t begin = next;
      while (next < parts[m].size() && parts[m][next].first == j) ++next;
      if (count == 0 && begin == next) continue;
      Bin b;
      b.index = j;
      if (count > 0) {
        std::copy(running.begin(), running.end(), std::begin(b.whole));
        moments(b, edge(j), edge(j + 1), &b.whole[0], &b.whole[2]);
      }
      b.partsBegin = mParts.size();
      for (std::size_t i = begin; i < next; ++i) {
        const Piece& p = parts[m][i].second;
        moments(b, p.from, p.to, p.w, p.s);
        mParts.push_back(p);
      }
      b.partsEnd = mParts.size();
      f.bins.push_back(b);
    }
  }
}

void RotatedFibres::IntegratePiece(const Material& f, double from, double to, const double* w,
                                   const double* s, double e1, double k,
                                   RotatedForces& total) const {
  const auto eps = [&](double t) { return e1 + k * (t - mStart); };
  std::vector<double> cuts = {from};
  if (k != 0) {
    const double ea = eps(from);
    const double eb = eps(to);
    for (const double kink : f.kinks) {
      if (kink > std::min(ea, eb) && kink < std::max(ea, eb)) {
        cuts.push_back(mStart + (kink - e1) / k);
      }
    }
    std::sort(cuts.begin() + 1, cuts.end());
  }
  cuts.push_back(to);
  for (std::size_t p = 0; p + 1 < cuts.size(); ++p) {
    const double half = (cuts[p + 1] - cuts[p]) / 2;
    for (std::size_t g = 0; g < 3; ++g) {
      const double at = cuts[p] + half * (1 + kGaussX[g]);
      const double sigma = f.law->Sigma(eps(at)) * half * kGaussW[g];
      const double width = w[0] + w[1] * at;
      total.n += sigma * width;
      total.m += sigma * width * at;
      total.ms += sigma * (s[0] + (s[1] + s[2] * at) * at);
    }
  }
}

RotatedForces RotatedFibres::Integrate(double e1, double e2) const {
  const double k = mDepth > 0 ? (e2 - e1) / mDepth : 0.0;
  const auto eps = [&](double t) { return e1 + k * (t - mStart); };
  const double half = mBin / 2;
  RotatedForces total;
  for (const Material& f : mMaterials) {
    if (f.bins.empty()) continue;
    // A bin's stress at its far edge is the next one's at its near edge.
    int lastIndex = -2;
    double lastSigma = 0;
    for (const Bin& b : f.bins) {
      const double from = mStart + b.index * mBin;
      const double ea = eps(from);
      const double ec = eps(from + mBin);
      const bool kinked = std::any_of(f.kinks.begin(), f.kinks.end(), [&](double kink) {
        return kink > std::min(ea, ec) && kink < std::max(ea, ec);
      });
      if (kinked) {
        IntegratePiece(f, from, from + mBin, &b.whole[0], &b.whole[2], e1, k, total);
        for (std::size_t i = b.partsBegin; i < b.partsEnd; ++i) {
          const Piece& p = mParts[i];
          IntegratePiece(f, p.from, p.to, p.w, p.s, e1, k, total);
        }
        lastIndex = -2;
        continue;
      }
      // The stress is a polynomial of degree 2 at most across the bin: its interpolant through
      // the ends and the middle is the stress itself.
      const double sa = lastIndex == b.index - 1 ? lastSigma : f.law->Sigma(ea);
      const double sm = f.law->Sigma(eps(from + half));
      const double sc = f.law->Sigma(ec);
      lastIndex = b.index;
      lastSigma = sc;
      const double a0 = sm;
      const double a1 = (sc - sa) / (2 * half);
      const double a2 = (sc + sa - 2 * sm) / (2 * half * half);
      const double middle = from + half;
      total.n += a0 * b.wm[0] + a1 * b.wm[1] + a2 * b.wm[2];
      total.m += a0 * (b.wm[1] + middle * b.wm[0]) + a1 * (b.wm[2] + middle * b.wm[1]) +
                 a2 * (b.wm[3] + middle * b.wm[2]);
      total.ms += a0 * b.sm[0] + a1 * b.sm[1] + a2 * b.sm[2];
    }
  }
  return total;
}

double RotatedFibres::Utilisation(double e1, double e2) const {
  const double k = mDepth > 0 ? (e2 - e1) / mDepth : 0.0;
  const auto eps = [&](double t) { return e1 + k * (t - mStart); };
  double most = 0;
  for (const Material& f : mMaterials) {
    if (f.bins.empty()) continue;
    const double ea = eps(f.tmin);
    const double eb = eps(f.tmax);
    const double lo = std::min(ea, eb);
    const double hi = std::max(ea, eb);
    const LawOfMaterial& law = *f.law;
    if (lo < 0) most = std::max(most, lo / law.CompressionLimit().value_or(-kUnlimitedStrain));
    if (hi > 0) most = std::max(most, hi / law.TensionLimit().value_or(kUnlimitedStrain));
    if (law.HasPivot() && hi <= 0 && lo < 0) {
      const double reach = law.PivotDepth() * (f.tmax - f.tmin);
      const double pivot = ea <= eb ? f.tmin + reach : f.tmax - reach;
      most = std::max(most, -eps(pivot) / law.PivotStrain());
    }
  }
  return most;
}

}  // namespace qv
