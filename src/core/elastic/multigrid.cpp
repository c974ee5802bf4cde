// Multigrid hierarchy on the pixel grid: agglomeration of each block's connected cells, red-black
// smoothing and a sparse Cholesky factorisation on the coarsest level.
#include "core/elastic/multigrid.h"

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace qv {
namespace {

// Small enough for a quick factorisation, large enough that the hierarchy stays shallow.
constexpr std::int64_t kCoarsestCells = 512;
// A coarsening that keeps more than this share of the cells (isolated pixels, pieces that touch
// only at corners) gains nothing: the level above is factorised instead.
constexpr double kMinReduction = 0.75;

/// Connected pieces by union-find; every piece's root is its smallest member.
class UnionFind {
 public:
  explicit UnionFind(std::size_t n) : mRoot(n) { std::iota(mRoot.begin(), mRoot.end(), 0); }
  std::int32_t Find(std::int32_t i) {
    while (mRoot[static_cast<std::size_t>(i)] != i) {
      const std::int32_t up = mRoot[static_cast<std::size_t>(mRoot[static_cast<std::size_t>(i)])];
      mRoot[static_cast<std::size_t>(i)] = up;
      i = up;
    }
    return i;
  }
  void Unite(std::int32_t a, std::int32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) mRoot[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
  }

 private:
  std::vector<std::int32_t> mRoot;
};

/// Calls f(j, coefficient, acrossX) once for every face of the level, from one of its cells i;
/// acrossX tells a face between horizontal neighbours.
struct FineFaces {
  const CellLevel& c;
  template <typename F>
  void operator()(std::size_t i, const F& f) const {
    if (const std::int32_t e = c.East(i); e >= 0) f(e, c.te[i], true);
    if (const std::int32_t s = c.South(i); s >= 0) f(s, c.ts[i], false);
  }
};
struct CoarseFaces {
  const CoarseLevel& c;
  template <typename F>
  void operator()(std::size_t i, const F& f) const {
    for (auto k = static_cast<std::size_t>(c.start[i]);
         k < static_cast<std::size_t>(c.start[i + 1]); ++k) {
      const std::int32_t j = c.nbr[k];
      if (static_cast<std::size_t>(j) > i) {
        f(j, c.coef[k], c.cellX[static_cast<std::size_t>(j)] != c.cellX[i]);
      }
    }
  }
};

/// The next coarser level of `fine` on blocks of fx x fy cells, each 1, 2 or 4 (see CoarseLevel).
template <typename Level, typename Faces>
CoarseLevel Coarsen(const Level& fine, const Faces& faces, int fx, int fy,
                    const std::function<void()>& beat) {
  const auto n = static_cast<std::size_t>(fine.Cells());
  CoarseLevel coarse;
  coarse.nx = (fine.nx + fx - 1) / fx;
  coarse.ny = (fine.ny + fy - 1) / fy;
  const auto cnx = static_cast<std::size_t>(coarse.nx);
  const std::size_t blocks = cnx * static_cast<std::size_t>(coarse.ny);
  // Blocks join 1, 2 or 4 cells each way: a shift rather than a division.
  const int shiftX = fx == 4 ? 2 : fx == 2 ? 1 : 0;
  const int shiftY = fy == 4 ? 2 : fy == 2 ? 1 : 0;
  const auto blockOf = [&](std::size_t i) {
    return static_cast<std::size_t>(fine.cellY[i] >> shiftY) * cnx +
           static_cast<std::size_t>(fine.cellX[i] >> shiftX);
  };

  // The connected pieces of each block, through the faces inside it.
  UnionFind pieces(n);
  for (std::size_t i = 0; i < n; ++i) {
    faces(i, [&](std::int32_t j, double c, bool) {
      if (c > 0 && blockOf(i) == blockOf(static_cast<std::size_t>(j))) {
        pieces.Unite(static_cast<std::int32_t>(i), j);
      }
    });
  }

  beat();

  // The cells block by block, in cell order within a block (a counting sort).
  std::vector<std::int64_t> blockStart(blocks + 1, 0);
  for (std::size_t i = 0; i < n; ++i) ++blockStart[blockOf(i) + 1];
  std::partial_sum(blockStart.begin(), blockStart.end(), blockStart.begin());
  std::vector<std::int32_t> order(n);
  {
    std::vector<std::int64_t> next(blockStart.begin(), blockStart.end() - 1);
    for (std::size_t i = 0; i < n; ++i) {
      order[static_cast<std::size_t>(next[blockOf(i)]++)] = static_cast<std::int32_t>(i);
    }
  }

  // One coarse cell per piece, the red blocks' first, each colour row by row. A piece's root is
  // its smallest cell, the first of it met in its block.
  coarse.parent.assign(n, -1);
  coarse.cellX.reserve(n / static_cast<std::size_t>(fx * fy) + 1);
  coarse.cellY.reserve(n / static_cast<std::size_t>(fx * fy) + 1);
  std::int32_t count = 0;
  for (int colour = 0; colour < 2; ++colour) {
    for (int y = 0; y < coarse.ny; ++y) {
      for (int x = (y + colour) & 1; x < coarse.nx; x += 2) {
        const std::size_t b = static_cast<std::size_t>(y) * cnx + static_cast<std::size_t>(x);
        for (auto k = static_cast<std::size_t>(blockStart[b]);
             k < static_cast<std::size_t>(blockStart[b + 1]); ++k) {
          const std::int32_t i = order[k];
          const std::int32_t root = pieces.Find(i);
          if (root == i) {
            coarse.parent[static_cast<std::size_t>(i)] = count++;
            coarse.cellX.push_back(x);
            coarse.cellY.push_back(y);
          } else {
            coarse.parent[static_cast<std::size_t>(i)] =
                coarse.parent[static_cast<std::size_t>(root)];
          }
        }
      }
    }
    if (colour == 0) coarse.red = count;
  }
  order = {};
  blockStart = {};
  beat();

  // The faces between pieces, each once from its lower cell, scaled by the block's extent across
  // them; then summed per pair of cells in the order met, so the sums are the same every time.
  const auto m = static_cast<std::size_t>(count);
  const double scaleX = 1.0 / fx;
  const double scaleY = 1.0 / fy;
  const auto crossing = [&](const auto& emit) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t a = coarse.parent[i];
      faces(i, [&](std::int32_t j, double c, bool acrossX) {
        const std::int32_t b = coarse.parent[static_cast<std::size_t>(j)];
        if (c > 0 && a != b) emit(std::min(a, b), std::max(a, b), c * (acrossX ? scaleX : scaleY));
      });
    }
  };
  std::vector<std::int64_t> rowStart(m + 1, 0);
  crossing(
      [&](std::int32_t lo, std::int32_t, double) { ++rowStart[static_cast<std::size_t>(lo) + 1]; });
  std::partial_sum(rowStart.begin(), rowStart.end(), rowStart.begin());
  struct Link {
    std::int32_t to;
    double c;
  };
  std::vector<Link> links(static_cast<std::size_t>(rowStart[m]));
  {
    std::vector<std::int64_t> next(rowStart.begin(), rowStart.end() - 1);
    crossing([&](std::int32_t lo, std::int32_t hi, double c) {
      links[static_cast<std::size_t>(next[static_cast<std::size_t>(lo)]++)] = {hi, c};
    });
  }
  beat();
  std::vector<std::int64_t> mergedEnd(m);
  coarse.start.assign(m + 1, 0);
  for (std::size_t lo = 0; lo < m; ++lo) {
    const auto first = static_cast<std::size_t>(rowStart[lo]);
    const auto end = static_cast<std::size_t>(rowStart[lo + 1]);
    // Rows are short: a stable insertion sort by neighbour.
    for (std::size_t k = first + 1; k < end; ++k) {
      const Link l = links[k];
      std::size_t at = k;
      while (at > first && links[at - 1].to > l.to) {
        links[at] = links[at - 1];
        --at;
      }
      links[at] = l;
    }
    std::size_t kept = first;
    for (std::size_t k = first; k < end; ++k) {
      if (kept > first && links[kept - 1].to == links[k].to) {
        links[kept - 1].c += links[k].c;
      } else {
        links[kept++] = links[k];
      }
    }
    mergedEnd[lo] = static_cast<std::int64_t>(kept);
    for (std::size_t k = first; k < kept; ++k) {
      ++coarse.start[lo + 1];
      ++coarse.start[static_cast<std::size_t>(links[k].to) + 1];
    }
  }
  std::partial_sum(coarse.start.begin(), coarse.start.end(), coarse.start.begin());
  coarse.nbr.resize(static_cast<std::size_t>(coarse.start[m]));
  coarse.coef.resize(coarse.nbr.size());
  {
    // Row r takes its lower neighbours while the rows below it are written, in their order,
    // then its own higher ones: every row ends up sorted.
    std::vector<std::int64_t> next(coarse.start.begin(), coarse.start.end() - 1);
    for (std::size_t lo = 0; lo < m; ++lo) {
      for (auto k = static_cast<std::size_t>(rowStart[lo]);
           k < static_cast<std::size_t>(mergedEnd[lo]); ++k) {
        const auto hi = static_cast<std::size_t>(links[k].to);
        const auto atLo = static_cast<std::size_t>(next[lo]++);
        const auto atHi = static_cast<std::size_t>(next[hi]++);
        coarse.nbr[atLo] = links[k].to;
        coarse.coef[atLo] = links[k].c;
        coarse.nbr[atHi] = static_cast<std::int32_t>(lo);
        coarse.coef[atHi] = links[k].c;
      }
    }
  }
  coarse.diag.assign(m, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    double d = 0;
    for (auto k = static_cast<std::size_t>(coarse.start[i]);
         k < static_cast<std::size_t>(coarse.start[i + 1]); ++k) {
      d += coarse.coef[k];
    }
    coarse.diag[i] = d;
  }
  return coarse;
}

