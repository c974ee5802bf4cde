// The elastic section solver: St Venant torsion by cell-centred finite volumes on the pixels,
// conjugate gradients with a multigrid preconditioner, the Trefftz shear centre and the extreme
// fibres of each material.
//
// The unknown is the warping function w at the centre of every cell (a pixel, or a square of
// pixels when the picture is coarsened). With the pole O at the E-weighted centroid and (u, v)
// the window's frame in mm (u to the right, v downwards), the torsional energy per unit twist is
//   GJ = min over w of  integral G |grad w - (v - vO, -(u - uO))|^2 dA,
// discretised face by face: a face between neighbours i and j carries T (w_j - w_i - a)^2 with
// T = harmonic mean of G times (face length / centre distance) and a = the face's distance times
// the tangential term at the face. Faces towards empty pixels carry nothing, which is exactly the
// free boundary; holes and separate parts need no special case. The minimum is evaluated as that
// sum of squares, never as the polar moment minus a correction, which would cancel to nothing on
// thin walls.
#include "core/elastic/section_solver.h"

#include <Eigen/Dense>
#include <Eigen/IterativeLinearSolvers>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/material.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/elastic/multigrid.h"
#include "core/library/dd_props.h"
#include "core/section/integration.h"

namespace qv {
namespace {

class TorsionOperator;

}  // namespace
}  // namespace qv

namespace Eigen::internal {
template <>
struct traits<qv::TorsionOperator> : traits<SparseMatrix<double>> {};
}  // namespace Eigen::internal

namespace qv {
namespace {

// Memory of one unknown in a solve: the fine level (neighbours, coefficients, position), the
// coarser levels (a third of that), conjugate gradients' six vectors and the multigrid's work
// vectors; the peak resident size of a 4-million-cell solve is about 155 bytes per cell.
constexpr std::size_t kBytesPerCell = 160;
// The grid map costs this per pixel of the (coarsened) box on every level.
constexpr std::size_t kBytesPerBoxCell = 6;
constexpr int kMaxIterations = 2000;
constexpr std::int64_t kMaxCells = std::numeric_limits<std::int32_t>::max() / 2;
// Work units of the progress callback: the main solve, then the coarse one for the estimate.
constexpr std::int64_t kProgressTotal = 1000;
constexpr std::int64_t kMainShare = 800;
constexpr std::int64_t kEstimateShare = 150;
// Coarse solves with fewer cells say nothing about the fine one.
constexpr std::int64_t kMinEstimateCells = 16;
// The observed order is clamped: three solves on a few cells can suggest anything, and an
// order below one half would make the estimate explode.
constexpr double kMinOrder = 0.5;
constexpr double kMaxOrder = 2.0;

struct Cancelled {};

/// The matrix of the solve for Eigen's conjugate gradients; products run on the multigrid's
/// fine level, split over the worker pool.
class TorsionOperator : public Eigen::EigenBase<TorsionOperator> {
 public:
  using Scalar = double;
  using RealScalar = double;
  using StorageIndex = int;
  enum {
    ColsAtCompileTime = Eigen::Dynamic,
    MaxColsAtCompileTime = Eigen::Dynamic,
    IsRowMajor = false
  };

  explicit TorsionOperator(const Multigrid* grid = nullptr) : mGrid(grid) {}
  Eigen::Index rows() const { return static_cast<Eigen::Index>(mGrid->Fine().Cells()); }
  Eigen::Index cols() const { return rows(); }
  template <typename Rhs>
  Eigen::Product<TorsionOperator, Rhs, Eigen::AliasFreeProduct> operator*(
      const Eigen::MatrixBase<Rhs>& x) const {
    return Eigen::Product<TorsionOperator, Rhs, Eigen::AliasFreeProduct>(*this, x.derived());
  }
  const Multigrid& Grid() const { return *mGrid; }

 private:
  const Multigrid* mGrid;
};

/// Reports a solve's progress from the residual conjugate gradients hand to the preconditioner,
/// and stops the solve when asked to.
class SolveMonitor {
 public:
  SolveMonitor(const ElasticOptions& options, std::int64_t first, std::int64_t share)
      : mOptions(options), mFirst(first), mShare(share) {}

  void Step(double residualNorm) {
    if (mOptions.cancel != nullptr && mOptions.cancel->load()) throw Cancelled{};
    if (mStart <= 0) mStart = residualNorm;
    if (!mOptions.progress || !(residualNorm > 0) || !(mStart > 0)) return;
    const double goal = -std::log(std::max(mOptions.tolerance, 1e-300));
    const double reached = std::log(mStart / residualNorm) / goal;
    const auto done =
        static_cast<std::int64_t>(std::clamp(reached, 0.0, 1.0) * static_cast<double>(mShare));
    if (done > mDone) mDone = done;
    mOptions.progress(mFirst + mDone, kProgressTotal);
    if (mOptions.cancel != nullptr && mOptions.cancel->load()) throw Cancelled{};
  }

