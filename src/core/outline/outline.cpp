// Outline geometry: arcs from bulges, Green's theorem with arcs in closed form, flattening.
#include "core/outline/outline.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;

void GrowBox(OutlineBox& box, double x, double y) {
  if (box.Empty()) {
    box = {x, y, x, y};
    return;
  }
  box.xmin = std::min(box.xmin, x);
  box.ymin = std::min(box.ymin, y);
  box.xmax = std::max(box.xmax, x);
  box.ymax = std::max(box.ymax, y);
}

// Whether the angle `angle` lies on the arc from `start` sweeping `sweep`.
bool OnSweep(double angle, double start, double sweep) {
  double d = std::remainder(angle - start, 2 * kPi);
  if (sweep >= 0) {
    if (d < 0) d += 2 * kPi;
    return d <= sweep;
  }
  if (d > 0) d -= 2 * kPi;
  return d >= sweep;
}

// Subdivides t0 .. t1 until the curve's midpoint of each piece lies within `tolerance` of its
// chord; `spans` pieces first, so that a wiggle between samples is not missed.
void FlattenAdaptive(const std::function<DrawingPoint(double)>& at, double t0, double t1, int spans,
                     double tolerance, std::vector<DrawingPoint>& out) {
  const std::function<void(double, DrawingPoint, double, DrawingPoint, int)> split =
      [&](double ta, DrawingPoint a, double tb, DrawingPoint b, int depth) {
        const double tm = 0.5 * (ta + tb);
        const DrawingPoint m = at(tm);
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double len = std::hypot(dx, dy);
        const double off = len > 0 ? std::abs((m.x - a.x) * dy - (m.y - a.y) * dx) / len
                                   : std::hypot(m.x - a.x, m.y - a.y);
        if (depth < 40 && off > tolerance) {
          split(ta, a, tm, m, depth + 1);
          split(tm, m, tb, b, depth + 1);
          return;
        }
        out.push_back(b);
      };
  DrawingPoint previous = at(t0);
  if (out.empty()) out.push_back(previous);
  for (int i = 1; i <= spans; ++i) {
    const double t = t0 + (t1 - t0) * i / spans;
    const DrawingPoint p = at(t);
    split(t0 + (t1 - t0) * (i - 1) / spans, previous, t, p, 0);
    previous = p;
  }
}

}  // namespace

double OutlineBox::Size() const { return Empty() ? 0 : std::max(xmax - xmin, ymax - ymin); }

OutlineBox BoxOf(const OutlineDrawing& drawing) {
  OutlineBox box;
  for (const OutlineShape& shape : drawing.shapes) {
    for (const OutlineLoop& loop : shape.loops) {
      const std::size_t n = loop.vertices.size();
      for (std::size_t i = 0; i < n; ++i) {
        const OutlineVertex& v = loop.vertices[i];
        GrowBox(box, v.x, v.y);
        if (v.bulge == 0) continue;
        const OutlineVertex& w = loop.vertices[(i + 1) % n];
        const ArcCircle c = CircleOfArc({v.x, v.y}, {w.x, w.y}, v.bulge);
        for (int q = 0; q < 4; ++q) {
          const double angle = q * kPi / 2;
          if (OnSweep(angle, c.start, c.sweep)) {
            GrowBox(box, c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle));
          }
        }
      }
    }
  }
  return box;
}

ArcCircle CircleOfArc(DrawingPoint a, DrawingPoint b, double bulge) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double chord = std::hypot(dx, dy);
  ArcCircle c;
  c.sweep = 4 * std::atan(bulge);
  c.r = chord * (1 + bulge * bulge) / (4 * std::abs(bulge));
  // From the chord's middle along its left normal; the arc bulges to the other side for a
  // counter-clockwise arc below a half circle.
  const double along = (1 - bulge * bulge) / (4 * bulge);
  c.cx = 0.5 * (a.x + b.x) - dy * along;
  c.cy = 0.5 * (a.y + b.y) + dx * along;
  c.start = std::atan2(a.y - c.cy, a.x - c.cx);
  return c;
}

