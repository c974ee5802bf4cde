// Material regions of a painted drawing from its cut boundaries.
#include "core/outline/outline_regions.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "core/base/error.h"
#include "core/section/integration.h"
#include "core/section/section_result.h"

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;

struct Edge {
  DrawingPoint a;
  DrawingPoint b;
  double bulge = 0;
  int loop = 0;
  OutlineBox box;
};

struct LoopInfo {
  int shape = 0;
  bool ccw = true;
  OutlineBox box;
  int firstEdge = 0;
  int edgeCount = 0;
  // Edges by height band, so that a ray meets only the edges of its band: a long loop (a
  // flattened curve) is asked once per piece of every other loop.
  double bandY0 = 0;
  double bandHeight = 0;
  std::vector<std::vector<int>> bands;
};

OutlineBox EdgeBox(DrawingPoint a, DrawingPoint b, double bulge) {
  OutlineDrawing one;
  OutlineLoop loop;
  loop.vertices = {{a.x, a.y, bulge}, {b.x, b.y, 0}};
  one.shapes.push_back({0, {loop}});
  return BoxOf(one);
}

bool BoxesMeet(const OutlineBox& p, const OutlineBox& q, double slack) {
  return p.xmin <= q.xmax + slack && q.xmin <= p.xmax + slack && p.ymin <= q.ymax + slack &&
         q.ymin <= p.ymax + slack;
}

// Pairs (i, j), i < j, of edges of different loops (of one loop with `sameLoop`) whose boxes
// meet, by a sweep over x.
template <typename Visit>
void ForMeetingPairs(const std::vector<Edge>& edges, double slack, Visit visit,
                     bool sameLoop = false) {
  std::vector<int> order(edges.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::sort(order.begin(), order.end(),
            [&](int p, int q) { return edges[p].box.xmin < edges[q].box.xmin; });
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Edge& e = edges[order[i]];
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      const Edge& f = edges[order[j]];
      if (f.box.xmin > e.box.xmax + slack) break;
      if ((e.loop == f.loop) != sameLoop || !BoxesMeet(e.box, f.box, slack)) continue;
      visit(order[i], order[j]);
    }
  }
}

// The corners of an arc flattened within `tolerance`, its end points exact.
void FlattenArc(DrawingPoint a, DrawingPoint b, double bulge, double tolerance,
                std::vector<DrawingPoint>& out) {
  const ArcCircle c = CircleOfArc(a, b, bulge);
  const double ratio = std::clamp(1 - tolerance / c.r, -1.0, 1.0);
  const double step = std::max(2 * std::acos(ratio), 1e-4);
  const int n = std::clamp(static_cast<int>(std::ceil(std::abs(c.sweep) / step)), 2, 1 << 20);
  out.push_back(a);
  for (int i = 1; i < n; ++i) {
    const double angle = c.start + c.sweep * i / n;
    out.push_back({c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)});
  }
}

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

bool SameArc(const Edge& e, const Edge& f) {
  const bool along =
      e.a.x == f.a.x && e.a.y == f.a.y && e.b.x == f.b.x && e.b.y == f.b.y && e.bulge == f.bulge;
  const bool against =
      e.a.x == f.b.x && e.a.y == f.b.y && e.b.x == f.a.x && e.b.y == f.a.y && e.bulge == -f.bulge;
  return along || against;
}

// Whether the angle of p seen from the arc's centre lies within the arc, away from its ends.
bool WithinArc(const Edge& arc, const ArcCircle& c, DrawingPoint p, double eps) {
  if (std::hypot(p.x - arc.a.x, p.y - arc.a.y) <= eps * 1e3 ||
      std::hypot(p.x - arc.b.x, p.y - arc.b.y) <= eps * 1e3) {
    return false;
  }
  double d = std::remainder(std::atan2(p.y - c.cy, p.x - c.cx) - c.start, 2 * kPi);
  if (c.sweep >= 0 && d < 0) d += 2 * kPi;
  if (c.sweep < 0 && d > 0) d -= 2 * kPi;
  return std::abs(d) <= std::abs(c.sweep);
}