 private:
  const ElasticOptions& mOptions;
  std::int64_t mFirst;
  std::int64_t mShare;
  std::int64_t mDone = 0;
  double mStart = 0;
};

/// Between the steps that set a solve up (each a tenth of a second or more on millions of cells):
/// reports the progress reached so far again, so a window that answers its user from the
/// progress calls stays responsive, and stops when asked to.
void Beat(const ElasticOptions& options, std::int64_t done) {
  if (options.cancel != nullptr && options.cancel->load()) throw Cancelled{};
  if (options.progress) options.progress(done, kProgressTotal);
}

/// Eigen's preconditioner interface around one multigrid V-cycle.
class MultigridPreconditioner {
 public:
  using StorageIndex = int;
  enum { ColsAtCompileTime = Eigen::Dynamic, MaxColsAtCompileTime = Eigen::Dynamic };

  MultigridPreconditioner() = default;
  template <typename M>
  MultigridPreconditioner& analyzePattern(const M&) {
    return *this;
  }
  template <typename M>
  MultigridPreconditioner& factorize(const M&) {
    return *this;
  }
  template <typename M>
  MultigridPreconditioner& compute(const M&) {
    return *this;
  }
  Eigen::ComputationInfo info() { return Eigen::Success; }

  void Attach(Multigrid* grid, SolveMonitor* monitor) {
    mGrid = grid;
    mMonitor = monitor;
  }

  template <typename Rhs>
  Eigen::VectorXd solve(const Rhs& residual) const {
    const Eigen::Ref<const Eigen::VectorXd> r(residual);
    mMonitor->Step(r.norm());
    Eigen::VectorXd z(r.size());
    mGrid->Precondition(r.data(), z.data());
    return z;
  }

 private:
  Multigrid* mGrid = nullptr;
  SolveMonitor* mMonitor = nullptr;
};

}  // namespace
}  // namespace qv

namespace Eigen::internal {
template <typename Rhs>
struct generic_product_impl<qv::TorsionOperator, Rhs, SparseShape, DenseShape, GemvProduct>
    : generic_product_impl_base<qv::TorsionOperator, Rhs,
                                generic_product_impl<qv::TorsionOperator, Rhs>> {
  using Scalar = typename Product<qv::TorsionOperator, Rhs>::Scalar;
  template <typename Dest>
  static void scaleAndAddTo(Dest& dst, const qv::TorsionOperator& lhs, const Rhs& rhs,
                            const Scalar& alpha) {
    const Ref<const VectorXd> x(rhs);
    lhs.Grid().AddProduct(x.data(), dst.data(), alpha);
  }
};
}  // namespace Eigen::internal

namespace qv {
namespace {

struct SolverMaterial {
  const TPROPRec* entry = nullptr;
  std::uint32_t colour = 0;
  double E = 0;
  double nu = 0;
  double G = 0;
};

/// The section on cells of `factor` x `factor` pixels.
struct Discretisation {
  int factor = 1;
  double cellWidth = 0;   // mm
  double cellHeight = 0;  // mm
  CellLevel level;
  std::vector<double> E;  // mean E of each cell's pixels (empty pixels count 0)
};

std::vector<SolverMaterial> Materials(const TPROPClass& library, const PoissonTable& poisson) {
  std::vector<SolverMaterial> materials;
  for (const MaterialMoments& m : MaterialsInUse(library)) {
    const std::string& label = m.entry->prop.colorlabel;
    if (!std::isfinite(m.E) || m.E < 0) {
      throw Error("The torsion analysis needs a finite E of at least 0 for every material; " +
                  label + " has E = " + FormatNumber(m.E) + ".");
    }
    SolverMaterial s;
    s.entry = m.entry;
    s.colour = m.colour;
    s.E = m.E;
    s.nu = poisson.Get(label);
    const std::string problem = PoissonTable::Problem(label, s.nu);
    if (!problem.empty()) throw Error(problem);
    s.G = ShearModulus(s.E, s.nu);
    materials.push_back(s);
  }
  return materials;
}

/// Index of the material of `colour`, or -1; remembers the last colour, as runs repeat it.
class MaterialLookup {
 public:
  explicit MaterialLookup(const std::vector<SolverMaterial>& materials) : mMaterials(materials) {}
  int Find(std::uint32_t colour) {
    if (colour == mLastColour && mValid) return mLast;
    mValid = true;
    mLastColour = colour;
    mLast = -1;
    for (std::size_t i = 0; i < mMaterials.size(); ++i) {
      if (mMaterials[i].colour == colour) mLast = static_cast<int>(i);
    }
    return mLast;
  }

