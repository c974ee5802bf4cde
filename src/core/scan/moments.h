// Exact integer pixel moments of the materials' colours, gathered in one row-major scan.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/base/exact_sum.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/scan_support.h"

namespace qv {

class TPROPClass;
struct TPROPRec;

/// Exact integer pixel moments of one material in use.
struct MaterialMoments {
  const TPROPRec* entry = nullptr;  ///< the library entry the colour's label finds
  std::uint32_t colour = 0;
  double E = 0;
  double rho = 0;
  std::int64_t count = 0;  ///< pixels
  Int128 sumX = 0;         ///< sum of px
  Int128 sumY = 0;         ///< sum of py
  Int128 sumXX = 0;
  Int128 sumYY = 0;
  Int128 sumXY = 0;
  /// Read as coverage (SectionMoments::unit above 1): the pixels holding any share of the
  /// material. Not counted in the flat reading, where it is `count`.
  std::int64_t touched = 0;
};

/// Moments of every material in use, in library order.
struct SectionMoments {
  std::vector<MaterialMoments> materials;
  /// The counts and sums are in 1/unit of a pixel: 1 in the flat reading, kCoverageUnit where
  /// smoothed edges were read as partial coverage (core/scan/coverage.h).
  std::int64_t unit = 1;
  /// With unit above 1: the pixels holding a share of any material in use.
  std::int64_t touchedPixels = 0;
};

/// The pixels x0 .. x1 - 1 of row y, all of one colour.
struct PixelRun {
  int y = 0;
  int x0 = 0;
  int x1 = 0;
  std::uint32_t colour = 0;
  friend bool operator==(const PixelRun&, const PixelRun&) = default;
};

/// Adds the pixels x0 .. x1 (inclusive) of row y to `m`, exactly.
void AddRunMoments(MaterialMoments& m, int y, int x0, int x1);

/// The materials a scan counts, in library order, with zero moments: every entry in use that is
/// the newest of its label and whose label names a pixel colour. Other solvers on the same
/// pixels take their materials from here, so a pixel always means the same material.
std::vector<MaterialMoments> MaterialsInUse(const TPROPClass& library);

/// Every material a pixel colour can stand for, in use or not: the newest entry of each label
/// that names a pixel colour, in library order, with zero moments.
std::vector<MaterialMoments> MaterialsOfColours(const TPROPClass& library);

/// Moments gathered block by block: each worker adds its blocks of rows, and Result merges the
/// workers' sums in a fixed order. Pixels of colours that none of the materials has are
/// ignored.
class MomentsTally {
 public:
  /// For `materials` (with zero moments) and workers 0 .. workers - 1.
  MomentsTally(std::vector<MaterialMoments> materials, int workers);
  /// Keeps the runs of the materials' colours too, up to `limit` of them: a drawn section has a
  /// few per row, which lets the fibre analyses bin the section without holding the picture.
  void KeepRuns(std::size_t limit);
  void Add(int worker, const RowBlock& rows);
  SectionMoments Result() const;
  /// The runs kept, in row order and left to right in a row; none when not kept or when there
  /// were more than the limit.
  std::optional<std::vector<PixelRun>> Runs() const;

 private:
  int Find(std::uint32_t colour) const;
  std::vector<MaterialMoments> mMaterials;
  std::unordered_map<std::uint32_t, int> mByColour;
  std::vector<std::vector<MaterialMoments>> mPartial;
  std::size_t mRunLimit = 0;  // 0: runs are not kept
  std::vector<std::vector<PixelRun>> mRuns;
  std::atomic<bool> mTooManyRuns = false;
};

/// ScanMoments over rows that may be read from the file as they are visited. Throws the
/// reader's qv::Error when rows cannot be read.
SectionMoments ScanMoments(PixelRows& rows, const TPROPClass& library,
                           const ProgressFn& progress = {}, int threads = 0);

/// The moments of the materials in use of `library` (as ScanMoments gives them) taken from
/// `gathered`, moments of the same pixels gathered per colour; nothing when a colour in use is
/// missing there.
std::optional<SectionMoments> MomentsInUseFrom(const SectionMoments& gathered,
                                               const TPROPClass& library);

/// One scan of the grid: every pixel whose label finds (newest first) a library entry that is in
/// use adds to that entry's moments; everything else is ignored. Row-major, runs of equal
/// colours at once, split over up to `threads` threads (0 = all cores); the sums are exact
/// integers, so the result does not depend on the split.
SectionMoments ScanMoments(const PixelGrid& grid, const TPROPClass& library,
                           const ProgressFn& progress = {}, int threads = 0);

}  // namespace qv
