// The cracked section from the pixels merged into rectangles once.
//
// Each material's pixels become runs per row and runs of equal extent in consecutive rows one
// rectangle. A state (eps0, ky, kz) then costs the rectangles of the cracking materials: a
// rectangle the line of zero strain cuts is clipped to its compressed part, a polygon whose area
// and first and second moments are exact; the linear materials' integrals never change.
//
// With stresses E eps on the carrying part and 0 on the cracked part (continuous at eps = 0), the
// forces are F(x) = K(x) x with K the stiffness matrix of the carrying part, and K is also their
// derivative: the Newton step is x' = K(x)^-1 F. The forces are the gradient of the convex energy
// x K(x) x / 2 - F x, so a step that does not lower it is halved (a line search); no strain plane
// carries the actions exactly when the energy has no minimum, which shows as steps without end
// or a carrying part without stiffness.
#include "core/section/cracked.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <tuple>

#include "core/library/dd_props.h"
#include "core/library/material_law.h"
#include "core/scan/moments.h"
#include "core/scan/scan_support.h"
#include "core/section/integration.h"

namespace qv {
namespace {

constexpr int kMostSteps = 200;
constexpr int kMostHalvings = 40;
// The carrying part's stiffness, relative to the whole section's, below which it carries nothing
// in some direction.
constexpr double kSingular = 1e-13;
const char* const kCannotCarry = "the cracked section cannot carry the actions";

// A rectangle of one material's pixels, mm about the elastic centre: y to the left, z downwards.
struct Block {
  double y0 = 0;  // y0 < y1
  double y1 = 0;
  double z0 = 0;  // z0 < z1
  double z1 = 0;
  double weight = 1;  // the pixels' share of the material
};

// The integrals of 1, y, z, y^2, z^2 and y z over an area (times a weight).
struct Integrals {
  double a = 0, sy = 0, sz = 0, yy = 0, zz = 0, yz = 0;

  void Add(const Integrals& o, double f) {
    a += f * o.a;
    sy += f * o.sy;
    sz += f * o.sz;
    yy += f * o.yy;
    zz += f * o.zz;
    yz += f * o.yz;
  }
};

Integrals OfRectangle(const Block& b) {
  const double w = b.y1 - b.y0;
  const double h = b.z1 - b.z0;
  const double yc = (b.y0 + b.y1) / 2;
  const double zc = (b.z0 + b.z1) / 2;
  Integrals r;
  r.a = w * h;
  r.sy = r.a * yc;
  r.sz = r.a * zc;
  r.yy = r.a * (yc * yc + w * w / 12);
  r.zz = r.a * (zc * zc + h * h / 12);
  r.yz = r.a * yc * zc;
  return r;
}

struct Point {
  double y = 0;
  double z = 0;
};

// The polygon formulas (Green's theorem along the edges), made positive whichever way round.
Integrals OfPolygon(const std::vector<Point>& p) {
  Integrals r;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Point& a = p[i];
    const Point& b = p[(i + 1) % p.size()];
    const double c = a.y * b.z - b.y * a.z;
    r.a += c / 2;
    r.sy += (a.y + b.y) * c / 6;
    r.sz += (a.z + b.z) * c / 6;
    r.yy += (a.y * a.y + a.y * b.y + b.y * b.y) * c / 12;
    r.zz += (a.z * a.z + a.z * b.z + b.z * b.z) * c / 12;
    r.yz += (a.y * b.z + 2 * a.y * a.z + 2 * b.y * b.z + b.y * a.z) * c / 24;
  }
  if (r.a < 0) {
    Integrals positive;
    positive.Add(r, -1);
    return positive;
  }
  return r;
}

double Strain(const StrainPlane& p, double y, double z) { return p.eps0 + p.ky * y + p.kz * z; }

// The part of `b` where the strain is at most 0.
Integrals CompressedPart(const Block& b, const StrainPlane& p) {
  const std::array<Point, 4> corners = {Point{b.y0, b.z0}, Point{b.y1, b.z0}, Point{b.y1, b.z1},
                                        Point{b.y0, b.z1}};
  std::array<double, 4> eps{};
  bool anyCompressed = false;
  bool anyStretched = false;
  for (std::size_t i = 0; i < 4; ++i) {
    eps[i] = Strain(p, corners[i].y, corners[i].z);
    anyCompressed = anyCompressed || eps[i] < 0;
    anyStretched = anyStretched || eps[i] > 0;
  }
  if (!anyStretched) return OfRectangle(b);
  if (!anyCompressed) return {};
  std::vector<Point> kept;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t j = (i + 1) % 4;
    if (eps[i] <= 0) kept.push_back(corners[i]);
    if ((eps[i] < 0 && eps[j] > 0) || (eps[i] > 0 && eps[j] < 0)) {
      const double t = eps[i] / (eps[i] - eps[j]);
      kept.push_back({corners[i].y + t * (corners[j].y - corners[i].y),
                      corners[i].z + t * (corners[j].z - corners[i].z)});
    }
  }
  return OfPolygon(kept);
}