 private:
  const std::vector<SolverMaterial>& mMaterials;
  std::uint32_t mLastColour = 0;
  int mLast = -1;
  bool mValid = false;
};

int BoxWidth(const SectionBounds& b) { return b.xmax - b.xmin + 1; }
int BoxHeight(const SectionBounds& b) { return b.ymax - b.ymin + 1; }

/// The shares of the materials in a colour (CoverageTable::Shares), remembering the last
/// colour, as runs repeat it.
class ShareLookup {
 public:
  explicit ShareLookup(const CoverageTable& table) : mTable(table) {}
  std::span<const CoverageShare> Find(std::uint32_t colour) {
    if (!mValid || colour != mLastColour) {
      mValid = true;
      mLastColour = colour;
      mLast = mTable.Shares(colour);
    }
    return mLast;
  }

 private:
  const CoverageTable& mTable;
  std::uint32_t mLastColour = 0;
  std::span<const CoverageShare> mLast;
  bool mValid = false;
};

/// Calls cell(X, Y, sumG, sumE) for every block of factor x factor pixels of the box that
/// holds a stiff pixel, row by row, with the sums of G and E over the block's pixels (with
/// `coverage`, each pixel's materials by their shares).
template <typename Cell>
void ForEachBlock(const PixelGrid& grid, const SectionBounds& bounds,
                  const std::vector<SolverMaterial>& materials, int factor, Cell cell,
                  const CoverageTable* coverage = nullptr) {
  const int width = BoxWidth(bounds);
  const int height = BoxHeight(bounds);
  const int nx = (width + factor - 1) / factor;
  const int ny = (height + factor - 1) / factor;
  std::vector<double> sumG(static_cast<std::size_t>(nx));
  std::vector<double> sumE(static_cast<std::size_t>(nx));
  MaterialLookup lookup(materials);
  std::optional<ShareLookup> shares;
  if (coverage != nullptr) shares.emplace(*coverage);
  for (int by = 0; by < ny; ++by) {
    std::fill(sumG.begin(), sumG.end(), 0.0);
    std::fill(sumE.begin(), sumE.end(), 0.0);
    const int rowEnd = std::min(height, (by + 1) * factor);
    for (int row = by * factor; row < rowEnd; ++row) {
      const std::uint32_t* pixels = grid.Row(bounds.ymin + row) + bounds.xmin;
      for (int x = 0; x < width;) {
        const int end = RunEnd(pixels, x + 1, width, pixels[x]);
        if (shares) {
          for (const CoverageShare& share : shares->Find(pixels[x])) {
            const SolverMaterial& s = materials[static_cast<std::size_t>(share.material)];
            if (!(s.E > 0)) continue;
            const double part =
                static_cast<double>(share.weight) / static_cast<double>(kCoverageUnit);
            for (int px = x; px < end; ++px) {
              sumG[static_cast<std::size_t>(px / factor)] += s.G * part;
              sumE[static_cast<std::size_t>(px / factor)] += s.E * part;
            }
          }
          x = end;
          continue;
        }
        const int m = lookup.Find(pixels[x]);
        if (m >= 0 && materials[static_cast<std::size_t>(m)].E > 0) {
          const SolverMaterial& s = materials[static_cast<std::size_t>(m)];
          for (int px = x; px < end; ++px) {
            sumG[static_cast<std::size_t>(px / factor)] += s.G;
            sumE[static_cast<std::size_t>(px / factor)] += s.E;
          }
        }
        x = end;
      }
    }
    for (int bx = 0; bx < nx; ++bx) {
      if (sumE[static_cast<std::size_t>(bx)] > 0) {
        cell(bx, by, sumG[static_cast<std::size_t>(bx)], sumE[static_cast<std::size_t>(bx)]);
      }
    }
  }
}

std::int64_t CountCells(const PixelGrid& grid, const SectionBounds& bounds,
                        const std::vector<SolverMaterial>& materials, int factor,
                        const CoverageTable* coverage) {
  std::int64_t cells = 0;
  ForEachBlock(
      grid, bounds, materials, factor, [&](int, int, double, double) { ++cells; }, coverage);
  return cells;
}

std::size_t SolveBytes(std::int64_t cells, const SectionBounds& bounds, int factor) {
  const auto box = static_cast<std::size_t>((BoxWidth(bounds) + factor - 1) / factor) *
                   static_cast<std::size_t>((BoxHeight(bounds) + factor - 1) / factor);
  return static_cast<std::size_t>(cells) * kBytesPerCell + box * kBytesPerBoxCell;
}

/// `beat` is called between its steps (see Beat above).
Discretisation Discretise(const PixelGrid& grid, const SectionBounds& bounds,
                          const std::vector<SolverMaterial>& materials, double dx, double dy,
                          int factor, const std::function<void()>& beat,
                          const CoverageTable* coverage) {
  Discretisation d;
  d.factor = factor;
  d.cellWidth = dx * factor;
  d.cellHeight = dy * factor;
  CellLevel& c = d.level;
  c.nx = (BoxWidth(bounds) + factor - 1) / factor;
  c.ny = (BoxHeight(bounds) + factor - 1) / factor;
  // Reserved up front: growing four vectors by doubling would double the peak memory.
  const auto count =
      static_cast<std::size_t>(CountCells(grid, bounds, materials, factor, coverage));
  c.cellX.reserve(count);
  c.cellY.reserve(count);
  d.E.reserve(count);
  std::vector<double> g;
  g.reserve(count);
  const double blockPixels = static_cast<double>(factor) * factor;
  ForEachBlock(
      grid, bounds, materials, factor,
      [&](int x, int y, double sumG, double sumE) {
        c.cellX.push_back(x);
        c.cellY.push_back(y);
        g.push_back(sumG / blockPixels);
        d.E.push_back(sumE / blockPixels);
      },
      coverage);
  beat();
  c.Link();
  beat();
  const auto n = static_cast<std::size_t>(c.Cells());
  c.te.assign(n, 0.0);
  c.ts.assign(n, 0.0);
  // The harmonic mean is the stiffness of the two half cells in series.
  const double across = d.cellHeight / d.cellWidth;
  const double down = d.cellWidth / d.cellHeight;
  for (std::size_t i = 0; i < n; ++i) {
    if (c.east[i] >= 0) {
      const double gj = g[static_cast<std::size_t>(c.east[i])];
      c.te[i] = 2 * g[i] * gj / (g[i] + gj) * across;
    }
    if (c.south[i] >= 0) {
      const double gj = g[static_cast<std::size_t>(c.south[i])];
      c.ts[i] = 2 * g[i] * gj / (g[i] + gj) * down;
    }
  }
  c.SumDiagonal();
  return d;
}

struct TorsionSolution {
  double GJ = 0;
  double centreHor = 0;  // shear centre, mm from the box's upper left corner
  double centreVer = 0;
  int iterations = 0;
  int parts = 0;
  // With the design values only:
  double EIw = 0;  // warping constant about the shear centre, N mm^4
  double GAy = 0;  // shear stiffness for a shear force along y (horizontal), N
  double GAz = 0;  // for one along z (vertical), N
};

// The 2 x 2 normal equations of the Trefftz shear centre (below) and their right-hand sides.
struct CentreSums {
  double uu = 0, uw = 0, ww = 0, ru = 0, rw = 0;
};

/// Solves the torsion on `d`; with `designValues` also the warping constant and the two shear
/// functions on the same multigrid (three solves in all, sharing the progress share).
TorsionSolution Solve(Discretisation& d, const ElasticOptions& options, ThreadPool& pool,
                      std::int64_t progressFirst, std::int64_t progressShare,
                      bool designValues = false) {
  // The level moves into the multigrid below; the positions are read wherever it is.
  const CellLevel* cells = &d.level;
  const CellLevel& c = d.level;
  const auto n = static_cast<std::size_t>(c.Cells());
  const double hx = d.cellWidth;
  const double hy = d.cellHeight;
  const auto centreU = [&](std::size_t i) { return (cells->cellX[i] + 0.5) * hx; };
  const auto centreV = [&](std::size_t i) { return (cells->cellY[i] + 0.5) * hy; };

  // The pole: any point gives the same GJ and shear centre; the centroid keeps the numbers small.
  double sumE = 0, sumEU = 0, sumEV = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sumE += d.E[i];
    sumEU += d.E[i] * centreU(i);
    sumEV += d.E[i] * centreV(i);
  }
  const double poleU = sumEU / sumE;
  const double poleV = sumEV / sumE;

