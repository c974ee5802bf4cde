// The stress field: sigma from the plane strain of the beam theory, tau from the solver's warping
// and shear functions on its cells, taken across the cells' faces as the solve balances them.
//
// Normal stress. About the elastic centre C (not rounded to a pixel) the first moments of E
// vanish, so the 3 x 3 system of N, My and Mz in the strain eps0 and the curvatures ky, kz splits
// into N = EA eps0 and the 2 x 2 bending system of the stiffnesses of the drawn area, each pixel's
// own second moment included (E A dx^2 / 12): a pixel's sigma is linear over it, and the
// integrals of y sigma and z sigma over the drawn pixels give My and Mz exactly.
//
// Shear stresses, in the solver's frame (u to the right, v downwards, pole O):
//   torsion:  tau = -(T / GJ) G (grad w - (v - vO, -(u - uO))), whose moment about any point is
//             -T in that frame, i.e. T turning y (to the left) towards z (downwards);
//   shear:    tau = G grad Psi with Psi = -dky psiU + dkz psiV, where (dky, dkz) solve the
//             bending system for (Vy, Vz): the rate along the beam of the bending stresses,
//             E (dky y + dkz z), is what the shear stresses carry off (div tau + E (dky y + dkz z)
//             = 0, free edges), and y = -(u - uO) makes the load of psiU the negative of E y.
// Both are evaluated on each face between two cells, as the solve balances them (G the harmonic
// mean of the two cells'), and a cell's value is the mean of its two faces along each direction,
// a face to an empty neighbour counting 0 (the free edge carries nothing across). These values
// sum to the actions as the solve balances them; their extremes come from a fit (FitEdges).
#include "core/elastic/stress_field.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include "core/base/disjoint_sets.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/elastic/outline_shear.h"
#include "core/library/dd_props.h"
#include "core/scan/moments.h"
#include "core/scan/scan_support.h"
#include "core/section/integration.h"

namespace qv {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ActionNames {
  std::string_view formal;
  std::string_view euro;
};

ActionNames NamesOf(ActionKind kind) {
  switch (kind) {
    case ActionKind::N:
      return {"N", "N"};
    case ActionKind::My:
      return {"My", "Mz"};
    case ActionKind::Mz:
      return {"Mz", "My"};
    case ActionKind::Vy:
      return {"Vy", "Vy"};
    case ActionKind::Vz:
      return {"Vz", "Vz"};
    case ActionKind::T:
      return {"T", "T"};
  }
  return {"", ""};
}

/// Extremes gathered over some pixels; ties keep the first pixel met in row order, so the
/// merged result does not depend on how the rows were split.
struct Gatherer {
  std::int64_t pixels = 0;
  StressExtreme sigmaMin{kInf, {}};
  StressExtreme sigmaMax{-kInf, {}};
  StressExtreme tauMax{-kInf, {}};
  StressExtreme vonMisesMax{-kInf, {}};

  void Merge(const Gatherer& o) {
    pixels += o.pixels;
    if (o.sigmaMin.value < sigmaMin.value) sigmaMin = o.sigmaMin;
    if (o.sigmaMax.value > sigmaMax.value) sigmaMax = o.sigmaMax;
    if (o.tauMax.value > tauMax.value) tauMax = o.tauMax;
    if (o.vonMisesMax.value > vonMisesMax.value) vonMisesMax = o.vonMisesMax;
  }
  StressExtremes Result() const {
    StressExtremes r;
    r.pixels = pixels;
    if (pixels == 0) return r;
    r.sigmaMin = sigmaMin;
    r.sigmaMax = sigmaMax;
    r.tauMax = tauMax;
    r.vonMisesMax = vonMisesMax;
    return r;
  }
};

/// Index of the material of `colour` among `colours`, or -1; remembers the last colour, as runs
/// repeat it.
class ColourLookup {
 public:
  explicit ColourLookup(const std::vector<std::uint32_t>& colours) : mColours(colours) {}
  int Find(std::uint32_t colour) {
    if (mValid && colour == mLastColour) return mLast;
    mValid = true;
    mLastColour = colour;
    mLast = -1;
    for (std::size_t i = 0; i < mColours.size(); ++i) {
      if (mColours[i] == colour) mLast = static_cast<int>(i);
    }
    return mLast;
  }