using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;

Matrix MatrixOf(const Integrals& k) {
  return {{{k.a, k.sy, k.sz}, {k.sy, k.yy, k.yz}, {k.sz, k.yz, k.zz}}};
}

Vector Times(const Matrix& m, const Vector& x) {
  Vector r{};
  for (std::size_t i = 0; i < 3; ++i) r[i] = m[i][0] * x[0] + m[i][1] * x[1] + m[i][2] * x[2];
  return r;
}

double Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Solves m x = f in the variables times `scale` (each a strain at the section's edges), so that
// the matrix's terms are alike in size, pivoting fully; none when a pivot falls below `floor`.
std::optional<Vector> Solve(Matrix m, Vector f, const Vector& scale, double floor) {
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) m[i][j] /= scale[i] * scale[j];
    f[i] /= scale[i];
  }
  std::array<std::size_t, 3> column = {0, 1, 2};
  for (std::size_t k = 0; k < 3; ++k) {
    std::size_t pr = k;
    std::size_t pc = k;
    for (std::size_t i = k; i < 3; ++i) {
      for (std::size_t j = k; j < 3; ++j) {
        if (std::abs(m[i][j]) > std::abs(m[pr][pc])) {
          pr = i;
          pc = j;
        }
      }
    }
    if (!(std::abs(m[pr][pc]) > floor)) return std::nullopt;
    std::swap(m[k], m[pr]);
    std::swap(f[k], f[pr]);
    for (auto& row : m) std::swap(row[k], row[pc]);
    std::swap(column[k], column[pc]);
    for (std::size_t i = k + 1; i < 3; ++i) {
      const double q = m[i][k] / m[k][k];
      for (std::size_t j = k; j < 3; ++j) m[i][j] -= q * m[k][j];
      f[i] -= q * f[k];
    }
  }
  Vector scaled{};
  for (std::size_t k = 3; k-- > 0;) {
    double s = f[k];
    for (std::size_t j = k + 1; j < 3; ++j) s -= m[k][j] * scaled[j];
    scaled[k] = s / m[k][k];
  }
  Vector x{};
  for (std::size_t k = 0; k < 3; ++k) x[column[k]] = scaled[k] / scale[column[k]];
  return x;
}

struct MaterialBlocks {
  double E = 0;
  bool cracks = false;
  std::vector<Block> blocks;
};

class CrackedFibres {
 public:
  explicit CrackedFibres(std::vector<MaterialBlocks> materials) : mMaterials(std::move(materials)) {
    for (const MaterialBlocks& m : mMaterials) {
      Integrals own;
      for (const Block& b : m.blocks) own.Add(OfRectangle(b), b.weight);
      mWhole.Add(own, m.E);
      if (!m.cracks) mLinear.Add(own, m.E);
      for (const Block& b : m.blocks) {
        mReach[1] = std::max({mReach[1], std::abs(b.y0), std::abs(b.y1)});
        mReach[2] = std::max({mReach[2], std::abs(b.z0), std::abs(b.z1)});
      }
    }
  }

  const std::vector<MaterialBlocks>& Materials() const { return mMaterials; }
  const Integrals& Whole() const { return mWhole; }
  // What turns each variable into a strain at the section's edge.
  Vector Scale() const { return {1, mReach[1], mReach[2]}; }
  double Size(const Vector& x) const {
    return std::abs(x[0]) + std::abs(x[1]) * mReach[1] + std::abs(x[2]) * mReach[2];
  }

  Integrals Carrying(const StrainPlane& p) const {
    Integrals k = mLinear;
    for (const MaterialBlocks& m : mMaterials) {
      if (!m.cracks) continue;
      Integrals own;
      for (const Block& b : m.blocks) own.Add(CompressedPart(b, p), b.weight);
      k.Add(own, m.E);
    }
    return k;
  }

  bool AnyCrackInTension(const StrainPlane& p) const {
    for (const MaterialBlocks& m : mMaterials) {
      if (!m.cracks) continue;
      for (const Block& b : m.blocks) {
        if (MostStrain(b, p) > 0) return true;
      }
    }
    return false;
  }

