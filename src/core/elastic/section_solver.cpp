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
// free boundary; holes and separate parts need no special case. Read as coverage, a face carries
// only its part in the material, its term is taken at that part's midpoint along the step between
// the two cells' unknowns (a cut cell's may sit at its material's centroid, cut_cells.h), and the
// energy adds what the faces' midpoints leave out (FaceVarianceEnergy). The
// minimum is evaluated as that sum of squares, never as the polar moment minus a correction, which
// would cancel to nothing on thin walls.
//
// The solves run in scaled units: lengths in pixel widths and moduli as fractions of the largest
// E in the section, so that any positive finite E and any pixel size give the same numbers to
// solve; the results are scaled back at the end. On pixels that are not square the unknown is
// w - s (u - uO)(v - vO), the warping less that of a thin strip along the pixels' long side
// (s = 1 for tall pixels, -1 for wide ones): the faces across the long side then carry no term a,
// the right-hand side holds only what twists the section, and its residual measures that rather
// than terms that cancel, which on long pixels are larger by their aspect ratio squared.
#include "core/elastic/section_solver.h"

#include <Eigen/Dense>
#include <Eigen/IterativeLinearSolvers>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <tuple>
#include <type_traits>
#include <utility>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/material.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/elastic/multigrid.h"
#include "core/elastic/section_cells.h"
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

constexpr int kMaxIterations = 2000;
// Conjugate gradients run in rounds of this many iterations, each from the last one's solution
// with its true residual; a round that does not halve the residual has stalled (with the
// multigrid it halves every iteration or two).
constexpr int kRoundIterations = 50;
// A relative residual that rounding keeps a stalled solve at, but which leaves GJ and the shear
// stiffnesses (energies, whose error goes with the residual squared) exact to many digits.
constexpr double kRoundingResidual = 1e-8;
constexpr std::int64_t kMaxCells = ElasticOptions::kMaxCellLimit;
// Pixels longer than this times their width: the couplings of the two directions differ by its
// square, and the residual of the weak direction drowns in the rounding of the strong one.
constexpr double kMaxAspect = 1e4;
// Work units of the progress callback: the main solve, then the coarse one for the estimate.
constexpr std::int64_t kProgressTotal = 1000;
constexpr std::int64_t kMainShare = 800;
constexpr std::int64_t kEstimateShare = 150;
// Coarse solves with fewer cells say nothing about the fine one.
constexpr std::int64_t kMinEstimateCells = 16;
// The orders of convergence the estimate believes: outside them the three solves are not in the
// range where the error shrinks regularly, and extrapolating from them would mislead. Within it
// the order is clamped to kMaxOrder, the order of a smooth solution. Where GJ moves one way from
// four to two times the cells' size and back from two to one (cells that a feature fills in
// part), the steps shrink by the same ratio and the estimate from it is on the safe side: the
// alternating steps partly cancel.
constexpr double kMinOrder = 0.5;
constexpr double kMaxTrustedOrder = 3.0;
constexpr double kMaxOrder = 2.0;
// Cut cells converge at second order; three solves whose order lies this close to it have
// established it, and their value extrapolated to cells of no size is the section's.
constexpr double kMinCutOrder = 1.5;
constexpr double kMaxCutOrder = 2.5;

struct Cancelled {};

/// A residual that is no longer a finite number, found by the monitor.
struct BrokeDown {
  int iterations = 0;  // the preconditioner's calls before it, about the iterations
};

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
/// stops the solve when asked to, and throws BrokeDown when the residual stops being a number.
class SolveMonitor {
 public:
  SolveMonitor(const ElasticOptions& options, std::int64_t first, std::int64_t share)
      : mOptions(options), mFirst(first), mShare(share) {}

  void Step(double residualNorm) {
    if (mOptions.cancel != nullptr && mOptions.cancel->load()) throw Cancelled{};
    if (!std::isfinite(residualNorm)) throw BrokeDown{mSteps};
    ++mSteps;
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
  int mSteps = 0;
};

/// Between the steps that set a solve up (each a tenth of a second or more on millions of cells):
/// reports the progress reached so far again, so a window that answers its user from the
/// progress calls stays responsive, and stops when asked to.
void Beat(const ElasticOptions& options, std::int64_t done) {
  if (options.cancel != nullptr && options.cancel->load()) throw Cancelled{};
  if (options.progress) options.progress(done, kProgressTotal);
}

/// Eigen's preconditioner interface around one multigrid V-cycle. It hands back a solve
/// expression, so the V-cycle writes straight into conjugate gradients' own vector.
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
  Eigen::Index rows() const { return static_cast<Eigen::Index>(mGrid->Fine().Cells()); }
  Eigen::Index cols() const { return rows(); }

  void Attach(Multigrid* grid, SolveMonitor* monitor) {
    mGrid = grid;
    mMonitor = monitor;
  }

  template <typename Rhs>
  Eigen::Solve<MultigridPreconditioner, Rhs> solve(const Eigen::MatrixBase<Rhs>& residual) const {
    return Eigen::Solve<MultigridPreconditioner, Rhs>(*this, residual.derived());
  }

