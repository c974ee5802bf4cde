// Multigrid hierarchy on the pixel grid: aggregation of 2 x 2 cells, red-black smoothing and a
// dense pseudo-inverse on the coarsest level.
#include "core/elastic/multigrid.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cstring>

namespace qv {
namespace {

// Small enough for a dense pseudo-inverse, large enough that the hierarchy stays shallow.
constexpr std::int64_t kCoarsestCells = 128;

}  // namespace

void CellLevel::Link() {
  const std::size_t n = cellX.size();
  map.assign(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny), -1);
  for (std::size_t i = 0; i < n; ++i) {
    map[static_cast<std::size_t>(cellY[i]) * static_cast<std::size_t>(nx) +
        static_cast<std::size_t>(cellX[i])] = static_cast<std::int32_t>(i);
  }
  east.assign(n, -1);
  south.assign(n, -1);
  west.assign(n, -1);
  north.assign(n, -1);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = static_cast<std::size_t>(cellY[i]) * static_cast<std::size_t>(nx) +
                           static_cast<std::size_t>(cellX[i]);
    if (cellX[i] + 1 < nx && map[at + 1] >= 0) {
      east[i] = map[at + 1];
      west[static_cast<std::size_t>(east[i])] = static_cast<std::int32_t>(i);
    }
    if (cellY[i] + 1 < ny && map[at + static_cast<std::size_t>(nx)] >= 0) {
      south[i] = map[at + static_cast<std::size_t>(nx)];
      north[static_cast<std::size_t>(south[i])] = static_cast<std::int32_t>(i);
    }
  }
}

void CellLevel::SumDiagonal() {
  const std::size_t n = cellX.size();
  diag.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    double d = te[i] + ts[i];
    if (west[i] >= 0) d += te[static_cast<std::size_t>(west[i])];
    if (north[i] >= 0) d += ts[static_cast<std::size_t>(north[i])];
    diag[i] = d;
  }
}

std::size_t CellLevel::Bytes() const {
  return map.capacity() * 4 +
         (cellX.capacity() + cellY.capacity() + east.capacity() + south.capacity() +
          west.capacity() + north.capacity()) *
             4 +
         (te.capacity() + ts.capacity() + diag.capacity()) * 8;
}

Multigrid::Multigrid(CellLevel fine, ThreadPool& pool) : mPool(pool) {
  mLevels.emplace_back();
  mLevels.back().cells = std::move(fine);
  while (mLevels.back().cells.Cells() > kCoarsestCells &&
         (mLevels.back().cells.nx > 1 || mLevels.back().cells.ny > 1)) {
    Level& last = mLevels.back();
    CellLevel coarse = Coarsen(last.cells, last.parent);
    mLevels.emplace_back();
    mLevels.back().cells = std::move(coarse);
  }
  for (std::size_t l = 0; l < mLevels.size(); ++l) {
    Level& level = mLevels[l];
    const auto n = static_cast<std::size_t>(level.cells.Cells());
    level.r.assign(n, 0.0);
    if (l > 0) {
      level.b.assign(n, 0.0);
      level.x.assign(n, 0.0);
    }
  }

  // The coarsest operator is a graph Laplacian: its eigenvalues that vanish up to rounding belong
  // to constants of its parts and are dropped.
  const CellLevel& last = mLevels.back().cells;
  const auto n = static_cast<Eigen::Index>(last.Cells());
  Eigen::MatrixXd a = Eigen::MatrixXd::Zero(n, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    a(i, i) = last.diag[u];
    if (last.east[u] >= 0) a(i, last.east[u]) = a(last.east[u], i) = -last.te[u];
    if (last.south[u] >= 0) a(i, last.south[u]) = a(last.south[u], i) = -last.ts[u];
  }
  mCoarsestInverse = Eigen::MatrixXd::Zero(n, n);
  if (n > 0) {
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(a);
    const Eigen::VectorXd& values = eigen.eigenvalues();
    const double cut = 1e-10 * std::max(values.cwiseAbs().maxCoeff(), 1e-300);
    Eigen::VectorXd inverse(n);
    for (Eigen::Index i = 0; i < n; ++i) inverse(i) = values(i) > cut ? 1.0 / values(i) : 0.0;
    mCoarsestInverse =
        eigen.eigenvectors() * inverse.asDiagonal() * eigen.eigenvectors().transpose();
  }
  LabelParts();
}

