// The stresses of a section under given actions as a plain-text block, shared by the window's
// copy button and the batch tool.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/elastic/stress_field.h"

namespace qv {

/// First line of the block; the batch tool prints it after the other output and a blank line.
inline constexpr std::string_view kStressReportTitle = "STRESSES under the given actions [N/mm^2]";

/// The block's lines, without line ends: the actions as the user names them under
/// `signConvention`, the axes they act in, the extremes of the whole section and of each
/// material with the points they were taken at (mm from the upper left corner UL), and the shear
/// across each joint between two materials. Numbers are written without regard to the locale.
std::vector<std::string> StressReport(const StressField& field, SignConvention signConvention);

}  // namespace qv
