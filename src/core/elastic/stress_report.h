// The stresses of a section under given actions as a plain-text block, shared by the window's
// copy button and the batch tool.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/elastic/stress_field.h"

namespace qv {

/// First line of the block; the batch tool prints it after the other output and a blank line.
inline constexpr std::string_view kStressReportTitle = "STRESSES under the given actions [N/mm^2]";

/// The block's lines, without line ends: the actions as the user names them under
/// `signConvention`, the axes they act in, the extremes of the whole section and of each
/// material with the points they were taken at (mm from the upper left corner UL), and the shear
/// across each joint between two materials. Numbers are written without regard to the locale.
/// Stresses, lengths and the shear flow are in `units`; the actions as they were given (N, Nmm).
std::vector<std::string> StressReport(const StressField& field, SignConvention signConvention,
                                      UnitSystem units = UnitSystem::NMm);

/// The stresses at picture pixel (x, y) as the window's status bar shows them under the mouse
/// pointer, the field of the map first: "von Mises = 23.41 N/mm^2 (sigma = -20.1, tau = 3.2) in
/// steel S235 (clRed) at hor = 12.00 mm, ver = 345.00 mm" (the pixel's centre from UL); off the
/// section "no stress here: not a pixel of the section".
std::string StressAtText(const StressField& field, int x, int y, StressKind shown,
                         UnitSystem units = UnitSystem::NMm);

}  // namespace qv
