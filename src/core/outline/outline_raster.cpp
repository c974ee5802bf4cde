// Signed-area scan conversion of the material boundaries.
#include "core/outline/outline_raster.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/base/error.h"
#include "core/base/thread_pool.h"
#include "core/scan/coverage.h"
#include "core/section/integration.h"

namespace qv {
namespace {

// Adds the line from (x0, y0) to (x1, y1), in cell units with y downwards, to the rows `first`
// up to `end` of the band `acc` (each `stride` wide, its first row `first`): each cell gets the
// signed area the line sweeps to its right within the cell's row, and the running sum along a
// row is then the coverage of each cell.
void AccumulateLine(std::vector<double, DefaultInitAllocator<double>>& acc, int stride, int band,
                    int end, double x0, double y0, double x1, double y1) {
  if (y0 == y1) return;
  double dir = 1;
  if (y0 > y1) {
    dir = -1;
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const double dxdy = (x1 - x0) / (y1 - y0);
  const int first = std::max(band, static_cast<int>(std::floor(y0)));
  const int last = std::min(end, static_cast<int>(std::ceil(y1)));
  if (first >= last) return;
  // Where the line enters the band's first row it touches.
  double x = x0 + dxdy * (std::max(static_cast<double>(first), y0) - y0);
  for (int y = first; y < last; ++y) {
    double* line = &acc[static_cast<std::size_t>(y - band) * stride];
    const double dy = std::min(y + 1.0, y1) - std::max(static_cast<double>(y), y0);
    const double next = x + dxdy * dy;
    const double d = dy * dir;
    const double lo = std::min(x, next);
    const double hi = std::max(x, next);
    const double loFloor = std::floor(lo);
    const int loCell = static_cast<int>(loFloor);
    const double hiCeil = std::ceil(hi);
    const int hiCell = static_cast<int>(hiCeil);
    if (hiCell <= loCell + 1) {
      // Within one cell: the part right of the line's mean x goes to the next cell.
      const double right = 0.5 * (x + next) - loFloor;
      line[loCell] += d - d * right;
      line[loCell + 1] += d * right;
    } else {
      const double s = 1 / (hi - lo);
      const double loFrac = lo - loFloor;
      const double a0 = 0.5 * s * (1 - loFrac) * (1 - loFrac);
      const double hiFrac = hi - hiCeil + 1;
      const double am = 0.5 * s * hiFrac * hiFrac;
      line[loCell] += d * a0;
      if (hiCell == loCell + 2) {
        line[loCell + 1] += d * (1 - a0 - am);
      } else {
        const double a1 = s * (1.5 - loFrac);
        line[loCell + 1] += d * (a1 - a0);
        for (int xi = loCell + 2; xi < hiCell - 1; ++xi) line[xi] += d * s;
        const double a2 = a1 + (hiCell - loCell - 3) * s;
        line[hiCell - 1] += d * (1 - a2 - am);
      }
      line[hiCell] += d * am;
    }
    x = next;
  }
}

}  // namespace

OutlineGrid GridOver(const OutlineBox& box, double size) {
  if (!(size > 0) || !std::isfinite(size)) {
    throw Error("the pixel size must be a positive number of mm");
  }
  if (box.Empty()) throw Error("the drawing holds no closed outline");
  const double columns = std::max(1.0, std::ceil((box.xmax - box.xmin) / size));
  const double rows = std::max(1.0, std::ceil((box.ymax - box.ymin) / size));
  if (columns * rows > static_cast<double>(kMaxOutlineCells)) {
    throw Error("a pixel size of " + std::to_string(size) + " mm gives more than " +
                std::to_string(kMaxOutlineCells) + " cells");
  }
  return {box.xmin, box.ymax, size, static_cast<int>(columns), static_cast<int>(rows)};
}

double CellSizeFor(const OutlineBox& box, std::int64_t cells) {
  const double w = box.xmax - box.xmin;
  const double h = box.ymax - box.ymin;
  if (box.Empty() || cells <= 0) return 0;
  if (w <= 0 || h <= 0) return std::max(w, h) / static_cast<double>(cells);
  return std::sqrt(w * h / static_cast<double>(cells));
}

CoverageRaster RasteriseCoverage(const OutlineDrawing& drawing,
                                 const std::vector<std::uint32_t>& colours, double size) {
  CoverageRaster raster;
  const OutlineBox box = BoxOf(drawing);
  raster.grid = GridOver(box, size);
  raster.colours = colours;
  const OutlineGrid& g = raster.grid;
  const int stride = g.columns + 2;
  const auto cells = static_cast<std::size_t>(g.columns) * g.rows;
  // Arcs flattened within a quarter of a share unit of a cell: the chords then move no cell's
  // share by more than its rounding does.
  const double tolerance =
      std::min(kFlatteningTolerance * box.Size(), g.size / static_cast<double>(4 * kCoverageUnit));
  const std::vector<std::vector<BoundaryPiece>> boundaries = MaterialBoundaries(drawing, colours);

  // Rows in bands, so that the accumulated areas stay in the cache and cost no picture-sized
  // memory; every band sees every edge, which skips the bands it does not reach.
  constexpr int kBandRows = 64;
  ThreadPool pool(0);
  std::vector<DrawingPoint> points;
  std::vector<DrawingPoint> path;  // the boundary in cell units, two points per straight edge
  for (const std::vector<BoundaryPiece>& pieces : boundaries) {
    const auto toCells = [&](DrawingPoint p) {
      return DrawingPoint{std::clamp((p.x - g.x0) / g.size, 0.0, static_cast<double>(g.columns)),
                          std::clamp((g.yTop - p.y) / g.size, 0.0, static_cast<double>(g.rows))};
    };
    path.clear();
    // The closed integral of x dy in cell units; the converter counts the area the other way.
    double xdy = 0;
    for (const BoundaryPiece& piece : pieces) {
      points.clear();
      points.push_back(piece.a);
      if (piece.bulge != 0) {
        const ArcCircle c = CircleOfArc(piece.a, piece.b, piece.bulge);
        const double ratio = std::clamp(1 - tolerance / c.r, -1.0, 1.0);
        const double step = std::max(2 * std::acos(ratio), 1e-4);
        const int n = std::clamp(static_cast<int>(std::ceil(std::abs(c.sweep) / step)), 1, 1 << 20);
        for (int i = 1; i < n; ++i) {
          const double angle = c.start + c.sweep * i / n;
          points.push_back({c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)});
        }
      }
      points.push_back(piece.b);
      for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const DrawingPoint a = toCells(points[i]);
        const DrawingPoint b = toCells(points[i + 1]);
        path.push_back(a);
        path.push_back(b);
        xdy += 0.5 * (a.x + b.x) * (b.y - a.y);
      }
    }
    // The material lies left of its boundary, which turns clockwise once y points down; the
    // sign of x dy says which way the converter counts it.
    const double scale = (xdy > 0 ? -1.0 : 1.0) * static_cast<double>(kCoverageUnit);
    SharePlane plane(cells);
    // Bands in parts of the team, each part its own areas; the bands' sums added in order, so
    // that the area does not depend on the split.
    const int bands = (g.rows + kBandRows - 1) / kBandRows;
    std::vector<double> bandTotals(static_cast<std::size_t>(bands), 0.0);
    pool.Run([&](int part) {
      const auto [from, to] = ThreadPool::Slice(bands, part, pool.Parts());
      std::vector<double, DefaultInitAllocator<double>> acc(static_cast<std::size_t>(stride) *
                                                            kBandRows);
      for (std::int64_t b = from; b < to; ++b) {
        const int band = static_cast<int>(b) * kBandRows;
        const int end = std::min(g.rows, band + kBandRows);
        std::fill(acc.begin(), acc.begin() + static_cast<std::ptrdiff_t>(end - band) * stride, 0.0);
        for (std::size_t i = 0; i + 1 < path.size(); i += 2) {
          AccumulateLine(acc, stride, band, end, path[i].x, path[i].y, path[i + 1].x,
                         path[i + 1].y);
        }
        double total = 0;
        for (int y = band; y < end; ++y) {
          const double* line = &acc[static_cast<std::size_t>(y - band) * stride];
          std::int32_t* out = &plane[static_cast<std::size_t>(y) * g.columns];
          double run = 0;
          for (int x = 0; x < g.columns; ++x) {
            run += line[x];
            total += run;
            const double c = std::clamp(run * scale, 0.0, static_cast<double>(kCoverageUnit));
            // c is not negative: truncation is the floor, without a call per cell.
            out[x] = static_cast<std::int32_t>(c + 0.5);  // NOLINT(bugprone-incorrect-roundings)
          }
        }
        bandTotals[static_cast<std::size_t>(b)] = total;
      }
    });
    double total = 0;
    for (const double t : bandTotals) total += t;
    raster.areas.push_back(std::abs(total) * g.size * g.size);
    raster.shares.push_back(std::move(plane));
  }
  // Regions do not overlap, but shares rounded each on its own can add up to a unit and a bit.
  if (raster.shares.size() > 1) {
    for (std::size_t i = 0; i < cells; ++i) {
      std::int64_t sum = 0;
      std::size_t largest = 0;
      for (std::size_t m = 0; m < raster.shares.size(); ++m) {
        sum += raster.shares[m][i];
        if (raster.shares[m][i] > raster.shares[largest][i]) largest = m;
      }
      if (sum > kCoverageUnit) {
        raster.shares[largest][i] -= static_cast<std::int32_t>(sum - kCoverageUnit);
      }
    }
  }
  return raster;
}

