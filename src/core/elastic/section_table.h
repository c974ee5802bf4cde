// The section-table line: the values a steel table lists for a section of one material, gathered
// from the analysis, the extended values and the plastic moduli.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/elastic/section_solver.h"
#include "core/section/design_value.h"
#include "core/section/plastic.h"
#include "core/section/section_result.h"

namespace qv {

/// A section of one material as a steel table lists it, in mm. Second moments, moduli and radii
/// are about the horizontal and the vertical axis through the elastic centre C (the axes a table
/// calls y and z); the elastic moduli are those of the fibre that yields first.
struct SectionTableLine {
  double area = 0;                    ///< A, mm^2
  double secondMomentHorizontal = 0;  ///< I about the horizontal axis, mm^4 (EIzz / E)
  double secondMomentVertical = 0;    ///< I about the vertical axis, mm^4 (EIyy / E)
  double torsion = 0;                 ///< It = GJ / G, mm^4
  double warping = 0;                 ///< Iw = EIw / E about the shear centre, mm^6
  double elasticHorizontal = 0;       ///< Wel about the horizontal axis, mm^3
  double elasticVertical = 0;         ///< Wel about the vertical axis, mm^3
  double plasticHorizontal = 0;       ///< Wpl about the horizontal axis, mm^3
  double plasticVertical = 0;         ///< Wpl about the vertical axis, mm^3
  double radiusHorizontal = 0;        ///< i about the horizontal axis, mm
  double radiusVertical = 0;          ///< i about the vertical axis, mm
  double shearAreaY = 0;              ///< Av for shear along y (horizontal), mm^2
  double shearAreaZ = 0;              ///< Av for shear along z (vertical), mm^2
  /// The shear centre from C, mm: y positive to the left, z downwards (as the extended values'
  /// axes, but from C itself rather than from the rounded NC).
  double shearCentreY = 0;
  double shearCentreZ = 0;
  double betaY = 0;  ///< monosymmetry constant, bending about the horizontal axis, mm
  double betaZ = 0;  ///< the same about the vertical axis, mm
};

/// The line, or why a section has none.
struct SectionTableOutcome {
  std::optional<SectionTableLine> line;
  std::string missing;  ///< one line, such as "the section is made of several materials ..."
};

/// The line of the section analysed in `section` with its extended values `elastic` and the
/// plastic values `plastic` of the same pixels, which must hold Wpl (one strength for the whole
/// section; its size does not matter). A section whose carrying materials (E above 0) differ in E
/// or G has none: its area and moduli have no single-material meaning, and `missing` says so
/// naming the materials' labels; nor has one without a material with E above 0, or a `plastic`
/// without Wpl.
SectionTableOutcome SectionTableOf(const SectionResult& section, const ElasticResult& elastic,
                                   const PlasticOutcome& plastic);

/// One value of the line: its stable key (JSON and CSV, with its unit) and the row of the design
/// values' table it is shown as.
struct SectionTableEntry {
  std::string_view key;  ///< "a_mm2", "i_horizontal_axis_mm4", ...
  DesignValue value;
};

/// The line's values in the order a table lists them, named as `convention` names the axes (1
/// EURO-code: Iy about the horizontal axis; otherwise by the coordinate the stresses grow along,
/// Iz about the horizontal axis); written in `units`, and in N-mm areas, moduli, second moments
/// and radii also in cm^n.
std::vector<SectionTableEntry> SectionTableEntries(const SectionTableLine& line,
                                                   SignConvention convention,
                                                   UnitSystem units = UnitSystem::NMm);

/// The group of the extended values' block, its first line blank: a title and a line per value
/// as the design values' lines are written. Numbers are written without regard to the locale.
std::vector<std::string> SectionTableReport(const SectionTableLine& line, SignConvention convention,
                                            UnitSystem units = UnitSystem::NMm);

}  // namespace qv
