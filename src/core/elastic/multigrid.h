// Cell-centred multigrid on the pixel hierarchy: the preconditioner of the section solver.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <vector>

#include "core/base/thread_pool.h"

namespace qv {

/// One level of cells on a structured grid: a weighted graph Laplacian whose edges are the faces
/// between horizontally or vertically adjacent cells. Cells are numbered row by row.
struct CellLevel {
  int nx = 0;                       ///< grid columns
  int ny = 0;                       ///< grid rows
  std::vector<std::int32_t> map;    ///< nx * ny entries: the cell at (X, Y), or -1
  std::vector<std::int32_t> cellX;  ///< grid column of each cell
  std::vector<std::int32_t> cellY;  ///< grid row of each cell
  std::vector<std::int32_t> east;   ///< neighbour cell, or -1
  std::vector<std::int32_t> south;
  std::vector<std::int32_t> west;
  std::vector<std::int32_t> north;
  std::vector<double> te;    ///< face coefficient towards the east neighbour (0 without)
  std::vector<double> ts;    ///< face coefficient towards the south neighbour (0 without)
  std::vector<double> diag;  ///< sum of the cell's face coefficients

  std::int64_t Cells() const { return static_cast<std::int64_t>(cellX.size()); }
  /// Fills map and the neighbours from nx, ny, cellX and cellY.
  void Link();
  /// Fills diag from te and ts, which must be 0 where there is no neighbour.
  void SumDiagonal();
  /// Bytes held, for the memory budget.
  std::size_t Bytes() const;
};

/// A V-cycle preconditioner on a hierarchy of CellLevels. The fine level is the system's matrix;
/// each coarser level aggregates 2 x 2 cells and keeps half the summed face coefficients across
/// an aggregate's faces, which is the fine operator rediscretised on cells twice the size (plain
/// Galerkin aggregation would be twice too stiff and stall the cycle). Red-black Gauss-Seidel
/// smoothing, red then black before and black then red after the coarse correction, keeps the
/// preconditioner symmetric, and every pass updates each cell from fixed neighbours only, so
/// the result does not depend on how the cells are split over threads.
///
/// The matrix is singular: one constant per connected part of the fine level. Every result of
/// Precondition has each part's mean removed, which keeps conjugate gradients in the range.
class Multigrid {
 public:
  Multigrid(CellLevel fine, ThreadPool& pool);

  const CellLevel& Fine() const { return mLevels.front().cells; }
  int LevelCount() const { return static_cast<int>(mLevels.size()); }
  /// Connected part of each fine cell, numbered 0.. in the order of their first cells.
  const std::vector<std::int32_t>& Parts() const { return mPart; }
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
  struct Level {
    CellLevel cells;
    std::vector<std::int32_t> parent;  // the coarse cell of each cell (empty on the coarsest)
    std::vector<double> b, x, r;       // work vectors
  };

  void Apply(const CellLevel& level, const double* x, double* y) const;
  void Smooth(const CellLevel& level, const double* b, double* x, int colour) const;
  void Cycle(std::size_t l);
  static CellLevel Coarsen(const CellLevel& fine, std::vector<std::int32_t>& parent);
  void LabelParts();

  ThreadPool& mPool;
  std::vector<Level> mLevels;
  Eigen::MatrixXd mCoarsestInverse;  // pseudo-inverse of the coarsest operator
  std::vector<std::int32_t> mPart;
  std::vector<std::int64_t> mPartSize;
};

}  // namespace qv