// Whether two arcs of different loops meet anywhere but at their ends; arcs of one circle
// count as meeting.
bool ArcMeetsArc(const Edge& e, const Edge& f, double eps) {
  const ArcCircle p = CircleOfArc(e.a, e.b, e.bulge);
  const ArcCircle q = CircleOfArc(f.a, f.b, f.bulge);
  const double dx = q.cx - p.cx;
  const double dy = q.cy - p.cy;
  const double d = std::hypot(dx, dy);
  if (d > p.r + q.r + eps || d < std::abs(p.r - q.r) - eps) return false;
  if (d <= eps) {
    // One circle: the arcs meet when either holds a point of the other beyond their ends.
    const auto midpoint = [](const ArcCircle& c) {
      const double angle = c.start + c.sweep / 2;
      return DrawingPoint{c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)};
    };
    return WithinArc(e, p, midpoint(q), eps) || WithinArc(f, q, midpoint(p), eps) ||
           WithinArc(e, p, f.a, eps) || WithinArc(e, p, f.b, eps) || WithinArc(f, q, e.a, eps) ||
           WithinArc(f, q, e.b, eps);
  }
  // The chord of the two circles: along the centre line at `along`, half-width `half`.
  const double along = (d * d + p.r * p.r - q.r * q.r) / (2 * d);
  const double half = std::sqrt(std::max(0.0, p.r * p.r - along * along));
  const double ux = dx / d;
  const double uy = dy / d;
  for (const double side : {-1.0, 1.0}) {
    const DrawingPoint x{p.cx + along * ux - side * half * uy,
                         p.cy + along * uy + side * half * ux};
    if (WithinArc(e, p, x, eps) && WithinArc(f, q, x, eps)) return true;
  }
  return false;
}

// Whether the straight edge `line` meets the arc `arc` anywhere but at the arc's ends (a
// touch at an end needs no cut of the arc: the straight neighbours carry the cut).
bool ArcMeetsSegment(const Edge& arc, const Edge& line, double eps) {
  const ArcCircle c = CircleOfArc(arc.a, arc.b, arc.bulge);
  const double dx = line.b.x - line.a.x;
  const double dy = line.b.y - line.a.y;
  const double fx = line.a.x - c.cx;
  const double fy = line.a.y - c.cy;
  const double a = dx * dx + dy * dy;
  const double b = 2 * (fx * dx + fy * dy);
  const double cc = fx * fx + fy * fy - c.r * c.r;
  const double length = std::sqrt(a);
  // Distance of the line from the centre against the radius, within eps: a graze counts.
  const double distance = std::abs(Cross(fx, fy, dx, dy)) / length;
  if (distance > c.r + eps) return false;
  const double root = std::sqrt(std::max(0.0, b * b - 4 * a * cc));
  for (const double t : {(-b - root) / (2 * a), (-b + root) / (2 * a)}) {
    if (t * length < -eps || (t - 1) * length > eps) continue;
    if (WithinArc(arc, c, {line.a.x + t * dx, line.a.y + t * dy}, eps)) return true;
  }
  return false;
}

struct Split {
  double t = 0;
  DrawingPoint p;
};

// Where the straight edges e and f cross or run along each other: split points of each, the
// shared points given by the same coordinates to both so that the pieces meet exactly.
void Intersect(const Edge& e, const Edge& f, double eps, std::vector<Split>& se,
               std::vector<Split>& sf) {
  const double rx = e.b.x - e.a.x;
  const double ry = e.b.y - e.a.y;
  const double sx = f.b.x - f.a.x;
  const double sy = f.b.y - f.a.y;
  const double rr = rx * rx + ry * ry;
  const double ss = sx * sx + sy * sy;
  if (rr == 0 || ss == 0) return;
  const double qx = f.a.x - e.a.x;
  const double qy = f.a.y - e.a.y;
  const double denom = Cross(rx, ry, sx, sy);
  const double lr = std::sqrt(rr);
  const double ls = std::sqrt(ss);
  const auto addOn = [&](const Edge& g, double gxx, double gyy, double gg, DrawingPoint p,
                         std::vector<Split>& out) {
    const double t = ((p.x - g.a.x) * gxx + (p.y - g.a.y) * gyy) / gg;
    const double along = std::sqrt(gg);
    if (t * along > eps && (1 - t) * along > eps) out.push_back({t, p});
  };
  if (std::abs(denom) <= 1e-12 * lr * ls) {
    // Parallel: only collinear edges share points; each edge is cut at the other's ends.
    if (std::abs(Cross(qx, qy, rx, ry)) / lr > eps) return;
    addOn(e, rx, ry, rr, f.a, se);
    addOn(e, rx, ry, rr, f.b, se);
    addOn(f, sx, sy, ss, e.a, sf);
    addOn(f, sx, sy, ss, e.b, sf);
    return;
  }
  const double t = Cross(qx, qy, sx, sy) / denom;
  const double u = Cross(qx, qy, rx, ry) / denom;
  const double te = eps / lr;
  const double tf = eps / ls;
  if (t < -te || t > 1 + te || u < -tf || u > 1 + tf) return;
  // A crossing at an end of either edge takes that end's exact coordinates.
  DrawingPoint p{e.a.x + t * rx, e.a.y + t * ry};
  if (u <= tf) {
    p = f.a;
  } else if (u >= 1 - tf) {
    p = f.b;
  } else if (t <= te) {
    p = e.a;
  } else if (t >= 1 - te) {
    p = e.b;
  }
  addOn(e, rx, ry, rr, p, se);
  addOn(f, sx, sy, ss, p, sf);
}