  static double MostStrain(const Block& b, const StrainPlane& p) {
    return Strain(p, (b.y0 + b.y1) / 2, (b.z0 + b.z1) / 2) + std::abs(p.ky) * (b.y1 - b.y0) / 2 +
           std::abs(p.kz) * (b.z1 - b.z0) / 2;
  }
  static double LeastStrain(const Block& b, const StrainPlane& p) {
    return Strain(p, (b.y0 + b.y1) / 2, (b.z0 + b.z1) / 2) - std::abs(p.ky) * (b.y1 - b.y0) / 2 -
           std::abs(p.kz) * (b.z1 - b.z0) / 2;
  }

 private:
  std::vector<MaterialBlocks> mMaterials;
  Integrals mWhole;
  Integrals mLinear;
  Vector mReach = {1, 0, 0};
};

StrainPlane PlaneOf(const Vector& x) { return {x[0], x[1], x[2]}; }
Vector VectorOf(const StrainPlane& p) { return {p.eps0, p.ky, p.kz}; }

// The energy x K x / 2 - F x whose gradient is K x - F.
double Energy(const Matrix& k, const Vector& x, const Vector& f) {
  return Dot(x, Times(k, x)) / 2 - Dot(f, x);
}

struct Solution {
  StrainPlane plane;
  int steps = 0;
};

std::optional<Solution> SolvePlane(const CrackedFibres& fibres, const StrainPlane& linear,
                                   const Vector& f) {
  Solution s{linear, 0};
  if (!fibres.AnyCrackInTension(linear)) return s;
  const Matrix whole = MatrixOf(fibres.Whole());
  const Vector scale = fibres.Scale();
  const double floor = kSingular * std::max({whole[0][0], whole[1][1] / (scale[1] * scale[1]),
                                             whole[2][2] / (scale[2] * scale[2])});
  const double start = fibres.Size(VectorOf(linear));
  Vector x = VectorOf(linear);
  Matrix k = MatrixOf(fibres.Carrying(s.plane));
  for (; s.steps < kMostSteps; ++s.steps) {
    std::optional<Vector> target = Solve(k, f, scale, floor);
    if (!target) {
      // A carrying part without stiffness in some direction: stiffened a little towards the
      // whole section, the step still lowers the energy where a minimum exists.
      Matrix stiffened = k;
      for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) stiffened[i][j] += 1e-6 * whole[i][j];
      }
      const Vector kx = Times(k, x);
      const std::optional<Vector> step =
          Solve(stiffened, {f[0] - kx[0], f[1] - kx[1], f[2] - kx[2]}, scale, floor);
      if (!step) return std::nullopt;
      target = Vector{x[0] + (*step)[0], x[1] + (*step)[1], x[2] + (*step)[2]};
    }
    const Vector d = {(*target)[0] - x[0], (*target)[1] - x[1], (*target)[2] - x[2]};
    const Vector kx = Times(k, x);
    const double slope = Dot({kx[0] - f[0], kx[1] - f[1], kx[2] - f[2]}, d);
    const double before = Energy(k, x, f);
    double t = 1;
    bool lowered = false;
    Vector next = x;
    Matrix nextK = k;
    for (int h = 0; h < kMostHalvings; ++h, t /= 2) {
      next = {x[0] + t * d[0], x[1] + t * d[1], x[2] + t * d[2]};
      nextK = MatrixOf(fibres.Carrying(PlaneOf(next)));
      if (Energy(nextK, next, f) <= before + 1e-4 * t * slope) {
        lowered = true;
        break;
      }
    }
    if (!lowered) break;  // at the minimum within rounding
    x = next;
    k = nextK;
    if (!std::isfinite(fibres.Size(x)) || fibres.Size(x) > 1e8 * start) return std::nullopt;
    if (fibres.Size({t * d[0], t * d[1], t * d[2]}) <= 1e-14 * fibres.Size(x)) {
      ++s.steps;
      break;
    }
  }
  // Equilibrium, measured as the strain the unbalanced forces would cause on the whole section.
  const Vector kx = Times(k, x);
  const std::optional<Vector> off =
      Solve(whole, {f[0] - kx[0], f[1] - kx[1], f[2] - kx[2]}, scale, floor);
  if (!off || !(fibres.Size(*off) <= 1e-9 * std::max(fibres.Size(x), start))) return std::nullopt;
  s.plane = PlaneOf(x);
  return s;
}

