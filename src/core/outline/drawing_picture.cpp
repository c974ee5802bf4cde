// The drawing's picture of cells and the coverage reading's tables of it.
#include "core/outline/drawing_picture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>

namespace qv {
namespace {

int Channel(std::uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

std::uint32_t Pack(int r, int g, int b) {
  return static_cast<std::uint32_t>(std::clamp(r, 0, 255)) |
         static_cast<std::uint32_t>(std::clamp(g, 0, 255)) << 8U |
         static_cast<std::uint32_t>(std::clamp(b, 0, 255)) << 16U;
}

// The first colour at or near `wanted` that nothing uses yet: the blend itself, then its
// neighbours a few levels away, then any free colour. Every edge cell's colour then names its
// own shares, while the picture still looks like the blend.
std::uint32_t FreeColourNear(std::uint32_t wanted, std::unordered_set<std::uint32_t>& used,
                             std::uint32_t& next) {
  if (used.insert(wanted).second) return wanted;
  for (int d = 1; d <= 3; ++d) {
    for (int dr = -d; dr <= d; ++dr) {
      for (int dg = -d; dg <= d; ++dg) {
        for (int db = -d; db <= d; ++db) {
          const std::uint32_t c =
              Pack(Channel(wanted, 0) + dr, Channel(wanted, 8) + dg, Channel(wanted, 16) + db);
          if (used.insert(c).second) return c;
        }
      }
    }
  }
  while (!used.insert(next).second) ++next;
  return next;
}

}  // namespace

DrawingPicture PictureOfDrawing(OutlineDrawing drawing, double cellSize) {
  DrawingPicture picture;
  std::vector<std::uint32_t> colours;
  for (const OutlineShape& shape : drawing.shapes) {
    if (std::find(colours.begin(), colours.end(), shape.colour) == colours.end()) {
      colours.push_back(shape.colour);
    }
  }
  const double size = cellSize > 0 ? cellSize : CellSizeFor(BoxOf(drawing));
  picture.raster = RasteriseCoverage(drawing, colours, size);
  picture.drawing = std::move(drawing);
  LayCells(picture);
  return picture;
}

DrawingPicture KeepingOnly(const DrawingPicture& picture, std::optional<std::uint32_t> colour) {
  DrawingPicture kept;
  kept.drawing = picture.drawing;
  kept.raster.grid = picture.raster.grid;
  kept.raster.colours = picture.raster.colours;
  kept.raster.areas = picture.raster.areas;
  const auto cells = static_cast<std::size_t>(picture.raster.grid.columns) *
                     static_cast<std::size_t>(picture.raster.grid.rows);
  for (std::size_t m = 0; m < picture.raster.colours.size(); ++m) {
    if (colour && picture.raster.colours[m] == *colour) {
      kept.raster.shares.push_back(picture.raster.shares[m]);
    } else {
      kept.raster.shares.emplace_back(cells, 0);
      kept.raster.areas[m] = 0;
    }
  }
  LayCells(kept);
  return kept;
}

void LayCells(DrawingPicture& picture) {
  const std::vector<std::uint32_t>& colours = picture.raster.colours;
  picture.blends.clear();
  picture.colours.clear();
  picture.background = 0x00FFFFFF;
  std::unordered_set<std::uint32_t> used(colours.begin(), colours.end());
  while (used.count(picture.background) != 0) --picture.background;
  used.insert(picture.background);
  std::uint32_t next = 1;

  const OutlineGrid& g = picture.raster.grid;
  picture.grid = PixelGrid(g.columns, g.rows, UninitialisedPixels{});
  std::map<std::vector<std::pair<int, std::int32_t>>, std::uint32_t> keys;
  std::vector<std::pair<int, std::int32_t>> shares;
  const std::size_t planes = picture.raster.shares.size();
  std::vector<ColourBounds> found(planes);
  for (std::size_t m = 0; m < planes; ++m) found[m].value = colours[m];
  const auto grow = [&found](int m, int x, int y) {
    ColourBounds& b = found[static_cast<std::size_t>(m)];
    if (b.pixels++ == 0) {
      b.xmin = b.xmax = x;
      b.ymin = b.ymax = y;
      return;
    }
    // Rows come in order: only the columns and the last row can grow.
    b.xmin = std::min(b.xmin, x);
    b.xmax = std::max(b.xmax, x);
    b.ymax = y;
  };
  std::vector<const std::int32_t*> plane(planes);
  for (int y = 0; y < g.rows; ++y) {
    std::uint32_t* row = picture.grid.Row(y);
    const std::size_t offset = static_cast<std::size_t>(y) * g.columns;
    for (std::size_t m = 0; m < planes; ++m) plane[m] = picture.raster.shares[m].data() + offset;
    for (int x = 0; x < g.columns; ++x) {
      if (planes == 1) {
        // One colour: a cell is empty, whole, or an edge cell.
        const std::int32_t s = plane[0][x];
        if (s == 0) {
          row[x] = picture.background;
          continue;
        }
        grow(0, x, y);
        if (s == kCoverageUnit) {
          row[x] = colours[0];
          continue;
        }
      }
      // Most cells are empty or wholly of one colour: told apart before any list is made.
      int holding = 0;
      std::size_t first = 0;
      for (std::size_t m = 0; m < planes; ++m) {
        if (plane[m][x] > 0 && holding++ == 0) first = m;
      }
      if (holding == 0) {
        row[x] = picture.background;
        continue;
      }
      if (holding == 1 && plane[first][x] == kCoverageUnit) {
        grow(static_cast<int>(first), x, y);
        row[x] = colours[first];
        continue;
      }
      shares.clear();
      for (std::size_t m = 0; m < planes; ++m) {
        if (plane[m][x] > 0) shares.emplace_back(static_cast<int>(m), plane[m][x]);
      }
      if (planes > 1) {
        for (const auto& share : shares) grow(share.first, x, y);
      }
      auto [at, added] = keys.try_emplace(shares, 0);
      if (added) {
        // The blend of the colours and the background by their shares.
        double rgb[3] = {0, 0, 0};
        std::int64_t rest = kCoverageUnit;
        const auto mix = [&rgb](std::uint32_t c, double w) {
          for (int k = 0; k < 3; ++k) rgb[k] += w * Channel(c, 8 * k);
        };
        for (const auto& [m, s] : shares) {
          mix(colours[static_cast<std::size_t>(m)], static_cast<double>(s) / kCoverageUnit);
          rest -= s;
        }
        mix(picture.background, static_cast<double>(std::max<std::int64_t>(rest, 0)) /
                                    static_cast<double>(kCoverageUnit));
        const std::uint32_t wanted =
            Pack(static_cast<int>(std::lround(rgb[0])), static_cast<int>(std::lround(rgb[1])),
                 static_cast<int>(std::lround(rgb[2])));
        at->second = FreeColourNear(wanted, used, next);
        std::vector<CoverageShare> entry;
        entry.reserve(shares.size());
        for (const auto& [m, s] : shares) entry.push_back({m, s});
        picture.blends.emplace_back(at->second, std::move(entry));
      }
      row[x] = at->second;
    }
  }
  for (const ColourBounds& b : found) {
    if (b.pixels > 0) picture.colours.push_back(b);
  }
}

std::vector<ColourBounds> DrawingColours(const DrawingPicture& picture) { return picture.colours; }

OutlineBox BoxOfColours(const OutlineDrawing& drawing, const std::vector<std::uint32_t>& colours) {
  OutlineDrawing some;
  for (const OutlineShape& shape : drawing.shapes) {
    if (std::find(colours.begin(), colours.end(), shape.colour) != colours.end()) {
      some.shapes.push_back(shape);
    }
  }
  return BoxOf(some);
}

CoverageTable DrawingCoverage(const DrawingPicture& picture,
                              const std::vector<std::uint32_t>& materialColours) {
  // Material index by the raster's colour index; -1 for a colour of no material.
  const std::vector<std::uint32_t>& colours = picture.raster.colours;
  std::vector<int> materialOf(colours.size(), -1);
  for (std::size_t m = 0; m < colours.size(); ++m) {
    const auto at = std::find(materialColours.begin(), materialColours.end(), colours[m]);
    if (at != materialColours.end()) {
      materialOf[m] = static_cast<int>(at - materialColours.begin());
    }
  }
  std::vector<std::pair<std::uint32_t, std::vector<CoverageShare>>> blends;
  blends.reserve(picture.blends.size());
  for (const auto& [colour, shares] : picture.blends) {
    std::vector<CoverageShare> mapped;
    for (const CoverageShare& s : shares) {
      const int material = materialOf[static_cast<std::size_t>(s.material)];
      if (material >= 0) mapped.push_back({material, s.weight});
    }
    if (!mapped.empty()) blends.emplace_back(colour, std::move(mapped));
  }
  CoverageBox box;
  for (const ColourBounds& b : DrawingColours(picture)) {
    if (std::find(materialColours.begin(), materialColours.end(), b.value) ==
        materialColours.end()) {
      continue;
    }
    box.xmin = box.xmin < 0 ? b.xmin : std::min(box.xmin, b.xmin);
    box.ymin = box.ymin < 0 ? b.ymin : std::min(box.ymin, b.ymin);
    box.xmax = std::max(box.xmax, b.xmax);
    box.ymax = std::max(box.ymax, b.ymax);
  }
  return CoverageTable(blends, materialColours, box);
}

SectionMoments DrawingMoments(const DrawingPicture& picture,
                              std::vector<MaterialMoments> materials) {
  // The raster's planes of the materials, in their order; a material the drawing does not
  // show has none.
  const std::vector<std::uint32_t>& colours = picture.raster.colours;
  std::vector<const SharePlane*> planes;
  for (const MaterialMoments& m : materials) {
    const auto at = std::find(colours.begin(), colours.end(), m.colour);
    planes.push_back(at == colours.end()
                         ? nullptr
                         : &picture.raster.shares[static_cast<std::size_t>(at - colours.begin())]);
  }
  return MomentsOfPlanes(picture.raster.grid, planes, std::move(materials));
}

}  // namespace qv
