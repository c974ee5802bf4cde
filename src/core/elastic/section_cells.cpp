// The section on the solver's cells: the materials of the pixels, the blocks a coarsened solve
// takes, the check that blocks close no gap, and the extreme fibres of each material.
#include "core/elastic/section_cells.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>

#include "core/base/colour_label.h"
#include "core/base/disjoint_sets.h"
#include "core/base/error.h"
#include "core/base/material.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/elastic/cut_cells.h"
#include "core/library/dd_props.h"

namespace qv {
namespace {

// Memory of one unknown in a solve: the fine level (neighbours, coefficients, position), the
// coarser levels, conjugate gradients' six vectors and the multigrid's work vectors; the peak
// resident size of a 4-million-cell solve with the design values is about 170 bytes per cell.
constexpr std::size_t kBytesPerCell = 160;
// The grid map costs this per pixel of the (coarsened) box on every level.
constexpr std::size_t kBytesPerBoxCell = 6;

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

/// The stiff materials of a block read as coverage: the first two found with their summed
/// shares, and whether a third is there too.
struct BlockMix {
  std::array<int, 2> material{-1, -1};
  std::array<double, 2> share{0, 0};
  bool more = false;

  void Add(int m, double part) {
    for (std::size_t k = 0; k < 2; ++k) {
      if (material[k] == m || material[k] < 0) {
        material[k] = m;
        share[k] += part;
        return;
      }
    }
    more = true;
  }
  /// Two materials and no third, each with a share.
  bool Two() const { return material[1] >= 0 && !more && share[0] > 0 && share[1] > 0; }
};

/// Calls cell(X, Y, sumG, sumE, solid, mix) for every block of factor x factor pixels of the box
/// that holds a stiff pixel, row by row, with the sums of G and E over the block's pixels (with
/// `coverage`, each pixel's materials by their shares), the pixels' sum of stiff shares and, with
/// `coverage`, the block's materials (empty without).
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
  std::vector<double> sumSolid(static_cast<std::size_t>(nx));
  std::vector<BlockMix> mix(coverage != nullptr ? static_cast<std::size_t>(nx) : 0);
  MaterialLookup lookup(materials);
  std::optional<ShareLookup> shares;
  if (coverage != nullptr) shares.emplace(*coverage);
  for (int by = 0; by < ny; ++by) {
    std::fill(sumG.begin(), sumG.end(), 0.0);
    std::fill(sumE.begin(), sumE.end(), 0.0);
    std::fill(sumSolid.begin(), sumSolid.end(), 0.0);
    std::fill(mix.begin(), mix.end(), BlockMix{});
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
              sumSolid[static_cast<std::size_t>(px / factor)] += part;
              mix[static_cast<std::size_t>(px / factor)].Add(share.material, part);
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
            sumSolid[static_cast<std::size_t>(px / factor)] += 1;
          }
        }
        x = end;
      }
    }
    for (int bx = 0; bx < nx; ++bx) {
      if (sumE[static_cast<std::size_t>(bx)] > 0) {
        const auto b = static_cast<std::size_t>(bx);
        cell(bx, by, sumG[b], sumE[b], sumSolid[b], mix.empty() ? BlockMix{} : mix[b]);
      }
    }
  }
}

/// Which materials a pixel's colour holds: the material of its colour, or with `coverage` each
/// material with a share in it.
class PixelMaterials {
 public:
  PixelMaterials(const std::vector<SolverMaterial>& materials, const CoverageTable* coverage)
      : mMaterials(materials),
        mLookup(materials),
        mCoverage(coverage != nullptr),
        mShares(coverage != nullptr ? *coverage : kNoCoverage) {}
  /// Calls f(material) for each material of `colour`.
  template <typename F>
  void ForEach(std::uint32_t colour, F f) {
    if (mCoverage) {
      for (const CoverageShare& share : mShares.Find(colour)) f(share.material);
      return;
    }
    const int m = mLookup.Find(colour);
    if (m >= 0) f(m);
  }
  /// Whether `colour` holds a material with E above 0.
  bool Stiff(std::uint32_t colour) {
    bool stiff = false;
    ForEach(colour, [&](int m) { stiff = stiff || mMaterials[static_cast<std::size_t>(m)].E > 0; });
    return stiff;
  }

