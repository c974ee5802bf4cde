// Stiffness integration: EA, centres, mass and bending stiffnesses of the materials in use.
#pragma once

#include "core/scan/moments.h"
#include "core/section/section_result.h"

namespace qv {

/// The message both passes give when there is no material library.
inline constexpr const char* kNoMaterialProperties = "no material properties defined";

/// Scale, relevant pixels, EA, mass, first-moment sums, NC and MC from the moments, for a
/// section of widthMm x heightMm spanning `bounds`. NC and MC are the weighted mean pixel
/// positions rounded (halves to even) from the exact sums; MC stays (0, 0) when the total
/// density is zero.
void ComputeCentres(const SectionMoments& moments, const SectionBounds& bounds, double widthMm,
                    double heightMm, SectionResult& result);

/// EIyy, EIzz, EIyz about the rounded NC, the principal stiffnesses and the principal angle.
/// Needs the Dx, Dy and NC of ComputeCentres for the same moments.
void ComputeStiffness(const SectionMoments& moments, SectionResult& result);

/// The principal angle, principal values and Iso from EIyy, EIzz, EIyz already in `result`.
void ComputePrincipalAxes(SectionResult& result);

}  // namespace qv