  // Face terms a: the tangential field (v - vO, -(u - uO)) times the centre distance.
  const auto eastTerm = [&](std::size_t i) { return hx * (centreV(i) - poleV); };
  const auto southTerm = [&](std::size_t i) { return -hy * (centreU(i) - poleU); };

  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(n));
  for (std::size_t i = 0; i < n; ++i) {
    if (c.east[i] >= 0) {
      const double f = c.te[i] * eastTerm(i);
      rhs[static_cast<Eigen::Index>(c.east[i])] += f;
      rhs[static_cast<Eigen::Index>(i)] -= f;
    }
    if (c.south[i] >= 0) {
      const double f = c.ts[i] * southTerm(i);
      rhs[static_cast<Eigen::Index>(c.south[i])] += f;
      rhs[static_cast<Eigen::Index>(i)] -= f;
    }
  }

  Beat(options, progressFirst);
  Multigrid grid(std::move(d.level), pool);
  Beat(options, progressFirst);
  const CellLevel& fine = grid.Fine();
  cells = &fine;
  // Each part's sum is zero in exact arithmetic; removing the rounding keeps the system consistent.
  grid.RemovePartMeans(rhs.data());

  // The two shear solves take half the share between them.
  const std::int64_t torsionShare = designValues ? progressShare / 2 : progressShare;
  SolveMonitor monitor(options, progressFirst, torsionShare);
  Eigen::ConjugateGradient<TorsionOperator, Eigen::Lower | Eigen::Upper, MultigridPreconditioner>
      cg;
  cg.preconditioner().Attach(&grid, &monitor);
  cg.setTolerance(options.tolerance);
  cg.setMaxIterations(kMaxIterations);
  TorsionOperator op(&grid);
  cg.compute(op);
  Eigen::VectorXd w = cg.solve(rhs);
  if (cg.info() != Eigen::Success) {
    throw Error("The torsion solver did not converge in " + IntegerText(kMaxIterations) +
                " iterations (residual " + FormatGeneral(cg.error(), 3, 0) + ").");
  }
  grid.RemovePartMeans(w.data());

