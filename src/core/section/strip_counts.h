// Each pixel row's and column's pixel count per material: the section binned by depth, which
// every stress distribution that varies along one axis integrates over exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/scan/moments.h"
#include "core/section/section_result.h"

namespace qv {

/// Pixel counts per strip and material, strip-major, in 1/unit pixels.
struct StripCounts {
  int strips = 0;
  std::vector<std::int64_t> counts;  // counts[strip * materials + m]
  std::int64_t unit = 1;             // kCoverageUnit when the edges are read as coverage

  double Count(int strip, std::size_t materials, std::size_t m) const {
    return static_cast<double>(counts[static_cast<std::size_t>(strip) * materials + m]) /
           static_cast<double>(unit);
  }
};

/// Pixels of one colour forming a rectangle: equal runs in consecutive rows merged. Pixel
/// indices within the section box, half-open ([x0, x1) x [y0, y1)).
struct PixelRect {
  int x0 = 0;
  int x1 = 0;
  int y0 = 0;
  int y1 = 0;
  std::uint32_t colour = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct SectionStrips {
  StripCounts rows;     ///< one strip a pixel row of the section box, top down
  StripCounts columns;  ///< one strip a pixel column, left to right
  bool any = false;     ///< some pixel holds one of the materials
};

/// The section's pixels as the fibre analyses read them: the picture in memory, or the runs of
/// the materials' colours a streamed scan kept (SectionSession), and with `coverage` the shares
/// of the smoothed edges (then the picture in memory).
struct SectionPixels {
  const PixelGrid* grid = nullptr;
  const std::vector<PixelRun>* runs = nullptr;  ///< in row order; used instead of `grid`
  const CoverageTable* coverage = nullptr;
  /// Every pixel of `bounds` can be read.
  bool Cover(const SectionBounds& bounds) const;
};

/// The strips of the section box `bounds` for the materials of colours `colours`. With
/// `coverage`, a pixel adds its shares instead: `materialOf` gives the index in `colours` of
/// each material in use of the table (-1 for one that is not counted). With `rects`, the counted
/// pixels are also gathered there as rectangles, for strains varying in any direction.
SectionStrips CountStrips(const SectionPixels& pixels, const SectionBounds& bounds,
                          const std::vector<std::uint32_t>& colours,
                          const std::vector<int>& materialOf,
                          std::vector<PixelRect>* rects = nullptr);

}  // namespace qv