// Row i of the fine level's matrix times x, as the sum over the cell's faces of the coupling
// times the difference across the face: for a smooth x the differences are exact and small, where
// the diagonal times x less the neighbours' terms would cancel large terms and lose digits.
inline double RowProduct(const CellLevel& c, const double* x, std::size_t i) {
  const double xi = x[i];
  double s = 0;
  if (const std::int32_t e = c.East(i); e >= 0) s += c.te[i] * (xi - x[e]);
  if (const std::int32_t so = c.South(i); so >= 0) s += c.ts[i] * (xi - x[so]);
  if (const std::int32_t w = c.West(i); w >= 0) {
    s += c.te[static_cast<std::size_t>(w)] * (xi - x[w]);
  }
  if (const std::int32_t n = c.North(i); n >= 0) {
    s += c.ts[static_cast<std::size_t>(n)] * (xi - x[n]);
  }
  return s;
}
inline double RowProduct(const CoarseLevel& c, const double* x, std::size_t i) {
  const double xi = x[i];
  double s = 0;
  for (auto k = static_cast<std::size_t>(c.start[i]); k < static_cast<std::size_t>(c.start[i + 1]);
       ++k) {
    s += c.coef[k] * (xi - x[c.nbr[k]]);
  }
  return s;
}

// The sum of the couplings times x over the neighbours of row i.
inline double Neighbours(const CellLevel& c, const double* x, std::size_t i) {
  double s = 0;
  if (const std::int32_t e = c.East(i); e >= 0) s += c.te[i] * x[e];
  if (const std::int32_t so = c.South(i); so >= 0) s += c.ts[i] * x[so];
  if (const std::int32_t w = c.West(i); w >= 0) s += c.te[static_cast<std::size_t>(w)] * x[w];
  if (const std::int32_t n = c.North(i); n >= 0) s += c.ts[static_cast<std::size_t>(n)] * x[n];
  return s;
}
inline double Neighbours(const CoarseLevel& c, const double* x, std::size_t i) {
  double s = 0;
  for (auto k = static_cast<std::size_t>(c.start[i]); k < static_cast<std::size_t>(c.start[i + 1]);
       ++k) {
    s += c.coef[k] * x[c.nbr[k]];
  }
  return s;
}

