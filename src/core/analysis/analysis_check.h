// The rules an analysis request must keep, each stated once: the batch tool applies them to its
// options as it reads them (naming the option in its refusal), the Python module and the window
// to the request they fill (in the core's words alone).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/analysis_request.h"

namespace qv {

/// A section's width or height in mm from its text, read as the window's size fields read it
/// (decimal or hexadecimal). Throws Error: the field's own message, "the size must be
/// 1..100000 mm", or "a section of 0 mm cannot be analysed" (the window offers no analysis then).
int SectionSizeOf(std::string_view text);
/// What is wrong with a size of `mm`, or nothing: whole mm as the size fields take them, or a
/// fraction of a mm down to kMinSectionMm.
std::string SectionSizeProblem(double mm);
/// A width or height of the batch tool or the Python module into `mm` (whole mm) and `decimal`
/// (set when the text has a fraction): what SectionSizeOf reads, or a plain decimal such as
/// "300.5" (optional blanks before, an optional sign, digits and "." and digits, no exponent).
/// Throws Error as SectionSizeOf does, InvalidRealMessage for a text that is no number.
void ReadSectionSize(std::string_view text, int& mm, std::optional<double>& decimal);
/// What is wrong with a pixel size of `mm`, or nothing.
std::string PixelSizeProblem(double mm);

/// The convention of its number (0 Dorvast/Pelkam, 1 EURO-code); throws Error("the sign
/// convention must be 0 or 1") for any other.
SignConvention SignConventionOf(int number);
/// How the edges are read, by name ("flat", "coverage"); throws Error for any other name.
EdgeMode EdgeModeOfName(std::string_view name);
/// What the stress map shows, by name ("sigma", "tau", "von_mises"); throws Error otherwise.
StressKind StressKindOfName(std::string_view name);

/// Why a colour label given for a value of the run (Poisson's ratio, strength) cannot take it.
enum class LabelFault {
  kNone,
  kEmpty,         ///< no label at all
  kNotInSection,  ///< not one of the section's colours: only those have values that matter
  kGivenTwice,    ///< a second value would silently replace the first
};
LabelFault LabelFaultOf(std::string_view label, const std::vector<std::string>& uses,
                        const std::vector<std::string>& given);
/// The fault in the core's words ("the colour label is empty", "clRed is not a colour of the
/// section", "clRed is given twice").
std::string LabelFaultText(LabelFault fault, std::string_view label);

/// Shear forces and the torque need the torsion solve's fields.
bool ActionNeedsTorsion(ActionKind kind);

/// The action of a name as `convention` names them; throws Error("the action must be N, My, Mz,
/// Vy, Vz or T") for any other name.
ActionKind ActionOfNameChecked(std::string_view name, SignConvention convention);

/// What is wrong with a material given for the run (its label, name, E and rho), or nothing.
std::string MaterialOverrideProblem(const MaterialOverride& m);

/// The most points an interaction list may have.
inline constexpr int kMaxInteractionPoints = 10000;
/// What is wrong with `points` points of the interaction lists, or nothing.
std::string InteractionPointsProblem(double points);
/// The fewest and the most directions a biaxial list may have.
inline constexpr int kMinBiaxialAngles = 4;
inline constexpr int kMaxBiaxialAngles = 3600;
/// What is wrong with `angles` directions of the biaxial list, or nothing.
std::string BiaxialAnglesProblem(double angles);

/// What is wrong with a cap of `cells` solver cells for the torsion, or nothing: a whole number
/// the solver's cell numbering takes.
std::string MaxCellsProblem(double cells);

/// Checks every value of `request` and how they go together; throws Error with the first
/// problem in the core's words.
void CheckRequest(const AnalysisRequest& request);

}  // namespace qv