 private:
  const std::vector<std::uint32_t>& mColours;
  std::uint32_t mLastColour = 0;
  int mLast = -1;
  bool mValid = false;
};

/// The least-squares planes f = a + b x + c y through two values at each of some points,
/// evaluated anywhere. Points on one line give the line's slope alone, a single point its value.
class LinearFit {
 public:
  void Add(double x, double y, double f, double g) {
    mN += 1;
    mX += x;
    mY += y;
    mXX += x * x;
    mYY += y * y;
    mXY += x * y;
    mF[0] += f;
    mXF[0] += x * f;
    mYF[0] += y * f;
    mF[1] += g;
    mXF[1] += x * g;
    mYF[1] += y * g;
  }
  bool Empty() const { return mN == 0; }
  /// The first (k = 0) or the second (k = 1) value's plane at (x, y).
  double At(int k, double x, double y) const {
    if (mN == 0) return 0;
    const double mx = mX / mN, my = mY / mN, mf = mF[k] / mN;
    const double cxx = mXX - mN * mx * mx, cyy = mYY - mN * my * my, cxy = mXY - mN * mx * my;
    const double cxf = mXF[k] - mN * mx * mf, cyf = mYF[k] - mN * my * mf;
    const double trace = cxx + cyy;
    const double det = cxx * cyy - cxy * cxy;
    double b = 0, c = 0;
    if (det > 1e-9 * trace * trace) {
      b = (cyy * cxf - cxy * cyf) / det;
      c = (cxx * cyf - cxy * cxf) / det;
    } else if (trace > 0) {
      // Collinear points: the slope along their line d, whose spread is the whole trace.
      double dx = cxx >= cyy ? cxx : cxy;
      double dy = cxx >= cyy ? cxy : cyy;
      const double length = std::hypot(dx, dy);
      dx /= length;
      dy /= length;
      const double slope = (dx * cxf + dy * cyf) / trace;
      b = slope * dx;
      c = slope * dy;
    }
    return mf + b * (x - mx) + c * (y - my);
  }

 private:
  double mN = 0, mX = 0, mY = 0, mXX = 0, mYY = 0, mXY = 0;
  double mF[2] = {0, 0}, mXF[2] = {0, 0}, mYF[2] = {0, 0};
};

// How deep along the normal of an outline the stresses are sampled, in cells: past the reach
// of a staircase of `period` faces (three cells, and a period and a half more where its runs are
// long), and at least kLeastDepth.
double Depth(int period) { return 3 + 1.5 * period; }
constexpr double kLeastDepth = 1.5;

}  // namespace

double& ActionValue(SectionActions& a, ActionKind kind) {
  switch (kind) {
    case ActionKind::N:
      return a.N;
    case ActionKind::My:
      return a.My;
    case ActionKind::Mz:
      return a.Mz;
    case ActionKind::Vy:
      return a.Vy;
    case ActionKind::Vz:
      return a.Vz;
    case ActionKind::T:
      break;
  }
  return a.T;
}

double ActionValue(const SectionActions& a, ActionKind kind) {
  return ActionValue(const_cast<SectionActions&>(a), kind);  // NOLINT: reads only
}

std::string_view ActionName(ActionKind kind, SignConvention convention) {
  const ActionNames names = NamesOf(kind);
  return convention == SignConvention::EuroCode ? names.euro : names.formal;
}

std::optional<ActionKind> ActionOfName(std::string_view name, SignConvention convention) {
  for (const ActionKind kind : kActionKinds) {
    if (ActionName(kind, convention) == name) return kind;
  }
  return std::nullopt;
}

std::string_view ActionUnit(ActionKind kind) {
  return kind == ActionKind::N || kind == ActionKind::Vy || kind == ActionKind::Vz ? "N" : "Nmm";
}

std::vector<std::string> ActionTexts(const SectionActions& actions, SignConvention convention) {
  // The user's order: N, My, Mz, Vy, Vz, T by the names they read.
  std::vector<std::string> texts;
  for (const std::string_view name : {"N", "My", "Mz", "Vy", "Vz", "T"}) {
    const ActionKind kind = *ActionOfName(name, convention);
    texts.push_back(std::string(name) + " = " + FormatNumber(ActionValue(actions, kind)) + " " +
                    std::string(ActionUnit(kind)));
  }
  return texts;
}

std::string_view StressKindKey(StressKind kind) {
  switch (kind) {
    case StressKind::Sigma:
      return "sigma";
    case StressKind::Tau:
      return "tau";
    case StressKind::VonMises:
      break;
  }
  return "von_mises";
}

std::optional<StressKind> StressKindOfKey(std::string_view key) {
  for (const StressKind kind : {StressKind::Sigma, StressKind::Tau, StressKind::VonMises}) {
    if (StressKindKey(kind) == key) return kind;
  }
  return std::nullopt;
}

std::string_view StressKindTitle(StressKind kind) {
  switch (kind) {
    case StressKind::Sigma:
      return "normal stress sigma";
    case StressKind::Tau:
      return "shear stress tau";
    case StressKind::VonMises:
      break;
  }
  return "von Mises stress";
}

double PixelStress::Value(StressKind kind) const {
  switch (kind) {
    case StressKind::Sigma:
      return sigma;
    case StressKind::Tau:
      return tau;
    case StressKind::VonMises:
      break;
  }
  return vonMises;
}

StressField::StressField(const StressInput& input, const SectionActions& actions)
    : mActions(actions), mBounds(input.bounds) {
  if (input.grid == nullptr || input.library == nullptr || input.section == nullptr) {
    throw Error("No analysis yet: analyse the section first.");
  }
  const PixelGrid& grid = *input.grid;
  const SectionBounds& b = mBounds;
  if (b.Unset() || b.xmin < 0 || b.ymin < 0 || b.xmax < b.xmin || b.ymax < b.ymin ||
      b.xmax >= grid.Width() || b.ymax >= grid.Height()) {
    throw Error("The section lies outside the picture; analyse the section first.");
  }
  for (const ActionKind kind : kActionKinds) {
    if (!std::isfinite(ActionValue(actions, kind))) {
      throw Error("The action " + std::string(ActionName(kind, SignConvention::DorvastPelkam)) +
                  " is not a finite number.");
    }
  }
  mDx = input.section->Dx;
  mDy = input.section->Dy;
  CollectRuns(grid, TakeMaterials(*input.library));
  mNoTension = input.noTension;
  mNoTension.resize(mMaterials.size(), false);
  TakeBending(*input.section, input.cracked);
  if (actions.NeedsSolve()) TakeShear(input);
  mOverall = GatherExtremes(input.threads);
  RefuseBeyondRange();
}