// Where the line of zero strain crosses the box `width` x `height` (mm from UL).
std::optional<std::array<SectionPoint, 2>> NeutralAxis(const StrainPlane& p,
                                                       const SectionPoint& centre, double width,
                                                       double height) {
  // eps = c0 + ch hor + cv ver
  const double ch = -p.ky;
  const double cv = p.kz;
  const double c0 = p.eps0 + p.ky * centre.Hor - p.kz * centre.Ver;
  std::vector<SectionPoint> points;
  const auto add = [&](double hor, double ver) {
    for (const SectionPoint& q : points) {
      if (std::abs(q.Hor - hor) <= 1e-9 * width && std::abs(q.Ver - ver) <= 1e-9 * height) return;
    }
    points.push_back({hor, ver});
  };
  if (cv != 0) {
    for (const double hor : {0.0, width}) {
      const double ver = -(c0 + ch * hor) / cv;
      if (ver >= 0 && ver <= height) add(hor, ver);
    }
  }
  if (ch != 0) {
    for (const double ver : {0.0, height}) {
      const double hor = -(c0 + cv * ver) / ch;
      if (hor >= 0 && hor <= width) add(hor, ver);
    }
  }
  if (points.size() < 2) return std::nullopt;
  return std::array<SectionPoint, 2>{points.front(), points.back()};
}

// The section's pixels of each material merged into rectangles: runs per row, and a run of the
// same extent, material and share as one in the row above joins its rectangle.
std::vector<MaterialBlocks> MergeBlocks(const PixelGrid& grid, const SectionBounds& bounds,
                                        const std::vector<std::uint32_t>& colours,
                                        const std::vector<int>& materialOf,
                                        const CoverageTable* coverage,
                                        std::vector<MaterialBlocks> materials, double dx, double dy,
                                        const SectionPoint& centre) {
  using Key = std::tuple<int, int, int, std::int64_t>;  // begin, end, material, weight
  struct Open {
    int firstRow = 0;
  };
  std::map<Key, Open> open;
  std::map<Key, Open> next;
  const int width = bounds.WidthPixels();
  const int height = bounds.HeightPixels();
  const double unit = coverage != nullptr ? static_cast<double>(kCoverageUnit) : 1.0;
  const auto close = [&](const Key& key, int firstRow, int endRow) {
    const auto [begin, end, m, weight] = key;
    materials[static_cast<std::size_t>(m)].blocks.push_back(
        {centre.Hor - end * dx, centre.Hor - begin * dx, firstRow * dy - centre.Ver,
         endRow * dy - centre.Ver, static_cast<double>(weight) / unit});
  };
  const auto extend = [&](const Key& key, int row) {
    const auto found = open.find(key);
    if (found != open.end()) {
      next.emplace(key, found->second);
      open.erase(found);
    } else {
      next.emplace(key, Open{row});
    }
  };
  for (int row = 0; row <= height; ++row) {
    if (row < height) {
      const std::uint32_t* pixels = grid.Row(bounds.ymin + row) + bounds.xmin;
      for (int x = 0; x < width;) {
        const int end = RunEnd(pixels, x + 1, width, pixels[x]);
        if (coverage != nullptr) {
          for (const CoverageShare& share : coverage->Shares(pixels[x])) {
            const int c = materialOf[static_cast<std::size_t>(share.material)];
            if (c >= 0) extend({x, end, c, share.weight}, row);
          }
        } else {
          const auto colour = std::find(colours.begin(), colours.end(), pixels[x]);
          if (colour != colours.end()) {
            extend({x, end, materialOf[static_cast<std::size_t>(colour - colours.begin())], 1},
                   row);
          }
        }
        x = end;
      }
    }
    for (const auto& [key, o] : open) close(key, o.firstRow, row);
    open.swap(next);
    next.clear();
  }
  return materials;
}

}  // namespace