CellLevel Multigrid::Coarsen(const CellLevel& fine, std::vector<std::int32_t>& parent) {
  CellLevel coarse;
  coarse.nx = (fine.nx + 1) / 2;
  coarse.ny = (fine.ny + 1) / 2;
  std::vector<std::int32_t> blockCell(
      static_cast<std::size_t>(coarse.nx) * static_cast<std::size_t>(coarse.ny), -1);
  const auto n = static_cast<std::size_t>(fine.Cells());
  for (std::size_t i = 0; i < n; ++i) {
    blockCell[static_cast<std::size_t>(fine.cellY[i] / 2) * static_cast<std::size_t>(coarse.nx) +
              static_cast<std::size_t>(fine.cellX[i] / 2)] = 0;
  }
  std::int32_t count = 0;
  for (int y = 0; y < coarse.ny; ++y) {
    for (int x = 0; x < coarse.nx; ++x) {
      std::int32_t& cell =
          blockCell[static_cast<std::size_t>(y) * static_cast<std::size_t>(coarse.nx) +
                    static_cast<std::size_t>(x)];
      if (cell < 0) continue;
      cell = count++;
      coarse.cellX.push_back(x);
      coarse.cellY.push_back(y);
    }
  }
  coarse.te.assign(static_cast<std::size_t>(count), 0.0);
  coarse.ts.assign(static_cast<std::size_t>(count), 0.0);
  parent.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t p = blockCell[static_cast<std::size_t>(fine.cellY[i] / 2) *
                                         static_cast<std::size_t>(coarse.nx) +
                                     static_cast<std::size_t>(fine.cellX[i] / 2)];
    parent[i] = p;
    // Only faces that leave the aggregate join two coarse cells.
    if ((fine.cellX[i] & 1) == 1) coarse.te[static_cast<std::size_t>(p)] += 0.5 * fine.te[i];
    if ((fine.cellY[i] & 1) == 1) coarse.ts[static_cast<std::size_t>(p)] += 0.5 * fine.ts[i];
  }
  coarse.Link();
  coarse.SumDiagonal();
  return coarse;
}

void Multigrid::LabelParts() {
  // Union-find in cell order over the west and north faces: one pass, no search across memory.
  const CellLevel& fine = Fine();
  const auto n = static_cast<std::size_t>(fine.Cells());
  std::vector<std::int32_t> root(n);
  const auto find = [&](std::int32_t i) {
    while (root[static_cast<std::size_t>(i)] != i) {
      root[static_cast<std::size_t>(i)] =
          root[static_cast<std::size_t>(root[static_cast<std::size_t>(i)])];
      i = root[static_cast<std::size_t>(i)];
    }
    return i;
  };
  for (std::size_t i = 0; i < n; ++i) {
    root[i] = static_cast<std::int32_t>(i);
    for (const std::int32_t j : {fine.west[i], fine.north[i]}) {
      if (j < 0) continue;
      const std::int32_t a = find(j);
      const std::int32_t b = find(static_cast<std::int32_t>(i));
      // The smaller index stays the root, so each part's root is its first cell.
      if (a != b) root[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }
  }
  mPart.assign(n, -1);
  mPartSize.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const auto r = static_cast<std::size_t>(find(static_cast<std::int32_t>(i)));
    if (r == i) {
      mPart[i] = static_cast<std::int32_t>(mPartSize.size());
      mPartSize.push_back(0);
    } else {
      mPart[i] = mPart[r];
    }
    ++mPartSize[static_cast<std::size_t>(mPart[i])];
  }
}

void Multigrid::RemovePartMeans(double* v) const {
  const auto n = static_cast<std::size_t>(Fine().Cells());
  if (mPartSize.size() == 1) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += v[i];
    const double mean = sum / static_cast<double>(n);
    mPool.ForRange(static_cast<std::int64_t>(n), [&](std::int64_t b, std::int64_t e) {
      for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) v[i] -= mean;
    });
    return;
  }
  std::vector<double> sum(mPartSize.size(), 0.0);
  for (std::size_t i = 0; i < n; ++i) sum[static_cast<std::size_t>(mPart[i])] += v[i];
  for (std::size_t k = 0; k < sum.size(); ++k) sum[k] /= static_cast<double>(mPartSize[k]);
  for (std::size_t i = 0; i < n; ++i) v[i] -= sum[static_cast<std::size_t>(mPart[i])];
}

void Multigrid::Apply(const double* x, double* y) const { Apply(Fine(), x, y); }

namespace {

// Row i of the level's matrix times x: the diagonal less the couplings to the four neighbours.
inline double RowProduct(const CellLevel& c, const double* x, std::size_t i) {
  double s = c.diag[i] * x[i];
  if (c.east[i] >= 0) s -= c.te[i] * x[c.east[i]];
  if (c.south[i] >= 0) s -= c.ts[i] * x[c.south[i]];
  if (c.west[i] >= 0) s -= c.te[static_cast<std::size_t>(c.west[i])] * x[c.west[i]];
  if (c.north[i] >= 0) s -= c.ts[static_cast<std::size_t>(c.north[i])] * x[c.north[i]];
  return s;
}

}  // namespace