// Crossings of the ray from p to the right with the loop's edges, counted with the half-open
// rule on y so that a corner on the ray counts once.
void IndexBands(const std::vector<Edge>& edges, LoopInfo& loop) {
  if (loop.edgeCount < 64) return;
  const auto count = static_cast<std::size_t>(std::sqrt(static_cast<double>(loop.edgeCount)));
  loop.bandY0 = loop.box.ymin;
  loop.bandHeight = (loop.box.ymax - loop.box.ymin) / static_cast<double>(count);
  if (!(loop.bandHeight > 0)) return;
  loop.bands.assign(count, {});
  const auto band = [&](double y) {
    const double b = std::floor((y - loop.bandY0) / loop.bandHeight);
    return static_cast<std::size_t>(std::clamp(b, 0.0, static_cast<double>(count - 1)));
  };
  for (int i = loop.firstEdge; i < loop.firstEdge + loop.edgeCount; ++i) {
    for (std::size_t b = band(edges[i].box.ymin); b <= band(edges[i].box.ymax); ++b) {
      loop.bands[b].push_back(i);
    }
  }
}

int RayCrossings(const std::vector<Edge>& edges, const LoopInfo& loop, DrawingPoint p) {
  int count = 0;
  const auto crossSpan = [&](DrawingPoint a, DrawingPoint b, double x) {
    if ((a.y > p.y) != (b.y > p.y) && x > p.x) ++count;
  };
  const std::vector<int>* band = nullptr;
  if (!loop.bands.empty()) {
    const double b = std::floor((p.y - loop.bandY0) / loop.bandHeight);
    band = &loop.bands[static_cast<std::size_t>(
        std::clamp(b, 0.0, static_cast<double>(loop.bands.size() - 1)))];
  }
  const int n = band != nullptr ? static_cast<int>(band->size()) : loop.edgeCount;
  for (int j = 0; j < n; ++j) {
    const Edge& e = edges[band != nullptr ? (*band)[j] : loop.firstEdge + j];
    if (e.box.ymin > p.y || e.box.ymax < p.y || e.box.xmax < p.x) continue;
    if (e.bulge == 0) {
      if ((e.a.y > p.y) != (e.b.y > p.y)) {
        crossSpan(e.a, e.b, e.a.x + (p.y - e.a.y) * (e.b.x - e.a.x) / (e.b.y - e.a.y));
      }
      continue;
    }
    // An arc in pieces between its top and bottom points, each monotone in y.
    const ArcCircle c = CircleOfArc(e.a, e.b, e.bulge);
    std::vector<double> cuts = {0};
    for (int k = -3; k <= 3; ++k) {
      const double angle = kPi / 2 + k * kPi;
      double d = c.sweep >= 0 ? angle - c.start : c.start - angle;
      d = std::fmod(d, 2 * kPi);
      if (d < 0) d += 2 * kPi;
      if (d > 0 && d < std::abs(c.sweep)) cuts.push_back(d);
    }
    cuts.push_back(std::abs(c.sweep));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    const double dir = c.sweep >= 0 ? 1 : -1;
    const auto point = [&](std::size_t k) {
      if (k == 0) return e.a;
      if (k + 1 == cuts.size()) return e.b;
      const double angle = c.start + dir * cuts[k];
      return DrawingPoint{c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)};
    };
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
      const DrawingPoint a = point(k);
      const DrawingPoint b = point(k + 1);
      if ((a.y > p.y) == (b.y > p.y)) continue;
      const double mid = c.start + dir * 0.5 * (cuts[k] + cuts[k + 1]);
      const double dy = p.y - c.cy;
      const double dx = std::sqrt(std::max(0.0, c.r * c.r - dy * dy));
      crossSpan(a, b, std::cos(mid) >= 0 ? c.cx + dx : c.cx - dx);
    }
  }
  return count;
}