CrackedOutcome ComputeCracked(const PixelGrid& grid, const SectionBounds& bounds,
                              const TPROPClass& library, const StrengthTable& strengths,
                              const LawTable& laws, const SectionResult& section,
                              const SectionActions& actions, const CoverageTable* coverage) {
  CrackedOutcome outcome;
  std::vector<MaterialBlocks> blocks;
  std::vector<CrackedMaterial> materials;
  std::vector<std::uint32_t> colours;  // of each material in use, flat reading
  std::vector<int> carrierOfColour;    // the carrier of each of those colours
  std::vector<int> carrierOfMaterial;  // the carrier of each material in use (coverage)
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    carrierOfMaterial.push_back(-1);
    if (!(m.E > 0)) continue;  // a hole drawn in a colour
    const std::string& label = m.entry->prop.colorlabel;
    if (!std::isfinite(m.E)) {
      outcome.missing = "E of " + label + " is not a finite number";
      return outcome;
    }
    const std::optional<MaterialLaw> law = laws.Get(label);
    const std::optional<Strength> strength = strengths.Get(label);
    const bool cracks =
        (law && law->kind == LawKind::kNoTension) || (strength && strength->tension == 0);
    carrierOfMaterial.back() = static_cast<int>(blocks.size());
    colours.push_back(m.colour);
    carrierOfColour.push_back(static_cast<int>(blocks.size()));
    blocks.push_back({m.E, cracks, {}});
    materials.push_back({label, m.E, cracks, std::nullopt});
  }
  const std::optional<ElasticCentre> c = ElasticCentreOf(section);
  const double det = c ? c->EIyy * c->EIzz - c->EIyz * c->EIyz : 0.0;
  if (blocks.empty() || !c || !(c->EIyy > 0) || !(c->EIzz > 0) || !(det > 0) || bounds.Unset() ||
      bounds.xmin < 0 || bounds.ymin < 0 || bounds.xmax >= grid.Width() ||
      bounds.ymax >= grid.Height()) {
    outcome.missing = "the section carries nothing";
    return outcome;
  }
  const double dx = section.Dx;
  const double dy = section.Dy;
  CrackedSection v;
  v.actions.N = actions.N;
  v.actions.My = actions.My;
  v.actions.Mz = actions.Mz;
  v.centre = {(c->x - bounds.xmin + 0.5) * dx, (c->y - bounds.ymin + 0.5) * dy};
  // Read as coverage, the table's shares name the materials in use; else the colours do.
  const CrackedFibres fibres(MergeBlocks(grid, bounds, colours,
                                         coverage != nullptr ? carrierOfMaterial : carrierOfColour,
                                         coverage, std::move(blocks), dx, dy, v.centre));
  // The linear plane exactly as the linear stresses take it.
  const StrainPlane linear{actions.N / section.EA,
                           (c->EIzz * actions.My - c->EIyz * actions.Mz) / det,
                           (c->EIyy * actions.Mz - c->EIyz * actions.My) / det};
  const std::optional<Solution> solved =
      SolvePlane(fibres, linear, {actions.N, actions.My, actions.Mz});
  if (!solved) {
    outcome.missing = kCannotCarry;
    return outcome;
  }
  v.plane = solved->plane;
  v.iterations = solved->steps;
  // The line may cross an empty corner of the box of a section that is compressed throughout.
  bool stretched = false;
  bool compressed = false;
  for (const MaterialBlocks& m : fibres.Materials()) {
    for (const Block& b : m.blocks) {
      stretched = stretched || CrackedFibres::MostStrain(b, v.plane) > 0;
      compressed = compressed || CrackedFibres::LeastStrain(b, v.plane) < 0;
    }
  }
  if (stretched && compressed) {
    v.neutralAxis =
        NeutralAxis(v.plane, v.centre, bounds.WidthPixels() * dx, bounds.HeightPixels() * dy);
  }
  const Integrals k = fibres.Carrying(v.plane);
  v.EA = k.a;
  const double yc = k.a > 0 ? k.sy / k.a : 0.0;
  const double zc = k.a > 0 ? k.sz / k.a : 0.0;
  v.EIyy = k.yy - k.a * yc * yc;
  v.EIzz = k.zz - k.a * zc * zc;
  v.EIyz = k.yz - k.a * yc * zc;
  v.crackedCentre = {v.centre.Hor - yc, v.centre.Ver + zc};
  bool anywhere = false;
  v.sigma = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (std::size_t m = 0; m < materials.size(); ++m) {
    const MaterialBlocks& own = fibres.Materials()[m];
    if (own.blocks.empty()) continue;
    // sigma is linear over a rectangle's compressed part: its extremes are at the corners.
    CrackedRange r{std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()};
    for (const Block& b : own.blocks) {
      double low = own.E * CrackedFibres::LeastStrain(b, v.plane);
      double high = own.E * CrackedFibres::MostStrain(b, v.plane);
      if (own.cracks) {
        low = std::min(low, 0.0);
        high = std::min(high, 0.0);
      }
      r.min = std::min(r.min, low);
      r.max = std::max(r.max, high);
    }
    materials[m].sigma = r;
    v.sigma.min = std::min(v.sigma.min, r.min);
    v.sigma.max = std::max(v.sigma.max, r.max);
    anywhere = true;
  }
  if (!anywhere) {
    outcome.missing = "the section carries nothing";
    return outcome;
  }
  v.materials = std::move(materials);
  outcome.values = std::move(v);
  return outcome;
}

}  // namespace qv
