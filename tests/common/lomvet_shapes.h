// glimshape — tests/common
// Purpose: test and benchmark level sets that carry only a sign and a zero contour.
#ifndef TESTS_COMMON_LOMVET_SHAPES_H
#define TESTS_COMMON_LOMVET_SHAPES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "lomvet/levelset2d.h"

namespace lomvettest {

struct Disc {
  double x, y, r;
};

// A positive factor that varies over the grid, so that values are not distances.
inline double warp(double x, double y, int n) {
  return 0.35 + 0.3 * (1.0 + std::sin(7.0 * x / n)) * (1.0 + std::cos(5.0 * y / n));
}

// A blob with a wavy outline, centred, about a third of the grid across.
inline FullLevelSet2D blobby(int n) {
  FullLevelSet2D g(n, n);
  const double c = 0.5 * n, r0 = 0.3 * n;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double dx = x - c + 0.37, dy = y - c + 0.21;
      const double th = std::atan2(dy, dx);
      const double r = r0 * (1.0 + 0.2 * std::sin(3 * th) + 0.1 * std::cos(5 * th + 0.4));
      const double f = std::hypot(dx, dy) - r;
      g(x, y) = f * warp(x, y, n) * (1.0 + 0.02 * f * f);
    }
  return g;
}

// The union of the discs, in grid units.
inline FullLevelSet2D discs(int n, const std::vector<Disc>& list) {
  FullLevelSet2D g(n, n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      double f = 1e30;
      for (const auto& d : list) f = std::min(f, std::hypot(x - d.x, y - d.y) - d.r);
      g(x, y) = f * warp(x, y, n);
    }
  return g;
}

// A spread of discs of various radii, two of them touching, scaled to the grid.
inline std::vector<Disc> discSet(int n) {
  const double s = n / 128.0;
  return {{30 * s, 30 * s, 14 * s},  {58.3 * s, 30 * s, 14.3 * s}, {95 * s, 40 * s, 20 * s},
          {40 * s, 90 * s, 9.5 * s}, {88 * s, 97 * s, 16 * s},     {64 * s, 64 * s, 5.2 * s},
          {112 * s, 75 * s, 6 * s}};
}

// Thin features: a bar 1.6 px wide, a ring 2.5 px thick and a one-pixel-wide line.
inline FullLevelSet2D thin(int n) {
  FullLevelSet2D g(n, n);
  const double c = 0.5 * n;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double bar = std::fabs((x - 0.4 * y) * 0.928 - 0.1 * n) - 0.8;
      const double ring = std::fabs(std::hypot(x - c, y - c - 3.3) - 0.3 * n) - 1.25;
      const double line = std::max(std::fabs(y - 0.8 * n - 0.5) - 0.45, std::fabs(x - c) - 0.35 * n);
      g(x, y) = std::min(bar, std::min(ring, line)) * warp(x, y, n);
    }
  return g;
}

// A disc cut by the left border and a square cut by the bottom-right corner.
inline FullLevelSet2D border(int n) {
  FullLevelSet2D g(n, n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double a = std::hypot(x + 0.3 * n, y - 0.4 * n) - 0.45 * n;
      const double b = std::max(0.8 * n - x, 0.75 * n - y + 0.3);
      g(x, y) = std::min(a, b) * warp(x, y, n);
    }
  return g;
}

// A mask of discs seeded as the application does: +1/256 outside and -1/256 inside.
inline FullLevelSet2D masked(int n) {
  FullLevelSet2D g(n, n);
  const auto list = discSet(n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      bool in = false;
      for (const auto& d : list) in = in || std::hypot(x - d.x, y - d.y) <= d.r;
      g(x, y) = static_cast<double>(static_cast<float>((in ? 1.0f : 0.0f) - 0.5f) * -0.0078125f);
    }
  return g;
}

// The evolver's obstacle grid: 1e10 everywhere, lowered inside two shapes to their values.
inline FullLevelSet2D obstacle(int n) {
  FullLevelSet2D g(n, n);
  for (auto& v : g.values) v = 1e10;
  const double c = 0.5 * n;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double a = std::hypot(x - 0.3 * n, y - c) - 0.15 * n;
      const double b = std::max(std::fabs(x - 0.72 * n), std::fabs(y - 0.4 * n)) - 0.12 * n;
      const double f = std::min(a, b);
      if (f < 0) g(x, y) = std::min(g(x, y), f - 0.25);
    }
  return g;
}

struct NamedShape {
  std::string name;
  FullLevelSet2D grid;
};

inline std::vector<NamedShape> allShapes(int n) {
  return {{"blobby", blobby(n)},   {"discs", discs(n, discSet(n))}, {"thin", thin(n)},
          {"border", border(n)},   {"masked", masked(n)},           {"obstacle", obstacle(n)}};
}