struct PieceKey {
  double x0, y0, x1, y1, bulge;
  bool operator<(const PieceKey& o) const {
    if (x0 != o.x0) return x0 < o.x0;
    if (y0 != o.y0) return y0 < o.y0;
    if (x1 != o.x1) return x1 < o.x1;
    if (y1 != o.y1) return y1 < o.y1;
    return bulge < o.bulge;
  }
};

bool Before(DrawingPoint p, DrawingPoint q) { return p.x != q.x ? p.x < q.x : p.y < q.y; }

struct Piece {
  DrawingPoint a;
  DrawingPoint b;
  double bulge = 0;
  std::vector<std::pair<int, bool>> owners;  // loop, runs the piece's way
};

}  // namespace

std::vector<std::vector<BoundaryPiece>> MaterialBoundaries(
    const OutlineDrawing& drawing, const std::vector<std::uint32_t>& colours) {
  std::vector<std::vector<BoundaryPiece>> result(colours.size());
  const OutlineBox all = BoxOf(drawing);
  if (all.Empty()) return result;
  const double size = all.Size();
  const double tolerance = kFlatteningTolerance * size;
  const double eps = 1e-10 * size;

  // The loops' edges, degenerate ones dropped.
  std::vector<Edge> edges;
  std::vector<LoopInfo> loops;
  for (std::size_t s = 0; s < drawing.shapes.size(); ++s) {
    for (const OutlineLoop& loop : drawing.shapes[s].loops) {
      const std::size_t n = loop.vertices.size();
      LoopInfo info;
      info.shape = static_cast<int>(s);
      info.firstEdge = static_cast<int>(edges.size());
      const int index = static_cast<int>(loops.size());
      for (std::size_t i = 0; i < n; ++i) {
        const OutlineVertex& v = loop.vertices[i];
        const OutlineVertex& w = loop.vertices[(i + 1) % n];
        if (v.x == w.x && v.y == w.y) continue;
        Edge e{{v.x, v.y}, {w.x, w.y}, v.bulge, index, {}};
        e.box = EdgeBox(e.a, e.b, e.bulge);
        edges.push_back(e);
      }
      info.edgeCount = static_cast<int>(edges.size()) - info.firstEdge;
      loops.push_back(info);
    }
  }

  // Arcs another loop's edge crosses are flattened; those only touched at their ends stay exact.
  std::vector<char> flatten(edges.size(), 0);
  ForMeetingPairs(edges, eps, [&](int i, int j) {
    if (edges[i].bulge == 0 && edges[j].bulge == 0) return;
    if (edges[i].bulge != 0 && edges[j].bulge != 0) {
      // The same arc drawn twice (a filled hole) is merged below, exact.
      if (!SameArc(edges[i], edges[j]) && ArcMeetsArc(edges[i], edges[j], eps)) {
        flatten[i] = flatten[j] = 1;
      }
      return;
    }
    const int arc = edges[i].bulge != 0 ? i : j;
    const int line = arc == i ? j : i;
    if (ArcMeetsSegment(edges[arc], edges[line], eps)) flatten[arc] = 1;
  });
  {
    std::vector<Edge> flat;
    std::vector<DrawingPoint> points;
    for (LoopInfo& loop : loops) {
      const int first = static_cast<int>(flat.size());
      for (int i = loop.firstEdge; i < loop.firstEdge + loop.edgeCount; ++i) {
        const Edge& e = edges[i];
        if (!flatten[i]) {
          flat.push_back(e);
          continue;
        }
        points.clear();
        FlattenArc(e.a, e.b, e.bulge, tolerance, points);
        points.push_back(e.b);
        for (std::size_t k = 0; k + 1 < points.size(); ++k) {
          Edge s{points[k], points[k + 1], 0, e.loop, {}};
          s.box = EdgeBox(s.a, s.b, 0);
          flat.push_back(s);
        }
      }
      loop.firstEdge = first;
      loop.edgeCount = static_cast<int>(flat.size()) - first;
    }
    edges = std::move(flat);
  }
  for (LoopInfo& loop : loops) {
    AreaMoments m;
    for (int i = loop.firstEdge; i < loop.firstEdge + loop.edgeCount; ++i) {
      const Edge& e = edges[i];
      AddEdgeMoments({e.a.x - all.xmin, e.a.y - all.ymin}, {e.b.x - all.xmin, e.b.y - all.ymin},
                     e.bulge, m);
      if (i == loop.firstEdge) {
        loop.box = e.box;
      } else {
        loop.box.xmin = std::min(loop.box.xmin, e.box.xmin);
        loop.box.ymin = std::min(loop.box.ymin, e.box.ymin);
        loop.box.xmax = std::max(loop.box.xmax, e.box.xmax);
        loop.box.ymax = std::max(loop.box.ymax, e.box.ymax);
      }
    }
    loop.ccw = m.A >= 0;
    IndexBands(edges, loop);
  }

  // A loop that crosses itself has no inside on a fixed side of its edges: refused. Touching
  // itself at a corner (a keyhole) is no crossing.
  ForMeetingPairs(
      edges, eps,
      [&](int i, int j) {
        if (edges[i].bulge != 0 || edges[j].bulge != 0) return;
        std::vector<Split> si;
        std::vector<Split> sj;
        Intersect(edges[i], edges[j], eps, si, sj);
        if (!si.empty() && !sj.empty()) throw Error("an outline crosses itself");
      },
      true);

  // Cut the straight edges where other loops cross or run along them.
  std::vector<std::vector<Split>> splits(edges.size());
  ForMeetingPairs(edges, eps, [&](int i, int j) {
    if (edges[i].bulge != 0 || edges[j].bulge != 0) return;
    Intersect(edges[i], edges[j], eps, splits[i], splits[j]);
  });

  // The pieces, those lying on each other (straight or the same arc) merged.
  std::vector<Piece> pieces;
  std::map<PieceKey, std::size_t> straight;
  for (std::size_t i = 0; i < edges.size(); ++i) {
    const Edge& e = edges[i];
    std::vector<Split>& cuts = splits[i];
    std::sort(cuts.begin(), cuts.end(), [](const Split& p, const Split& q) { return p.t < q.t; });
    DrawingPoint from = e.a;
    const auto add = [&](DrawingPoint to) {
      if (from.x == to.x && from.y == to.y) return;
      const bool forward = Before(from, to);
      const DrawingPoint lo = forward ? from : to;
      const DrawingPoint hi = forward ? to : from;
      const double bulge = forward ? e.bulge : -e.bulge;
      const PieceKey key{lo.x, lo.y, hi.x, hi.y, bulge};
      const auto [it, fresh] = straight.try_emplace(key, pieces.size());
      if (fresh) pieces.push_back({lo, hi, bulge, {}});
      pieces[it->second].owners.emplace_back(e.loop, forward);
      from = to;
    };
    for (const Split& cut : cuts) add(cut.p);
    add(e.b);
  }

  // Which material each side of every piece shows.
  std::vector<int> materialOfShape(drawing.shapes.size(), -1);
  for (std::size_t s = 0; s < drawing.shapes.size(); ++s) {
    const auto it = std::find(colours.begin(), colours.end(), drawing.shapes[s].colour);
    if (it != colours.end()) materialOfShape[s] = static_cast<int>(it - colours.begin());
  }
  std::vector<int> leftParity(drawing.shapes.size());
  std::vector<int> rightParity(drawing.shapes.size());
  for (const Piece& piece : pieces) {
    DrawingPoint mid{0.5 * (piece.a.x + piece.b.x), 0.5 * (piece.a.y + piece.b.y)};
    if (piece.bulge != 0) {
      const ArcCircle c = CircleOfArc(piece.a, piece.b, piece.bulge);
      const double angle = c.start + c.sweep / 2;
      mid = {c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)};
    }
    std::fill(leftParity.begin(), leftParity.end(), 0);
    std::fill(rightParity.begin(), rightParity.end(), 0);
    for (std::size_t l = 0; l < loops.size(); ++l) {
      const LoopInfo& loop = loops[l];
      const auto own = std::find_if(piece.owners.begin(), piece.owners.end(),
                                    [&](const auto& o) { return o.first == static_cast<int>(l); });
      if (own != piece.owners.end()) {
        // On the loop itself: its inside is on the left when it runs counter-clockwise.
        for (const auto& [ownerLoop, forward] : piece.owners) {
          if (ownerLoop != static_cast<int>(l)) continue;
          const bool left = forward == loop.ccw;
          leftParity[loop.shape] += left ? 1 : 0;
          rightParity[loop.shape] += left ? 0 : 1;
        }
        continue;
      }
      if (mid.y < loop.box.ymin || mid.y > loop.box.ymax || mid.x > loop.box.xmax ||
          mid.x < loop.box.xmin) {
        continue;
      }
      const int inside = RayCrossings(edges, loop, mid) % 2;
      leftParity[loop.shape] += inside;
      rightParity[loop.shape] += inside;
    }
    int left = -1;
    int right = -1;
    for (int s = static_cast<int>(drawing.shapes.size()) - 1; s >= 0; --s) {
      if (left < 0 && leftParity[s] % 2 != 0) left = s;
      if (right < 0 && rightParity[s] % 2 != 0) right = s;
    }
    const int leftMaterial = left < 0 ? -1 : materialOfShape[left];
    const int rightMaterial = right < 0 ? -1 : materialOfShape[right];
    if (leftMaterial == rightMaterial) continue;
    if (leftMaterial >= 0) result[leftMaterial].push_back({piece.a, piece.b, piece.bulge});
    if (rightMaterial >= 0) result[rightMaterial].push_back({piece.b, piece.a, -piece.bulge});
  }
  return result;
}