std::vector<std::uint32_t> StressField::TakeMaterials(const TPROPClass& library) {
  // The materials, as the scans and the solver count them.
  std::vector<std::uint32_t> colours;
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    if (!std::isfinite(m.E) || m.E < 0) {
      throw Error("The stresses need a finite E of at least 0 for every material; " +
                  m.entry->prop.colorlabel + " has E = " + FormatNumber(m.E) + ".");
    }
    MaterialStress s;
    s.label = m.entry->prop.colorlabel;
    s.name = m.entry->prop.name;
    s.E = m.E;
    mMaterials.push_back(s);
    mE.push_back(m.E);
    colours.push_back(m.colour);
  }
  return colours;
}

void StressField::CollectRuns(const PixelGrid& grid, const std::vector<std::uint32_t>& colours) {
  const SectionBounds& b = mBounds;
  // Each box row's runs of materials in use.
  const int width = b.WidthPixels();
  const int height = b.HeightPixels();
  mRowStart.reserve(static_cast<std::size_t>(height) + 1);
  {
    ColourLookup lookup(colours);
    for (int row = 0; row < height; ++row) {
      mRowStart.push_back(static_cast<std::int64_t>(mRuns.size()));
      const std::uint32_t* pixels = grid.Row(b.ymin + row) + b.xmin;
      for (int x = 0; x < width;) {
        const int end = RunEnd(pixels, x + 1, width, pixels[x]);
        const int m = lookup.Find(pixels[x]);
        if (m >= 0) mRuns.push_back({x, end, m});
        x = end;
      }
    }
    mRowStart.push_back(static_cast<std::int64_t>(mRuns.size()));
  }
}

void StressField::TakeBending(const SectionResult& section, const StrainPlane* cracked) {
  // The elastic centre and the stiffnesses of the drawn area about it.
  const std::optional<ElasticCentre> centre = ElasticCentreOf(section);
  if (!centre) {
    throw Error("The section carries no normal force (EA is 0): there are no stresses.");
  }
  mCentre = {(centre->x - mBounds.xmin + 0.5) * mDx, (centre->y - mBounds.ymin + 0.5) * mDy};
  mEIyy = centre->EIyy;
  mEIzz = centre->EIzz;
  mEIyz = centre->EIyz;
  const double det = mEIyy * mEIzz - mEIyz * mEIyz;
  if (!(mEIyy > 0) || !(mEIzz > 0) || !(det > 0)) {
    throw Error("The section has no bending stiffness: there are no stresses.");
  }
  if (cracked != nullptr) {
    mEps0 = cracked->eps0;
    mKy = cracked->ky;
    mKz = cracked->kz;
    return;
  }
  mEps0 = mActions.N / section.EA;
  Curvatures(mActions.My, mActions.Mz, mKy, mKz);
}

void StressField::Curvatures(double my, double mz, double& ky, double& kz) const {
  const double det = mEIyy * mEIzz - mEIyz * mEIyz;
  ky = (mEIzz * my - mEIyz * mz) / det;
  kz = (mEIyy * mz - mEIyz * my) / det;
}

