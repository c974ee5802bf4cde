// The section's pixel rectangle and every result of one analysis.
#pragma once

#include <cstdint>

namespace qv {

/// Pixel rectangle of the section: the union of the bounding boxes of the materials in use,
/// -1 on all sides when none is in use.
struct SectionBounds {
  int xmin = -1;
  int ymin = -1;
  int xmax = -1;
  int ymax = -1;

  bool Unset() const { return xmin < 0 && ymin < 0 && xmax < 0 && ymax < 0; }
  /// Width and height in pixels as shown to the user: xmax - xmin + 1, ymax - ymin + 1.
  int WidthPixels() const { return xmax - xmin + 1; }
  int HeightPixels() const { return ymax - ymin + 1; }
  /// Grows the rectangle by a material's bounds, each side separately (a side below 0 takes
  /// the other value).
  void Grow(int exmin, int eymin, int exmax, int eymax);

  friend bool operator==(const SectionBounds&, const SectionBounds&) = default;
};

struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

/// A point in picture coordinates, pixels from the picture's upper-left corner: pixel (x, y)
/// covers x .. x + 1 and y .. y + 1, so its centre is (x + 0.5, y + 0.5).
struct PicturePoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const PicturePoint&, const PicturePoint&) = default;
};

/// A point in mm from the section box's upper-left corner: Hor to the right, Ver downwards.
struct SectionPoint {
  double Hor = 0;
  double Ver = 0;
  friend bool operator==(const SectionPoint&, const SectionPoint&) = default;
};

/// Every analysis result; all zero after a reset. Axes: y horizontal and positive to the left of
/// NC, z vertical and positive downwards; Alpha turns from y towards z.
struct SectionResult {
  double Dx = 0;                    ///< mm per pixel, horizontal
  double Dy = 0;                    ///< mm per pixel, vertical
  std::int64_t RelevantPixels = 0;  ///< pixels of materials in use
  double EA = 0;                    ///< N
  double Mass = 0;                  ///< kg per mm of length
  double SumEHor = 0;               ///< E-weighted first moment, horizontal (N mm)
  double SumEVer = 0;               ///< E-weighted first moment, vertical (N mm)
  double SumRhoHor = 0;             ///< rho-weighted first moment, horizontal (kg)
  double SumRhoVer = 0;             ///< rho-weighted first moment, vertical (kg)
  PixelPoint NC;                    ///< normal force centre, pixels
  PixelPoint MC;                    ///< mass centre, pixels
  double EIyy = 0;                  ///< N mm^2, sum of E y^2 A
  double EIzz = 0;                  ///< N mm^2, sum of E z^2 A
  double EIyz = 0;                  ///< N mm^2, sum of E y z A
  double EI1 = 0;                   ///< larger principal stiffness, N mm^2
  double EI2 = 0;                   ///< smaller principal stiffness, N mm^2
  double Alpha = 0;                 ///< radian, -pi/2 <= Alpha < pi/2, direction of EI1
  bool Iso = false;                 ///< no distinct principal axes
  /// Smoothed edges were read as partial coverage: the areas count blended pixels by their
  /// shares, and EIyy, EIzz include each pixel's own second moment (pixel size^2 / 12).
  bool Coverage = false;
  /// The stiffnesses are about the exact elastic centre rather than NC's pixel centre: a
  /// drawing's, from its outlines, whose centre is known exactly.
  bool AboutExactCentre = false;
};

}  // namespace qv
