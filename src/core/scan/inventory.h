// The colour inventory: every distinct colour of a picture with its pixel bounding box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/scan_support.h"

namespace qv {

class TPROPClass;

/// One distinct colour of a picture.
struct FoundColour {
  std::uint32_t value = 0;
  std::string label;  ///< ColourToLabel(value)
  int xmin = -1;
  int xmax = -1;
  int ymin = -1;
  int ymax = -1;
};

/// One distinct colour of a picture without its label (the label is built once, where it is kept).
struct ColourBounds {
  std::uint32_t value = 0;
  int xmin = -1;
  int xmax = -1;
  int ymin = -1;
  int ymax = -1;
  std::uint64_t pixels = 0;  ///< how many pixels have the colour
};

/// The unnamed colours an inventory left out (IgnoreDollarColours): how many, with how many
/// pixels in all.
struct LeftOutColours {
  std::size_t colours = 0;
  std::uint64_t pixels = 0;
};

/// Another scan that runs along with the inventory: shown each block of rows the inventory
/// reads, on the reading worker's thread (`worker` as in PixelRows::Visit).
using RowTap = std::function<void(int worker, const RowBlock& rows)>;

/// ScanColourBounds over `rows`, which may be read from the file as they are visited. Nothing
/// when `rows` has no grid and the picture holds millions of colours, whose discovery order
/// needs the whole picture in memory: the caller reads it whole and scans the grid. `tap`, when
/// given, sees every row exactly once when a result is returned (while the rows are at hand
/// when they come from a file). Throws the reader's qv::Error when rows cannot be read.
/// `unnamedLeftOut`, when given, receives the colours `ignoreDollarColours` left out.
std::optional<std::vector<ColourBounds>> ScanColourBounds(PixelRows& rows, bool ignoreDollarColours,
                                                          const ProgressFn& progress = {},
                                                          int threads = 0, const RowTap& tap = {},
                                                          LeftOutColours* unnamedLeftOut = nullptr);

/// ScanColours without the labels.
std::vector<ColourBounds> ScanColourBounds(const PixelGrid& grid, bool ignoreDollarColours,
                                           const ProgressFn& progress = {}, int threads = 0,
                                           LeftOutColours* unnamedLeftOut = nullptr);

/// Who is told how to list the unnamed colours an inventory left out.
enum class UnnamedColoursHint { SettingsDialog, AllOption, AllArgument };

/// The note for a listing that came out empty because all its `leftOut` colours are unnamed:
/// how many there are and how to list them. Nothing when the listing is not empty or nothing
/// was left out.
std::optional<std::string> UnnamedColoursNote(std::size_t listed, const LeftOutColours& leftOut,
                                              UnnamedColoursHint hint);

/// The note for a listing of `listed` colours beside which unnamed colours were left out, such
/// as a section painted (254, 0, 0) that looks red and is not clRed: how many pixels in how many
/// colours, and how to list them. Nothing when the listing is empty (UnnamedColoursNote tells
/// then) or nothing was left out.
std::optional<std::string> LeftOutColoursNote(std::size_t listed, const LeftOutColours& leftOut,
                                              UnnamedColoursHint hint);

/// The unnamed colours among `colours`, the most pixels first, at most `most` of them, as
/// "$000000FE (1200 pixels), $00FFFFFE (1 pixel)" with ", and 3 more" for the others; empty
/// when there are none.
std::string UnnamedColoursText(const std::vector<ColourBounds>& colours, std::size_t most);

/// Every distinct colour of `grid` in discovery order: the order in which a scan that runs
/// column by column (x outer, y inner) meets them first. With `ignoreDollarColours`, colours
/// without a name (labels starting with "$") are left out. The scan itself runs row by row
/// over up to `threads` threads (0 = all cores); the result does not depend on that.
std::vector<FoundColour> ScanColours(const PixelGrid& grid, bool ignoreDollarColours,
                                     const ProgressFn& progress = {}, int threads = 0);

}  // namespace qv