void StressField::TakeShear(const StressInput& input) {
  // Shear stresses on the solver's cells.
  const int width = mBounds.WidthPixels();
  const int height = mBounds.HeightPixels();
  const ElasticResult* elastic = input.elastic;
  if (elastic == nullptr || !elastic->Fields) {
    throw Error("Shear forces and torque need the torsion solve: compute it first.");
  }
  if (mActions.T != 0 && !(elastic->GJ > 0)) {
    throw Error("The section has no torsional stiffness (GJ is 0): a torque has no stresses.");
  }
  const SolvedFields& f = *elastic->Fields;
  const auto cells = f.CellX.size();
  if (f.CellY.size() != cells || f.Warping.size() != cells || f.ShearHor.size() != cells ||
      f.ShearVer.size() != cells || elastic->materials.size() != mMaterials.size() ||
      f.Coarsening < 1 || f.Columns != (width + f.Coarsening - 1) / f.Coarsening ||
      f.Rows != (height + f.Coarsening - 1) / f.Coarsening) {
    throw Error("The torsion solve belongs to another section: compute it again.");
  }
  mCoarsening = f.Coarsening;
  mColumns = f.Columns;
  mCellMap.assign(static_cast<std::size_t>(f.Columns) * static_cast<std::size_t>(f.Rows), -1);
  for (std::size_t i = 0; i < cells; ++i) {
    mCellMap[static_cast<std::size_t>(f.CellY[i]) * static_cast<std::size_t>(f.Columns) +
             static_cast<std::size_t>(f.CellX[i])] = static_cast<std::int32_t>(i);
  }
  // Each cell's G as the solver takes it: the mean over its block, empty pixels counting 0.
  std::vector<double> g(cells, 0.0);
  for (int row = 0; row < height; ++row) {
    for (std::int64_t r = mRowStart[static_cast<std::size_t>(row)];
         r < mRowStart[static_cast<std::size_t>(row) + 1]; ++r) {
      const Run& run = mRuns[static_cast<std::size_t>(r)];
      const double G = elastic->materials[static_cast<std::size_t>(run.material)].G;
      if (!(mE[static_cast<std::size_t>(run.material)] > 0)) continue;
      const std::int32_t firstCell = CellAt(run.begin, row);
      for (int x = run.begin; x < run.end; ++x) {
        const std::int32_t c = RunCell(firstCell, run, x, row);
        if (c >= 0) g[static_cast<std::size_t>(c)] += G;
      }
    }
  }
  const double blockPixels = static_cast<double>(mCoarsening) * mCoarsening;
  for (double& v : g) v /= blockPixels;

  double dky = 0;
  double dkz = 0;
  Curvatures(mActions.Vy, mActions.Vz, dky, dkz);
  const double twist = mActions.T != 0 ? -mActions.T / elastic->GJ : 0.0;
  const double hx = f.CellWidthMm;
  const double hy = f.CellHeightMm;
  const auto psi = [&](std::size_t i) { return -dky * f.ShearHor[i] + dkz * f.ShearVer[i]; };
  mFaceEast.assign(cells, 0.0);
  mFaceSouth.assign(cells, 0.0);
  mCells.assign(cells, Cell{});
  ThreadPool pool(input.threads);
  pool.ForRange(static_cast<std::int64_t>(cells), [&](std::int64_t begin, std::int64_t end) {
    for (auto i = static_cast<std::size_t>(begin); i < static_cast<std::size_t>(end); ++i) {
      const int X = f.CellX[i];
      const int Y = f.CellY[i];
      const auto harmonic = [&](std::size_t j) { return 2 * g[i] * g[j] / (g[i] + g[j]); };
      if (X + 1 < f.Columns) {
        const std::int32_t j = mCellMap[static_cast<std::size_t>(Y) * mColumns + X + 1];
        if (j >= 0) {
          const auto k = static_cast<std::size_t>(j);
          const double v = (Y + 0.5) * hy - f.PoleVer;
          mFaceEast[i] = harmonic(k) * ((psi(k) - psi(i)) / hx +
                                        twist * ((f.Warping[k] - f.Warping[i]) / hx - v));
        }
      }
      if (Y + 1 < f.Rows) {
        const std::int32_t j = mCellMap[static_cast<std::size_t>(Y + 1) * mColumns + X];
        if (j >= 0) {
          const auto k = static_cast<std::size_t>(j);
          const double u = (X + 0.5) * hx - f.PoleHor;
          mFaceSouth[i] = harmonic(k) * ((psi(k) - psi(i)) / hy +
                                         twist * ((f.Warping[k] - f.Warping[i]) / hy + u));
        }
      }
    }
  });
  for (std::size_t i = 0; i < cells; ++i) {
    const int X = f.CellX[i];
    const int Y = f.CellY[i];
    const std::int32_t west = X > 0 ? mCellMap[static_cast<std::size_t>(Y) * mColumns + X - 1] : -1;
    const std::int32_t north =
        Y > 0 ? mCellMap[static_cast<std::size_t>(Y - 1) * mColumns + X] : -1;
    const double fromWest = west >= 0 ? mFaceEast[static_cast<std::size_t>(west)] : 0.0;
    const double fromNorth = north >= 0 ? mFaceSouth[static_cast<std::size_t>(north)] : 0.0;
    mCells[i] = {(fromWest + mFaceEast[i]) / 2, (fromNorth + mFaceSouth[i]) / 2};
  }

  // Each cell's material (the last of its pixels where a coarsened cell mixes them).
  std::vector<std::int32_t> material(cells, -1);
  for (int row = 0; row < height; ++row) {
    for (std::int64_t r = mRowStart[static_cast<std::size_t>(row)];
         r < mRowStart[static_cast<std::size_t>(row) + 1]; ++r) {
      const Run& run = mRuns[static_cast<std::size_t>(r)];
      const std::int32_t firstCell = CellAt(run.begin, row);
      for (int x = run.begin; x < run.end; ++x) {
        const std::int32_t c = RunCell(firstCell, run, x, row);
        if (c >= 0) material[static_cast<std::size_t>(c)] = run.material;
      }
    }
  }
  FitEdges(f, material, input.threads);

  // The joints: faces between cells of two materials, where a cell is one pixel.
  if (mCoarsening == 1) FindJoints(f, material);
}

