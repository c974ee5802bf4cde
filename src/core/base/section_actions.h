// The six actions on a section: what the stresses are computed under and what the settings keep
// between runs, so it sits below both.
#pragma once

namespace qv {

/// The actions on the section in N and N mm, in the axes of the report: y horizontal and positive
/// to the left, z vertical and positive downwards, both from the elastic centre (the E-weighted
/// centroid of the pixels, not rounded to a pixel). The moments are named as the formal
/// convention names the stiffnesses they bend with.
struct SectionActions {
  double N = 0;   ///< axial force, tension positive
  double My = 0;  ///< integral of y sigma dA: stresses growing to the left; bends with EIyy
  double Mz = 0;  ///< integral of z sigma dA: stresses growing downwards; bends with EIzz
  double Vy = 0;  ///< shear force along y (to the left), through the shear centre
  double Vz = 0;  ///< shear force along z (downwards), through the shear centre
  double T = 0;   ///< torque about the shear centre, turning y towards z (anticlockwise as drawn)

  /// Shear forces or a torque: the stresses need the solver's fields.
  bool NeedsSolve() const { return Vy != 0 || Vz != 0 || T != 0; }
  friend bool operator==(const SectionActions&, const SectionActions&) = default;
};

}  // namespace qv