AreaMoments RegionMoments(const std::vector<BoundaryPiece>& pieces) {
  if (pieces.empty()) return {};
  // Integrated about a corner of the region, so that a region far from the origin loses no
  // digits, then moved to the origin.
  const DrawingPoint o = pieces.front().a;
  AreaMoments m;
  for (const BoundaryPiece& p : pieces) {
    AddEdgeMoments({p.a.x - o.x, p.a.y - o.y}, {p.b.x - o.x, p.b.y - o.y}, p.bulge, m);
  }
  AreaMoments at;
  at.A = m.A;
  at.Sx = m.Sx + o.x * m.A;
  at.Sy = m.Sy + o.y * m.A;
  at.Ixx = m.Ixx + 2 * o.x * m.Sx + o.x * o.x * m.A;
  at.Iyy = m.Iyy + 2 * o.y * m.Sy + o.y * o.y * m.A;
  at.Ixy = m.Ixy + o.x * m.Sy + o.y * m.Sx + o.x * o.y * m.A;
  return at;
}

OutlineSection OutlineSectionOf(const OutlineDrawing& drawing,
                                const std::vector<MaterialMoments>& materials) {
  OutlineSection section;
  std::vector<std::uint32_t> colours;
  colours.reserve(materials.size());
  for (const MaterialMoments& m : materials) colours.push_back(m.colour);
  const std::vector<std::vector<BoundaryPiece>> boundaries = MaterialBoundaries(drawing, colours);

  // The centres first, then the second moments about the elastic centre taken region by region
  // about each region's own first corner, so that nothing large cancels.
  double eS[2] = {0, 0};
  double rhoS[2] = {0, 0};
  double rhoA = 0;
  for (std::size_t i = 0; i < materials.size(); ++i) {
    const AreaMoments r = RegionMoments(boundaries[i]);
    section.regions.push_back(r);
    section.EA += materials[i].E * r.A;
    eS[0] += materials[i].E * r.Sx;
    eS[1] += materials[i].E * r.Sy;
    rhoA += materials[i].rho * r.A;
    rhoS[0] += materials[i].rho * r.Sx;
    rhoS[1] += materials[i].rho * r.Sy;
  }
  section.Mass = rhoA / 1e9;
  if (section.EA != 0) section.centre = {eS[0] / section.EA, eS[1] / section.EA};
  if (rhoA != 0) section.massCentre = {rhoS[0] / rhoA, rhoS[1] / rhoA};
  const DrawingPoint c = section.centre;
  for (std::size_t i = 0; i < materials.size(); ++i) {
    std::vector<BoundaryPiece> moved = boundaries[i];
    for (BoundaryPiece& p : moved) {
      p.a = {p.a.x - c.x, p.a.y - c.y};
      p.b = {p.b.x - c.x, p.b.y - c.y};
    }
    const AreaMoments r = RegionMoments(moved);
    // y = -(x - xc) and z = -(y - yc): the product keeps its sign.
    section.EIyy += materials[i].E * r.Ixx;
    section.EIzz += materials[i].E * r.Iyy;
    section.EIyz += materials[i].E * r.Ixy;
  }
  if (section.EIyz == 0) section.EIyz = 0;
  SectionResult principal;
  principal.EIyy = section.EIyy;
  principal.EIzz = section.EIzz;
  principal.EIyz = section.EIyz;
  ComputePrincipalAxes(principal);
  section.EI1 = principal.EI1;
  section.EI2 = principal.EI2;
  section.Alpha = principal.Alpha;
  section.Iso = principal.Iso;
  return section;
}

}  // namespace qv