StressExtremes StressField::GatherExtremes(int threads) {
  const int height = mBounds.HeightPixels();
  const double dx = mDx;
  const double dy = mDy;
  // The extremes, row bands in parallel; each part's rows follow the previous part's, so merging
  // in part order keeps the first pixel of a tie.
  ThreadPool pool(threads);
  const int parts = pool.Parts();
  std::vector<std::vector<Gatherer>> partial(static_cast<std::size_t>(parts),
                                             std::vector<Gatherer>(mMaterials.size()));
  pool.Run([&](int part) {
    const auto [first, end] = ThreadPool::Slice(height, part, parts);
    std::vector<Gatherer>& mine = partial[static_cast<std::size_t>(part)];
    for (auto row = static_cast<int>(first); row < static_cast<int>(end); ++row) {
      const double ver = (row + 0.5) * dy;
      for (std::int64_t r = mRowStart[static_cast<std::size_t>(row)];
           r < mRowStart[static_cast<std::size_t>(row) + 1]; ++r) {
        const Run& run = mRuns[static_cast<std::size_t>(r)];
        const double E = mE[static_cast<std::size_t>(run.material)];
        Gatherer& gather = mine[static_cast<std::size_t>(run.material)];
        gather.pixels += run.end - run.begin;
        // sigma grows by gh per mm to the right and gv per mm downwards.
        const double gh = -E * mKy;
        const double gv = E * mKz;
        // Towards the larger sigma; where it does not change, the pixel's middle.
        const double halfH = gh > 0 ? dx / 2 : (gh < 0 ? -dx / 2 : 0.0);
        const double halfV = gv > 0 ? dy / 2 : (gv < 0 ? -dy / 2 : 0.0);
        const double spread = std::abs(gh) * dx / 2 + std::abs(gv) * dy / 2;
        const std::int32_t firstCell = mCells.empty() ? -1 : CellAt(run.begin, row);
        for (int x = run.begin; x < run.end; ++x) {
          const double hor = (x + 0.5) * dx;
          const double s = SigmaAt(run.material, hor, ver);
          // A material without tension carries min(sigma, 0): its extremes are the clipped ones.
          const bool clipped = mNoTension[static_cast<std::size_t>(run.material)];
          const double high = clipped ? std::min(s + spread, 0.0) : s + spread;
          const double low = clipped ? std::min(s - spread, 0.0) : s - spread;
          if (high > gather.sigmaMax.value) gather.sigmaMax = {high, {hor + halfH, ver + halfV}};
          if (low < gather.sigmaMin.value) gather.sigmaMin = {low, {hor - halfH, ver - halfV}};
          double tau = 0;
          SectionPoint tauAt{hor, ver};
          const std::int32_t c = mCells.empty() ? -1 : RunCell(firstCell, run, x, row);
          if (c >= 0) {
            const Edge& edge = mEdges[static_cast<std::size_t>(c)];
            tau = edge.tau;
            // The edge of a cell of one pixel is the pixel's.
            if (mCoarsening == 1) tauAt = {hor + edge.x * dx / 2, ver + edge.y * dy / 2};
          }
          if (tau > gather.tauMax.value) gather.tauMax = {tau, tauAt};
          const bool highWins = std::abs(high) >= std::abs(low);
          const double sigma = highWins ? high : low;
          const double vonMises = std::sqrt(sigma * sigma + 3 * tau * tau);
          if (vonMises > gather.vonMisesMax.value) {
            gather.vonMisesMax = {vonMises, highWins ? SectionPoint{hor + halfH, ver + halfV}
                                                     : SectionPoint{hor - halfH, ver - halfV}};
          }
        }
      }
    }
  });
  StressExtremes result;
  for (std::size_t m = 0; m < mMaterials.size(); ++m) {
    Gatherer all;
    for (const auto& part : partial) all.Merge(part[m]);
    mMaterials[m].extremes = all.Result();
    result.pixels += all.pixels;
  }
  // Over all materials: of a tie, the point met first in row order, whichever material it is.
  bool any = false;
  const auto earlier = [](const SectionPoint& p, const SectionPoint& q) {
    return p.Ver < q.Ver || (p.Ver == q.Ver && p.Hor < q.Hor);
  };
  for (const MaterialStress& m : mMaterials) {
    const StressExtremes& e = m.extremes;
    if (e.pixels == 0) continue;
    const auto better = [&](const StressExtreme& candidate, const StressExtreme& held,
                            bool larger) {
      if (!any) return true;
      if (candidate.value != held.value) {
        return larger ? candidate.value > held.value : candidate.value < held.value;
      }
      return earlier(candidate.at, held.at);
    };
    if (better(e.sigmaMin, result.sigmaMin, false)) result.sigmaMin = e.sigmaMin;
    if (better(e.sigmaMax, result.sigmaMax, true)) result.sigmaMax = e.sigmaMax;
    if (better(e.tauMax, result.tauMax, true)) result.tauMax = e.tauMax;
    if (better(e.vonMisesMax, result.vonMisesMax, true)) result.vonMisesMax = e.vonMisesMax;
    any = true;
  }
  return result;
}

void StressField::RefuseBeyondRange() const {
  // Finite actions far beyond any structure (a moment of 1e300 N mm) overflow the stresses; a
  // field of infinities and NaNs is no result.
  bool finite = true;
  const auto check = [&finite](const StressExtreme& e) {
    finite = finite && std::isfinite(e.value);
  };
  for (const StressExtreme* e :
       {&mOverall.sigmaMin, &mOverall.sigmaMax, &mOverall.tauMax, &mOverall.vonMisesMax}) {
    check(*e);
  }
  for (const JointStress& joint : mJoints) check(joint.tauMax);
  if (finite) return;
  ActionKind largest = kActionKinds[0];
  for (const ActionKind kind : kActionKinds) {
    if (std::abs(ActionValue(mActions, kind)) > std::abs(ActionValue(mActions, largest))) {
      largest = kind;
    }
  }
  throw Error("The stresses lie beyond the range of numbers with actions up to " +
              std::string(ActionName(largest, SignConvention::DorvastPelkam)) + " = " +
              FormatGeneral(ActionValue(mActions, largest), 3, 1) + " " +
              std::string(ActionUnit(largest)) + ".");
}