double BulgeOfSweep(double sweep) { return std::tan(sweep / 4); }

AreaMoments& AreaMoments::operator+=(const AreaMoments& other) {
  A += other.A;
  Sx += other.Sx;
  Sy += other.Sy;
  Ixx += other.Ixx;
  Iyy += other.Iyy;
  Ixy += other.Ixy;
  return *this;
}

AreaMoments& AreaMoments::operator-=(const AreaMoments& other) {
  A -= other.A;
  Sx -= other.Sx;
  Sy -= other.Sy;
  Ixx -= other.Ixx;
  Iyy -= other.Iyy;
  Ixy -= other.Ixy;
  return *this;
}

void AddEdgeMoments(DrawingPoint a, DrawingPoint b, double bulge, AreaMoments& m) {
  // The chord: the triangle it spans with the origin.
  const double cross = a.x * b.y - b.x * a.y;
  m.A += cross / 2;
  m.Sx += (a.x + b.x) * cross / 6;
  m.Sy += (a.y + b.y) * cross / 6;
  m.Ixx += (a.x * a.x + a.x * b.x + b.x * b.x) * cross / 12;
  m.Iyy += (a.y * a.y + a.y * b.y + b.y * b.y) * cross / 12;
  m.Ixy += (a.x * b.y + 2 * a.x * a.y + 2 * b.x * b.y + b.x * a.y) * cross / 24;
  if (bulge == 0) return;
  // The circular segment between chord and arc: the sector less the triangle at the centre,
  // in a frame with u along the bisector and v across it. Past a half circle the triangle's
  // height turns negative and the same formulas add it instead.
  const ArcCircle c = CircleOfArc(a, b, bulge);
  const double alpha = std::abs(c.sweep) / 2;
  const double r = c.r;
  const double h = r * std::cos(alpha);
  const double w = r * std::sin(alpha);
  const double r2 = r * r;
  const double area = alpha * r2 - w * h;
  const double qu = 2.0 / 3 * r2 * r * std::pow(std::sin(alpha), 3);
  const double iuu = r2 * r2 / 8 * (2 * alpha + std::sin(2 * alpha)) - w * h * h * h / 2;
  const double ivv = r2 * r2 / 8 * (2 * alpha - std::sin(2 * alpha)) - w * w * w * h / 6;
  const double mid = c.start + c.sweep / 2;
  const double dx = std::cos(mid);
  const double dy = std::sin(mid);
  // A counter-clockwise arc bulges to the right of its chord: outside the chord polygon of a
  // counter-clockwise loop, so it adds.
  const double s = bulge > 0 ? 1 : -1;
  m.A += s * area;
  m.Sx += s * (c.cx * area + dx * qu);
  m.Sy += s * (c.cy * area + dy * qu);
  m.Ixx += s * (c.cx * c.cx * area + 2 * c.cx * dx * qu + dx * dx * iuu + dy * dy * ivv);
  m.Iyy += s * (c.cy * c.cy * area + 2 * c.cy * dy * qu + dy * dy * iuu + dx * dx * ivv);
  m.Ixy += s * (c.cx * c.cy * area + (c.cx * dy + c.cy * dx) * qu + dx * dy * (iuu - ivv));
}

AreaMoments LoopMoments(const OutlineLoop& loop) {
  AreaMoments m;
  const std::size_t n = loop.vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const OutlineVertex& v = loop.vertices[i];
    const OutlineVertex& w = loop.vertices[(i + 1) % n];
    AddEdgeMoments({v.x, v.y}, {w.x, w.y}, v.bulge, m);
  }
  return m;
}