void Multigrid::AddProduct(const double* x, double* y, double alpha) const {
  const CellLevel& c = Fine();
  mPool.ForRange(c.Cells(), [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      y[i] += alpha * RowProduct(c, x, i);
    }
  });
}

void Multigrid::Apply(const CellLevel& c, const double* x, double* y) const {
  mPool.ForRange(c.Cells(), [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      y[i] = RowProduct(c, x, i);
    }
  });
}

void Multigrid::Smooth(const CellLevel& c, const double* b, double* x, int colour) const {
  mPool.ForRange(c.Cells(), [&](std::int64_t first, std::int64_t end) {
    for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(end); ++i) {
      if (((c.cellX[i] + c.cellY[i]) & 1) != colour || c.diag[i] <= 0) continue;
      double s = b[i];
      if (c.east[i] >= 0) s += c.te[i] * x[c.east[i]];
      if (c.south[i] >= 0) s += c.ts[i] * x[c.south[i]];
      if (c.west[i] >= 0) s += c.te[static_cast<std::size_t>(c.west[i])] * x[c.west[i]];
      if (c.north[i] >= 0) s += c.ts[static_cast<std::size_t>(c.north[i])] * x[c.north[i]];
      x[i] = s / c.diag[i];
    }
  });
}

void Multigrid::Precondition(const double* r, double* z) {
  Level& top = mLevels.front();
  // Level 0 works on the caller's vectors: r is its right-hand side and z its solution.
  const CellLevel& c = top.cells;
  const auto n = static_cast<std::size_t>(c.Cells());
  if (mLevels.size() == 1) {
    Eigen::Map<const Eigen::VectorXd> rv(r, static_cast<Eigen::Index>(n));
    Eigen::Map<Eigen::VectorXd>(z, static_cast<Eigen::Index>(n)) = mCoarsestInverse * rv;
    RemovePartMeans(z);
    return;
  }
  std::memset(z, 0, n * sizeof(double));
  Smooth(c, r, z, 0);
  Smooth(c, r, z, 1);
  Apply(c, z, top.r.data());
  Level& next = mLevels[1];
  const std::int32_t* parent = top.parent.data();
  std::fill(next.b.begin(), next.b.end(), 0.0);
  for (std::size_t i = 0; i < n; ++i)
    next.b[static_cast<std::size_t>(parent[i])] += r[i] - top.r[i];
  Cycle(1);
  mPool.ForRange(static_cast<std::int64_t>(n), [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      z[i] += next.x[static_cast<std::size_t>(parent[i])];
    }
  });
  Smooth(c, r, z, 1);
  Smooth(c, r, z, 0);
  RemovePartMeans(z);
}

void Multigrid::Cycle(std::size_t l) {
  Level& level = mLevels[l];
  const CellLevel& c = level.cells;
  const auto n = static_cast<std::size_t>(c.Cells());
  if (l + 1 == mLevels.size()) {
    Eigen::Map<const Eigen::VectorXd> b(level.b.data(), static_cast<Eigen::Index>(n));
    Eigen::Map<Eigen::VectorXd>(level.x.data(), static_cast<Eigen::Index>(n)) =
        mCoarsestInverse * b;
    return;
  }
  std::fill(level.x.begin(), level.x.end(), 0.0);
  Smooth(c, level.b.data(), level.x.data(), 0);
  Smooth(c, level.b.data(), level.x.data(), 1);
  Apply(c, level.x.data(), level.r.data());
  Level& next = mLevels[l + 1];
  std::fill(next.b.begin(), next.b.end(), 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    next.b[static_cast<std::size_t>(level.parent[i])] += level.b[i] - level.r[i];
  }
  Cycle(l + 1);
  for (std::size_t i = 0; i < n; ++i)
    level.x[i] += next.x[static_cast<std::size_t>(level.parent[i])];
  Smooth(c, level.b.data(), level.x.data(), 1);
  Smooth(c, level.b.data(), level.x.data(), 0);
}

std::size_t Multigrid::Bytes() const {
  std::size_t bytes = static_cast<std::size_t>(mCoarsestInverse.size()) * 8 + mPart.capacity() * 4 +
                      mPartSize.capacity() * 8;
  for (const Level& level : mLevels) {
    bytes += level.cells.Bytes() + level.parent.capacity() * 4 +
             (level.b.capacity() + level.x.capacity() + level.r.capacity()) * 8;
  }
  return bytes;
}

}  // namespace qv