  template <typename Rhs, typename Dest>
  void _solve_impl(const Rhs& residual, Dest& z) const {  // NOLINT(bugprone-reserved-identifier)
    const Eigen::Ref<const Eigen::VectorXd> r(residual);
    mMonitor->Step(r.norm());
    z.resize(r.size());
    mGrid->Precondition(r.data(), z.data());
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
  // dst = A x in one pass, without clearing dst first.
  template <typename Dest>
  static void evalTo(Dest& dst, const qv::TorsionOperator& lhs, const Rhs& rhs) {
    const Ref<const VectorXd> x(rhs);
    lhs.Grid().Apply(x.data(), dst.data());
  }
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

struct TorsionSolution {
  double GJ = 0;         // all in the scaled units
  double centreHor = 0;  // shear centre, from the box's upper left corner
  double centreVer = 0;
  int iterations = 0;
  int parts = 0;
  bool closedLoop = true;  // without one GJ is 0 and nothing was solved
  // With the design values only:
  double EIw = 0;    // warping constant about the shear centre
  double GAy = 0;    // shear stiffness for a shear force along y (horizontal)
  double GAz = 0;    // for one along z (vertical)
  double betaY = 0;  // monosymmetry constants (see ElasticResult), scaled lengths
  double betaZ = 0;
};

// The 2 x 2 normal equations of the Trefftz shear centre (below) and their right-hand sides.
struct CentreSums {
  double uu = 0, uw = 0, ww = 0, ru = 0, rw = 0;
};

/// What a solve needs besides its cells, and what its messages name.
struct SolveContext {
  const ElasticOptions& options;
  ThreadPool& pool;
  double aspect = 1;    // the pixels' longer side over their shorter one
  double contrast = 1;  // the largest E with pixels in the section over the smallest
};

enum class Trouble { BrokeDown, Stalled, OutOfIterations };

/// Why the solve `what` cannot be trusted, as an Error.
[[noreturn]] void ThrowTrouble(const std::string& what, Trouble trouble, int iterations,
                               double relative, const SolveContext& context) {
  const std::string after =
      IntegerText(iterations) + (iterations == 1 ? " iteration" : " iterations");
  std::string text = "The " + what;
  if (trouble == Trouble::BrokeDown) {
    text += " broke down after " + after + ": its residual is no longer a finite number";
  } else {
    text += trouble == Trouble::Stalled ? " stalled after " : " did not converge in ";
    text += after + " at a relative residual of " + FormatGeneral(relative, 2, 1) + " (goal " +
            FormatGeneral(context.options.tolerance, 2, 1) + ")";
  }
  if (context.contrast >= 1e8) {
    text += ": the largest E in the section is " + FormatGeneral(context.contrast, 2, 1) +
            " times the smallest, more than the arithmetic's precision resolves.";
  } else if (context.aspect >= 100) {
    text += ": the pixels are " + FormatGeneral(context.aspect, 3, 1) +
            " times as long as wide, more than the arithmetic's precision resolves.";
  } else {
    text += ": rounding errors keep it from its goal.";
  }
  throw Error(text);
}

/// The cells' positions about the pole and the face terms of the torsion (see the top of this
/// file): the tangential field (v - vO, -(u - uO)) times the centre distance, less the strip's
/// own jump. Read on whichever level holds the cells (they move into the multigrid).
struct TorsionTerms {
  double hx = 1;
  double hy = 1;
  double poleU = 0;
  double poleV = 0;
  double strip = 0;  // s of the unknown w - s (u - uO)(v - vO)
  // Read as coverage: the cut cells' faces and unknowns (Discretisation::cut), cutIndex[i] cell
  // i's entry or -1; nullptr for flat pictures, whose faces are whole.
  const std::int32_t* cutIndex = nullptr;
  const CutCell* cut = nullptr;

  CutCell CutOf(std::size_t i) const {
    return cutIndex[i] < 0 ? CutCell{} : cut[static_cast<std::size_t>(cutIndex[i])];
  }
  double CentreU(const CellLevel& c, std::size_t i) const {
    return (c.cellX[i] + 0.5 + (cutIndex != nullptr ? CutOf(i).centreX : 0.0F)) * hx;
  }
  double CentreV(const CellLevel& c, std::size_t i) const {
    return (c.cellY[i] + 0.5 + (cutIndex != nullptr ? CutOf(i).centreY : 0.0F)) * hy;
  }
  double StripWarping(const CellLevel& c, std::size_t i) const {
    return strip * (CentreU(c, i) - poleU) * (CentreV(c, i) - poleV);
  }
  // The tangential field is taken at the face's midpoint, the strip's jump between the two
  // cells' centres.
  double EastTerm(const CellLevel& c, std::size_t i) const {
    if (cutIndex != nullptr) return CutTerm(c, i, static_cast<std::size_t>(c.East(i)), true);
    return hx * ((1 - strip) * (CentreV(c, i) - poleV));
  }
  double SouthTerm(const CellLevel& c, std::size_t i) const {
    if (cutIndex != nullptr) return CutTerm(c, i, static_cast<std::size_t>(c.South(i)), false);
    return -hy * ((1 + strip) * (CentreU(c, i) - poleU));
  }
  // Between the unknowns of cells i and j (its east or south neighbour), which may sit at their
  // centroids: the tangential field at the wetted part's midpoint along the step from one to the
  // other, less the strip's jump between them.
  double CutTerm(const CellLevel& c, std::size_t i, std::size_t j, bool east) const {
    const double ui = CentreU(c, i) - poleU;
    const double vi = CentreV(c, i) - poleV;
    const double uj = CentreU(c, j) - poleU;
    const double vj = CentreV(c, j) - poleV;
    const double stripJump = strip * (uj * vj - ui * vi);
    const CutCell mine = CutOf(i);
    const double uf =
        east ? (c.cellX[i] + 1) * hx - poleU : (c.cellX[i] + 0.5 + mine.southShift) * hx - poleU;
    const double vf =
        east ? (c.cellY[i] + 0.5 + mine.eastShift) * hy - poleV : (c.cellY[i] + 1) * hy - poleV;
    return (uj - ui) * vf - (vj - vi) * uf - stripJump;
  }
};

/// The torsion's terms on `d` with the pole at the E-weighted centroid (any point gives the same
/// GJ and shear centre; the centroid keeps the numbers small).
TorsionTerms TermsOf(const Discretisation& d) {
  const CellLevel& c = d.level;
  TorsionTerms t;
  t.hx = d.cellWidth;
  t.hy = d.cellHeight;
  if (!d.cutIndex.empty()) {
    t.cutIndex = d.cutIndex.data();
    t.cut = d.cut.data();
  }
  double sumE = 0, sumEU = 0, sumEV = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(c.Cells()); ++i) {
    sumE += d.E[i];
    sumEU += d.E[i] * t.CentreU(c, i);
    sumEV += d.E[i] * t.CentreV(c, i);
  }
  t.poleU = sumEU / sumE;
  t.poleV = sumEV / sumE;
  t.strip = t.hy > t.hx ? 1.0 : t.hy < t.hx ? -1.0 : 0.0;
  return t;
}

/// The right-hand side of the torsion on level `c`.
Eigen::VectorXd AssembleTorsion(const CellLevel& c, const TorsionTerms& t) {
  const auto n = static_cast<std::size_t>(c.Cells());
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(n));
  for (std::size_t i = 0; i < n; ++i) {
    if (const std::int32_t e = c.East(i); e >= 0) {
      const double f = c.te[i] * t.EastTerm(c, i);
      rhs[static_cast<Eigen::Index>(e)] += f;
      rhs[static_cast<Eigen::Index>(i)] -= f;
    }
    if (const std::int32_t s = c.South(i); s >= 0) {
      const double f = c.ts[i] * t.SouthTerm(c, i);
      rhs[static_cast<Eigen::Index>(s)] += f;
      rhs[static_cast<Eigen::Index>(i)] -= f;
    }
  }
  return rhs;
}

