// The ranges of the values the user types: the section's size, a material's E and rho, and the
// angle precision of the principal axes.
#pragma once

namespace qv {

/// Largest width or height of the section box the size fields take, mm (0 offers no analysis).
inline constexpr int kMaxSectionMm = 100000;
/// The smallest width or height of a section given with a fraction of a mm (or by a pixel size).
inline constexpr double kMinSectionMm = 1e-3;
/// Largest modulus of elasticity the property dialog takes, N/mm^2.
inline constexpr int kMaxModulus = 1000000;
/// Largest mass density the property dialog takes, kg/m^3.
inline constexpr int kMaxDensity = 100000;
/// Largest angle precision of the principal axes the settings dialog takes, degrees.
inline constexpr int kMaxAngleTolerance = 90;

}  // namespace qv
