// A pass over the section's runs of pixels, counting rows directly and columns by steps.
#include "core/section/strip_counts.h"

#include <algorithm>

#include "core/scan/scan_support.h"

namespace qv {

SectionStrips CountStrips(const PixelGrid& grid, const SectionBounds& bounds,
                          const std::vector<std::uint32_t>& colours,
                          const std::vector<int>& materialOf, const CoverageTable* coverage,
                          std::vector<PixelRect>* rects) {
  const int width = bounds.WidthPixels();
  const int height = bounds.HeightPixels();
  const std::size_t materials = colours.size();
  SectionStrips strips;
  strips.rows = {height, std::vector<std::int64_t>(static_cast<std::size_t>(height) * materials)};
  strips.columns = {width, std::vector<std::int64_t>(static_cast<std::size_t>(width) * materials)};
  // A run adds its length to its row and one to each of its columns; the columns' ones go in as
  // steps at the run's two ends and are summed across at the end.
  std::vector<std::int64_t> steps((static_cast<std::size_t>(width) + 1) * materials, 0);
  if (coverage != nullptr) strips.rows.unit = strips.columns.unit = kCoverageUnit;
  // The rectangles still open (reaching the previous row), in the order of their runs, so that a
  // run finds the one it continues by walking along with it.
  std::vector<std::size_t> open;
  std::vector<std::size_t> continued;
  const auto gather = [&](int row, int x, int end, std::uint32_t colour, std::size_t& next) {
    if (rects == nullptr) return;
    while (next < open.size() && (*rects)[open[next]].x0 < x) ++next;
    if (next < open.size()) {
      PixelRect& r = (*rects)[open[next]];
      if (r.x0 == x && r.x1 == end && r.colour == colour && r.y1 == row) {
        r.y1 = row + 1;
        continued.push_back(open[next]);
        return;
      }
    }
    continued.push_back(rects->size());
    rects->push_back({x, end, row, row + 1, colour});
  };
  for (int row = 0; row < height; ++row) {
    const std::uint32_t* pixels = grid.Row(bounds.ymin + row) + bounds.xmin;
    std::size_t next = 0;
    continued.clear();
    for (int x = 0; x < width;) {
      const int end = RunEnd(pixels, x + 1, width, pixels[x]);
      if (coverage != nullptr) {
        // Each share adds its part of the run's pixels.
        bool counted = false;
        for (const CoverageShare& share : coverage->Shares(pixels[x])) {
          const int c = materialOf[static_cast<std::size_t>(share.material)];
          if (c < 0) continue;
          counted = true;
          strips.any = true;
          const auto m = static_cast<std::size_t>(c);
          strips.rows.counts[static_cast<std::size_t>(row) * materials + m] +=
              (end - x) * share.weight;
          steps[static_cast<std::size_t>(x) * materials + m] += share.weight;
          steps[static_cast<std::size_t>(end) * materials + m] -= share.weight;
        }
        if (counted) gather(row, x, end, pixels[x], next);
        x = end;
        continue;
      }
      const auto colour = std::find(colours.begin(), colours.end(), pixels[x]);
      if (colour != colours.end()) {
        strips.any = true;
        const auto m = static_cast<std::size_t>(colour - colours.begin());
        strips.rows.counts[static_cast<std::size_t>(row) * materials + m] += end - x;
        steps[static_cast<std::size_t>(x) * materials + m] += 1;
        steps[static_cast<std::size_t>(end) * materials + m] -= 1;
        gather(row, x, end, pixels[x], next);
      }
      x = end;
    }
    open.swap(continued);
  }
  for (std::size_t m = 0; m < materials; ++m) {
    std::int64_t running = 0;
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      running += steps[x * materials + m];
      strips.columns.counts[x * materials + m] = running;
    }
  }
  return strips;
}

}  // namespace qv
