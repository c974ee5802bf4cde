// Cell-centred multigrid on the pixel hierarchy: the preconditioner of the section solver.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/thread_pool.h"

namespace qv {

/// One level of cells on a structured grid: a weighted graph Laplacian whose edges are the faces
/// between horizontally or vertically adjacent cells. The smoother's two colours are the cells
/// whose X + Y is even ("red") and odd ("black"): the red cells come first, each colour row by
/// row, so that a colour is one contiguous range.
struct CellLevel {
  int nx = 0;                       ///< grid columns
  int ny = 0;                       ///< grid rows
  std::vector<std::int32_t> map;    ///< nx * ny entries: the cell at (X, Y), or -1
  std::vector<std::int32_t> cellX;  ///< grid column of each cell
  std::vector<std::int32_t> cellY;  ///< grid row of each cell
  std::vector<double> te;           ///< face coefficient towards the east neighbour (0 without)
  std::vector<double> ts;           ///< face coefficient towards the south neighbour (0 without)

  std::int64_t Cells() const { return static_cast<std::int64_t>(cellX.size()); }
  /// The neighbours, or -1, from the map: stored, they and the diagonal would cost a quarter of
  /// a solve's memory, and the passes that need them read the map's rows in order.
  std::int32_t East(std::size_t i) const { return cellX[i] + 1 < nx ? map[At(i) + 1] : -1; }
  std::int32_t South(std::size_t i) const {
    return cellY[i] + 1 < ny ? map[At(i) + static_cast<std::size_t>(nx)] : -1;
  }
  std::int32_t West(std::size_t i) const { return cellX[i] > 0 ? map[At(i) - 1] : -1; }
  std::int32_t North(std::size_t i) const {
    return cellY[i] > 0 ? map[At(i) - static_cast<std::size_t>(nx)] : -1;
  }
  /// The sum of the cell's face coefficients.
  double Diagonal(std::size_t i) const {
    double d = te[i] + ts[i];
    if (const std::int32_t w = West(i); w >= 0) d += te[static_cast<std::size_t>(w)];
    if (const std::int32_t n = North(i); n >= 0) d += ts[static_cast<std::size_t>(n)];
    return d;
  }
  /// The cell's entry of the map.
  std::size_t At(std::size_t i) const {
    return static_cast<std::size_t>(cellY[i]) * static_cast<std::size_t>(nx) +
           static_cast<std::size_t>(cellX[i]);
  }
  /// The red cells: those before the first cell with an odd X + Y.
  std::int64_t RedCells() const;
  /// Fills map from nx, ny, cellX and cellY.
  void Link();
  /// Bytes held, for the memory budget.
  std::size_t Bytes() const;
};

/// A coarser level: each cell is one connected piece of a block of the finer level's cells (a
/// block's cells that share no face with each other stay apart, so no cell spans a gap), and the
/// couplings are the finer faces between pieces. Rows are compressed (start, nbr, coef); the
/// colours are those of the blocks' X + Y, red first.
struct CoarseLevel {
  int nx = 0;  ///< grid of blocks
  int ny = 0;
  std::int64_t red = 0;  ///< cells [0, red) are red
  /// Red-black pairs before and after the coarser correction: two where the level's cells are
  /// still long, whose point smoothing works on one direction only (one everywhere else, and on
  /// the fine level, where a sweep costs most).
  int sweeps = 1;
  std::vector<std::int32_t> cellX;  ///< block of each cell (kept while the next level is built)
  std::vector<std::int32_t> cellY;
  std::vector<std::int64_t> start;  ///< Cells() + 1 entries: each row's first coupling
  std::vector<std::int32_t> nbr;
  std::vector<double> coef;
  std::vector<double> diag;
  std::vector<std::int32_t> parent;  ///< this level's cell of each cell of the finer level
  std::vector<double> b, x, r;       ///< work vectors

  std::int64_t Cells() const { return static_cast<std::int64_t>(diag.size()); }
  double Diagonal(std::size_t i) const { return diag[i]; }
  std::size_t Bytes() const;
};

/// A V-cycle preconditioner on a hierarchy of levels. The fine level is the system's matrix;
/// each coarser level joins cells of 2 x 2 blocks, or of 2 x 1 or 1 x 2 blocks across the cells'
/// short side while they are more than sqrt(2) times as long as wide (4 x 1 or 1 x 4 while more
/// than 2 sqrt(2) times), so that the levels' couplings become about as strong both ways and
/// point smoothing stays effective on any pixel shape. A block's cells become one coarse cell per
/// connected piece, so coarse cells never bridge a gap. A coarse face keeps the sum of the finer
/// faces it replaces divided by the block's extent across it, which is the fine operator
/// rediscretised on the larger cells (plain Galerkin aggregation would be too stiff and stall the
/// cycle). Red-black Gauss-Seidel smoothing, red then black before and black then red after the
/// coarse correction (twice on coarser levels of long cells), keeps the preconditioner symmetric,
/// and every pass updates each cell from fixed neighbours only, so the result does not depend on
/// how the cells are split over threads. The coarsest level is solved by a sparse Cholesky
/// factorisation.
///
/// The matrix is singular: one constant per connected part of the fine level. Every result of
/// Precondition has each part's mean removed, which keeps conjugate gradients in the range.
class Multigrid {
 public:
  /// `cellWidth` and `cellHeight` are the fine cells' sides (any unit): their ratio chooses the
  /// coarsening. The fine level's red cells must come first (see CellLevel). `beat` is called
  /// between the steps of building the levels (a tenth of a second or so each on millions of
  /// cells), and may throw to stop.
  Multigrid(CellLevel fine, double cellWidth, double cellHeight, ThreadPool& pool,
            const std::function<void()>& beat = {});
  ~Multigrid();
  Multigrid(const Multigrid&) = delete;
  Multigrid& operator=(const Multigrid&) = delete;

  const CellLevel& Fine() const { return mFine; }
  int LevelCount() const { return 1 + static_cast<int>(mCoarse.size()); }
  const std::vector<CoarseLevel>& Coarse() const { return mCoarse; }
  /// Connected part of each fine cell, numbered 0.. in the order of their first cells.
  std::int32_t Part(std::size_t cell) const { return mPart.empty() ? 0 : mPart[cell]; }
  int PartCount() const { return static_cast<int>(mPartSize.size()); }

  /// y = A x on the fine level (x and y of Fine().Cells() entries, not overlapping).
  void Apply(const double* x, double* y) const;
  /// y += alpha A x on the fine level.
  void AddProduct(const double* x, double* y, double alpha) const;
  /// z = M^-1 r: one V-cycle from zero, then each part's mean removed.
  void Precondition(const double* r, double* z);
  /// Removes each part's mean from v (in cell order, so the same bits every time).
  void RemovePartMeans(double* v) const;
  /// Bytes held, for the memory budget.
  std::size_t Bytes() const;

 private:
  struct CoarsestSolver;

  void Cycle(std::size_t l);
  void SolveCoarsest(const double* b, double* x) const;
  void LabelParts();

  ThreadPool& mPool;
  CellLevel mFine;
  std::int64_t mFineRed = 0;
  std::vector<double> mFineResidual;  // of the red cells
  std::vector<CoarseLevel> mCoarse;
  std::unique_ptr<CoarsestSolver> mCoarsest;
  std::vector<std::int32_t> mPart;
  std::vector<std::int64_t> mPartSize;
};

}  // namespace qv
