// The section binned by depth along any direction, for strain planes whose neutral axis is
// inclined: the biaxial resistance.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/library/material_law.h"

namespace qv {

/// The resultants of a strain state: the axial force and the moments, about the elastic centre,
/// of the stresses times the depth t along the strain's direction and times the coordinate s
/// across it.
struct RotatedForces {
  double n = 0;   // N
  double m = 0;   // N mm, the integral of sigma t: positive where it compresses the first side
  double ms = 0;  // N mm, the integral of sigma s
};

/// A rectangle of one material, mm from the elastic centre in picture axes (x to the right, y
/// down); `weight` is the share of its area the material takes (below 1 on coverage-read edges).
struct MaterialRect {
  double x0 = 0;
  double x1 = 0;
  double y0 = 0;
  double y1 = 0;
  std::size_t material = 0;  // index into the laws
  double weight = 1;
};

/// The section's rectangles binned along the direction u = (sin a, cos a) in picture axes (x to
/// the right, y down): a = 0 makes the depth t run down the section, a = 90 degrees across it to
/// the right. s runs along w = (cos a, -sin a). Coordinates are mm from the elastic centre.
///
/// A rectangle projects onto u as a trapezoid: between the depths of its corners its width is
/// linear and the first moment of its chord along w quadratic in t. These pieces go into bins
/// of the depth, each holding the moments of width and first moment about its middle; a state
/// whose stress is a polynomial of degree 2 at most over a bin (no kink of the law inside) is
/// integrated from those moments exactly, a bin with a kink inside from its pieces.
class RotatedFibres {
 public:
  /// The fibres of `rects` (kept by reference) with `laws`, not yet binned.
  RotatedFibres(const std::vector<MaterialRect>& rects, const std::vector<LawOfMaterial>& laws)
      : mRects(rects), mLaws(laws) {}

  /// Bins the section along the direction of `angleDegrees`, bins `bin` mm long (at least the
  /// depth / kMaxBins). The memory of the last direction is reused: a turn costs no pages.
  void Turn(double angleDegrees, double bin);

  /// The extent of the section along u, mm: the strain runs from e1 at its first end to e2.
  double Depth() const { return mDepth; }
  RotatedForces Integrate(double e1, double e2) const;
  /// My (about the horizontal axis, positive where it compresses the top) and Mz (about the
  /// vertical axis, positive where it compresses the left side) of `forces`.
  std::array<double, 2> AxisMoments(const RotatedForces& forces) const {
    return {mCos * forces.m - mSin * forces.ms, mSin * forces.m + mCos * forces.ms};
  }
  /// How far the strains go to failure: 1 at failure, homogeneous of degree one (the limits as
  /// for the strips along the axes, each material's pivot on its own extent along u).
  double Utilisation(double e1, double e2) const;

 private:
  struct Piece {
    double from = 0;  // mm along u
    double to = 0;
    double w[2] = {0, 0};     // width = w0 + w1 t
    double s[3] = {0, 0, 0};  // first moment along w = s0 + s1 t + s2 t^2
  };
  struct Bin {
    int index = 0;
    double whole[5] = {0, 0, 0, 0, 0};  // w0, w1, s0, s1, s2 of the pieces spanning the bin
    double wm[4] = {0, 0, 0, 0};        // integral of width (t - middle)^k, k = 0..3
    double sm[3] = {0, 0, 0};           // integral of first moment (t - middle)^k, k = 0..2
    std::size_t partsBegin = 0;         // pieces ending inside the bin, in mParts
    std::size_t partsEnd = 0;
  };
  struct Material {
    const LawOfMaterial* law = nullptr;
    std::vector<double> kinks;
    std::vector<Bin> bins;  // the bins holding some of it, in order
    double tmin = 0;
    double tmax = 0;
  };

  void IntegratePiece(const Material& f, double from, double to, const double* w, const double* s,
                      double e1, double k, RotatedForces& total) const;

  static constexpr int kMaxBins = 1024;

  const std::vector<MaterialRect>& mRects;
  const std::vector<LawOfMaterial>& mLaws;
  double mSin = 0;
  double mCos = 1;
  double mStart = 0;  // the depth of the first end, mm
  double mDepth = 0;
  double mBin = 1;  // the bins' length, mm
  int mBins = 0;
  std::vector<Material> mMaterials;
  std::vector<Piece> mParts;
  // Binning's own: per material the difference array of the coefficients of the pieces
  // spanning bins and their count, and the pieces held by one bin.
  std::vector<std::vector<std::array<double, 5>>> mSpans;
  std::vector<std::vector<int>> mSpanning;
  std::vector<std::vector<std::pair<int, Piece>>> mHeld;
};

}  // namespace qv
