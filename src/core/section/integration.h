// Stiffness integration: EA, centres, mass and bending stiffnesses of the materials in use.
#pragma once

#include <optional>

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

/// The precision rule of the principal axes: within `angleTolerance` degrees of the section
/// axes they are taken as those axes, EI1 and EI2 becoming the larger and the smaller of EIzz
/// and EIyy (EIzz first when equal). Alpha stays as computed. Applied once, after
/// ComputeStiffness and before any text or output reads EI1 and EI2.
void ApplyAngleTolerance(SectionResult& result, double angleTolerance);

/// The principal angle, principal values and Iso from EIyy, EIzz, EIyz already in `result`.
void ComputePrincipalAxes(SectionResult& result);

/// The point design values and stresses are taken about, and the stiffnesses about it: the
/// elastic centre C itself (the E-weighted centroid, not rounded to a pixel, where the first
/// moments of E vanish) and the bending stiffnesses of the drawn area about it, each pixel's own
/// second moment included (E A dx^2 / 12), with their principal values and angle. A rectangle
/// of any pixel count gives b h^3 / 12 about its middle.
struct ElasticCentre {
  double x = 0;  ///< C in picture pixels, as NC: pixel i's centre is at i
  double y = 0;
  double EIyy = 0;  ///< N mm^2
  double EIzz = 0;
  double EIyz = 0;
  double EI1 = 0;
  double EI2 = 0;
  double Alpha = 0;  ///< radian, direction of EI1, as SectionResult::Alpha
  bool Iso = false;
};

/// C and the stiffnesses about it from an analysis's values about the rounded NC (moved by the
/// parallel-axis rule: a shift below a pixel, so nothing cancels). Nothing when EA or the pixel
/// size is not above 0.
std::optional<ElasticCentre> ElasticCentreOf(const SectionResult& section);

/// NC itself with the analysis's stiffnesses about it, for a section without a centre (EA 0,
/// whose values carry nothing).
ElasticCentre CentreAtNC(const SectionResult& section);

}  // namespace qv