SectionMoments MomentsOfRaster(const CoverageRaster& raster,
                               std::vector<MaterialMoments> materials) {
  std::vector<const SharePlane*> planes;
  for (const SharePlane& plane : raster.shares) planes.push_back(&plane);
  return MomentsOfPlanes(raster.grid, planes, std::move(materials));
}

SectionMoments MomentsOfPlanes(const OutlineGrid& g, const std::vector<const SharePlane*>& planes,
                               std::vector<MaterialMoments> materials) {
  SectionMoments moments;
  moments.unit = kCoverageUnit;
  const std::size_t used = std::min(materials.size(), planes.size());
  // Row by row, every material in turn: the cells touched need a row's flags only.
  std::vector<char> touched(static_cast<std::size_t>(g.columns));
  for (int y = 0; y < g.rows; ++y) {
    std::fill(touched.begin(), touched.end(), 0);
    const std::size_t row = static_cast<std::size_t>(y) * g.columns;
    for (std::size_t m = 0; m < used; ++m) {
      if (planes[m] == nullptr) continue;
      MaterialMoments& mm = materials[m];
      const std::int32_t* shares = planes[m]->data() + row;
      // Row sums first: the products grow no larger than a row's.
      Int128 count = 0;
      Int128 sumX = 0;
      Int128 sumXX = 0;
      for (int x = 0; x < g.columns; ++x) {
        const std::int64_t s = shares[x];
        if (s == 0) continue;
        touched[static_cast<std::size_t>(x)] = 1;
        ++mm.touched;
        count += s;
        sumX += static_cast<Int128>(s) * x;
        sumXX += static_cast<Int128>(s) * x * x;
      }
      mm.count += static_cast<std::int64_t>(count);
      mm.sumX += sumX;
      mm.sumXX += sumXX;
      mm.sumY += count * y;
      mm.sumYY += count * y * y;
      mm.sumXY += sumX * y;
    }
    for (const char t : touched) moments.touchedPixels += t;
  }
  moments.materials = std::move(materials);
  return moments;
}