std::vector<DrawingPoint> FlattenEllipse(DrawingPoint c, DrawingPoint m, double ratio, double t0,
                                         double t1, double tolerance) {
  while (t1 <= t0) t1 += 2 * kPi;
  const DrawingPoint minor{-m.y * ratio, m.x * ratio};
  std::vector<DrawingPoint> out;
  const auto at = [&](double t) {
    return DrawingPoint{c.x + m.x * std::cos(t) + minor.x * std::sin(t),
                        c.y + m.y * std::cos(t) + minor.y * std::sin(t)};
  };
  FlattenAdaptive(at, t0, t1, 16, tolerance, out);
  return out;
}

std::vector<DrawingPoint> FlattenCubic(DrawingPoint p0, DrawingPoint p1, DrawingPoint p2,
                                       DrawingPoint p3, double tolerance) {
  std::vector<DrawingPoint> out;
  const auto at = [&](double t) {
    const double u = 1 - t;
    const double b0 = u * u * u;
    const double b1 = 3 * u * u * t;
    const double b2 = 3 * u * t * t;
    const double b3 = t * t * t;
    return DrawingPoint{b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
                        b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y};
  };
  FlattenAdaptive(at, 0, 1, 4, tolerance, out);
  return out;
}

std::vector<DrawingPoint> FlattenSpline(int degree, const std::vector<DrawingPoint>& controls,
                                        const std::vector<double>& weights,
                                        std::vector<double> knots, double tolerance) {
  const int n = static_cast<int>(controls.size());
  std::vector<DrawingPoint> out;
  if (degree < 1 || n <= degree) return out;
  if (knots.size() != static_cast<std::size_t>(n) + static_cast<std::size_t>(degree) + 1) {
    knots.clear();
    for (int i = 0; i < n + degree + 1; ++i) {
      knots.push_back(std::clamp(i - degree, 0, n - degree));
    }
  }
  const bool rational = weights.size() == controls.size();
  // De Boor's algorithm on homogeneous points.
  const auto at = [&](double t) {
    int k = degree;
    while (k < n - 1 && knots[k + 1] <= t) ++k;
    std::vector<double> px(degree + 1);
    std::vector<double> py(degree + 1);
    std::vector<double> pw(degree + 1);
    for (int j = 0; j <= degree; ++j) {
      const int i = j + k - degree;
      const double wt = rational ? weights[i] : 1;
      px[j] = controls[i].x * wt;
      py[j] = controls[i].y * wt;
      pw[j] = wt;
    }
    for (int r = 1; r <= degree; ++r) {
      for (int j = degree; j >= r; --j) {
        const int i = j + k - degree;
        const double den = knots[i + degree - r + 1] - knots[i];
        const double a = den == 0 ? 0 : (t - knots[i]) / den;
        px[j] = (1 - a) * px[j - 1] + a * px[j];
        py[j] = (1 - a) * py[j - 1] + a * py[j];
        pw[j] = (1 - a) * pw[j - 1] + a * pw[j];
      }
    }
    const double wd = pw[degree] == 0 ? 1 : pw[degree];
    return DrawingPoint{px[degree] / wd, py[degree] / wd};
  };
  const double t0 = knots[degree];
  const double t1 = knots[n];
  if (!(t1 > t0)) return out;
  FlattenAdaptive(at, t0, t1, 8 * (n - degree), tolerance, out);
  return out;
}

OutlineLoop LoopOfPoints(const std::vector<DrawingPoint>& points) {
  OutlineLoop loop;
  for (const DrawingPoint& p : points) {
    if (!loop.vertices.empty() && loop.vertices.back().x == p.x && loop.vertices.back().y == p.y) {
      continue;
    }
    loop.vertices.push_back({p.x, p.y, 0});
  }
  if (loop.vertices.size() > 1 && loop.vertices.front().x == loop.vertices.back().x &&
      loop.vertices.front().y == loop.vertices.back().y) {
    loop.vertices.pop_back();
  }
  return loop;
}

}  // namespace qv
