// The texts of the result box and the plain-text report.
#pragma once

#include <string>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// Texts of the values ComputeCentres sets.
struct CentreTexts {
  std::string relevantPixels = "0";  ///< Label44
  std::string ea = "0";              ///< Label23: FormatGeneral(EA, 5, 3)
  std::string ncHor = "0";           ///< Label24: |NC.x - xmin| * Dx, FormatFixed(., 8, 2)
  std::string ncVer = "0";           ///< Label25
  std::string mass = "0";            ///< Label47: Mass * 1000, FormatGeneral(., 5, 1)
  std::string mcHor = "0";           ///< Label12
  std::string mcVer = "0";           ///< Label45
};

/// Texts and hints of the values ComputeStiffness sets.
struct StiffnessTexts {
  std::string eiyy = "0";   ///< Label26
  std::string eizz = "0";   ///< Label27
  std::string eiyz = "0";   ///< Label40
  std::string alpha = "0";  ///< Label56: "iso" or degrees with one decimal
  std::string ei1 = "0";    ///< Label50
  std::string ei2 = "0";    ///< Label53
  std::string hintEA = "0";
  std::string hintEIyy = "0";
  std::string hintEIzz = "0";
  std::string hintEIyz = "0";
  std::string hintEI1 = "0";
  std::string hintEI2 = "0";
};

/// The texts in `units` (EA a force, the positions lengths); the mass stays in kg/m.
CentreTexts FormatCentreTexts(const SectionResult& result, const SectionBounds& bounds,
                              UnitSystem units = UnitSystem::NMm);

/// The stiffness texts in `units`, of EI1 and EI2 as ApplyAngleTolerance left them; the common
/// scale is chosen on the converted values.
StiffnessTexts FormatStiffnessTexts(const SectionResult& result,
                                    UnitSystem units = UnitSystem::NMm);

/// What the report needs besides the value texts.
struct ReportInput {
  std::string picturePath;   ///< the report shows the file name without the folder
  std::string widthPixels;   ///< text of Label34
  std::string heightPixels;  ///< text of Label36
  std::string widthField;    ///< the width field's text as typed (mm)
  std::string heightField;   ///< the height field's text as typed (mm)
  std::string pixelSize;     ///< the mm per pixel the sizes came from; empty: they were typed
  const TPROPClass* library = nullptr;  ///< nullptr: the report holds its first two lines only
  SignConvention signConvention =
      SignConvention::DorvastPelkam;  ///< other values: no stiffness lines
  /// The units the value texts were formatted in; the sizes and materials stay as typed.
  UnitSystem units = UnitSystem::NMm;
};

/// The report's lines, without line ends.
std::vector<std::string> SectionReport(const CentreTexts& centre, const StiffnessTexts& stiffness,
                                       const ReportInput& input);

/// The report's last line, after a blank one, when smoothed edges were read as coverage; the
/// report of the flat reading has none.
inline constexpr const char* kCoverageReportLine =
    "Edge pixels: smoothed edges read as partial coverage (edges = coverage)";
/// The line closing the report of a drawing.
inline constexpr const char* kOutlineReportLine =
    "Geometry: section values from the outlines (exact); torsion, shear and stresses on the "
    "cells, read as their exact coverage (geometry = outline)";

/// Joins lines with CR LF after each line, as on the clipboard.
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace qv
