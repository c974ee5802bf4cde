// The cracked section as lines of the report.
#pragma once

#include <string>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/section/cracked.h"

namespace qv {

/// The block headed "CRACKED SECTION": the actions, the strain plane, the neutral axis, sigma's
/// extremes over the section and each material, and the stiffnesses of the carrying part about
/// its own elastic centre, named as `convention` names them. Without values one line with the
/// reason. Numbers are written without regard to the locale.
/// Stresses, lengths, curvatures and stiffnesses are in `units`; the actions as they were given.
std::vector<std::string> CrackedReport(const CrackedOutcome& outcome, SignConvention convention,
                                       UnitSystem units = UnitSystem::NMm);

}  // namespace qv
