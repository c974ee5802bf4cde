// A pass over the section's runs of pixels, counting rows directly and columns by steps.
#include "core/section/strip_counts.h"

#include <algorithm>

#include "core/scan/scan_support.h"

namespace qv {

bool SectionPixels::Cover(const SectionBounds& bounds) const {
  if (bounds.Unset() || bounds.xmin < 0 || bounds.ymin < 0) return false;
  if (runs != nullptr && coverage == nullptr) return true;
  return grid != nullptr && bounds.xmax < grid->Width() && bounds.ymax < grid->Height();
}

SectionStrips CountStrips(const SectionPixels& pixels, const SectionBounds& bounds,
                          const std::vector<std::uint32_t>& colours,
                          const std::vector<int>& materialOf, std::vector<PixelRect>* rects) {
  const CoverageTable* coverage = pixels.coverage;
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
  std::size_t next = 0;
  const auto nextRow = [&] {
    open.swap(continued);
    continued.clear();
    next = 0;
  };
  const auto gather = [&](int row, int x, int end, std::uint32_t colour) {
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
  // A flat run of a material's colour, `x` and `end` from the box's left edge.
  const auto addRun = [&](int row, int x, int end, std::uint32_t colour) {
    const auto found = std::find(colours.begin(), colours.end(), colour);
    if (found == colours.end()) return;
    strips.any = true;
    const auto m = static_cast<std::size_t>(found - colours.begin());
    strips.rows.counts[static_cast<std::size_t>(row) * materials + m] += end - x;
    steps[static_cast<std::size_t>(x) * materials + m] += 1;
    steps[static_cast<std::size_t>(end) * materials + m] -= 1;
    gather(row, x, end, colour);
  };
  const bool fromRuns = pixels.runs != nullptr && coverage == nullptr;
  if (fromRuns) {
    int lastRow = -1;
    for (const PixelRun& run : *pixels.runs) {
      if (run.y < bounds.ymin || run.y > bounds.ymax) continue;
      const int x = std::max(run.x0, bounds.xmin) - bounds.xmin;
      const int end = std::min(run.x1, bounds.xmax + 1) - bounds.xmin;
      if (x >= end) continue;
      const int row = run.y - bounds.ymin;
      if (row != lastRow) nextRow();
      lastRow = row;
      addRun(row, x, end, run.colour);
    }
  }
  for (int row = 0; !fromRuns && row < height; ++row) {
    const std::uint32_t* line = pixels.grid->Row(bounds.ymin + row) + bounds.xmin;
    for (int x = 0; x < width;) {
      const int end = RunEnd(line, x + 1, width, line[x]);
      if (coverage == nullptr) {
        addRun(row, x, end, line[x]);
        x = end;
        continue;
      }
      // Each share adds its part of the run's pixels.
      bool counted = false;
      for (const CoverageShare& share : coverage->Shares(line[x])) {
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
      if (counted) gather(row, x, end, line[x]);
      x = end;
    }
    nextRow();
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