// ---- Exact reference -------------------------------------------------------------

inline double segmentDistance(const vorn::Vec2<double>& a, const vorn::Vec2<double>& b, double px,
                       double py) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
  t = std::min(1.0, std::max(0.0, t));
  return std::hypot(px - a.x - t * dx, py - a.y - t * dy);
}

// Exact unsigned distance of every cell to the segments: segments are bucketed by the grid
// square they start in, and the rings of squares around a cell are searched outwards until
// the ring can hold nothing nearer than the best found (a square k rings away is at least
// k - 1 pixels off, and a segment is shorter than 1.5 pixels).
// Only cells where `wanted` holds are computed (the rest stay infinite).
template <class Wanted>
inline std::vector<double> bruteForce(const FullLevelSet2D& g, Wanted wanted) {
  ContourPoints pts;
  ContourEdges edges;
  g.getLinesUnique(pts, edges);
  const int w = g.width, h = g.height;
  std::vector<std::vector<int>> bucket(static_cast<std::size_t>(w * h));
  for (std::size_t k = 0; k < edges.size(); ++k) {
    const auto& a = pts[static_cast<std::size_t>(edges[k].first)];
    const int bx = std::min(w - 1, static_cast<int>(a.x)), by = std::min(h - 1, static_cast<int>(a.y));
    bucket[static_cast<std::size_t>(bx + by * w)].push_back(static_cast<int>(k));
  }
  std::vector<double> ref(g.values.size(), std::numeric_limits<double>::infinity());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!wanted(static_cast<std::size_t>(x + y * w))) continue;
      double best = std::numeric_limits<double>::infinity();
      for (int ring = 0; ring < std::max(w, h); ++ring) {
        if (best < ring - 2.5) break;
        for (int by = y - ring; by <= y + ring; ++by) {
          const bool edgeRow = by == y - ring || by == y + ring;
          for (int bx = x - ring; bx <= x + ring; bx += edgeRow || ring == 0 ? 1 : 2 * ring) {
            if (bx < 0 || by < 0 || bx >= w || by >= h) continue;
            for (int k : bucket[static_cast<std::size_t>(bx + by * w)]) {
              const auto& e = edges[static_cast<std::size_t>(k)];
              best = std::min(best, segmentDistance(pts[static_cast<std::size_t>(e.first)],
                                                    pts[static_cast<std::size_t>(e.second)], x, y));
            }
          }
        }
      }
      ref[static_cast<std::size_t>(x + y * w)] = best;
    }
  return ref;
}

struct Score {
  double maxErr = 0, rms = 0, maxFarRatio = 0, maxFarErr = 0;
  int count = 0, signFlips = 0, nonFinite = 0, belowTrue = 0, unboundedNear = 0;
};

// The exact distance is computed where the result is within 8 pixels and at every
// farStride-th cell beyond (1: the whole grid; 0: none); a separate guard makes sure no
// cell near the contour hides beyond 8.
inline Score score(const FullLevelSet2D& before, const FullLevelSet2D& after,
                   std::size_t farStride = 13) {
  const auto ref = bruteForce(before, [&](std::size_t i) {
    return std::fabs(after.values[i]) <= 8 || (farStride > 0 && i % farStride == 0);
  });
  Score s;
  double sum = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    const double v = after.values[i];
    if (!std::isfinite(v)) ++s.nonFinite;
    if ((before.values[i] > 0) != (v > 0)) ++s.signFlips;
    if (!std::isfinite(ref[i])) continue;
    const double err = std::fabs(std::fabs(v) - ref[i]);
    if (std::fabs(v) < ref[i] - 1e-9) ++s.belowTrue;
    if (ref[i] <= 5.0) {
      s.maxErr = std::max(s.maxErr, err);
      sum += err * err;
      ++s.count;
    } else {
      s.maxFarRatio = std::max(s.maxFarRatio, std::fabs(v) / ref[i]);
      s.maxFarErr = std::max(s.maxFarErr, err);
    }
  }
  ContourPoints pts;
  ContourEdges edges;
  before.getLinesUnique(pts, edges);
  for (const auto& p : pts)
    for (int y = static_cast<int>(p.y) - 5; y <= static_cast<int>(p.y) + 6; ++y)
      for (int x = static_cast<int>(p.x) - 5; x <= static_cast<int>(p.x) + 6; ++x) {
        if (!after.have(x, y)) continue;
        const double d = std::hypot(x - p.x, y - p.y);
        if (d <= 5 && std::fabs(after.get(x, y)) > d + 1e-9) ++s.unboundedNear;
      }
  s.rms = s.count ? std::sqrt(sum / s.count) : 0.0;
  return s;
}

}  // namespace lomvettest

#endif