/// Read as coverage, what the face terms leave out of the energy: each term takes the integrand
/// (the jump) at its face's midpoint for the whole face, where it varies along the face; over a
/// face of length L it adds its variance, L^2 / 12 times the jump's rate along the face squared.
/// On a wall n cells thick the terms alone give about 1 / n^2 too little; the rate, taken from
/// the neighbouring parallel faces, removes that part.
double FaceVarianceEnergy(const CellLevel& fine, const TorsionTerms& t, const Eigen::VectorXd& w) {
  // The jump of the east (south) face of cell k, or NaN where k has none.
  const auto jumpOf = [&](std::int32_t k, bool east) {
    if (k < 0) return std::numeric_limits<double>::quiet_NaN();
    const auto cell = static_cast<std::size_t>(k);
    const std::int32_t j = east ? fine.East(cell) : fine.South(cell);
    if (j < 0) return std::numeric_limits<double>::quiet_NaN();
    return w[j] - w[k] - (east ? t.EastTerm(fine, cell) : t.SouthTerm(fine, cell));
  };
  // Where along its face (v for east faces, u for south faces) a face's wetted midpoint lies.
  const auto placeOf = [&](std::int32_t k, bool east) {
    const auto cell = static_cast<std::size_t>(k);
    return east ? (fine.cellY[cell] + 0.5 + t.CutOf(cell).eastShift) * t.hy
                : (fine.cellX[cell] + 0.5 + t.CutOf(cell).southShift) * t.hx;
  };
  double extra = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    for (const bool east : {true, false}) {
      const auto k = static_cast<std::int32_t>(i);
      const double mine = jumpOf(k, east);
      if (std::isnan(mine)) continue;
      const std::int32_t before = east ? fine.North(i) : fine.West(i);
      const std::int32_t after = east ? fine.South(i) : fine.East(i);
      const double jb = jumpOf(before, east);
      const double ja = jumpOf(after, east);
      const bool hasB = !std::isnan(jb);
      const bool hasA = !std::isnan(ja);
      if (!hasB && !hasA) continue;
      const std::int32_t from = hasB ? before : k;
      const std::int32_t to = hasA ? after : k;
      const double rate =
          ((hasA ? ja : mine) - (hasB ? jb : mine)) / (placeOf(to, east) - placeOf(from, east));
      const double length = east ? t.CutOf(i).eastShare * t.hy : t.CutOf(i).southShare * t.hx;
      extra += (east ? fine.te[i] : fine.ts[i]) * length * length / 12 * rate * rate;
    }
  }
  return extra;
}

/// GJ as the energy of the warping `w` (less the strip's): a sum of squares in cell order.
double TorsionEnergy(const CellLevel& fine, const TorsionTerms& t, const Eigen::VectorXd& w) {
  double gj = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    if (const std::int32_t e = fine.East(i); e >= 0) {
      const double jump = w[e] - w[static_cast<Eigen::Index>(i)] - t.EastTerm(fine, i);
      gj += fine.te[i] * jump * jump;
    }
    if (const std::int32_t s = fine.South(i); s >= 0) {
      const double jump = w[s] - w[static_cast<Eigen::Index>(i)] - t.SouthTerm(fine, i);
      gj += fine.ts[i] * jump * jump;
    }
  }
  if (t.cutIndex != nullptr) gj += FaceVarianceEnergy(fine, t, w);
  return gj;
}

/// Preconditioned conjugate gradients from the guess `x`, step for step as Eigen's, but with the
/// product A p and the preconditioned residual in one vector (the product is spent before the
/// residual is preconditioned), and without b once the residual is made. A solve then holds
/// three vectors besides x, not five (on millions of cells, two fifths of its memory). Returns the
/// relative residual reached; `iterations` is the most on entry and those run on return.
template <typename Operator, typename Preconditioner>
double ConjugateGradients(const Operator& a, Eigen::VectorXd b, Eigen::VectorXd& x,
                          const Preconditioner& precondition, double tolerance, int& iterations) {
  const Eigen::Index n = a.cols();
  Eigen::VectorXd residual = b - a * x;
  const double rhsNorm2 = b.squaredNorm();
  b = Eigen::VectorXd();  // the iterations need only the residual
  if (rhsNorm2 == 0) {
    x.setZero();
    iterations = 0;
    return 0;
  }
  const double threshold =
      std::max(tolerance * tolerance * rhsNorm2, std::numeric_limits<double>::min());
  double residualNorm2 = residual.squaredNorm();
  if (residualNorm2 < threshold) {
    iterations = 0;
    return std::sqrt(residualNorm2 / rhsNorm2);
  }
  Eigen::VectorXd p(n);
  p = precondition.solve(residual);
  Eigen::VectorXd shared(n);  // A p, then the preconditioned residual z
  double absNew = residual.dot(p);
  int i = 0;
  while (i < iterations) {
    shared.noalias() = a * p;
    const double alpha = absNew / p.dot(shared);
    x += alpha * p;
    residual -= alpha * shared;
    residualNorm2 = residual.squaredNorm();
    if (residualNorm2 < threshold) break;
    shared = precondition.solve(residual);
    const double absOld = absNew;
    absNew = residual.dot(shared);
    const double beta = absNew / absOld;
    p = shared + beta * p;
    ++i;
  }
  iterations = i;
  return std::sqrt(residualNorm2 / rhsNorm2);
}

