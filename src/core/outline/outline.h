// A section drawn as closed outlines: loops of straight edges and circular arcs, in mm, each
// loop group of one colour, painted in order. Curves other than circular arcs (ellipses, Bezier
// curves, splines) are flattened on reading, to kFlatteningTolerance of the drawing's size.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

/// Flattened curves stay within this fraction of the drawing's size of the true curve.
inline constexpr double kFlatteningTolerance = 1e-6;

/// A corner of a loop and the edge from it to the next corner: a straight edge for bulge 0,
/// else a circular arc of sweep 4 atan(bulge), counter-clockwise for a positive bulge (the
/// drawing's usual convention, which keeps an arc exact with two numbers).
struct OutlineVertex {
  double x = 0;  ///< mm, to the right
  double y = 0;  ///< mm, upwards
  double bulge = 0;
};

/// A closed loop; the last corner's edge returns to the first.
struct OutlineLoop {
  std::vector<OutlineVertex> vertices;
};

/// Loops of one colour under the even-odd rule: nested loops alternate solid and hole.
struct OutlineShape {
  std::uint32_t colour = 0;  ///< a pixel colour value, 0x00BBGGRR
  std::vector<OutlineLoop> loops;
};

/// A whole drawing: shapes in painter's order (a later shape covers an earlier one).
struct OutlineDrawing {
  std::vector<OutlineShape> shapes;
  std::int64_t ignored = 0;  ///< entities that are no closed outline: open lines, text, ...
};

struct DrawingPoint {
  double x = 0;
  double y = 0;
};

/// The drawing's extent; empty (min above max) for a drawing without corners.
struct OutlineBox {
  double xmin = 1;
  double ymin = 1;
  double xmax = 0;
  double ymax = 0;
  bool Empty() const { return xmin > xmax || ymin > ymax; }
  double Size() const;  ///< the larger side, 0 when empty
};

/// The box of every edge, arcs included (not only their corners).
OutlineBox BoxOf(const OutlineDrawing& drawing);

/// The circle of an arc edge from `a` to `b` with `bulge` (not 0).
struct ArcCircle {
  double cx = 0;
  double cy = 0;
  double r = 0;
  double start = 0;  ///< radian, angle of `a` seen from the centre
  double sweep = 0;  ///< radian, signed, 4 atan(bulge)
};
ArcCircle CircleOfArc(DrawingPoint a, DrawingPoint b, double bulge);

/// The bulge of an arc of `sweep` radians (signed).
double BulgeOfSweep(double sweep);

/// Area integrals of a region, in drawing coordinates: its area, first moments (x, y) and
/// second moments (x^2, y^2, x y), about the origin.
struct AreaMoments {
  double A = 0;
  double Sx = 0;
  double Sy = 0;
  double Ixx = 0;
  double Iyy = 0;
  double Ixy = 0;

  AreaMoments& operator+=(const AreaMoments& other);
  AreaMoments& operator-=(const AreaMoments& other);
};

/// Adds the boundary integral of the edge from `a` to `b` (Green's theorem): summed over a
/// closed boundary with the region on its left, the region's moments. Arcs in closed form.
void AddEdgeMoments(DrawingPoint a, DrawingPoint b, double bulge, AreaMoments& moments);

/// The signed moments of a loop: positive area when counter-clockwise.
AreaMoments LoopMoments(const OutlineLoop& loop);

/// Points along curves, flattened within `tolerance` mm; the end points are included.
/// An ellipse of centre c, major axis end m (relative to c), minor/major `ratio`, from parameter
/// t0 to t1 (radian, counter-clockwise).
std::vector<DrawingPoint> FlattenEllipse(DrawingPoint c, DrawingPoint m, double ratio, double t0,
                                         double t1, double tolerance);
/// A cubic Bezier curve.
std::vector<DrawingPoint> FlattenCubic(DrawingPoint p0, DrawingPoint p1, DrawingPoint p2,
                                       DrawingPoint p3, double tolerance);
/// A B-spline of `degree` with its control points, weights (empty: all 1) and knot vector
/// (empty: uniform clamped).
std::vector<DrawingPoint> FlattenSpline(int degree, const std::vector<DrawingPoint>& controls,
                                        const std::vector<double>& weights,
                                        std::vector<double> knots, double tolerance);

/// A loop of straight edges through `points` (a repeated last point is dropped).
OutlineLoop LoopOfPoints(const std::vector<DrawingPoint>& points);

}  // namespace qv