/// The smoother's passes on one level; cells [0, red) are red, the rest black.
template <typename Level>
struct Passes {
  const Level& c;
  std::int64_t red;
  ThreadPool& pool;

  std::int64_t Cells() const { return c.Cells(); }
  // From x = 0 the red cells see only zeros: x = b / diag.
  void FirstRed(const double* b, double* x) const {
    pool.ForRange(red, [&](std::int64_t first, std::int64_t end) {
      for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(end); ++i) {
        const double d = c.Diagonal(i);
        x[i] = d > 0 ? b[i] / d : 0.0;
      }
    });
  }
  // Gauss-Seidel on one colour: each cell from its neighbours, all of the other colour.
  void Sweep(const double* b, double* x, bool black) const {
    const std::int64_t offset = black ? red : 0;
    pool.ForRange((black ? Cells() : red) - offset, [&](std::int64_t first, std::int64_t end) {
      for (auto i = static_cast<std::size_t>(first + offset);
           i < static_cast<std::size_t>(end + offset); ++i) {
        const double d = c.Diagonal(i);
        x[i] = d > 0 ? (b[i] + Neighbours(c, x, i)) / d : 0.0;
      }
    });
  }
  // The residual of the red cells; after a black sweep the black ones have none.
  void RedResidual(const double* b, const double* x, double* r) const {
    pool.ForRange(red, [&](std::int64_t first, std::int64_t end) {
      for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(end); ++i) {
        r[i] = b[i] - RowProduct(c, x, i);
      }
    });
  }
};

}  // namespace