void StressField::FitEdges(const SolvedFields& f, const std::vector<std::int32_t>& material,
                           int threads) {
  // The cells' own values balance the actions exactly, but along a staircase edge they carry the
  // peaks of its inner steps, which the smooth outline the picture stands for does not have,
  // and to about a period of the staircase deep its steps pull them up and down: at the inner
  // steps more with every refinement, and deepest where long runs meet single steps (near the
  // top of a drawn circle). The value at each free face therefore comes from the field where the
  // staircase no longer shows: at two depths along the normal of the outline there
  // (TraceOutline), each a linear fit over the nearby cells of the material off the edge,
  // carried linearly onto the outline (exact for a field linear across the edge, as torsion's
  // is in a disc). Cells nearer the edge than the first depth reach no higher than the edge
  // values about them. Where the wall is too thin for both depths, or at a true inner corner
  // (whose notch is the outline's own), the face keeps the fit over the cells about it within
  // kFitReach each way, evaluated on the face.
  constexpr int kFitReach = 2;
  const std::size_t cells = mCells.size();
  mEdges.assign(cells, Edge{});
  const auto at = [&](int X, int Y) -> std::int32_t {
    if (X < 0 || Y < 0 || X >= f.Columns || Y >= f.Rows) return -1;
    return mCellMap[static_cast<std::size_t>(Y) * static_cast<std::size_t>(mColumns) +
                    static_cast<std::size_t>(X)];
  };
  // A face to another material bounds the cell's material as a free face does: the stresses
  // on it are its material's, carried onto the joint from that side (the field jumps there).
  const auto same = [&](std::size_t i, int X, int Y) {
    const std::int32_t j = at(X, Y);
    return j >= 0 && material[static_cast<std::size_t>(j)] == material[i];
  };
  std::vector<std::uint8_t> onEdge(cells, 0);
  for (std::size_t i = 0; i < cells; ++i) {
    const int X = f.CellX[i], Y = f.CellY[i];
    onEdge[i] =
        !same(i, X - 1, Y) || !same(i, X + 1, Y) || !same(i, X, Y - 1) || !same(i, X, Y + 1);
  }
  // The fitted stresses about cell i at (px, py) cells from its centre, from the cells of `m`
  // about it; `offEdge`, from those off the edge only (all of them where none is).
  const auto fitted = [&](std::size_t i, std::int32_t m, double px, double py, bool offEdge) {
    const int X = f.CellX[i], Y = f.CellY[i];
    LinearFit inner, all;
    for (int dy = -kFitReach; dy <= kFitReach; ++dy) {
      for (int dx = -kFitReach; dx <= kFitReach; ++dx) {
        const std::int32_t j = at(X + dx, Y + dy);
        if (j < 0 || material[static_cast<std::size_t>(j)] != m) continue;
        const Cell& c = mCells[static_cast<std::size_t>(j)];
        all.Add(dx, dy, c.tauHor, c.tauVer);
        if (offEdge && !onEdge[static_cast<std::size_t>(j)]) inner.Add(dx, dy, c.tauHor, c.tauVer);
      }
    }
    const LinearFit& fit = !offEdge || inner.Empty() ? all : inner;
    return std::pair{fit.At(0, px, py), fit.At(1, px, py)};
  };
  ThreadPool pool(threads);
  pool.ForRange(static_cast<std::int64_t>(cells), [&](std::int64_t begin, std::int64_t end) {
    for (auto i = static_cast<std::size_t>(begin); i < static_cast<std::size_t>(end); ++i) {
      const int X = f.CellX[i];
      const int Y = f.CellY[i];
      // Towards a free face, unless the cell is free on both sides (a wall one cell thick).
      const auto towards = [](bool before, bool after) {
        return before == after ? 0.0 : (after ? -0.5 : 0.5);
      };
      const double px = towards(same(i, X - 1, Y), same(i, X + 1, Y));
      const double py = towards(same(i, X, Y - 1), same(i, X, Y + 1));
      const auto [h, v] = fitted(i, material[i], px, py, false);
      mEdges[i] = {std::hypot(h, v), static_cast<std::int8_t>(2 * px),
                   static_cast<std::int8_t>(2 * py)};
    }
  });

  CellGrid grid;
  grid.columns = f.Columns;
  grid.rows = f.Rows;
  grid.cellWidth = f.CellWidthMm;
  grid.cellHeight = f.CellHeightMm;
  grid.map = &mCellMap;
  grid.cellX = &f.CellX;
  grid.cellY = &f.CellY;
  grid.material = &material;
  const std::vector<OutlinePoint> outline = TraceOutline(grid);
  const double hx = f.CellWidthMm, hy = f.CellHeightMm;
  // The stresses at (x, y) mm, from the fit about the cell there; nothing off `m`.
  const auto sample = [&](double x, double y,
                          std::int32_t m) -> std::optional<std::pair<double, double>> {
    const auto X = static_cast<int>(std::floor(x / hx));
    const auto Y = static_cast<int>(std::floor(y / hy));
    const std::int32_t c = at(X, Y);
    if (c < 0 || material[static_cast<std::size_t>(c)] != m) return std::nullopt;
    return fitted(static_cast<std::size_t>(c), m, x / hx - X - 0.5, y / hy - Y - 0.5, true);
  };
  std::vector<double> edge(cells, -1.0);
  // How many cells deep the staircase shows at each point of the outline: the sampling depth,
  // within a third of the wall there. A long straight run that ends in a curve has a period as
  // long as the run; bounded by the wall, the cells it caps stay those about the edge.
  std::vector<int> showing(outline.size(), 0);
  for (std::size_t k = 0; k < outline.size(); ++k) {
    const OutlinePoint& p = outline[k];
    const auto i = static_cast<std::size_t>(p.cell);
    const double across = std::abs(p.nx) * hx + std::abs(p.ny) * hy;
    double d1 = Depth(p.period) * across;
    // Both depths within the outer two thirds of the wall there, clear of the far edge.
    const auto inside = [&](double depth) {
      const std::int32_t c = at(static_cast<int>(std::floor((p.x + p.nx * depth) / hx)),
                                static_cast<int>(std::floor((p.y + p.ny * depth) / hy)));
      return c >= 0 && material[static_cast<std::size_t>(c)] == material[i];
    };
    double wall = 0;
    while (wall < 3 * d1 && inside(wall + across / 2)) wall += across / 2;
    showing[k] = static_cast<int>(std::ceil(std::min(Depth(p.period), wall / 3 / across)));
    if (p.innerCorner) {
      edge[i] = std::max(edge[i], mEdges[i].tau);
      continue;
    }
    d1 = std::min(d1, wall / 3);
    const double d2 = 2 * d1;
    if (d1 < kLeastDepth * across) {
      edge[i] = std::max(edge[i], mEdges[i].tau);
      continue;
    }
    const auto s1 = sample(p.x + p.nx * d1, p.y + p.ny * d1, material[i]);
    const auto s2 = sample(p.x + p.nx * d2, p.y + p.ny * d2, material[i]);
    if (!s1 || !s2) {
      edge[i] = std::max(edge[i], mEdges[i].tau);
      continue;
    }
    const double h = 2 * s1->first - s2->first;
    const double v = 2 * s1->second - s2->second;
    edge[i] = std::max(edge[i], std::hypot(h, v));
  }
  // Cells within the sampling depth of an edge lie where the staircase still shows: they reach
  // no higher than the edge values about them.
  std::vector<double> cap(cells, -1.0);
  for (std::size_t k = 0; k < outline.size(); ++k) {
    const auto i = static_cast<std::size_t>(outline[k].cell);
    const int r = showing[k];
    for (int dy = -r; dy <= r; ++dy) {
      for (int dx = -r; dx <= r; ++dx) {
        const std::int32_t j = at(f.CellX[i] + dx, f.CellY[i] + dy);
        if (j < 0 || onEdge[static_cast<std::size_t>(j)]) continue;
        cap[static_cast<std::size_t>(j)] = std::max(cap[static_cast<std::size_t>(j)], edge[i]);
      }
    }
  }
  for (std::size_t i = 0; i < cells; ++i) {
    if (edge[i] >= 0) mEdges[i].tau = edge[i];
    if (cap[i] >= 0) mEdges[i].tau = std::min(mEdges[i].tau, cap[i]);
  }
}