 private:
  const std::vector<SolverMaterial>& mMaterials;
  MaterialLookup mLookup;
  bool mCoverage;
  ShareLookup mShares;
  static inline const CoverageTable kNoCoverage;
};

}  // namespace

std::vector<SolverMaterial> SolverMaterials(const TPROPClass& library,
                                            const PoissonTable& poisson) {
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

int BoxWidth(const SectionBounds& b) { return b.xmax - b.xmin + 1; }
int BoxHeight(const SectionBounds& b) { return b.ymax - b.ymin + 1; }

std::int64_t CountCells(const PixelGrid& grid, const SectionBounds& bounds,
                        const std::vector<SolverMaterial>& materials, int factor,
                        const CoverageTable* coverage) {
  std::int64_t cells = 0;
  ForEachBlock(
      grid, bounds, materials, factor,
      [&](int, int, double, double, double, const BlockMix&) { ++cells; }, coverage);
  return cells;
}

std::size_t SolveBytes(std::int64_t cells, const SectionBounds& bounds, int factor) {
  const auto box = static_cast<std::size_t>((BoxWidth(bounds) + factor - 1) / factor) *
                   static_cast<std::size_t>((BoxHeight(bounds) + factor - 1) / factor);
  return static_cast<std::size_t>(cells) * kBytesPerCell + box * kBytesPerBoxCell;
}

/// The materials with E above 0 that have a pixel (or with `coverage`, a share of one) in the
/// box.
std::vector<bool> MaterialsPresent(const PixelGrid& grid, const SectionBounds& bounds,
                                   const std::vector<SolverMaterial>& materials,
                                   const CoverageTable* coverage) {
  std::vector<bool> present(materials.size(), false);
  const int width = BoxWidth(bounds);
  PixelMaterials lookup(materials, coverage);
  for (int row = 0; row < BoxHeight(bounds); ++row) {
    const std::uint32_t* pixels = grid.Row(bounds.ymin + row) + bounds.xmin;
    for (int x = 0; x < width;) {
      const int end = RunEnd(pixels, x + 1, width, pixels[x]);
      lookup.ForEach(pixels[x], [&](int m) {
        if (materials[static_cast<std::size_t>(m)].E > 0)
          present[static_cast<std::size_t>(m)] = true;
      });
      x = end;
    }
  }
  return present;
}

/// Whether cells of factor x factor pixels join stiff pixels that no pixel edge joins: a block
/// whose stiff pixels fall into two or more pieces, or two neighbouring blocks with stiff pixels
/// but no pixel edge between them. Such cells close a gap, a slit or a crack of the picture, and
/// a solve on them is of another section.
bool BridgesGaps(const PixelGrid& grid, const SectionBounds& bounds,
                 const std::vector<SolverMaterial>& materials, int factor,
                 const CoverageTable* coverage) {
  const int width = BoxWidth(bounds);
  const int height = BoxHeight(bounds);
  const auto w = static_cast<std::size_t>(width);
  const auto nx = static_cast<std::size_t>((width + factor - 1) / factor);
  PixelMaterials lookup(materials, coverage);
  // Per pixel of the previous and the current row: its piece's label in the block row, or -1.
  std::vector<std::int32_t> above(w, -1);
  std::vector<std::int32_t> here(w, -1);
  DisjointSets pieceOf;               // the block row's labels, joined where pixels touch
  std::vector<std::int32_t> blockOf;  // block column of each label
  std::vector<std::uint8_t> stiff(nx), stiffAbove(nx), edgeWest(nx), edgeNorth(nx);
  std::vector<std::int32_t> pieces(nx);
  for (int first = 0; first < height; first += factor) {
    pieceOf.Clear();
    blockOf.clear();
    std::fill(stiff.begin(), stiff.end(), 0);
    std::fill(edgeWest.begin(), edgeWest.end(), 0);
    std::fill(edgeNorth.begin(), edgeNorth.end(), 0);
    for (int row = first; row < std::min(height, first + factor); ++row) {
      const std::uint32_t* pixels = grid.Row(bounds.ymin + row) + bounds.xmin;
      std::fill(here.begin(), here.end(), -1);
      for (int x = 0; x < width;) {
        const int end = RunEnd(pixels, x + 1, width, pixels[x]);
        if (!lookup.Stiff(pixels[x])) {
          x = end;
          continue;
        }
        for (int px = x; px < end; ++px) {
          const auto p = static_cast<std::size_t>(px);
          const auto b = p / static_cast<std::size_t>(factor);
          stiff[b] = 1;
          // A stiff pixel to the left in the same block shares its piece; one in the block to
          // the left is a pixel edge between the two blocks.
          const std::int32_t left = p > 0 ? here[p - 1] : -1;
          std::int32_t label = left;
          if (left < 0 || px % factor == 0) {
            label = pieceOf.Add();
            blockOf.push_back(static_cast<std::int32_t>(b));
            if (left >= 0) edgeWest[b] = 1;
          }
          here[p] = label;
          if (above[p] >= 0) {
            if (row == first) {
              edgeNorth[b] = 1;
            } else {
              pieceOf.Join(above[p], label);
            }
          }
        }
        x = end;
      }
      std::swap(above, here);
    }
    std::fill(pieces.begin(), pieces.end(), 0);
    for (std::size_t l = 0; l < pieceOf.Size(); ++l) {
      if (pieceOf.Find(static_cast<std::int32_t>(l)) == static_cast<std::int32_t>(l)) {
        if (++pieces[static_cast<std::size_t>(blockOf[l])] > 1) return true;
      }
    }
    for (std::size_t b = 0; b < nx; ++b) {
      if (!stiff[b]) continue;
      if (b > 0 && stiff[b - 1] && !edgeWest[b]) return true;
      if (first > 0 && stiffAbove[b] && !edgeNorth[b]) return true;
    }
    std::swap(stiffAbove, stiff);
  }
  return false;
}

/// The faces across an interface between two materials that runs along the cells inside them:
/// there the two half cells on either side of each face hold the materials by their thickness
/// in that half, in series, where the cell's mean G would stiffen the soft side's half by up to
/// the ratio of the two moduli (an error of the first order in the cell size). The faces along
/// the interface keep the mean, which is their exact parallel stiffness. The interface's
/// direction comes from each cell's share of its first material, read from G over the 3 x 3
/// cells about it; oblique interfaces keep the mean.
void JoinAcrossInterfaces(CellLevel& c, const std::vector<double>& g,
                          const std::vector<SolverMaterial>& materials,
                          const std::vector<std::pair<std::size_t, BlockMix>>& blended,
                          double across, double down) {
  if (blended.empty()) return;
  // Each blended cell's G of its half towards east, south, west and north.
  std::unordered_map<std::size_t, std::array<double, 4>> halves;
  for (const auto& [i, mix] : blended) {
    const double ga = materials[static_cast<std::size_t>(mix.material[0])].G;
    const double gb = materials[static_cast<std::size_t>(mix.material[1])].G;
    if (!(ga > 0) || !(gb > 0) || ga == gb) continue;
    // The share of the first material of a cell, from its mean G (1 in it, 0 in the second).
    const auto shareAt = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= c.nx || y >= c.ny) return std::optional<double>{};
      const std::int32_t k = c.map[static_cast<std::size_t>(y) * static_cast<std::size_t>(c.nx) +
                                   static_cast<std::size_t>(x)];
      if (k < 0) return std::optional<double>{};
      return std::optional<double>{(g[static_cast<std::size_t>(k)] - gb) / (ga - gb)};
    };
    const int x = c.cellX[i];
    const int y = c.cellY[i];
    const double own = *shareAt(x, y);
    const auto at = [&](int cx, int cy) { return shareAt(cx, cy).value_or(own); };
    const auto [gx, gy] = ShareGradient(at, x, y);
    const bool rows = NoPart(gx, gy);
    const bool columns = NoPart(gy, gx);
    if (rows == columns) continue;  // oblique, or no direction
    // Across the interface the cell runs from 0 to 1; the first material lies at the far end
    // (towards larger X or Y) where its share grows that way, for `a` of the cell.
    const double a = mix.share[0] / (mix.share[0] + mix.share[1]);
    const bool farSide = rows ? gy > 0 : gx > 0;
    // A half cell from `from` to `from` + 0.5, in series.
    const auto half = [&](double from) {
      const double lo = farSide ? 1 - a : 0.0;
      const double hi = farSide ? 1.0 : a;
      const double inFirst = std::max(0.0, std::min(from + 0.5, hi) - std::max(from, lo));
      return 0.5 / (inFirst / ga + (0.5 - inFirst) / gb);
    };
    std::array<double, 4> h{g[i], g[i], g[i], g[i]};
    if (rows) {
      h[1] = half(0.5);  // south
      h[3] = half(0.0);  // north
    } else {
      h[0] = half(0.5);  // east
      h[2] = half(0.0);  // west
    }
    halves.emplace(i, h);
  }
  const auto toward = [&](std::size_t k, std::size_t side) {
    const auto found = halves.find(k);
    return found == halves.end() ? g[k] : found->second[side];
  };
  const auto harmonic = [](double a, double b) { return a * (2 * b / (a + b)); };
  for (const auto& [i, h] : halves) {
    if (const std::int32_t e = c.East(i); e >= 0) {
      c.te[i] = harmonic(h[0], toward(static_cast<std::size_t>(e), 2)) * across;
    }
    if (const std::int32_t s = c.South(i); s >= 0) {
      c.ts[i] = harmonic(h[1], toward(static_cast<std::size_t>(s), 3)) * down;
    }
    if (const std::int32_t w = c.West(i); w >= 0) {
      const auto k = static_cast<std::size_t>(w);
      c.te[k] = harmonic(toward(k, 0), h[2]) * across;
    }
    if (const std::int32_t n = c.North(i); n >= 0) {
      const auto k = static_cast<std::size_t>(n);
      c.ts[k] = harmonic(toward(k, 1), h[3]) * down;
    }
  }
}