/// Conjugate gradients on the multigrid, in rounds of kRoundIterations from the last round's
/// solution; a round that does not halve the residual has stalled.
class CycleSolver {
 public:
  CycleSolver(Multigrid& grid, SolveMonitor& monitor, const SolveContext& context)
      : mGrid(grid), mContext(context), mOperator(&grid) {
    mPreconditioner.Attach(&grid, &monitor);
  }

  /// Reports the next solves' progress to `monitor`.
  void Watch(SolveMonitor& monitor) { mPreconditioner.Attach(&mGrid, &monitor); }

  /// The solution of A x = b, b made by `load` for each round; Error (naming the solve `what`)
  /// when it cannot be trusted.
  Eigen::VectorXd Run(const std::function<Eigen::VectorXd()>& load, const std::string& what) {
    Eigen::VectorXd x = Eigen::VectorXd::Zero(mOperator.cols());
    mIterations = 0;
    const double tolerance = mContext.options.tolerance;
    double before = 1;  // relative residual at the start of the round
    try {
      for (;;) {
        int round = kRoundIterations;
        const double reached =
            ConjugateGradients(mOperator, load(), x, mPreconditioner, tolerance, round);
        mIterations += round;
        if (reached <= tolerance) break;
        // Stalled where rounding leaves it: as far as the arithmetic goes, and far enough.
        if (reached <= kRoundingResidual) break;
        if (!(reached < 0.5 * before)) {
          ThrowTrouble(what, Trouble::Stalled, mIterations, reached, mContext);
        }
        if (mIterations >= kMaxIterations) {
          ThrowTrouble(what, Trouble::OutOfIterations, mIterations, reached, mContext);
        }
        before = reached;
      }
    } catch (const BrokeDown& broken) {
      ThrowTrouble(what, Trouble::BrokeDown, broken.iterations, 0, mContext);
    }
    return x;
  }

  /// Iterations of the last solve.
  int Iterations() const { return mIterations; }

 private:
  Multigrid& mGrid;
  const SolveContext& mContext;
  TorsionOperator mOperator;
  MultigridPreconditioner mPreconditioner;
  int mIterations = 0;
};

/// Each part's E-weighted centroid and E: Trefftz's fit and the warping constant take u and v
/// about the part's own centroid, which disposes of the constants.
struct PartCentroids {
  std::vector<double> e, u, v;
};

PartCentroids CentroidsOfParts(const Discretisation& d, const CellLevel& fine,
                               const TorsionTerms& t, const Multigrid& grid, std::size_t parts) {
  PartCentroids p{std::vector<double>(parts, 0.0), std::vector<double>(parts, 0.0),
                  std::vector<double>(parts, 0.0)};
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    const auto k = static_cast<std::size_t>(grid.Part(i));
    p.e[k] += d.E[i];
    p.u[k] += d.E[i] * t.CentreU(fine, i);
    p.v[k] += d.E[i] * t.CentreV(fine, i);
  }
  for (std::size_t k = 0; k < parts; ++k) {
    p.u[k] /= p.e[k];
    p.v[k] /= p.e[k];
  }
  return p;
}

/// Trefftz: the shear centre S is the pole whose warping w_S = w - (vS - vO) u + (uS - uO) v +
/// const is E-orthogonal to u, v and a constant on each part; i.e. the E-weighted least-squares
/// fit of w by a u + b v + c_k gives vS = vO + a, uS = uO - b. Returns (a, b).
std::pair<double, double> FitShearCentre(const Discretisation& d, const CellLevel& fine,
                                         const TorsionTerms& t, const Eigen::VectorXd& w,
                                         const Multigrid& grid, const PartCentroids& p) {
  CentreSums sums;
  const double selfU = t.hx * t.hx / 12;  // a cell's own second moment, per unit area
  const double selfV = t.hy * t.hy / 12;
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    const auto k = static_cast<std::size_t>(grid.Part(i));
    const double u = t.CentreU(fine, i) - p.u[k];
    const double v = t.CentreV(fine, i) - p.v[k];
    const double e = d.E[i];
    sums.uu += e * (u * u + selfU);
    sums.uw += e * u * v;
    sums.ww += e * (v * v + selfV);
    sums.ru += e * w[static_cast<Eigen::Index>(i)] * u;
    sums.rw += e * w[static_cast<Eigen::Index>(i)] * v;
  }
  const double det = sums.uu * sums.ww - sums.uw * sums.uw;
  return {(sums.ru * sums.ww - sums.rw * sums.uw) / det,
          (sums.rw * sums.uu - sums.ru * sums.uw) / det};
}