void StressField::FindJoints(const SolvedFields& f, const std::vector<std::int32_t>& material) {
  // Every face between pixels of two materials, with its two corners; the faces of one pair of
  // materials that meet at a corner belong to one joint (union-find over the corners).
  struct Face {
    std::int32_t a, b;  // materials, a < b
    double stress, length;
    SectionPoint middle;
    std::int64_t from, to;  // corners, numbered row by row over the box's corner grid
  };
  std::vector<Face> faces;
  const std::int64_t stride = static_cast<std::int64_t>(f.Columns) + 1;
  const auto corner = [stride](int X, int Y) { return static_cast<std::int64_t>(Y) * stride + X; };
  const auto add = [&](std::size_t i, std::int32_t j, double stress, double length,
                       SectionPoint middle, std::int64_t from, std::int64_t to) {
    if (j < 0) return;
    const std::int32_t a = material[i];
    const std::int32_t b = material[static_cast<std::size_t>(j)];
    if (a == b || a < 0 || b < 0) return;
    faces.push_back({std::min(a, b), std::max(a, b), stress, length, middle, from, to});
  };
  for (std::size_t i = 0; i < mCells.size(); ++i) {
    const int X = f.CellX[i];
    const int Y = f.CellY[i];
    if (X + 1 < f.Columns) {
      add(i, mCellMap[static_cast<std::size_t>(Y) * mColumns + X + 1], mFaceEast[i], mDy,
          {(X + 1) * mDx, (Y + 0.5) * mDy}, corner(X + 1, Y), corner(X + 1, Y + 1));
    }
    if (Y + 1 < f.Rows) {
      add(i, mCellMap[static_cast<std::size_t>(Y + 1) * mColumns + X], mFaceSouth[i], mDx,
          {(X + 0.5) * mDx, (Y + 1) * mDy}, corner(X, Y + 1), corner(X + 1, Y + 1));
    }
  }
  // Corners of one pair are joined; another pair's faces through the same corner are not.
  std::unordered_map<std::int64_t, std::int32_t> index;
  DisjointSets corners;
  const std::int64_t pairs = static_cast<std::int64_t>(mMaterials.size()) * mMaterials.size();
  const auto node = [&](const Face& face, std::int64_t c) {
    const std::int64_t key =
        c * pairs + face.a * static_cast<std::int64_t>(mMaterials.size()) + face.b;
    const auto [it, added] = index.try_emplace(key, static_cast<std::int32_t>(corners.Size()));
    if (added) corners.Add();
    return it->second;
  };
  for (const Face& face : faces) {
    // Two statements: corners are numbered as they are first met, `from` before `to`.
    const std::int32_t from = node(face, face.from);
    const std::int32_t to = node(face, face.to);
    corners.Join(from, to);
  }
  // One joint per component, in the order of the pairs and then of their first faces.
  std::unordered_map<std::int32_t, std::size_t> jointOf;
  std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, JointStress>> joints;
  for (const Face& face : faces) {
    const std::int32_t r = corners.Find(node(face, face.from));
    const auto [it, added] = jointOf.try_emplace(r, joints.size());
    if (added) {
      JointStress joint;
      joint.first = mMaterials[static_cast<std::size_t>(face.a)].label;
      joint.second = mMaterials[static_cast<std::size_t>(face.b)].label;
      joint.tauMax.value = -1;
      joints.push_back({{face.a, face.b}, joint});
    }
    JointStress& joint = joints[it->second].second;
    joint.lengthMm += face.length;
    joint.flow += std::abs(face.stress) * face.length;
    if (std::abs(face.stress) > joint.tauMax.value) {
      joint.tauMax = {std::abs(face.stress), face.middle};
    }
  }
  std::stable_sort(joints.begin(), joints.end(),
                   [](const auto& p, const auto& q) { return p.first < q.first; });
  for (auto& [pair, joint] : joints) {
    joint.mean = joint.flow / joint.lengthMm;
    mJoints.push_back(std::move(joint));
  }
}

