// Relations between a material's constants that every part of the program computes alike.
#pragma once

namespace qv {

/// The shear modulus G = E / (2 (1 + nu)) of an isotropic material, in the unit of E.
inline double ShearModulus(double E, double nu) { return E / (2 * (1 + nu)); }

}  // namespace qv
