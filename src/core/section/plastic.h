// Plastic moments of the drawn section: rigid-plastic stress blocks of each material about the
// horizontal and the vertical axis through the plastic neutral axis.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/library/strength_table.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// Fully plastic bending about one axis (horizontal: a row of the picture; vertical: a column),
/// in both directions. "First" is the part above a horizontal axis or left of a vertical one,
/// "second" the part below or right of it.
struct PlasticAxis {
  /// Mpl with the first part in compression and the second in tension, N mm (at least 0).
  double mplFirstCompressed = 0;
  /// Mpl with the second part in compression, N mm.
  double mplSecondCompressed = 0;
  /// Where the plastic neutral axis lies for each of the two: mm from the top edge of the
  /// section box (horizontal axis) or from its left edge (vertical axis).
  double axisFirstCompressed = 0;
  double axisSecondCompressed = 0;
  /// Wpl = Mpl / fy, mm^3: only when every material carrying load has one strength fy > 0 in
  /// compression and tension, when both directions give the same Mpl.
  std::optional<double> wpl;
  /// Wpl / Wel, with Wel = EI / (E c) of the first material to yield elastically (c its fibre
  /// farthest from the elastic centre, EI the drawn area's about it, as the elastic moduli take
  /// them): only with wpl and an EI above 0.
  std::optional<double> shapeFactor;
};

/// The plastic values of a section.
struct PlasticSection {
  PlasticAxis horizontal;    ///< bending about a horizontal axis: stresses vary down the section
  PlasticAxis vertical;      ///< bending about a vertical axis: stresses vary across it
  std::optional<double> fy;  ///< the one strength of every material, N/mm^2, when there is one
  /// The label and strength of each material carrying load, in library order.
  std::vector<std::pair<std::string, Strength>> strengths;
};

/// The plastic values, or the reason there are none.
struct PlasticOutcome {
  std::optional<PlasticSection> values;
  std::string missing;  ///< one line, such as "no strength given for clBlue"; empty with values
};
/// The largest strength of the carriers (anything with a `strength`), N/mm^2: the scale the
/// moments are summed in, 1 where none has any (every block is 0 whatever the scale).
template <typename Carriers>
double StrengthScale(const Carriers& carriers) {
  double scale = 0;
  for (const auto& c : carriers) {
    scale = std::max({scale, c.strength.compression, c.strength.tension});
  }
  return scale > 0 ? scale : 1;
}

/// The strength every carrier has in compression and in tension alike, or 0 where they differ:
/// Wpl and the shape factor are of one strength only.
template <typename Carriers>
double SingleStrength(const Carriers& carriers) {
  const double fy = carriers.front().strength.compression;
  const bool one = fy > 0 && std::all_of(carriers.begin(), carriers.end(), [&](const auto& c) {
                     return c.strength.compression == fy && c.strength.tension == fy;
                   });
  return one ? fy : 0.0;
}

/// Why `values`, summed at `scale`, cannot stand: a moment beyond the range of numbers.
std::optional<std::string> BeyondRange(const PlasticSection& values, double scale);

/// The plastic moments of the materials in use of `library` on the pixels of `grid` in `bounds`,
/// with the pixel size, NC and EI values of `section` (the analysis of the same pixels). Every
/// pixel of a material with E above 0 yields at its strength from `strengths`: in compression on
/// one side of the axis, in tension on the other. Materials with E = 0 (holes drawn in a colour)
/// carry nothing and need no strength. The axis is where the forces balance; it is found
/// exactly from each row's (column's) pixel count per material, splitting the row it cuts.
/// Where the balance holds over a band of rows that carry nothing (a gap between two parts),
/// the axis lies in the middle of that band; the moment is the same anywhere in it.
/// A material carrying load without a strength leaves no values: `missing` names every such
/// label ("no strength given for clBlue, clLime"), as does a section without a material with
/// E above 0, and strengths so large that a moment lies beyond the range of numbers ("the
/// moments lie beyond the range of numbers with strengths up to 1E308 N/mm^2"); the axis does
/// not depend on the strengths' size and is always found. With `coverage` (smoothed edges read as
/// coverage, a table for the materials in use) a pixel holds its materials by their shares and
/// yields with those parts of its area.
PlasticOutcome ComputePlasticSection(const PixelGrid& grid, const SectionBounds& bounds,
                                     const TPROPClass& library, const StrengthTable& strengths,
                                     const SectionResult& section,
                                     const CoverageTable* coverage = nullptr);

}  // namespace qv
