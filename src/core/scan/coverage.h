// Reading smoothed (anti-aliased) edges as partial coverage: a blended edge pixel is a pixel
// partly covered by the material, and counts as that part of it.
//
// The flat colours ("anchors") are the material colours of edge_smoothing.h's rule -- colours
// with at least one pixel that is not an edge pixel -- and the colours of the materials in use,
// whatever their shape. The anchors that are not in use are the background (white, and any
// other flat colour left off the material list): their shares count for nothing. Every other
// colour is examined as a blend:
// - of two anchors a and b: its share t of a is the least-squares projection, in RGB, of the
//   colour onto the segment from b to a. The blend fits when every channel lies within one
//   level of t a + (1 - t) b (the 8-bit rounding of a blend, with a level to spare). Of several
//   pairs that fit, the shortest segment wins -- on a row of grey steps a pixel blends the two
//   steps beside it, not the ends -- then the smaller residual.
// - of three anchors, only when no pair fits (a corner where three colours meet): the
//   barycentric least-squares weights, none below 0, with the same one-level test.
// A colour that fits neither stays unknown and counts for nothing, as in the flat reading.
//
// Shares are integer weights out of kCoverageUnit that add up to kCoverageUnit over a blend's
// anchors, so the moments of a picture stay exact integers: each colour's moments are gathered
// once, and a material's moments are the weighted sums of its colours' moments.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/moments.h"
#include "core/scan/scan_support.h"

namespace qv {

/// A pixel wholly of one material weighs this much; a blended pixel its share of it.
inline constexpr std::int64_t kCoverageUnit = 65536;

/// One colour of a picture as the coverage reading needs it.
struct PictureColour {
  std::uint32_t value = 0;
  bool inside = false;  ///< has a pixel that is not an edge pixel (edge_smoothing.h)
  int xmin = -1;
  int ymin = -1;
  int xmax = -1;
  int ymax = -1;
  MaterialMoments moments;  ///< its pixels (count) and their exact moments
};

/// Every colour of a picture, by value.
struct PictureColours {
  std::vector<PictureColour> colours;
};

/// One scan of `grid` gathering every colour's pixels, box, exact moments and whether it has a
/// pixel that is not an edge pixel; row bands on up to `threads` threads (0 = all cores), with
/// the same result for any split. Nothing for a picture of more than kMaxEdgeColours colours:
/// no drawing has that many.
std::optional<PictureColours> ScanPictureColours(const PixelGrid& grid,
                                                 const ProgressFn& progress = {}, int threads = 0);

/// ScanPictureColours for a scan that reads the rows anyway, or for rows read from the file as
/// they are visited: Feed it every row once, in blocks, from up to `workers` workers at once
/// (each worker from one thread at a time). The blocks one worker is fed one after the other
/// that follow on row for row make up a span; a span's first and last rows are looked at with
/// the rows of the spans beside them once those are fed, so only a few rows are ever copied.
/// Result then gives what ScanPictureColours of the whole picture gives.
class PictureColoursScan {
 public:
  PictureColoursScan(int width, int height, int workers);
  ~PictureColoursScan();
  PictureColoursScan(PictureColoursScan&&) noexcept;
  PictureColoursScan& operator=(PictureColoursScan&&) noexcept;
  PictureColoursScan(const PictureColoursScan&) = delete;
  PictureColoursScan& operator=(const PictureColoursScan&) = delete;

  void Feed(int worker, const RowBlock& block);
  /// Once every row was fed; the scan is spent then.
  std::optional<PictureColours> Result();

 private:
  struct State;
  std::unique_ptr<State> mState;
};

/// ScanPictureColours over rows that may be read from the file as they are visited (one pass);
/// throws the reader's qv::Error when rows cannot be read.
std::optional<PictureColours> ScanPictureColours(PixelRows& rows, const ProgressFn& progress = {},
                                                 int threads = 0);

/// A material's share of a colour: `weight` out of kCoverageUnit.
struct CoverageShare {
  int material = 0;  ///< index into the material colours the table was made for
  std::int64_t weight = 0;
};

/// The pixel box of the pixels holding a share of some material; -1 on all sides when none.
struct CoverageBox {
  int xmin = -1;
  int ymin = -1;
  int xmax = -1;
  int ymax = -1;
};

/// The shares of the materials in every colour of one picture, for one list of materials.
class CoverageTable {
 public:
  CoverageTable() = default;
  /// For the materials of `materialColours` (material i has colour materialColours[i]).
  CoverageTable(const PictureColours& picture, const std::vector<std::uint32_t>& materialColours);
  /// Shares known beforehand (a drawing's exact coverage): each colour of `blends` holds its
  /// materials' shares (material index into `materialColours`, weight; the largest three are
  /// kept), each material colour its whole material; `box` the pixels holding any share.
  CoverageTable(const std::vector<std::pair<std::uint32_t, std::vector<CoverageShare>>>& blends,
                const std::vector<std::uint32_t>& materialColours, const CoverageBox& box);

  /// The materials' shares of `colour`, largest first; none for a colour of no material.
  std::span<const CoverageShare> Shares(std::uint32_t colour) const;
  /// Colours read as blends holding a share of some material, and their pixels.
  std::int64_t BlendColours() const { return mBlendColours; }
  std::int64_t BlendPixels() const { return mBlendPixels; }
  const CoverageBox& Box() const { return mBox; }

 private:
  struct Entry {
    int count = 0;
    std::array<CoverageShare, 3> shares{};
  };
  std::unordered_map<std::uint32_t, Entry> mShares;
  std::int64_t mBlendColours = 0;
  std::int64_t mBlendPixels = 0;
  CoverageBox mBox;
};

/// The colours of `materials` (MaterialsInUse order), for a CoverageTable of them.
std::vector<std::uint32_t> ColoursOf(const std::vector<MaterialMoments>& materials);

/// `materials` (with zero moments) given the moments of their shares of every colour of
/// `picture`: unit kCoverageUnit, `touched` and touchedPixels the pixels holding any share.
SectionMoments CoverageMoments(const PictureColours& picture, const CoverageTable& table,
                               std::vector<MaterialMoments> materials);

}  // namespace qv