/// The warping constant: the warping function referred to the shear centre is what the fit
/// (a, b) leaves of w; less its E-weighted mean on each part, squared and weighted with E.
double WarpingConstant(const Discretisation& d, const CellLevel& fine, const TorsionTerms& t,
                       const Eigen::VectorXd& w, const Multigrid& grid, const PartCentroids& p,
                       double a, double b) {
  const auto n = static_cast<std::size_t>(fine.Cells());
  std::vector<double> omega(n);
  std::vector<double> meanOmega(p.e.size(), 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(grid.Part(i));
    omega[i] = w[static_cast<Eigen::Index>(i)] - a * (t.CentreU(fine, i) - p.u[k]) -
               b * (t.CentreV(fine, i) - p.v[k]);
    meanOmega[k] += d.E[i] * omega[i];
  }
  for (std::size_t k = 0; k < p.e.size(); ++k) meanOmega[k] /= p.e[k];
  double eiw = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double o = omega[i] - meanOmega[static_cast<std::size_t>(grid.Part(i))];
    eiw += d.E[i] * o * o;
  }
  return eiw * t.hx * t.hy;
}

/// The monosymmetry constants (BetaY, BetaZ of ElasticResult) about the pole, the E-weighted
/// centroid of the cells, each cell's own extent integrated exactly, with the shear centre at
/// (centreHor, centreVer) from the box's corner.
std::pair<double, double> Monosymmetry(const Discretisation& d, const CellLevel& fine,
                                       const TorsionTerms& t, double centreHor, double centreVer) {
  const double ww = t.hx * t.hx / 12;  // a cell's own second moments per unit area
  const double hh = t.hy * t.hy / 12;
  double zz = 0, yy = 0, zR = 0, yR = 0;  // integrals of E z^2, E y^2, E z r^2, E y r^2
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    const double y = -(t.CentreU(fine, i) - t.poleU);
    const double z = t.CentreV(fine, i) - t.poleV;
    const double e = d.E[i];
    zz += e * (z * z + hh);
    yy += e * (y * y + ww);
    // z (y^2 + z^2) over the cell: z y^2 + z^3, each cell's extent integrated.
    zR += e * (z * (y * y + ww) + z * (z * z + 3 * hh));
    yR += e * (y * (z * z + hh) + y * (y * y + 3 * ww));
  }
  const double zS = centreVer - t.poleV;
  const double yS = -(centreHor - t.poleU);
  return {zz > 0 ? zR / zz - 2 * zS : 0.0, yy > 0 ? yR / yy - 2 * yS : 0.0};
}

/// The products of the two shear functions with the loads: psiU . loadU, psiU . loadV, ...
struct ShearProducts {
  double uu = 0, uv = 0, vu = 0, vv = 0;
};

/// The shear stiffnesses (G A_y, G A_z) from the products of the two shear functions psiU, psiV
/// with their loads.
/// A shear force along one axis bends the section about both where the product moment is not
/// 0: the change of the bending stresses along the beam is E (ku u + kv v) with (ku, kv) =
/// K^-1 (1, 0) for a unit force along u, K the bending stiffnesses about the centre (each
/// cell's own second moment included). Its shear function is ku psiU + kv psiV, whose energy is
/// k^T M k with M the energies of the two functions and their cross term; the shear stiffness
/// is the one of equal energy, G A_s = 1 / (K^-1 M K^-1) along that axis. Without a product
/// moment this is EI^2 / integral G |grad psi|^2 of the one function.
std::pair<double, double> ShearStiffnesses(const Discretisation& d, const CellLevel& fine,
                                           const TorsionTerms& t, const ShearProducts& m) {
  const double area = t.hx * t.hy;
  const double selfU = t.hx * t.hx / 12;
  const double selfV = t.hy * t.hy / 12;
  double kuu = 0, kuv = 0, kvv = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(fine.Cells()); ++i) {
    const double u = t.CentreU(fine, i) - t.poleU, v = t.CentreV(fine, i) - t.poleV,
                 e = d.E[i] * area;
    kuu += e * (u * u + selfU);
    kuv += e * u * v;
    kvv += e * (v * v + selfV);
  }
  const double muu = m.uu;
  const double mvv = m.vv;
  const double muv = 0.5 * (m.uv + m.vu);
  const double kdet = kuu * kvv - kuv * kuv;
  if (!(kdet > 0 && muu > 0 && mvv > 0)) return {0.0, 0.0};
  // The rows of K^-1: (kvv, -kuv) / det and (-kuv, kuu) / det.
  const auto compliance = [&](double ru, double rv) {
    return (ru * ru * muu + 2 * ru * rv * muv + rv * rv * mvv) / (kdet * kdet);
  };
  const double cu = compliance(kvv, -kuv);
  const double cv = compliance(-kuv, kuu);
  return {cu > 0 ? 1 / cu : 0.0, cv > 0 ? 1 / cv : 0.0};
}

/// Hands the warping `w` and the shear functions already in `keep` out row by row (the
/// multigrid numbers its cells red first), with the grid they lie on.
void KeepFields(const Discretisation& d, const CellLevel& fine, const TorsionTerms& t,
                const Multigrid& grid, const Eigen::VectorXd& w, SolvedFields& keep) {
  const auto n = static_cast<std::size_t>(fine.Cells());
  keep.Coarsening = d.factor;
  keep.Columns = fine.nx;
  keep.Rows = fine.ny;
  keep.CellWidthMm = t.hx;
  keep.CellHeightMm = t.hy;
  keep.PoleHor = t.poleU;
  keep.PoleVer = t.poleV;
  std::vector<double> warping(w.begin(), w.end());
  grid.RemovePartMeans(warping.data());
  std::vector<std::int32_t> order;
  order.reserve(n);
  for (const std::int32_t cell : fine.map) {
    if (cell >= 0) order.push_back(cell);
  }
  const auto rowByRow = [&](const auto& values) {
    std::vector<typename std::decay_t<decltype(values)>::value_type> sorted(n);
    for (std::size_t k = 0; k < n; ++k) sorted[k] = values[static_cast<std::size_t>(order[k])];
    return sorted;
  };
  keep.CellX = rowByRow(fine.cellX);
  keep.CellY = rowByRow(fine.cellY);
  keep.Warping = rowByRow(warping);
  keep.ShearHor = rowByRow(keep.ShearHor);
  keep.ShearVer = rowByRow(keep.ShearVer);
}

