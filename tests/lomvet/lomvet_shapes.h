// glimshape — tests/lomvet
// Purpose: test and benchmark level sets that carry only a sign and a zero contour.
#ifndef TESTS_LOMVET_SHAPES_H
#define TESTS_LOMVET_SHAPES_H

#include <algorithm>
#include <cmath>
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

}  // namespace lomvettest

#endif