SectionResult SectionResultOf(const OutlineSection& section,
                              const std::vector<MaterialMoments>& materials,
                              const OutlineGrid& grid, std::int64_t touchedCells) {
  SectionResult r;
  r.Dx = grid.size;
  r.Dy = grid.size;
  r.RelevantPixels = touchedCells;
  r.EA = section.EA;
  r.Mass = section.Mass;
  // A cell's index is its distance from the grid's corner in cells less a half, on average over
  // the cell: the scan's sums of indices times the cell size.
  const double h = grid.size;
  for (std::size_t i = 0; i < materials.size() && i < section.regions.size(); ++i) {
    const AreaMoments& a = section.regions[i];
    const double hor = a.Sx - grid.x0 * a.A - 0.5 * h * a.A;
    const double ver = grid.yTop * a.A - a.Sy - 0.5 * h * a.A;
    r.SumEHor += materials[i].E * hor;
    r.SumEVer += materials[i].E * ver;
    r.SumRhoHor += materials[i].rho * hor / 1e9;
    r.SumRhoVer += materials[i].rho * ver / 1e9;
  }
  // The scan rounds the mean cell index halves to even; a centre on a cell line (a symmetric
  // section) is taken as on it, not a rounding error beside it.
  const auto index = [](double cells) {
    const double mean = cells - 0.5;
    const double half = std::floor(mean) + 0.5;
    return static_cast<int>(std::nearbyint(std::abs(mean - half) <= 1e-9 ? half : mean));
  };
  const auto cellOf = [&](DrawingPoint p) {
    return PixelPoint{index((p.x - grid.x0) / h), index((grid.yTop - p.y) / h)};
  };
  if (section.EA != 0) r.NC = cellOf(section.centre);
  if (section.Mass != 0) r.MC = cellOf(section.massCentre);
  // About the exact elastic centre: the section's own values, which NC only marks to a cell.
  r.EIyy = section.EIyy;
  r.EIzz = section.EIzz;
  r.EIyz = section.EIyz;
  r.AboutExactCentre = true;
  // Exact integrals hold every cell's own second moment already, as coverage does.
  r.Coverage = true;
  ComputePrincipalAxes(r);
  return r;
}

}  // namespace qv