  TorsionSolution s;
  s.iterations = static_cast<int>(cg.iterations());
  s.parts = grid.PartCount();

  // GJ as the energy: a sum of squares in cell order.
  double gj = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (fine.east[i] >= 0) {
      const double jump = w[fine.east[i]] - w[static_cast<Eigen::Index>(i)] - eastTerm(i);
      gj += fine.te[i] * jump * jump;
    }
    if (fine.south[i] >= 0) {
      const double jump = w[fine.south[i]] - w[static_cast<Eigen::Index>(i)] - southTerm(i);
      gj += fine.ts[i] * jump * jump;
    }
  }
  s.GJ = gj;

  // Trefftz: the shear centre S is the pole whose warping w_S = w - (vS - vO) u + (uS - uO) v +
  // const is E-orthogonal to u, v and a constant on each part; i.e. the E-weighted least-squares
  // fit of w by a u + b v + c_k gives vS = vO + a, uS = uO - b. Per part, u and v are taken
  // about that part's own centroid, which disposes of the constants.
  const auto parts = static_cast<std::size_t>(grid.PartCount());
  const std::vector<std::int32_t>& part = grid.Parts();
  std::vector<double> pe(parts, 0.0), pu(parts, 0.0), pv(parts, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(part[i]);
    pe[k] += d.E[i];
    pu[k] += d.E[i] * centreU(i);
    pv[k] += d.E[i] * centreV(i);
  }
  for (std::size_t k = 0; k < parts; ++k) {
    pu[k] /= pe[k];
    pv[k] /= pe[k];
  }
  CentreSums sums;
  const double selfU = hx * hx / 12;  // a cell's own second moment, per unit area
  const double selfV = hy * hy / 12;
  for (std::size_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(part[i]);
    const double u = centreU(i) - pu[k];
    const double v = centreV(i) - pv[k];
    const double e = d.E[i];
    sums.uu += e * (u * u + selfU);
    sums.uw += e * u * v;
    sums.ww += e * (v * v + selfV);
    sums.ru += e * w[static_cast<Eigen::Index>(i)] * u;
    sums.rw += e * w[static_cast<Eigen::Index>(i)] * v;
  }
  const double det = sums.uu * sums.ww - sums.uw * sums.uw;
  const double a = (sums.ru * sums.ww - sums.rw * sums.uw) / det;
  const double b = (sums.rw * sums.uu - sums.ru * sums.uw) / det;
  s.centreHor = poleU - b;
  s.centreVer = poleV + a;
  if (!designValues) return s;

  // The warping constant: the warping function referred to the shear centre is what the fit
  // leaves of w; less its E-weighted mean on each part, squared and weighted with E.
  const double area = hx * hy;
  std::vector<double> omega(n);
  std::vector<double> meanOmega(parts, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(part[i]);
    omega[i] =
        w[static_cast<Eigen::Index>(i)] - a * (centreU(i) - pu[k]) - b * (centreV(i) - pv[k]);
    meanOmega[k] += d.E[i] * omega[i];
  }
  for (std::size_t k = 0; k < parts; ++k) meanOmega[k] /= pe[k];
  double eiw = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double o = omega[i] - meanOmega[static_cast<std::size_t>(part[i])];
    eiw += d.E[i] * o * o;
  }
  s.EIw = eiw * area;

  // The shear functions: for a shear force along y the bending stresses grow with y, and their
  // gradient along the beam, E (y - yC), is what the shear flow carries; div (G grad psi) =
  // E (y - yC) with free edges is the system of the torsion with another right-hand side. The
  // shear stiffness follows from the energy: G A_s = EI^2 / integral G |grad psi|^2. Poisson's
  // ratio is left out of the shear functions, as the elementary theory does. Parts without a
  // shared edge cannot pass shear between them: each carries its own (its mean is removed).
  const auto shearStiffness = [&](const auto& coordinate, double self, std::int64_t first,
                                  std::int64_t share) {
    Eigen::VectorXd load(static_cast<Eigen::Index>(n));
    double ei = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double arm = coordinate(i);
      load[static_cast<Eigen::Index>(i)] = d.E[i] * arm * area;
      ei += d.E[i] * (arm * arm + self) * area;
    }
    grid.RemovePartMeans(load.data());
    SolveMonitor shearMonitor(options, first, share);
    cg.preconditioner().Attach(&grid, &shearMonitor);
    Eigen::VectorXd psi = cg.solve(load);
    if (cg.info() != Eigen::Success) {
      throw Error("The shear solver did not converge in " + IntegerText(kMaxIterations) +
                  " iterations (residual " + FormatGeneral(cg.error(), 3, 0) + ").");
    }
    const double energy = psi.dot(load);
    return energy > 0 ? ei * ei / energy : 0.0;
  };
  const std::int64_t quarter = (progressShare - torsionShare) / 2;
  s.GAy = shearStiffness([&](std::size_t i) { return centreU(i) - poleU; }, hx * hx / 12,
                         progressFirst + torsionShare, quarter);
  s.GAz = shearStiffness([&](std::size_t i) { return centreV(i) - poleV; }, hy * hy / 12,
                         progressFirst + torsionShare + quarter,
                         progressShare - torsionShare - quarter);
  return s;
}

