// glimshape — liblomvet
// Purpose: signed-distance re-initialisation of the dense grid by nearest-segment propagation.
#include "lomvet/reinit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A contour segment a + t d, t in [0, 1], with 1 / |d|² (0 for a degenerate segment).
struct Segment {
  double ax, ay, dx, dy, inv;
};

inline double distance2(const Segment& s, double px, double py) {
  double qx = px - s.ax, qy = py - s.ay;
  double t = (qx * s.dx + qy * s.dy) * s.inv;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  qx -= t * s.dx;
  qy -= t * s.dy;
  return qx * qx + qy * qy;
}

// Per-cell nearest segment found so far and its squared distance.
struct Field {
  int w, h;
  double hx, hy;
  const std::vector<Segment>& segments;
  std::vector<double> best;
  std::vector<int> nearest;
  double exact2;  // cells at most this far (squared) hold their true nearest segment

  // Offers cell i at (x, y) the nearest segment of cell j.
  inline void relax(std::size_t i, int x, int y, std::size_t j) {
    const int s = nearest[j];
    if (s < 0 || s == nearest[i]) return;
    const double d = distance2(segments[static_cast<std::size_t>(s)], x * hx, y * hy);
    if (d < best[i]) {
      best[i] = d;
      nearest[i] = s;
    }
  }

  void forwardSweep() {
    for (int y = 0; y < h; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      for (int x = 0; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] <= exact2) continue;
        if (x > 0) relax(i, x, y, i - 1);
        if (y > 0) {
          const std::size_t up = i - static_cast<std::size_t>(w);
          if (x > 0) relax(i, x, y, up - 1);
          relax(i, x, y, up);
          if (x + 1 < w) relax(i, x, y, up + 1);
        }
      }
      for (int x = w - 2; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(i, x, y, i + 1);
      }
    }
  }

  void backwardSweep() {
    for (int y = h - 1; y >= 0; --y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      for (int x = w - 1; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] <= exact2) continue;
        if (x + 1 < w) relax(i, x, y, i + 1);
        if (y + 1 < h) {
          const std::size_t down = i + static_cast<std::size_t>(w);
          if (x + 1 < w) relax(i, x, y, down + 1);
          relax(i, x, y, down);
          if (x > 0) relax(i, x, y, down - 1);
        }
      }
      for (int x = 1; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(i, x, y, i - 1);
      }
    }
  }
};

}  // namespace

bool ensureSignedDistance(FullLevelSet2D& grid, const CancelCallback& cancel, double exactRadius) {
  const int w = grid.width, h = grid.height;
  if (w < 2 || h < 2) return true;
  auto cancelled = [&] { return cancel && cancel(); };

  ContourPoints points;
  ContourEdges edges;
  grid.getLinesUnique(points, edges);
  if (edges.empty()) return true;
  if (cancelled()) return false;

  const double hx = grid.getXSpace() > 0 ? grid.getXSpace() : 1.0;
  const double hy = grid.getYSpace() > 0 ? grid.getYSpace() : 1.0;
  std::vector<Segment> segments;
  segments.reserve(edges.size());
  for (const auto& e : edges) {
    const auto& a = points[static_cast<std::size_t>(e.first)];
    const auto& b = points[static_cast<std::size_t>(e.second)];
    Segment s{a.x * hx, a.y * hy, (b.x - a.x) * hx, (b.y - a.y) * hy, 0.0};
    const double len2 = s.dx * s.dx + s.dy * s.dy;
    s.inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
    segments.push_back(s);
  }

  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  Field field{w, h, hx, hy, segments,
              std::vector<double>(n, std::numeric_limits<double>::infinity()),
              std::vector<int>(n, -1), 0.0};

  // Exact band: every cell within the radius of a segment (in cells along each axis) tries
  // that segment, so a cell whose true distance is at most the radius meets its nearest
  // segment. When the contour is so dense that the band would cost more than a few
  // visits per cell, the band narrows; the sweeps then carry nearly all the distances, and
  // these are short.
  double radius = std::max(exactRadius, 0.0);
  {
    const double perSegment = (2.0 * radius / std::min(hx, hy) + 2.0);
    const double budget = 6.0 * static_cast<double>(n);
    const double cost = perSegment * perSegment * static_cast<double>(segments.size());
    if (cost > budget) {
      const double side = std::sqrt(budget / static_cast<double>(segments.size()));
      radius = std::max(1.5, (side - 2.0) * 0.5) * std::min(hx, hy);
    }
  }
  field.exact2 = radius * radius;
  const int rx = static_cast<int>(std::ceil(radius / hx));
  const int ry = static_cast<int>(std::ceil(radius / hy));
  for (std::size_t k = 0; k < edges.size(); ++k) {
    const auto& a = points[static_cast<std::size_t>(edges[k].first)];
    const auto& b = points[static_cast<std::size_t>(edges[k].second)];
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(a.x, b.x))) - rx);
    const int x1 = std::min(w - 1, static_cast<int>(std::ceil(std::max(a.x, b.x))) + rx);
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(a.y, b.y))) - ry);
    const int y1 = std::min(h - 1, static_cast<int>(std::ceil(std::max(a.y, b.y))) + ry);
    const Segment& s = segments[k];
    for (int y = y0; y <= y1; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      const double py = y * hy;
      for (int x = x0; x <= x1; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        const double d = distance2(s, x * hx, py);
        if (d < field.best[i]) {
          field.best[i] = d;
          field.nearest[i] = static_cast<int>(k);
        }
      }
    }
  }
  if (cancelled()) return false;

  field.forwardSweep();
  if (cancelled()) return false;
  field.backwardSweep();
  if (cancelled()) return false;

  // A cell keeps its side: inside (≤ 0, and NaN, as the contour counts it) becomes −d or 0;
  // an outside cell that lies on the contour itself keeps its small positive value.
  double* v = grid.values.data();
  for (std::size_t i = 0; i < n; ++i) {
    const double d = std::sqrt(field.best[i]);
    if (!(v[i] > 0))
      v[i] = d > 0 ? -d : 0.0;
    else if (d > 0)
      v[i] = d;
  }
  return true;
}
