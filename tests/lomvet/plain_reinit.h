// glimshape — tests/lomvet
// Purpose: the straightforward nearest-segment re-initialisation (band disc by disc, cell by
// cell), kept as the reference that the faster one must match bit for bit.
#ifndef TESTS_LOMVET_PLAIN_REINIT_H
#define TESTS_LOMVET_PLAIN_REINIT_H

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "lomvet/levelset2d.h"

namespace plainreinit {

namespace detail {

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
  std::vector<double>& best;
  std::vector<int>& nearest;
  double exact2;  // cells at most this far (squared) hold their true nearest segment

  // Offers cell i at (x, y) the nearest segment of cell j.
  inline void relax(std::size_t i, double px, double py, std::size_t j) {
    const int s = nearest[j];
    if (s < 0 || s == nearest[i]) return;
    const double d = distance2(segments[static_cast<std::size_t>(s)], px, py);
    if (d < best[i]) {
      best[i] = d;
      nearest[i] = s;
    }
  }

  void forwardSweep() {
    for (int y = 0; y < h; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      const double py = y * hy;
      for (int x = 0; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] <= exact2) continue;
        const double px = x * hx;
        if (x > 0) relax(i, px, py, i - 1);
        if (y > 0) {
          const std::size_t up = i - static_cast<std::size_t>(w);
          if (x > 0) relax(i, px, py, up - 1);
          relax(i, px, py, up);
          if (x + 1 < w) relax(i, px, py, up + 1);
        }
      }
      for (int x = w - 2; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(i, x * hx, py, i + 1);
      }
    }
  }

  void backwardSweep() {
    for (int y = h - 1; y >= 0; --y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      const double py = y * hy;
      for (int x = w - 1; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] <= exact2) continue;
        const double px = x * hx;
        if (x + 1 < w) relax(i, px, py, i + 1);
        if (y + 1 < h) {
          const std::size_t down = i + static_cast<std::size_t>(w);
          if (x + 1 < w) relax(i, px, py, down + 1);
          relax(i, px, py, down);
          if (x > 0) relax(i, px, py, down - 1);
        }
      }
      for (int x = 1; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(i, x * hx, py, i - 1);
      }
    }
  }
};

}  // namespace detail

inline void plainSignedDistance(FullLevelSet2D& grid, double exactRadius = 5.0) {
  const int w = grid.width, h = grid.height;
  if (w < 2 || h < 2) return;

  ContourPoints points;
  ContourEdges edges;
  std::vector<detail::Segment> segments;
  std::vector<double> best;
  std::vector<int> nearest;
  grid.getLinesUnique(points, edges);
  if (edges.empty()) return;

  const double hx = grid.getXSpace() > 0 ? grid.getXSpace() : 1.0;
  const double hy = grid.getYSpace() > 0 ? grid.getYSpace() : 1.0;
  segments.clear();
  for (const auto& e : edges) {
    const auto& a = points[static_cast<std::size_t>(e.first)];
    const auto& b = points[static_cast<std::size_t>(e.second)];
    detail::Segment s{a.x * hx, a.y * hy, (b.x - a.x) * hx, (b.y - a.y) * hy, 0.0};
    const double len2 = s.dx * s.dx + s.dy * s.dy;
    s.inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
    segments.push_back(s);
  }

  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  best.assign(n, std::numeric_limits<double>::infinity());
  nearest.assign(n, -1);
  detail::Field field{w, h, hx, hy, segments, best, nearest, 0.0};

  // Exact band: every cell within the radius of a segment tries that segment, so a cell
  // whose true distance is at most the radius meets its nearest segment. A segment lies in
  // one grid square, so it is at most half a diagonal from its middle, and those cells lie
  // in the disc of radius + half diagonal around the middle. When the contour is so dense
  // that the band would cost more than a few visits per cell, the band narrows; the sweeps
  // then carry the distances, and these are short.
  const double halfDiagonal = 0.5 * std::hypot(hx, hy);
  double radius = std::max(exactRadius, 0.0);
  {
    const double pi = 3.14159265358979323846;
    const double cells = pi * (radius + halfDiagonal) * (radius + halfDiagonal) / (hx * hy);
    const double budget = 8.0 * static_cast<double>(n);
    const double count = static_cast<double>(segments.size());
    if (cells * count > budget)
      radius = std::max(1.5 * std::min(hx, hy),
                        std::sqrt(budget / count * hx * hy / pi) - halfDiagonal);
  }
  field.exact2 = radius * radius;
  const double reach = radius + halfDiagonal;
  for (std::size_t k = 0; k < edges.size(); ++k) {
    const detail::Segment& s = segments[k];
    const double mx = s.ax + 0.5 * s.dx, my = s.ay + 0.5 * s.dy;
    // Truncation may take in one cell too many on the low side, which does no harm.
    const int y0 = std::max(0, static_cast<int>((my - reach) / hy));
    const int y1 = std::min(h - 1, static_cast<int>((my + reach) / hy));
    for (int y = y0; y <= y1; ++y) {
      const double py = y * hy;
      const double half = std::sqrt(std::max(0.0, reach * reach - (py - my) * (py - my)));
      const int x0 = std::max(0, static_cast<int>((mx - half) / hx));
      const int x1 = std::min(w - 1, static_cast<int>((mx + half) / hx));
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      for (int x = x0; x <= x1; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        const double d = detail::distance2(s, x * hx, py);
        if (d < best[i]) {
          best[i] = d;
          nearest[i] = static_cast<int>(k);
        }
      }
    }
  }

  field.forwardSweep();
  field.backwardSweep();

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
}

}  // namespace plainreinit

#endif
