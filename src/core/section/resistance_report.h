// The resistance as lines of the report.
#pragma once

#include <string>
#include <vector>

#include "core/base/units.h"
#include "core/section/resistance.h"

namespace qv {

/// The block headed "RESISTANCE": the laws used, the resistances to pure compression and
/// tension, the ultimate moments of either sense about each axis at the axial force with the
/// neutral axis' position, and the interaction lists when computed; forces in N and kN, moments
/// in N mm and kN m. Without values one line with the reason. Numbers are written without regard
/// to the locale.
/// In another system than N-mm forces, moments, positions and curvatures are in its units alone
/// (the lists in kN and its moment unit).
std::vector<std::string> ResistanceReport(const ResistanceOutcome& outcome,
                                          UnitSystem units = UnitSystem::NMm);

}  // namespace qv
