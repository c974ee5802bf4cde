// The cracked service analysis of the drawn section: materials that take no tension (law
// no-tension, or a tension strength of 0) crack where they are stretched, every other material
// stays linear elastic, and the strain plane that carries the actions N, My and Mz is found by
// iteration.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/base/section_actions.h"
#include "core/library/law_table.h"
#include "core/library/strength_table.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// The strain plane eps = eps0 + ky y + kz z, y (to the left) and z (downwards) in mm from the
/// elastic centre of the whole section, as the linear stresses take it.
struct StrainPlane {
  double eps0 = 0;
  double ky = 0;  ///< 1/mm
  double kz = 0;  ///< 1/mm
};

/// The extremes of sigma over a material or the section, N/mm^2 (compression negative).
struct CrackedRange {
  double min = 0;
  double max = 0;
};

struct CrackedMaterial {
  std::string label;
  double E = 0;
  bool cracks = false;  ///< carries no tension
  /// Over the material's pixels (their corners: sigma is linear over each pixel's compressed
  /// part); none for a material without pixels in the section.
  std::optional<CrackedRange> sigma;
};

struct CrackedSection {
  SectionActions actions;  ///< N, My and Mz; the shear forces and torque play no part
  StrainPlane plane;
  SectionPoint centre;  ///< the whole section's elastic centre, mm from UL
  /// Two points of the line of zero strain where it crosses the section's box, mm from UL (Hor
  /// to the right, Ver downwards); none when the strain keeps its sign over the section.
  std::optional<std::array<SectionPoint, 2>> neutralAxis;
  CrackedRange sigma;
  /// Each material in use with E above 0, library order.
  std::vector<CrackedMaterial> materials;
  /// The stiffnesses of the carrying part (the compressed part of the cracking materials and
  /// the whole of the others) about its own elastic centre, in the signs of the analysis' EIyz.
  double EA = 0;
  double EIyy = 0;
  double EIzz = 0;
  double EIyz = 0;
  SectionPoint crackedCentre;  ///< that part's elastic centre, mm from UL
  int iterations = 0;          ///< Newton steps taken; 0 when nothing cracks
};

struct CrackedOutcome {
  std::optional<CrackedSection> values;
  std::string missing;  ///< one line, such as "the cracked section cannot carry the actions"
};

/// The cracked section of the materials in use of `library` on the pixels of `grid` in
/// `bounds`, with the pixel size, stiffnesses and elastic centre of `section`, under the N, My
/// and Mz of `actions`. A material with E above 0 cracks when its law in `laws` is no-tension or
/// its strength in `strengths` has a tension of 0. With `coverage`, a pixel holding shares counts
/// each by its share. With no cracking material in tension under the linear stresses, the plane
/// is exactly theirs. No values, `missing` saying why, when no strain plane carries the actions.
CrackedOutcome ComputeCracked(const PixelGrid& grid, const SectionBounds& bounds,
                              const TPROPClass& library, const StrengthTable& strengths,
                              const LawTable& laws, const SectionResult& section,
                              const SectionActions& actions,
                              const CoverageTable* coverage = nullptr);

}  // namespace qv