std::int64_t CellLevel::RedCells() const {
  const std::size_t n = cellX.size();
  std::size_t red = 0;
  while (red < n && ((cellX[red] + cellY[red]) & 1) == 0) ++red;
  return static_cast<std::int64_t>(red);
}

void CellLevel::Link() {
  const std::size_t n = cellX.size();
  map.assign(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny), -1);
  for (std::size_t i = 0; i < n; ++i) map[At(i)] = static_cast<std::int32_t>(i);
}

std::size_t CellLevel::Bytes() const {
  return map.capacity() * 4 + (cellX.capacity() + cellY.capacity()) * 4 +
         (te.capacity() + ts.capacity()) * 8;
}

std::size_t CoarseLevel::Bytes() const {
  return (cellX.capacity() + cellY.capacity() + nbr.capacity() + parent.capacity()) * 4 +
         (start.capacity() + coef.capacity() + diag.capacity() + b.capacity() + x.capacity() +
          r.capacity()) *
             8;
}

/// The pseudo-inverse of the coarsest level's matrix: each connected part's mean is taken out of
/// the right-hand side, the matrix with one cell of each part tied to 0 by its own diagonal
/// (positive definite) is solved by a sparse Cholesky factorisation, and each part's mean is
/// taken out of the solution. Taking the means out on both sides keeps the operator symmetric
/// when rounding leaves a restricted residual with a part sum that is not quite zero.
struct Multigrid::CoarsestSolver {
  Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Lower> ldlt;
  std::vector<std::int32_t> part;
  std::vector<double> partSize;
  Eigen::VectorXd b, x;