/// Extreme fibres of each material, from the full-resolution picture.
void ComputeFibres(const PixelGrid& grid, const SectionBounds& bounds,
                   const std::vector<SolverMaterial>& materials, const SectionResult& section,
                   ThreadPool& pool, std::vector<MaterialModuli>& moduli,
                   const CoverageTable* coverage) {
  const double dx = section.Dx;
  const double dy = section.Dy;
  // The fibres are measured from the point the EI values are taken about: the centre of the
  // pixel NC, in pixel corner units.
  const double ncX = section.NC.x + 0.5;
  const double ncY = section.NC.y + 0.5;
  const double cosA = std::cos(section.Alpha);
  const double sinA = std::sin(section.Alpha);
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Extremes {
    std::int64_t pixels = 0;
    double minY = kInf, maxY = -kInf, minZ = kInf, maxZ = -kInf;
    double min1 = kInf, max1 = -kInf, min2 = kInf, max2 = -kInf;
    void Add(double y, double z, double s1, double s2) {
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
      minZ = std::min(minZ, z);
      maxZ = std::max(maxZ, z);
      min1 = std::min(min1, s1);
      max1 = std::max(max1, s1);
      min2 = std::min(min2, s2);
      max2 = std::max(max2, s2);
    }
  };
  const int width = BoxWidth(bounds);
  std::vector<std::vector<Extremes>> partial(static_cast<std::size_t>(pool.Parts()),
                                             std::vector<Extremes>(materials.size()));
  ForEachRowBand(pool, width, BoxHeight(bounds), {}, [&](int worker, int first, int end) {
    MaterialLookup lookup(materials);
    std::optional<ShareLookup> shares;
    if (coverage != nullptr) shares.emplace(*coverage);
    std::vector<Extremes>& mine = partial[static_cast<std::size_t>(worker)];
    for (int row = first; row < end; ++row) {
      const int py = bounds.ymin + row;
      const std::uint32_t* pixels = grid.Row(py) + bounds.xmin;
      for (int x = 0; x < width;) {
        const int runEnd = RunEnd(pixels, x + 1, width, pixels[x]);
        // Read as coverage, a pixel holding any share of a material reaches as far as it does.
        std::array<int, 3> held{-1, -1, -1};
        if (shares) {
          const std::span<const CoverageShare> found = shares->Find(pixels[x]);
          for (std::size_t k = 0; k < found.size(); ++k) held[k] = found[k].material;
        } else {
          held[0] = lookup.Find(pixels[x]);
        }
        for (const int m : held) {
          if (m < 0) continue;
          Extremes& e = mine[static_cast<std::size_t>(m)];
          e.pixels += runEnd - x;
          // A run's outermost points along any direction are among its four corners.
          for (const double cx : {double(bounds.xmin + x), double(bounds.xmin + runEnd)}) {
            for (const double cy : {double(py), double(py + 1)}) {
              const double y = -(cx - ncX) * dx;
              const double z = (cy - ncY) * dy;
              e.Add(y, z, y * cosA + z * sinA, -y * sinA + z * cosA);
            }
          }
        }
        x = runEnd;
      }
    }
  });
  const auto per = [](double E, double c, double ei) { return ei > 0 ? E * c / ei : 0.0; };
  for (std::size_t m = 0; m < materials.size(); ++m) {
    Extremes all;
    for (const auto& part : partial) {
      const Extremes& e = part[m];
      all.pixels += e.pixels;
      if (e.pixels == 0) continue;
      all.Add(e.minY, e.minZ, e.min1, e.min2);
      all.Add(e.maxY, e.maxZ, e.max1, e.max2);
    }
    MaterialModuli& out = moduli[m];
    out.pixels = all.pixels;
    if (all.pixels == 0) continue;
    out.y = {all.minY, all.maxY};
    out.z = {all.minZ, all.maxZ};
    out.axis1 = {all.min1, all.max1};
    out.axis2 = {all.min2, all.max2};
    const double E = materials[m].E;
    out.stressY = {per(E, all.minY, section.EIyy), per(E, all.maxY, section.EIyy)};
    out.stressZ = {per(E, all.minZ, section.EIzz), per(E, all.maxZ, section.EIzz)};
    out.stress1 = {per(E, all.min1, section.EI1), per(E, all.max1, section.EI1)};
    out.stress2 = {per(E, all.min2, section.EI2), per(E, all.max2, section.EI2)};
  }
}

