// The plastic moments as lines of the extended values' text block.
#pragma once

#include <string>
#include <vector>

#include "core/base/units.h"
#include "core/section/design_value.h"
#include "core/section/plastic.h"

namespace qv {

/// The "plastic moments" part of the extended values' block, its first line blank so that it
/// follows the block's other parts: the strengths used, then for each axis Mpl in N mm and kN m
/// with either side in compression and the neutral axis' position, and Wpl with the shape factor
/// when every material has one strength. When there are no values, one line with the reason.
/// Numbers are written without regard to the locale.
/// In another system than N-mm the moments, positions and Wpl are in its units alone.
std::vector<std::string> PlasticReport(const PlasticOutcome& outcome,
                                       UnitSystem units = UnitSystem::NMm);

/// The plastic moments as rows of the design values' table: Mpl of each axis with either side in
/// compression (N mm and kN m), the neutral axis' position (mm from UL), and Wpl with the shape
/// factor where the section has one strength; in another system than N-mm in its units alone.
std::vector<DesignValue> PlasticDesignValues(const PlasticSection& values,
                                             UnitSystem units = UnitSystem::NMm);

}  // namespace qv