  template <typename Level, typename Faces>
  CoarsestSolver(const Level& level, const Faces& faces) {
    const auto n = static_cast<std::size_t>(level.Cells());
    std::vector<Eigen::Triplet<double>> entries;
    UnionFind parts(n);
    for (std::size_t i = 0; i < n; ++i) {
      faces(i, [&](std::int32_t j, double c, bool) {
        if (!(c > 0)) return;
        parts.Unite(static_cast<std::int32_t>(i), j);
        const auto row = std::max(static_cast<std::int32_t>(i), j);
        const auto col = std::min(static_cast<std::int32_t>(i), j);
        entries.emplace_back(row, col, -c);
      });
    }
    part.assign(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
      double d = level.Diagonal(i);
      const auto root = static_cast<std::size_t>(parts.Find(static_cast<std::int32_t>(i)));
      if (root == i) {
        d += d > 0 ? d : 1.0;
        part[i] = static_cast<std::int32_t>(partSize.size());
        partSize.push_back(0);
      } else {
        part[i] = part[root];
      }
      ++partSize[static_cast<std::size_t>(part[i])];
      entries.emplace_back(static_cast<int>(i), static_cast<int>(i), d);
    }
    Eigen::SparseMatrix<double> a(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(n));
    a.setFromTriplets(entries.begin(), entries.end());
    ldlt.compute(a);
    if (ldlt.info() != Eigen::Success) {
      throw std::runtime_error("The multigrid's coarsest level has no factorisation.");
    }
    b.resize(static_cast<Eigen::Index>(n));
    x.resize(static_cast<Eigen::Index>(n));
  }

  void RemoveMeans(Eigen::VectorXd& v) const {
    std::vector<double> sum(partSize.size(), 0.0);
    for (std::size_t i = 0; i < part.size(); ++i) {
      sum[static_cast<std::size_t>(part[i])] += v[static_cast<Eigen::Index>(i)];
    }
    for (std::size_t i = 0; i < part.size(); ++i) {
      const auto k = static_cast<std::size_t>(part[i]);
      v[static_cast<Eigen::Index>(i)] -= sum[k] / partSize[k];
    }
  }
};

Multigrid::Multigrid(CellLevel fine, double cellWidth, double cellHeight, ThreadPool& pool,
                     const std::function<void()>& beat)
    : mPool(pool), mFine(std::move(fine)) {
  const auto tick = [&] {
    if (beat) beat();
  };
  mFineRed = mFine.RedCells();
  for (auto i = static_cast<std::size_t>(mFineRed); i < mFine.cellX.size(); ++i) {
    if (((mFine.cellX[i] + mFine.cellY[i]) & 1) == 0) {
      throw std::logic_error("The multigrid's fine level must number its red cells first.");
    }
  }
  mFineResidual.assign(static_cast<std::size_t>(mFineRed), 0.0);

  double width = cellWidth;
  double height = cellHeight;
  int nx = mFine.nx;
  int ny = mFine.ny;
  std::int64_t cells = mFine.Cells();
  const auto coarsen = [&](int fx, int fy) {
    return mCoarse.empty() ? Coarsen(mFine, FineFaces{mFine}, fx, fy, tick)
                           : Coarsen(mCoarse.back(), CoarseFaces{mCoarse.back()}, fx, fy, tick);
  };
  while (cells > kCoarsestCells && (nx > 1 || ny > 1)) {
    // Across the cells' short side first, while they are long: that joins the strongly
    // coupled neighbours, which point smoothing cannot tell apart.
    int fx = nx > 1 ? 2 : 1;
    int fy = ny > 1 ? 2 : 1;
    const double tall = height / width;
    if (tall > std::numbers::sqrt2 && fx == 2) fy = 1;
    if (tall < 1 / std::numbers::sqrt2 && fy == 2) fx = 1;
    // Four at a time while they are more than 2 sqrt(2) times as long: levels of half the cells
    // would cost about as much as the fine level together, and gain few iterations.
    if (tall > 2 * std::numbers::sqrt2 && fy == 1 && nx > 3) fx = 4;
    if (tall < 1 / (2 * std::numbers::sqrt2) && fx == 1 && ny > 3) fy = 4;
    CoarseLevel next = coarsen(fx, fy);
    const double enough = kMinReduction * static_cast<double>(cells);
    if (static_cast<double>(next.Cells()) > enough && fx != fy && nx > 1 && ny > 1) {
      // Long cells that are pieces of their own across the short side (a wall one cell thick
      // along the long side): join them the other way too.
      fx = 2;
      fy = 2;
      next = coarsen(fx, fy);
    }
    if (static_cast<double>(next.Cells()) > enough) break;
    width *= fx;
    height *= fy;
    // Cells still long after the join: their couplings differ both ways by more than 2.
    next.sweeps = std::max(height / width, width / height) > std::numbers::sqrt2 ? 2 : 1;
    nx = next.nx;
    ny = next.ny;
    cells = next.Cells();
    if (!mCoarse.empty()) {
      // The block positions served to build this level.
      mCoarse.back().cellX = {};
      mCoarse.back().cellY = {};
    }
    mCoarse.push_back(std::move(next));
    tick();
  }
  for (CoarseLevel& level : mCoarse) {
    const auto n = static_cast<std::size_t>(level.Cells());
    level.b.assign(n, 0.0);
    level.x.assign(n, 0.0);
    level.r.assign(static_cast<std::size_t>(level.red), 0.0);
  }
  if (mCoarse.empty()) {
    mCoarsest = std::make_unique<CoarsestSolver>(mFine, FineFaces{mFine});
  } else {
    mCoarsest = std::make_unique<CoarsestSolver>(mCoarse.back(), CoarseFaces{mCoarse.back()});
    mCoarse.back().cellX = {};
    mCoarse.back().cellY = {};
  }
  tick();
  LabelParts();
}