/// The section on blocks of `factor` pixels, whose sides are cellWidth and cellHeight; its red
/// cells first (see CellLevel). `beat` is called between its steps.
Discretisation Discretise(const PixelGrid& grid, const SectionBounds& bounds,
                          const std::vector<SolverMaterial>& materials, double cellWidth,
                          double cellHeight, int factor, const std::function<void()>& beat,
                          const CoverageTable* coverage) {
  Discretisation d;
  d.factor = factor;
  d.cellWidth = cellWidth;
  d.cellHeight = cellHeight;
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
  // Read as coverage, each cell's share of stiff material places its piece of edge.
  std::vector<float> solid;
  if (coverage != nullptr) solid.reserve(count);
  const double blockPixels = static_cast<double>(factor) * factor;
  // Read as coverage, the full cells that hold two materials, by cell number.
  std::vector<std::pair<std::size_t, BlockMix>> blended;
  for (const int colour : {0, 1}) {
    ForEachBlock(
        grid, bounds, materials, factor,
        [&](int x, int y, double sumG, double sumE, double sumSolid, const BlockMix& mix) {
          if (((x + y) & 1) != colour) return;
          if (mix.Two() && sumSolid >= blockPixels * kFullShare) {
            blended.push_back({static_cast<std::size_t>(c.cellX.size()), mix});
          }
          c.cellX.push_back(x);
          c.cellY.push_back(y);
          d.E.push_back(sumE / blockPixels);
          if (coverage != nullptr) {
            // G of the cell's material: its cut faces carry only their wetted part.
            g.push_back(sumG / sumSolid);
            solid.push_back(static_cast<float>(sumSolid / blockPixels));
          } else {
            g.push_back(sumG / blockPixels);
          }
        },
        coverage);
    beat();
  }
  c.Link();
  beat();
  const auto n = static_cast<std::size_t>(c.Cells());
  c.te.assign(n, 0.0);
  c.ts.assign(n, 0.0);
  // The harmonic mean is the stiffness of the two half cells in series; written so that it does
  // not underflow for a very soft material next to a stiff one.
  const double across = cellHeight / cellWidth;
  const double down = cellWidth / cellHeight;
  const auto harmonic = [](double a, double b) { return a * (2 * b / (a + b)); };
  for (std::size_t i = 0; i < n; ++i) {
    if (const std::int32_t e = c.East(i); e >= 0) {
      c.te[i] = harmonic(g[i], g[static_cast<std::size_t>(e)]) * across;
    }
    if (const std::int32_t s = c.South(i); s >= 0) {
      c.ts[i] = harmonic(g[i], g[static_cast<std::size_t>(s)]) * down;
    }
  }
  if (coverage != nullptr) {
    JoinAcrossInterfaces(c, g, materials, blended, across, down);
    CutFaces cut = CutCellFaces(c, solid);
    // A face couples the two cells' centroids: its coefficient is over their distance across it,
    // kept at least half a cell so that two slivers meeting at a face do not stiffen the system.
    const auto apart = [](float mine, float theirs) {
      return std::max(1.0 + static_cast<double>(theirs) - static_cast<double>(mine), 0.5);
    };
    for (std::size_t i = 0; i < n; ++i) {
      if (cut.index[i] < 0) continue;
      const CutCell& mine = cut.cells[static_cast<std::size_t>(cut.index[i])];
      if (const std::int32_t e = c.East(i); e >= 0) {
        c.te[i] *=
            mine.eastShare / apart(mine.centreX, cut.Of(static_cast<std::size_t>(e)).centreX);
      }
      if (const std::int32_t s = c.South(i); s >= 0) {
        c.ts[i] *=
            mine.southShare / apart(mine.centreY, cut.Of(static_cast<std::size_t>(s)).centreY);
      }
    }
    d.cutIndex = std::move(cut.index);
    d.cut = std::move(cut.cells);
  }
  return d;
}