const StressField::Run* StressField::RunAt(int boxX, int boxY) const {
  if (boxY < 0 || boxY >= static_cast<int>(mRowStart.size()) - 1) return nullptr;
  const auto first = mRuns.begin() + mRowStart[static_cast<std::size_t>(boxY)];
  const auto last = mRuns.begin() + mRowStart[static_cast<std::size_t>(boxY) + 1];
  const auto it =
      std::upper_bound(first, last, boxX, [](int x, const Run& run) { return x < run.end; });
  if (it == last || boxX < it->begin) return nullptr;
  return &*it;
}

std::int32_t StressField::CellAt(int boxX, int boxY) const {
  if (mCellMap.empty() || boxX < 0 || boxY < 0) return -1;
  const int X = boxX / mCoarsening;
  const int Y = boxY / mCoarsening;
  if (X >= mColumns) return -1;
  const std::size_t index = static_cast<std::size_t>(Y) * mColumns + X;
  return index < mCellMap.size() ? mCellMap[index] : -1;
}

std::int32_t StressField::RunCell(std::int32_t first, const Run& run, int boxX, int boxY) const {
  // Pixels of one run are one material: on cells of one pixel, all of them have cells, numbered
  // along the row, or none has.
  if (mCoarsening == 1) return first >= 0 ? first + (boxX - run.begin) : -1;
  return CellAt(boxX, boxY);
}

double StressField::SigmaAt(int material, double hor, double ver) const {
  const double y = -(hor - mCentre.Hor);
  const double z = ver - mCentre.Ver;
  const double sigma = mE[static_cast<std::size_t>(material)] * (mEps0 + mKy * y + mKz * z);
  return mNoTension[static_cast<std::size_t>(material)] ? std::min(sigma, 0.0) : sigma;
}

PixelStress StressField::At(int x, int y) const {
  PixelStress p;
  const int boxX = x - mBounds.xmin;
  const int boxY = y - mBounds.ymin;
  const Run* run = RunAt(boxX, boxY);
  if (run == nullptr) return p;
  p.material = run->material;
  p.sigma = SigmaAt(run->material, (boxX + 0.5) * mDx, (boxY + 0.5) * mDy);
  const std::int32_t c = mCells.empty() ? -1 : CellAt(boxX, boxY);
  if (c >= 0) {
    p.tauHor = mCells[static_cast<std::size_t>(c)].tauHor;
    p.tauVer = mCells[static_cast<std::size_t>(c)].tauVer;
  }
  p.tau = std::hypot(p.tauHor, p.tauVer);
  p.vonMises = std::sqrt(p.sigma * p.sigma + 3 * p.tau * p.tau);
  return p;
}

double StressField::FaceShear(int x, int y, bool east) const {
  const int boxX = x - mBounds.xmin;
  const int boxY = y - mBounds.ymin;
  const std::int32_t here = CellAt(boxX, boxY);
  const std::int32_t there = east ? CellAt(boxX + 1, boxY) : CellAt(boxX, boxY + 1);
  if (here < 0 || there < 0) return 0;
  const auto i = static_cast<std::size_t>(here);
  if (here == there) return east ? mCells[i].tauHor : mCells[i].tauVer;
  return east ? mFaceEast[i] : mFaceSouth[i];
}

}  // namespace qv