Multigrid::~Multigrid() = default;

void Multigrid::LabelParts() {
  // Union-find in cell order over the west and north faces: one pass, no search across memory.
  const CellLevel& fine = Fine();
  const auto n = static_cast<std::size_t>(fine.Cells());
  UnionFind parts(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (const std::int32_t j : {fine.West(i), fine.North(i)}) {
      if (j >= 0) parts.Unite(j, static_cast<std::int32_t>(i));
    }
  }
  mPart.assign(n, -1);
  mPartSize.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const auto r = static_cast<std::size_t>(parts.Find(static_cast<std::int32_t>(i)));
    if (r == i) {
      mPart[i] = static_cast<std::int32_t>(mPartSize.size());
      mPartSize.push_back(0);
    } else {
      mPart[i] = mPart[r];
    }
    ++mPartSize[static_cast<std::size_t>(mPart[i])];
  }
  // One part, the usual section, needs no list.
  if (mPartSize.size() == 1) mPart = {};
}

void Multigrid::RemovePartMeans(double* v) const {
  const auto n = static_cast<std::size_t>(Fine().Cells());
  if (mPartSize.size() == 1) {
    // Sums of fixed blocks, added in order: the same bits whatever the threads.
    constexpr std::size_t kBlock = std::size_t{1} << 15;
    std::vector<double> partial((n + kBlock - 1) / kBlock, 0.0);
    mPool.ForRange(
        static_cast<std::int64_t>(partial.size()),
        [&](std::int64_t b, std::int64_t e) {
          for (auto k = static_cast<std::size_t>(b); k < static_cast<std::size_t>(e); ++k) {
            double s = 0;
            for (std::size_t i = k * kBlock; i < std::min(n, (k + 1) * kBlock); ++i) s += v[i];
            partial[k] = s;
          }
        },
        2);
    double sum = 0;
    for (const double s : partial) sum += s;
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

void Multigrid::Apply(const double* x, double* y) const {
  const CellLevel& c = Fine();
  mPool.ForRange(c.Cells(), [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      y[i] = RowProduct(c, x, i);
    }
  });
}

void Multigrid::AddProduct(const double* x, double* y, double alpha) const {
  const CellLevel& c = Fine();
  mPool.ForRange(c.Cells(), [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      y[i] += alpha * RowProduct(c, x, i);
    }
  });
}

