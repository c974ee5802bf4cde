// Recognising a drawing saved with smoothing (anti-aliasing): its edges carry colours blended
// from the colours on either side, whose pixels belong to no material and silently drop out of
// an analysis. The batch tool tells the user once per picture.
//
// The rule, on 4-neighbours (left, right, above, below; outside the picture does not count):
// - An edge pixel touches a pixel of another colour.
// - A material colour has at least one pixel that is not an edge pixel. The background is one.
// - An in-between colour has edge pixels only, and lies between two of the colours it touches:
//   every channel within the range of theirs, as a blend of the two does. A line one pixel wide
//   on one background touches that background alone; a line of a colour of its own between two
//   materials is not between them. Neither is taken for smoothing.
// - A material colour is smoothed when more than 1 % of its edge pixels touch an in-between
//   colour.
// Pictures of more than kMaxEdgeColours colours are not examined: no drawing has that many, and
// a photograph needs no note.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/base/colour_label.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"

namespace qv {

/// Most colours a picture may have for FindEdgeSmoothing to examine it.
constexpr std::size_t kMaxEdgeColours = std::size_t{1} << 18;

/// A material colour found smoothed.
struct SmoothedColour {
  ColourValue value = 0;
  std::int64_t edgePixels = 0;      ///< its edge pixels
  std::int64_t touchingPixels = 0;  ///< of them, those touching an in-between colour
};

/// What FindEdgeSmoothing found.
struct EdgeSmoothing {
  /// The smoothed material colours, most pixels first (then by value).
  std::vector<SmoothedColour> smoothed;
  std::int64_t inBetweenColours = 0;  ///< number of in-between colours in the picture
  std::int64_t inBetweenPixels = 0;   ///< their pixels
};

/// Applies the rule above to `grid`.
EdgeSmoothing FindEdgeSmoothing(const PixelGrid& grid);
/// The same over rows that may be read from the file (twice, top to bottom, on this thread);
/// throws the reader's qv::Error when rows cannot be read.
EdgeSmoothing FindEdgeSmoothing(PixelRows& rows);

/// FindEdgeSmoothing for a scan that reads the rows anyway (the batch tool's listing, whose one
/// decoding of a PNG file also makes the first pass): Feed it the blocks of every row, in order
/// from the top; Result then gives what FindEdgeSmoothing(rows) gives, visiting `rows` again only
/// for the second pass (a picture with in-between colours). Throws as FindEdgeSmoothing does.
class EdgeSmoothingScan {
 public:
  EdgeSmoothingScan(int width, int height);
  ~EdgeSmoothingScan();
  EdgeSmoothingScan(EdgeSmoothingScan&&) noexcept;
  EdgeSmoothingScan& operator=(EdgeSmoothingScan&&) noexcept;
  EdgeSmoothingScan(const EdgeSmoothingScan&) = delete;
  EdgeSmoothingScan& operator=(const EdgeSmoothingScan&) = delete;

  /// The next block of rows: the first one starts at row 0, each further one where the last
  /// ended.
  void Feed(const RowBlock& block);
  /// True once more rows would change nothing: the picture is empty or has more than
  /// kMaxEdgeColours colours, so the result is "not smoothed".
  bool Done() const;
  /// The finding, once every row was fed; the scan is spent then.
  EdgeSmoothing Result(PixelRows& rows);

 private:
  struct State;
  std::unique_ptr<State> mState;
};

/// What a note on a smoothed picture tells the user to do.
enum class EdgeSmoothingHint {
  SaveWithoutSmoothing,  ///< draw and save it again without smoothing (the batch tool)
  CoverageSetting,       ///< or let the window read the edges as coverage (its settings)
};

/// The one-line note for a picture in which smoothing was found (nothing otherwise), e.g.
/// "the picture looks smoothed (anti-aliased): 212 colours with 1830 pixels lie only along the
/// edges of clRed and clWhite and belong to no material; save the drawing without smoothing (see
/// "Drawing a section" in the manual)". At most three colours are named ("and 2 more").
std::optional<std::string> EdgeSmoothingNote(const EdgeSmoothing& found);
/// The note for the window, one line of its status bar: "Smoothed edges: 1830 blended pixels
/// belong to no material; tick \"read smoothed edges as coverage\" in Info > About ...
/// settings".
std::optional<std::string> EdgeSmoothingNote(const EdgeSmoothing& found, EdgeSmoothingHint hint);

}  // namespace qv