/// Extreme fibres of each material, from the full-resolution picture.
void ComputeFibres(const PixelGrid& grid, const SectionBounds& bounds,
                   const std::vector<SolverMaterial>& materials, const SectionResult& section,
                   const ElasticCentre& centre, ThreadPool& pool,
                   std::vector<MaterialModuli>& moduli, const CoverageTable* coverage) {
  const double dx = section.Dx;
  const double dy = section.Dy;
  // The fibres are measured from the elastic centre, in pixel corner units, and along the
  // principal axes of the stiffnesses about it, as the stresses are.
  const double ncX = centre.x + 0.5;
  const double ncY = centre.y + 0.5;
  const double cosA = std::cos(centre.Alpha);
  const double sinA = std::sin(centre.Alpha);
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
    out.stressY = {per(E, all.minY, centre.EIyy), per(E, all.maxY, centre.EIyy)};
    out.stressZ = {per(E, all.minZ, centre.EIzz), per(E, all.maxZ, centre.EIzz)};
    out.stress1 = {per(E, all.min1, centre.EI1), per(E, all.max1, centre.EI1)};
    out.stress2 = {per(E, all.min2, centre.EI2), per(E, all.max2, centre.EI2)};
  }
}

// The elastic moduli of a section of one material (every material in use with E above 0 has
// the same E): nothing otherwise, where stresses depend on the material at each fibre.
std::optional<SectionModuli> SectionModuliOf(const std::vector<MaterialModuli>& materials,
                                             const ElasticCentre& centre) {
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
  // I / c at a fibre c from C; a fibre on the axis itself has no modulus (infinite: 0 stands
  // for "none" below, never a division by zero).
  const auto modulus = [E](double ei, double c) { return c != 0 ? ei / E / std::abs(c) : 0.0; };
  const double eiyy = centre.EIyy;
  const double eizz = centre.EIzz;
  const double ei1 = centre.EI1;
  const double ei2 = centre.EI2;
  SectionModuli w;
  w.E = E;
  // About the horizontal axis the stresses grow with z (EIzz); above C z is negative.
  w.HorizontalTop = modulus(eizz, z.min);
  w.HorizontalBottom = modulus(eizz, z.max);
  // About the vertical axis with y (EIyy), positive to the left of C.
  w.VerticalLeft = modulus(eiyy, y.max);
  w.VerticalRight = modulus(eiyy, y.min);
  w.Axis1 = modulus(ei1, std::max(std::abs(axis1.min), std::abs(axis1.max)));
  w.Axis2 = modulus(ei2, std::max(std::abs(axis2.min), std::abs(axis2.max)));
  return w;
}

}  // namespace qv