void Multigrid::SolveCoarsest(const double* b, double* x) const {
  CoarsestSolver& s = *mCoarsest;
  const Eigen::Index n = s.b.size();
  s.b = Eigen::Map<const Eigen::VectorXd>(b, n);
  s.RemoveMeans(s.b);
  s.x = s.ldlt.solve(s.b);
  s.RemoveMeans(s.x);
  Eigen::Map<Eigen::VectorXd>(x, n) = s.x;
}

void Multigrid::Precondition(const double* r, double* z) {
  if (mCoarse.empty()) {
    SolveCoarsest(r, z);
    RemovePartMeans(z);
    return;
  }
  // Level 0 works on the caller's vectors: r is its right-hand side and z its solution. Every
  // pass overwrites what it writes, so z needs no clearing.
  const Passes<CellLevel> fine{mFine, mFineRed, mPool};
  fine.FirstRed(r, z);
  fine.Sweep(r, z, true);
  fine.RedResidual(r, z, mFineResidual.data());
  CoarseLevel& next = mCoarse.front();
  std::fill(next.b.begin(), next.b.end(), 0.0);
  const std::int32_t* parent = next.parent.data();
  for (std::size_t i = 0; i < mFineResidual.size(); ++i) {
    next.b[static_cast<std::size_t>(parent[i])] += mFineResidual[i];
  }
  Cycle(0);
  // The black cells' values are overwritten by the next sweep, which reads the red ones only.
  mPool.ForRange(mFineRed, [&](std::int64_t b, std::int64_t e) {
    for (auto i = static_cast<std::size_t>(b); i < static_cast<std::size_t>(e); ++i) {
      z[i] += next.x[static_cast<std::size_t>(parent[i])];
    }
  });
  fine.Sweep(r, z, true);
  fine.Sweep(r, z, false);
  RemovePartMeans(z);
}

void Multigrid::Cycle(std::size_t l) {
  CoarseLevel& level = mCoarse[l];
  if (l + 1 == mCoarse.size()) {
    SolveCoarsest(level.b.data(), level.x.data());
    return;
  }
  const Passes<CoarseLevel> passes{level, level.red, mPool};
  passes.FirstRed(level.b.data(), level.x.data());
  passes.Sweep(level.b.data(), level.x.data(), true);
  for (int k = 1; k < level.sweeps; ++k) {
    passes.Sweep(level.b.data(), level.x.data(), false);
    passes.Sweep(level.b.data(), level.x.data(), true);
  }
  passes.RedResidual(level.b.data(), level.x.data(), level.r.data());
  CoarseLevel& next = mCoarse[l + 1];
  std::fill(next.b.begin(), next.b.end(), 0.0);
  for (std::size_t i = 0; i < level.r.size(); ++i) {
    next.b[static_cast<std::size_t>(next.parent[i])] += level.r[i];
  }
  Cycle(l + 1);
  for (std::size_t i = 0; i < level.r.size(); ++i) {
    level.x[i] += next.x[static_cast<std::size_t>(next.parent[i])];
  }
  for (int k = 0; k < level.sweeps; ++k) {
    passes.Sweep(level.b.data(), level.x.data(), true);
    passes.Sweep(level.b.data(), level.x.data(), false);
  }
}

std::size_t Multigrid::Bytes() const {
  std::size_t bytes = mFine.Bytes() + mFineResidual.capacity() * 8 + mPart.capacity() * 4 +
                      mPartSize.capacity() * 8;
  for (const CoarseLevel& level : mCoarse) bytes += level.Bytes();
  if (mCoarsest) {
    bytes +=
        static_cast<std::size_t>(mCoarsest->ldlt.matrixL().nestedExpression().nonZeros()) * 12 +
        static_cast<std::size_t>(mCoarsest->b.size()) * 40;
  }
  return bytes;
}

}  // namespace qv