// The elastic moduli of a section of one material (every material in use with E above 0 has
// the same E): nothing otherwise, where stresses depend on the material at each fibre.
std::optional<SectionModuli> SectionModuliOf(const std::vector<MaterialModuli>& materials,
                                             const SectionResult& section) {
  double E = 0;
  FibreRange y{0, 0}, z{0, 0}, axis1{0, 0}, axis2{0, 0};
  bool any = false;
  for (const MaterialModuli& m : materials) {
    if (!(m.E > 0) || m.pixels == 0) continue;
    if (any && m.E != E) return std::nullopt;
    const auto widen = [any](FibreRange& all, const FibreRange& one) {
      all = any ? FibreRange{std::min(all.min, one.min), std::max(all.max, one.max)} : one;
    };
    widen(y, m.y);
    widen(z, m.z);
    widen(axis1, m.axis1);
    widen(axis2, m.axis2);
    E = m.E;
    any = true;
  }
  if (!any) return std::nullopt;
  // I / c at a fibre c from NC; a fibre on the axis itself has no modulus (infinite: 0 stands
  // for "none" below, never a division by zero).
  const auto modulus = [E](double ei, double c) { return c != 0 ? ei / E / std::abs(c) : 0.0; };
  // The stiffnesses of the report count each pixel at its centre; a modulus wants the drawn
  // area's own: each pixel adds its second moment about its centre, E A (pixel size)^2 / 12
  // along the coordinate the stress grows with.
  const double dx2 = section.Dx * section.Dx;
  const double dy2 = section.Dy * section.Dy;
  const double c2 = std::cos(section.Alpha) * std::cos(section.Alpha);
  const double s2 = std::sin(section.Alpha) * std::sin(section.Alpha);
  // Read as coverage, the stiffnesses hold those terms already.
  const double self = section.Coverage ? 0.0 : 1.0;
  const double eiyy = section.EIyy + self * section.EA * dx2 / 12;
  const double eizz = section.EIzz + self * section.EA * dy2 / 12;
  const double ei1 = section.EI1 + self * section.EA * (dx2 * c2 + dy2 * s2) / 12;
  const double ei2 = section.EI2 + self * section.EA * (dx2 * s2 + dy2 * c2) / 12;
  SectionModuli w;
  w.E = E;
  // About the horizontal axis the stresses grow with z (EIzz); above NC z is negative.
  w.HorizontalTop = modulus(eizz, z.min);
  w.HorizontalBottom = modulus(eizz, z.max);
  // About the vertical axis with y (EIyy), positive to the left of NC.
  w.VerticalLeft = modulus(eiyy, y.max);
  w.VerticalRight = modulus(eiyy, y.min);
  w.Axis1 = modulus(ei1, std::max(std::abs(axis1.min), std::abs(axis1.max)));
  w.Axis2 = modulus(ei2, std::max(std::abs(axis2.min), std::abs(axis2.max)));
  return w;
}

}  // namespace

double SingleShearModulus(const ElasticResult& result) {
  double g = 0;
  for (const MaterialModuli& m : result.materials) {
    if (!(m.E > 0) || m.pixels == 0) continue;
    if (g > 0 && m.G != g) return 0;
    g = m.G;
  }
  return g;
}