/// Solves the torsion on `d`, in the scaled units, with conjugate gradients on the multigrid;
/// with `designValues` (the main solve) also the warping constant and the two shear functions
/// (three solves in all, sharing the progress share). A main solve on cells without a closed
/// loop throws Error; a coarser one returns GJ 0 and closedLoop false. `keep`, when given,
/// receives the warping and the two shear functions, in the scaled units.
TorsionSolution Solve(Discretisation& d, const SolveContext& context, std::int64_t progressFirst,
                      std::int64_t progressShare, bool designValues = false,
                      SolvedFields* keep = nullptr) {
  const ElasticOptions& options = context.options;
  const auto n = static_cast<std::size_t>(d.level.Cells());
  const TorsionTerms terms = TermsOf(d);
  std::int64_t faces = 0;
  for (std::size_t i = 0; i < n; ++i) {
    faces += (d.level.East(i) >= 0 ? 1 : 0) + (d.level.South(i) >= 0 ? 1 : 0);
  }

  Beat(options, progressFirst);
  Multigrid grid(std::move(d.level), terms.hx, terms.hy, context.pool,
                 [&] { Beat(options, progressFirst); });
  Beat(options, progressFirst);
  const CellLevel& fine = grid.Fine();
  TorsionSolution s;
  s.parts = grid.PartCount();

  // Faces less cells plus parts counts the independent closed loops of cells. Without one, w
  // takes up every face term and GJ is exactly 0: the pixels resolve no torsion at all.
  if (faces - static_cast<std::int64_t>(n) + s.parts == 0) {
    if (designValues) {
      throw Error(
          "The section has no closed loop of pixels sharing edges (no 2 x 2 pixels, no ring): "
          "walls one pixel thick have no torsional stiffness on the pixel grid.");
    }
    s.closedLoop = false;
    return s;
  }
  // Made for each round of the solve, which holds no right-hand side while it iterates.
  const auto torsionLoad = [&] {
    Eigen::VectorXd b = AssembleTorsion(fine, terms);
    // Each part's sum is zero in exact arithmetic; removing the rounding keeps the system
    // consistent.
    grid.RemovePartMeans(b.data());
    return b;
  };

  // The two shear solves take half the share between them.
  const std::int64_t torsionShare = designValues ? progressShare / 2 : progressShare;
  SolveMonitor monitor(options, progressFirst, torsionShare);
  CycleSolver solver(grid, monitor, context);
  const std::string name = designValues
                               ? "torsion solve"
                               : "torsion solve on cells of " + IntegerText(d.factor) + " x " +
                                     IntegerText(d.factor) + " pixels (for the error estimate)";
  Eigen::VectorXd w = solver.Run(torsionLoad, name);
  grid.RemovePartMeans(w.data());
  s.iterations = solver.Iterations();
  s.GJ = TorsionEnergy(fine, terms, w);
  Beat(options, progressFirst + torsionShare);
  // From here on w is the warping itself.
  if (terms.strip != 0) {
    for (std::size_t i = 0; i < n; ++i) {
      w[static_cast<Eigen::Index>(i)] += terms.StripWarping(fine, i);
    }
  }

  const auto parts = static_cast<std::size_t>(grid.PartCount());
  const PartCentroids centroids = CentroidsOfParts(d, fine, terms, grid, parts);
  const auto [a, b] = FitShearCentre(d, fine, terms, w, grid, centroids);
  s.centreHor = terms.poleU - b;
  s.centreVer = terms.poleV + a;
  if (!designValues) return s;
  Beat(options, progressFirst + torsionShare);

  s.EIw = WarpingConstant(d, fine, terms, w, grid, centroids, a, b);
  std::tie(s.betaY, s.betaZ) = Monosymmetry(d, fine, terms, s.centreHor, s.centreVer);
  Beat(options, progressFirst + torsionShare);

  // The shear functions: for a shear force along y the bending stresses grow with y, and their
  // gradient along the beam, E (y - yC), is what the shear flow carries; div (G grad psi) =
  // E (y - yC) with free edges is the system of the torsion with another right-hand side. Poisson's
  // ratio is left out of the shear functions, as the elementary theory does. Parts without a
  // shared edge cannot pass shear between them: each carries its own (its mean is removed).
  const double area = terms.hx * terms.hy;
  const auto shearLoad = [&](bool alongU) {
    Eigen::VectorXd load(static_cast<Eigen::Index>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const double arm =
          alongU ? terms.CentreU(fine, i) - terms.poleU : terms.CentreV(fine, i) - terms.poleV;
      load[static_cast<Eigen::Index>(i)] = d.E[i] * arm * area;
    }
    grid.RemovePartMeans(load.data());
    return load;
  };
  const auto shearSolve = [&](bool alongU, std::int64_t first, std::int64_t share, const char* what,
                              std::vector<double>* kept) {
    Beat(options, first);
    SolveMonitor shearMonitor(options, first, share);
    solver.Watch(shearMonitor);
    Eigen::VectorXd psi = solver.Run([&] { return shearLoad(alongU); }, what);
    if (kept != nullptr) kept->assign(psi.begin(), psi.end());
    return psi;
  };
  const std::int64_t quarter = (progressShare - torsionShare) / 2;
  // Only the solves' products with the loads are needed: the loads are made again, bit for bit,
  // when needed, so that no more than one function is held besides a solve's own vectors.
  Eigen::VectorXd warping;
  if (keep != nullptr) {
    warping = std::move(w);
  } else {
    w = Eigen::VectorXd();
  }
  ShearProducts m;
  {
    const Eigen::VectorXd psiU =
        shearSolve(true, progressFirst + torsionShare, quarter, "shear solve along y",
                   keep != nullptr ? &keep->ShearHor : nullptr);
    m.uu = psiU.dot(shearLoad(true));
    m.uv = psiU.dot(shearLoad(false));
  }
  {
    const Eigen::VectorXd psiV = shearSolve(
        false, progressFirst + torsionShare + quarter, progressShare - torsionShare - quarter,
        "shear solve along z", keep != nullptr ? &keep->ShearVer : nullptr);
    m.vv = psiV.dot(shearLoad(false));
    m.vu = psiV.dot(shearLoad(true));
  }
  std::tie(s.GAy, s.GAz) = ShearStiffnesses(d, fine, terms, m);
  if (keep != nullptr) KeepFields(d, fine, terms, grid, warping, *keep);
  return s;
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
  const std::vector<SolverMaterial> materials = SolverMaterials(library, poisson);
  const double dx = widthMm / BoxWidth(bounds);
  const double dy = heightMm / BoxHeight(bounds);
  const double aspect = std::max(dy / dx, dx / dy);
  if (!(aspect <= kMaxAspect)) {
    throw Error("The pixels are " + FormatGeneral(aspect, 3, 1) + " times as " +
                (dy > dx ? "tall as wide" : "wide as tall") + " (" + FormatGeneral(dx, 4, 1) +
                " x " + FormatGeneral(dy, 4, 1) + " mm); the torsion solver takes pixels up to " +
                FormatGeneral(kMaxAspect, 3, 1) +
                " times as long as wide: check the section's width and height.");
  }

  // The solve's units: lengths in pixel widths, moduli as fractions of the largest E with pixels
  // in the box. One material gets E = 1 exactly, whatever its E.
  const std::vector<bool> present = MaterialsPresent(grid, bounds, materials, options.coverage);
  double stiffest = 0;
  double softest = std::numeric_limits<double>::infinity();
  for (std::size_t m = 0; m < materials.size(); ++m) {
    if (!present[m]) continue;
    stiffest = std::max(stiffest, materials[m].E);
    softest = std::min(softest, materials[m].E);
  }
  if (!(stiffest > 0)) throw Error("The section has no pixel of a material with E above 0.");
  std::vector<SolverMaterial> scaled = materials;
  for (SolverMaterial& m : scaled) {
    m.E /= stiffest;
    m.G = ShearModulus(m.E, m.nu);
  }
  const double pixelHeight = dy / dx;  // in pixel widths
  // Back to N and mm: the length part first, which is the same for any E, then the modulus.
  const auto unscale = [&](double value, int lengthPower) {
    const double back = value * std::pow(dx, lengthPower) * stiffest;
    if (!std::isfinite(back) || (value != 0 && back == 0)) {
      throw Error("The extended values lie beyond the range of numbers with E up to " +
                  FormatGeneral(stiffest, 3, 1) + " N/mm^2 and pixels of " +
                  FormatGeneral(dx, 4, 1) + " x " + FormatGeneral(dy, 4, 1) + " mm.");
    }
    return back;
  };

  ElasticResult result;
  int factor = options.coarsening;
  // The cap in cells: given, or what the budget leaves beside the box's own map.
  const std::size_t boxBytes = SolveBytes(0, bounds, 1);
  const std::size_t cellBytes = SolveBytes(1, bounds, 1) - boxBytes;
  result.CellCap = std::min(
      kMaxCells,
      options.maxCells > 0
          ? options.maxCells
          : static_cast<std::int64_t>(
                (options.memoryBudget - std::min(boxBytes, options.memoryBudget)) / cellBytes));
  if (factor <= 0 && options.maxCells > 0) {
    const std::int64_t pixels = CountCells(grid, bounds, scaled, 1, options.coverage);
    factor = 1;
    if (pixels > options.maxCells) {
      // Cells fall with the square of the factor; start just below the estimate.
      const double ratio = static_cast<double>(pixels) / static_cast<double>(options.maxCells);
      factor = std::max(2, static_cast<int>(std::floor(std::sqrt(ratio))));
      while (CountCells(grid, bounds, scaled, factor, options.coverage) > options.maxCells) {
        ++factor;
      }
    }
  } else if (factor <= 0) {
    const std::int64_t pixels = CountCells(grid, bounds, scaled, 1, options.coverage);
    factor = 1;
    if (SolveBytes(pixels, bounds, 1) > options.memoryBudget) {
      // Cells fall with the square of the factor; start just below the estimate.
      const double ratio = static_cast<double>(SolveBytes(pixels, bounds, 1)) /
                           static_cast<double>(std::max<std::size_t>(options.memoryBudget, 1));
      factor = std::max(2, static_cast<int>(std::floor(std::sqrt(ratio))));
      while (SolveBytes(CountCells(grid, bounds, scaled, factor, options.coverage), bounds,
                        factor) > options.memoryBudget) {
        ++factor;
      }
    }
  }
  // Cells are numbered in 32 bits, whatever the budget allows.
  while (CountCells(grid, bounds, scaled, factor, options.coverage) > kMaxCells) ++factor;

  if (options.cancel != nullptr && options.cancel->load()) return std::nullopt;
  ThreadPool pool(options.threads);
  const SolveContext context{options, pool, aspect, stiffest / softest};
  const auto discretise = [&](int f, std::int64_t done) {
    return Discretise(
        grid, bounds, scaled, f, f * pixelHeight, f, [&] { Beat(options, done); },
        options.coverage);
  };
  try {
    Discretisation main = discretise(factor, 0);
    Beat(options, 0);
    result.Coarsening = factor;
    result.Coarsened = factor > 1;
    result.CellWidthMm = dx * factor;
    result.CellHeightMm = dy * factor;
    result.Cells = main.level.Cells();
    const std::int64_t mainShare = options.estimateError ? kMainShare : kProgressTotal;
    std::shared_ptr<SolvedFields> fields;
    if (options.keepFields) fields = std::make_shared<SolvedFields>();
    const TorsionSolution fine = Solve(main, context, 0, mainShare, true, fields.get());
    if (fields) {
      // Back to mm: lengths were in pixel widths; E and G were scaled alike, so E / G stays.
      fields->CellWidthMm *= dx;
      fields->CellHeightMm *= dx;
      fields->PoleHor *= dx;
      fields->PoleVer *= dx;
      for (double& value : fields->Warping) value *= dx * dx;
      for (double& value : fields->ShearHor) value *= dx * dx * dx;
      for (double& value : fields->ShearVer) value *= dx * dx * dx;
    }
    result.Fields = std::move(fields);
    main = Discretisation{};  // its memory is needed for the next solve
    Beat(options, mainShare);
    result.GJ = unscale(fine.GJ, 4);
    result.GJSolved = result.GJ;
    result.CutCells = options.coverage != nullptr;
    result.ShearCentreHor = fine.centreHor * dx;
    result.ShearCentreVer = fine.centreVer * dx;
    result.BetaY = fine.betaY * dx;
    result.BetaZ = fine.betaZ * dx;
    result.Iterations = fine.iterations;
    result.Parts = fine.parts;
    result.EIw = unscale(fine.EIw, 6);
    result.GAy = unscale(fine.GAy, 2);
    result.GAz = unscale(fine.GAz, 2);
    if (!(result.GJ > 0) || !std::isfinite(result.ShearCentreHor) ||
        !std::isfinite(result.ShearCentreVer)) {
      // Guards the report against a NaN; the checks above leave no known way here.
      throw Error("The torsion solve gave no finite result.");
    }

    if (options.estimateError) {
      // Cells twice and four times the size give the difference the finer solve still makes and
      // the order at which it shrinks: second order where the outline follows the grid, about
      // first order on stepped outlines, less at re-entrant corners. Cells that close a gap of
      // the picture solve another section, and say nothing about this one's error.
      std::vector<TorsionSolution> coarser;
      std::int64_t first = kMainShare;
      for (const int scale : {2, 4}) {
        if (BridgesGaps(grid, bounds, scaled, scale * factor, options.coverage)) {
          if (scale == 2) result.WhyNoEstimate = ElasticResult::NoEstimate::Topology;
          break;
        }
        Discretisation coarse = discretise(scale * factor, first);
        Beat(options, first);
        if (coarse.level.Cells() < kMinEstimateCells) break;
        const std::int64_t share = scale == 2 ? kEstimateShare : kProgressTotal - first;
        TorsionSolution solution = Solve(coarse, context, first, share);
        first += share;
        if (!solution.closedLoop) {
          if (scale == 2) result.WhyNoEstimate = ElasticResult::NoEstimate::Topology;
          break;
        }
        coarser.push_back(solution);
      }
      if (!coarser.empty()) {
        const auto centreStep = [](const TorsionSolution& a, const TorsionSolution& b) {
          return std::hypot(a.centreHor - b.centreHor, a.centreVer - b.centreVer);
        };
        const double gjStep = std::abs(fine.GJ - coarser[0].GJ);
        const double centreStep1 = centreStep(fine, coarser[0]);
        double order = 1;
        double measured = 0;
        bool regular = true;
        if (coarser.size() == 2 && gjStep > 0) {
          measured = std::log2(std::abs(coarser[0].GJ - coarser[1].GJ) / gjStep);
          regular = measured >= kMinOrder && measured <= kMaxTrustedOrder;
          order = std::min(measured, kMaxOrder);
        }
        double centreOrder = 1;
        if (coarser.size() == 2 && centreStep1 > 0) {
          centreOrder = std::log2(centreStep(coarser[0], coarser[1]) / centreStep1);
          if (!std::isfinite(centreOrder)) centreOrder = 1;
          centreOrder = std::clamp(centreOrder, kMinOrder, kMaxOrder);
        }
        result.ShearCentreErrorEstimate = centreStep1 / (std::exp2(centreOrder) - 1) * dx;
        if (result.CutCells) {
          // Cut cells at coarse sizes may wobble before their error falls at second order: the
          // larger step of the solves (the coarser one at the finer one's scale) bounds the
          // error for any order from 1 on, and bounds the extrapolated value's too.
          const double coarseStep =
              coarser.size() == 2 ? std::abs(coarser[0].GJ - coarser[1].GJ) / 4 : 0.0;
          result.HasErrorEstimate = true;
          result.ObservedOrder = measured;
          result.GJErrorEstimate = unscale(std::max(gjStep, coarseStep), 4);
          if (measured >= kMinCutOrder && measured <= kMaxCutOrder) {
            // Richardson, where the three solves have established the order.
            result.Extrapolated = true;
            result.GJ = unscale(fine.GJ + (fine.GJ - coarser[0].GJ) / (std::exp2(measured) - 1), 4);
          }
        } else if (regular) {
          result.HasErrorEstimate = true;
          result.ObservedOrder = order;
          result.GJErrorEstimate = unscale(gjStep / (std::exp2(order) - 1), 4);
        } else {
          result.WhyNoEstimate = ElasticResult::NoEstimate::Irregular;
        }
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
  // Design values are taken about the elastic centre itself, with the drawn area's stiffnesses;
  // without EA there is none, and the analysis's own values stand (they carry nothing then).
  const ElasticCentre centre = ElasticCentreOf(section).value_or(CentreAtNC(section));
  if (section.EA > 0) {
    result.RadiusY = std::sqrt(std::max(0.0, centre.EIyy / section.EA));
    result.RadiusZ = std::sqrt(std::max(0.0, centre.EIzz / section.EA));
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
  ComputeFibres(grid, bounds, materials, section, centre, pool, result.materials, options.coverage);
  result.Moduli = SectionModuliOf(result.materials, centre);
  if (options.progress) options.progress(kProgressTotal, kProgressTotal);
  return result;
}

}  // namespace qv
