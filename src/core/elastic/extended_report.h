// The extended values (torsion, shear centre, section moduli) as a plain-text block, shared by
// the window's copy button and the batch tool.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/sign_convention.h"
#include "core/base/units.h"
#include "core/elastic/section_solver.h"
#include "core/section/design_value.h"

namespace qv {

/// First line of the block; the batch tool prints it after the report and a blank line.
inline constexpr std::string_view kExtendedReportTitle =
    "EXTENDED SECTION VALUES : torsion, shear centre, section moduli";

/// The warping constant, the shear stiffnesses and, for a section of one material, Iw, the shear
/// areas and the elastic moduli, in the order the text block and the dialog list them. In N-mm
/// the section values also come in the cm^n of steel tables; in another system the values are in
/// its units and that second column stays empty.
std::vector<DesignValue> DesignValues(const ElasticResult& result,
                                      UnitSystem units = UnitSystem::NMm);

/// One design value as the block writes it: the symbol, the value in N and mm, the value in the
/// units tables use where it has one, and what it is, in aligned columns; the symbol's column
/// `symbolWidth` characters wide with the indent.
std::string DesignValueLine(const DesignValue& value, std::size_t symbolWidth = 8);

/// Why `result` has no error estimate (HasErrorEstimate false), e.g. "cells twice the size would
/// close a gap of the section".
std::string NoEstimateReason(const ElasticResult& result);

/// The block's lines, without line ends: GJ with its error estimate and the solve's cells, the
/// shear centre from UL and from NC, the radii of gyration, the design values, and each material's
/// Poisson's ratio, G, extreme fibres and stress per unit moment. The stiffnesses and radii are
/// named as the report names them under `signConvention` (1 EURO-code: EIz, EIy; otherwise EIyy,
/// EIzz). Values are in `units`; the materials' E and G stay in N/mm^2 as they were typed. Numbers
/// are written without regard to the locale.
std::vector<std::string> ExtendedReport(const ElasticResult& result, SignConvention signConvention,
                                        UnitSystem units = UnitSystem::NMm);

}  // namespace qv
