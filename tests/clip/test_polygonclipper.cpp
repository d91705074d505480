// glimshape — tests
// Purpose: union and difference of indexed polygons: the listed cases, the checks of bad
// input, coordinate precision, and random even-odd polygons against a sampled reference.
#include "clip/polygonclipper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using Points = std::vector<vorn::Vec2<double>>;
using Loops = std::vector<std::vector<int>>;

struct Indexed {
  Points points;
  Loops loops;
};

/// Adds the axis-aligned square [x0, x1] × [y0, y1] as one loop.
void addSquare(Indexed& p, double x0, double y0, double x1, double y1) {
  const int base = static_cast<int>(p.points.size());
  p.points.insert(p.points.end(), {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
  p.loops.push_back({base, base + 1, base + 2, base + 3});
}

Indexed square(double x0, double y0, double x1, double y1) {
  Indexed p;
  addSquare(p, x0, y0, x1, y1);
  return p;
}

/// Even-odd inside test by counting crossings of a ray towards +x, over all loops.
bool insideEvenOdd(const Indexed& p, double x, double y) {
  bool inside = false;
  for (const std::vector<int>& loop : p.loops) {
    const std::size_t m = loop.size();
    for (std::size_t k = 0; k < m; ++k) {
      const vorn::Vec2<double>& a = p.points[static_cast<std::size_t>(loop[k])];
      const vorn::Vec2<double>& b = p.points[static_cast<std::size_t>(loop[(k + 1) % m])];
      if ((a.y > y) != (b.y > y)) {
        const double xc = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x < xc) inside = !inside;
      }
    }
  }
  return inside;
}

/// Shoelace area of one loop (positive when counter-clockwise in x-right, y-up axes).
double signedArea(const Indexed& p, const std::vector<int>& loop) {
  double a = 0.0;
  for (std::size_t k = 0; k < loop.size(); ++k) {
    const auto& u = p.points[static_cast<std::size_t>(loop[k])];
    const auto& v = p.points[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
    a += u.x * v.y - v.x * u.y;
  }
  return 0.5 * a;
}

double perimeter(const Indexed& p) {
  double l = 0.0;
  for (const auto& loop : p.loops)
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto d = p.points[static_cast<std::size_t>(loop[(k + 1) % loop.size()])] -
                     p.points[static_cast<std::size_t>(loop[k])];
      l += std::sqrt(d.dot(d));
    }
  return l;
}

bool noPointTwice(const Points& points) {
  std::set<std::pair<double, double>> seen;
  for (const auto& p : points)
    if (!seen.insert({p.x, p.y}).second) return false;
  return true;
}

bool clip(Indexed& subject, const Indexed& other, PolygonClipper::Operation op) {
  return PolygonClipper::clip(subject.points, subject.loops, other.points, other.loops, op);
}

TEST(PolygonClipper, ListedCases) {
  {
    // Two disjoint squares: two loops of four points, eight points.
    Indexed s = square(0, 0, 2, 2);
    ASSERT_TRUE(clip(s, square(5, 5, 7, 7), PolygonClipper::Union));
    ASSERT_EQ(s.loops.size(), 2u);
    EXPECT_EQ(s.loops[0].size(), 4u);
    EXPECT_EQ(s.loops[1].size(), 4u);
    EXPECT_EQ(s.points.size(), 8u);
    EXPECT_NEAR(std::fabs(signedArea(s, s.loops[0])) + std::fabs(signedArea(s, s.loops[1])),
                8.0, 1e-9);
  }
  {
    // Squares sharing the edge x = 2: one loop, the 4 × 2 rectangle, no repeated point.
    Indexed s = square(0, 0, 2, 2);
    ASSERT_TRUE(clip(s, square(2, 0, 4, 2), PolygonClipper::Union));
    ASSERT_EQ(s.loops.size(), 1u);
    EXPECT_TRUE(noPointTwice(s.points));
    EXPECT_NEAR(std::fabs(signedArea(s, s.loops[0])), 8.0, 1e-9);
  }
  {
    // A square minus a larger square covering it: nothing left.
    Indexed s = square(1, 1, 3, 3);
    ASSERT_TRUE(clip(s, square(0, 0, 4, 4), PolygonClipper::Difference));
    EXPECT_TRUE(s.points.empty());
    EXPECT_TRUE(s.loops.empty());
  }
  {
    // A square minus a smaller square inside it: outline and hole, both ordinary loops
    // whose even-odd region is the ring.
    Indexed s = square(0, 0, 10, 10);
    ASSERT_TRUE(clip(s, square(3, 3, 6, 6), PolygonClipper::Difference));
    ASSERT_EQ(s.loops.size(), 2u);
    EXPECT_EQ(s.points.size(), 8u);
    EXPECT_TRUE(insideEvenOdd(s, 1.0, 1.0));
    EXPECT_FALSE(insideEvenOdd(s, 4.5, 4.5));
    double areas[2] = {std::fabs(signedArea(s, s.loops[0])), std::fabs(signedArea(s, s.loops[1]))};
    if (areas[0] < areas[1]) std::swap(areas[0], areas[1]);
    EXPECT_NEAR(areas[0], 100.0, 1e-9);
    EXPECT_NEAR(areas[1], 9.0, 1e-9);
  }
  {
    // Vertices shared between result contours (two squares meeting at one corner) are
    // one point.
    Indexed s = square(0, 0, 2, 2);
    ASSERT_TRUE(clip(s, square(2, 2, 4, 4), PolygonClipper::Union));
    EXPECT_TRUE(noPointTwice(s.points));
    EXPECT_LE(s.points.size(), 7u);
  }
  {
    // Any operation value other than Union is a difference.
    Indexed s = square(0, 0, 4, 4);
    ASSERT_TRUE(clip(s, square(2, 0, 6, 4), static_cast<PolygonClipper::Operation>(7)));
    ASSERT_EQ(s.loops.size(), 1u);
    EXPECT_NEAR(std::fabs(signedArea(s, s.loops[0])), 8.0, 1e-9);
  }
  {
    // Empty operands: union with nothing keeps the square, nothing minus anything is
    // nothing.
    Indexed s = square(0, 0, 1, 1);
    ASSERT_TRUE(clip(s, Indexed{}, PolygonClipper::Union));
    EXPECT_EQ(s.loops.size(), 1u);
    Indexed e;
    ASSERT_TRUE(clip(e, square(0, 0, 1, 1), PolygonClipper::Difference));
    EXPECT_TRUE(e.points.empty());
    EXPECT_TRUE(e.loops.empty());
  }
}

TEST(PolygonClipper, RefusesBadInputAndKeepsTheSubject) {
  const Indexed original = square(0, 0, 2, 2);
  auto refused = [&](const Indexed& other) {
    Indexed s = original;
    if (clip(s, other, PolygonClipper::Union)) return false;
    EXPECT_EQ(s.points.size(), original.points.size());
    EXPECT_EQ(s.loops, original.loops);
    return true;
  };
  Indexed badIndex = square(0, 0, 1, 1);
  badIndex.loops[0][2] = 4;
  EXPECT_TRUE(refused(badIndex));
  badIndex.loops[0][2] = -1;
  EXPECT_TRUE(refused(badIndex));

  Indexed nan = square(0, 0, 1, 1);
  nan.points[1].x = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(refused(nan));
  Indexed inf = square(0, 0, 1, 1);
  inf.points[2].y = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(refused(inf));
  // A coordinate whose scaled value would overflow Clipper's integers.
  EXPECT_TRUE(refused(square(0, 0, 1e12, 1)));
  EXPECT_TRUE(refused(square(0, 0, PolygonClipper::maxCoordinate * 2, 1)));
  EXPECT_FALSE(refused(square(0, 0, PolygonClipper::maxCoordinate, 1)));

  // Points that no loop uses are not checked: they do not take part.
  Indexed unused = square(3, 3, 4, 4);
  unused.points.push_back({std::numeric_limits<double>::quiet_NaN(), 0.0});
  EXPECT_FALSE(refused(unused));
}

TEST(PolygonClipper, KeepsSubMicroPixelPrecisionOnLargeCanvases) {
  // Corners near the far side of a 4096-pixel canvas, off the grid of any decimal step.
  const double x0 = 4095.123456789, y0 = 4090.987654321, x1 = 4095.9876543211,
               y1 = 4095.000000123;
  Indexed s = square(x0, y0, x1, y1);
  ASSERT_TRUE(clip(s, square(0, 0, 1, 1), PolygonClipper::Union));
  ASSERT_EQ(s.loops.size(), 2u);
  for (const auto& p : s.points) {
    if (p.x < 2) continue;
    EXPECT_TRUE(std::fabs(p.x - x0) < 1e-9 || std::fabs(p.x - x1) < 1e-9) << p.x;
    EXPECT_TRUE(std::fabs(p.y - y0) < 1e-9 || std::fabs(p.y - y1) < 1e-9) << p.y;
  }
  // A sliver 1e-7 pixel wide survives a difference.
  Indexed t = square(1000, 1000, 1001, 1001);
  ASSERT_TRUE(clip(t, square(1000 + 1e-7, 999, 1002, 1002), PolygonClipper::Difference));
  ASSERT_EQ(t.loops.size(), 1u);
  EXPECT_NEAR(std::fabs(signedArea(t, t.loops[0])), 1e-7, 1e-9);
}

/// 1 to 3 loops of 3 to 8 random vertices in [0, 20]², crossing themselves freely.
Indexed randomPolygon(std::mt19937& rng) {
  std::uniform_real_distribution<double> coord(0.0, 20.0);
  std::uniform_int_distribution<int> loopCount(1, 3);
  std::uniform_int_distribution<int> vertexCount(3, 8);
  Indexed p;
  const int loops = loopCount(rng);
  for (int l = 0; l < loops; ++l) {
    std::vector<int> loop;
    const int n = vertexCount(rng);
    for (int k = 0; k < n; ++k) {
      loop.push_back(static_cast<int>(p.points.size()));
      p.points.push_back({coord(rng), coord(rng)});
    }
    p.loops.push_back(loop);
  }
  return p;
}

TEST(PolygonClipper, RandomPairsMatchSampledEvenOddRegions) {
  // The result's region is compared sample by sample with the region the operation
  // should give, both read by the even-odd rule, on a 200 × 200 grid over the inputs'
  // square (cell centres, offset so that samples avoid the random edges almost surely).
  std::mt19937 rng(42);
  const int n = 200;
  const double cell = 20.0 / n;
  for (int trial = 0; trial < 60; ++trial) {
    const Indexed a = randomPolygon(rng);
    const Indexed b = randomPolygon(rng);
    for (PolygonClipper::Operation op : {PolygonClipper::Union, PolygonClipper::Difference}) {
      Indexed r = a;
      ASSERT_TRUE(clip(r, b, op)) << "trial " << trial;
      EXPECT_TRUE(noPointTwice(r.points)) << "trial " << trial;
      int mismatches = 0, expectedCount = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const double x = (i + 0.5137) * cell, y = (j + 0.4713) * cell;
          const bool inA = insideEvenOdd(a, x, y), inB = insideEvenOdd(b, x, y);
          const bool expected = op == PolygonClipper::Union ? (inA || inB) : (inA && !inB);
          expectedCount += expected;
          mismatches += expected != insideEvenOdd(r, x, y);
        }
      }
      // The result is exact up to 5e-10 pixel, so a sample can only differ where it lies
      // that close to an edge.
      EXPECT_LE(mismatches, 2) << "trial " << trial << " op " << op;
      // Outer outlines and holes come with opposite orientations, so the signed areas
      // add up to the region's area; compare it with the sampled area, whose error
      // grows with the length of the outlines it cuts.
      double area = 0.0;
      for (const auto& loop : r.loops) area += signedArea(r, loop);
      EXPECT_NEAR(std::fabs(area), expectedCount * cell * cell,
                  0.1 * cell * (perimeter(a) + perimeter(b)))
          << "trial " << trial << " op " << op;
    }
  }
}

}  // namespace