std::optional<ElasticResult> ComputeElasticSection(const PixelGrid& grid,
                                                   const SectionBounds& bounds,
                                                   const TPROPClass& library,
                                                   const PoissonTable& poisson, double widthMm,
                                                   double heightMm, const SectionResult& section,
                                                   const ElasticOptions& options) {
  if (bounds.Unset() || bounds.xmin < 0 || bounds.ymin < 0 || bounds.xmax < bounds.xmin ||
      bounds.ymax < bounds.ymin || bounds.xmax >= grid.Width() || bounds.ymax >= grid.Height()) {
    throw Error("The section lies outside the picture; analyse the section first.");
  }
  if (!(widthMm > 0) || !(heightMm > 0) || !std::isfinite(widthMm) || !std::isfinite(heightMm)) {
    throw Error("The section needs a width and a height above 0 mm.");
  }
  if (!(options.tolerance > 0) || options.tolerance >= 1) {
    throw Error("The solver tolerance must lie between 0 and 1.");
  }
  const std::vector<SolverMaterial> materials = Materials(library, poisson);
  const double dx = widthMm / BoxWidth(bounds);
  const double dy = heightMm / BoxHeight(bounds);

  ElasticResult result;
  int factor = options.coarsening;
  if (factor <= 0) {
    const std::int64_t pixels = CountCells(grid, bounds, materials, 1, options.coverage);
    factor = 1;
    if (SolveBytes(pixels, bounds, 1) > options.memoryBudget) {
      // Cells fall with the square of the factor; start just below the estimate.
      const double ratio = static_cast<double>(SolveBytes(pixels, bounds, 1)) /
                           static_cast<double>(std::max<std::size_t>(options.memoryBudget, 1));
      factor = std::max(2, static_cast<int>(std::floor(std::sqrt(ratio))));
      while (SolveBytes(CountCells(grid, bounds, materials, factor, options.coverage), bounds,
                        factor) > options.memoryBudget) {
        ++factor;
      }
    }
  }
  // Cells are numbered in 32 bits, whatever the budget allows.
  while (CountCells(grid, bounds, materials, factor, options.coverage) > kMaxCells) ++factor;

  if (options.cancel != nullptr && options.cancel->load()) return std::nullopt;
  ThreadPool pool(options.threads);
  try {
    Discretisation main = Discretise(
        grid, bounds, materials, dx, dy, factor, [&] { Beat(options, 0); }, options.coverage);
    Beat(options, 0);
    if (main.level.Cells() == 0) {
      throw Error("The section has no pixel of a material with E above 0.");
    }
    result.Coarsening = factor;
    result.Coarsened = factor > 1;
    result.CellWidthMm = main.cellWidth;
    result.CellHeightMm = main.cellHeight;
    result.Cells = main.level.Cells();
    const std::int64_t mainShare = options.estimateError ? kMainShare : kProgressTotal;
    const TorsionSolution fine = Solve(main, options, pool, 0, mainShare, true);
    main = Discretisation{};  // its memory is needed for the next solve
    Beat(options, mainShare);
    result.GJ = fine.GJ;
    result.ShearCentreHor = fine.centreHor;
    result.ShearCentreVer = fine.centreVer;
    result.Iterations = fine.iterations;
    result.Parts = fine.parts;
    result.EIw = fine.EIw;
    result.GAy = fine.GAy;
    result.GAz = fine.GAz;

    if (options.estimateError) {
      // Cells twice and four times the size give the difference the finer solve still makes and
      // the order at which it shrinks: second order where the outline follows the grid, about
      // first order on stepped outlines, less at re-entrant corners.
      std::vector<TorsionSolution> coarser;
      std::int64_t first = kMainShare;
      for (const int scale : {2, 4}) {
        Discretisation coarse = Discretise(
            grid, bounds, materials, dx, dy, scale * factor, [&] { Beat(options, first); },
            options.coverage);
        Beat(options, first);
        if (coarse.level.Cells() < kMinEstimateCells) break;
        const std::int64_t share = scale == 2 ? kEstimateShare : kProgressTotal - first;
        coarser.push_back(Solve(coarse, options, pool, first, share));
        first += share;
      }
      if (!coarser.empty()) {
        const auto centreStep = [](const TorsionSolution& a, const TorsionSolution& b) {
          return std::hypot(a.centreHor - b.centreHor, a.centreVer - b.centreVer);
        };
        const double gjStep = std::abs(fine.GJ - coarser[0].GJ);
        const double centreStep1 = centreStep(fine, coarser[0]);
        double order = 1;
        if (coarser.size() == 2 && gjStep > 0) {
          order = std::log2(std::abs(coarser[0].GJ - coarser[1].GJ) / gjStep);
          if (!std::isfinite(order)) order = 1;
          order = std::clamp(order, kMinOrder, kMaxOrder);
        }
        double centreOrder = 1;
        if (coarser.size() == 2 && centreStep1 > 0) {
          centreOrder = std::log2(centreStep(coarser[0], coarser[1]) / centreStep1);
          if (!std::isfinite(centreOrder)) centreOrder = 1;
          centreOrder = std::clamp(centreOrder, kMinOrder, kMaxOrder);
        }
        result.HasErrorEstimate = true;
        result.ObservedOrder = order;
        result.GJErrorEstimate = gjStep / (std::exp2(order) - 1);
        result.ShearCentreErrorEstimate = centreStep1 / (std::exp2(centreOrder) - 1);
      }
    }
  } catch (const Cancelled&) {
    return std::nullopt;
  }

  // The NC the section values are taken about, in the window frame.
  const double ncHor = (section.NC.x - bounds.xmin + 0.5) * dx;
  const double ncVer = (section.NC.y - bounds.ymin + 0.5) * dy;
  result.ShearCentreY = -(result.ShearCentreHor - ncHor);
  result.ShearCentreZ = result.ShearCentreVer - ncVer;
  if (section.EA > 0) {
    result.RadiusY = std::sqrt(std::max(0.0, section.EIyy / section.EA));
    result.RadiusZ = std::sqrt(std::max(0.0, section.EIzz / section.EA));
  }
  result.materials.resize(materials.size());
  for (std::size_t m = 0; m < materials.size(); ++m) {
    MaterialModuli& out = result.materials[m];
    out.label = materials[m].entry->prop.colorlabel;
    out.name = materials[m].entry->prop.name;
    out.E = materials[m].E;
    out.nu = materials[m].nu;
    out.G = materials[m].G;
  }
  ComputeFibres(grid, bounds, materials, section, pool, result.materials, options.coverage);
  result.Moduli = SectionModuliOf(result.materials, section);
  if (options.progress) options.progress(kProgressTotal, kProgressTotal);
  return result;
}

}  // namespace qv
