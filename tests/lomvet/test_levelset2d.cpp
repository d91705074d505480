// glimshape — tests/lomvet
// Purpose: the dense grid: mirrored access, differences, curvature and contour extraction.
#include "lomvet/levelset2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "lomvet/marchingsquares.h"

namespace {

FullLevelSet2D ramp(int w, int h) {
  FullLevelSet2D g(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) g(x, y) = 10.0 * y + x + 0.25 * x * x;
  return g;
}

TEST(FullLevelSet2D, ConstructionAndRelease) {
  FullLevelSet2D g(5, 3);
  EXPECT_EQ(g.getWidth(), 5);
  EXPECT_EQ(g.getHeight(), 3);
  EXPECT_EQ(g.getXSpace(), 1.0);
  EXPECT_EQ(g.getYSpace(), 1.0);
  ASSERT_EQ(g.values.size(), 15u);
  ASSERT_EQ(g.updateBuffer.size(), 15u);
  for (double v : g.values) EXPECT_EQ(v, 0.0);
  g.release();
  EXPECT_EQ(g.getWidth(), 0);
  EXPECT_TRUE(g.values.empty());
  EXPECT_EQ(g.get(0, 0), 0.0);
  g(3, 3) = 7.0;  // an empty grid hands out a scratch cell
  g.resize(2, 2);
  EXPECT_EQ(g.get(1, 1), 0.0);

  FullLevelSet2D negative(-4, 3);
  EXPECT_EQ(negative.getWidth(), 0);
  EXPECT_EQ(negative.getHeight(), 0);

  // Copies are deep, and work through the base class.
  FullLevelSet2D a = ramp(4, 4);
  FullLevelSet2D b = a;
  b(1, 1) = -100;
  EXPECT_NE(a.get(1, 1), -100);
  LevelSet2D* base = new FullLevelSet2D(3, 3);
  (*base)(2, 2) = 4.0;
  EXPECT_EQ(base->get(2, 2), 4.0);
  delete base;
}

TEST(FullLevelSet2D, MirroredReadsOutsideTheGrid) {
  const FullLevelSet2D g = ramp(6, 4);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(g.get(-1, y), g.get(1, y));
    EXPECT_EQ(g.get(6, y), g.get(5, y));
    EXPECT_EQ(g.get(7, y), g.get(4, y));
    EXPECT_EQ(g.get(-5, y), g.get(5, y));
    EXPECT_EQ(g.get(-6, y), g.get(5, y));  // 2n - 1 - 6 = 5
  }
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(g.get(x, -1), g.get(x, 1));
    EXPECT_EQ(g.get(x, 4), g.get(x, 3));
  }
  // Far outside the reflection repeats instead of leaving the array.
  EXPECT_EQ(g.get(12, 0), g.get(0, 0));
  EXPECT_EQ(g.get(-13, 9), g.get(1, 1));
  EXPECT_TRUE(std::isfinite(g.get(2147483647, -2147483647 - 1)));

  FullLevelSet2D one(1, 1);
  one(0, 0) = 3.0;
  EXPECT_EQ(one.get(-1, 5), 3.0);

  FullLevelSet2D w(4, 4);
  w(-1, 0) = 9.0;  // writes land on the mirrored cell
  EXPECT_EQ(w.get(1, 0), 9.0);
}

TEST(FullLevelSet2D, HaveIsExactlyTheGrid) {
  const FullLevelSet2D g(4, 3);
  EXPECT_TRUE(g.have(0, 0));
  EXPECT_TRUE(g.have(3, 2));
  EXPECT_FALSE(g.have(-1, 0));
  EXPECT_FALSE(g.have(4, 0));
  EXPECT_FALSE(g.have(0, 3));
  EXPECT_FALSE(g.have(0, -1));
}

TEST(FullLevelSet2D, DifferencesAndCurvature) {
  FullLevelSet2D g = ramp(6, 5);
  g.xSpace = 0.5;
  g.ySpace = 2.0;
  auto v = [&](int x, int y) { return 10.0 * y + x + 0.25 * x * x; };
  // Interior: the usual formulas.
  EXPECT_DOUBLE_EQ(g.getDxMinus(3, 2), (v(3, 2) - v(2, 2)) / 0.5);
  EXPECT_DOUBLE_EQ(g.getDxPlus(3, 2), (v(4, 2) - v(3, 2)) / 0.5);
  EXPECT_DOUBLE_EQ(g.getDxCentral(3, 2), (v(4, 2) - v(2, 2)) / 1.0);
  EXPECT_DOUBLE_EQ(g.getDyMinus(3, 2), (v(3, 2) - v(3, 1)) / 2.0);
  EXPECT_DOUBLE_EQ(g.getDyPlus(3, 2), (v(3, 3) - v(3, 2)) / 2.0);
  EXPECT_DOUBLE_EQ(g.getDyCentral(3, 2), (v(3, 3) - v(3, 1)) / 4.0);
  // Border: one-sided differences stand in for each other.
  EXPECT_DOUBLE_EQ(g.getDxMinus(0, 1), g.getDxPlus(0, 1));
  EXPECT_DOUBLE_EQ(g.getDxPlus(5, 1), g.getDxMinus(5, 1));
  EXPECT_DOUBLE_EQ(g.getDxCentral(0, 1), g.getDxPlus(0, 1));
  EXPECT_DOUBLE_EQ(g.getDxCentral(5, 1), g.getDxMinus(5, 1));
  EXPECT_DOUBLE_EQ(g.getDyMinus(2, 0), g.getDyPlus(2, 0));
  EXPECT_DOUBLE_EQ(g.getDyPlus(2, 4), g.getDyMinus(2, 4));
  EXPECT_DOUBLE_EQ(g.getDyCentral(2, 0), g.getDyPlus(2, 0));
  EXPECT_DOUBLE_EQ(g.getDyCentral(2, 4), g.getDyMinus(2, 4));
  // Upwind: backward for a positive velocity, forward otherwise (0 included).
  EXPECT_DOUBLE_EQ(g.getDxUpwind(3, 2, 1.0), g.getDxMinus(3, 2));
  EXPECT_DOUBLE_EQ(g.getDxUpwind(3, 2, 0.0), g.getDxPlus(3, 2));
  EXPECT_DOUBLE_EQ(g.getDyUpwind(3, 2, 2.0), g.getDyMinus(3, 2));
  EXPECT_DOUBLE_EQ(g.getDyUpwind(3, 2, -2.0), g.getDyPlus(3, 2));
  // The second difference of x + x²/4 is 0.5 per cell², of 10 y it is 0.
  EXPECT_DOUBLE_EQ(g.getCurvature(3, 2), 0.5 / 0.25);
  // At the border the mirrored reads apply: v(-1) = v(1).
  EXPECT_DOUBLE_EQ(g.getCurvature(0, 2), (2 * v(1, 2) - 2 * v(0, 2)) / 0.25 + 0.0);
  double a = 0, b = 0;
  EXPECT_DOUBLE_EQ(g.getCurvatureAndUpwind(3, 2, -1.0, 1.0, a, b), g.getCurvature(3, 2));
  EXPECT_DOUBLE_EQ(a, g.getDxPlus(3, 2));
  EXPECT_DOUBLE_EQ(b, g.getDyMinus(3, 2));
  // One column or row: no difference along it, and no endless fall-back.
  FullLevelSet2D thin(1, 3);
  EXPECT_EQ(thin.getDxMinus(0, 1), 0.0);
  EXPECT_EQ(thin.getDxCentral(0, 1), 0.0);
  FullLevelSet2D flat(3, 1);
  EXPECT_EQ(flat.getDyPlus(1, 0), 0.0);
}

// A key per grid edge: (x, y, horizontal?).
using EdgeKey = std::tuple<int, int, int>;

TEST(GetLinesUnique, OnePointPerCrossedEdge) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int round = 0; round < 20; ++round) {
    const int w = 3 + round % 7, h = 2 + round % 5;
    FullLevelSet2D g(w, h);
    for (auto& v : g.values) v = round % 3 == 0 ? (u(rng) > 0 ? 1.0 / 256 : -1.0 / 256) : u(rng);
    if (round % 4 == 1) g(1, 1) = 0.0;
    ContourPoints pts;
    ContourEdges edges = {{7, 7}};  // cleared on entry
    g.getLinesUnique(pts, edges);

    // Every crossed grid edge, with its expected point.
    std::map<EdgeKey, vorn::Vec2<double>> expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double a = g.get(x, y);
        if (x + 1 < w && (a > 0) != (g.get(x + 1, y) > 0)) {
          const double b = g.get(x + 1, y);
          expected[{x, y, 1}] = {x - a / (b - a), static_cast<double>(y)};
        }
        if (y + 1 < h && (a > 0) != (g.get(x, y + 1) > 0)) {
          const double b = g.get(x, y + 1);
          expected[{x, y, 0}] = {static_cast<double>(x), y - a / (b - a)};
        }
      }
    ASSERT_EQ(pts.size(), expected.size());
    std::vector<int> matched(pts.size(), 0);
    for (const auto& [key, p] : expected) {
      int hits = 0;
      for (std::size_t i = 0; i < pts.size(); ++i)
        if (std::fabs(pts[i].x - p.x) < 1e-12 && std::fabs(pts[i].y - p.y) < 1e-12) {
          ++hits;
          ++matched[i];
        }
      EXPECT_GE(hits, 1);
    }
    // Each point is used by one segment per cell it borders: twice inside, once on the border.
    std::vector<int> degree(pts.size(), 0);
    for (const auto& e : edges) {
      ASSERT_GE(e.first, 0);
      ASSERT_LT(e.first, static_cast<int>(pts.size()));
      ASSERT_LT(e.second, static_cast<int>(pts.size()));
      ++degree[static_cast<std::size_t>(e.first)];
      ++degree[static_cast<std::size_t>(e.second)];
    }
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const auto& p = pts[i];
      // A point on a grid node can be the end of a vertical and a horizontal edge alike.
      if (std::floor(p.x) == p.x && std::floor(p.y) == p.y) continue;
      const bool onBorder = p.x == 0 || p.y == 0 || p.x == w - 1 || p.y == h - 1;
      EXPECT_EQ(degree[i], onBorder ? 1 : 2) << p.x << "," << p.y;
    }
  }
}

TEST(GetLinesUnique, HandComputedCrossingsAndOrientation) {
  // Edge 0 of cell (2, 5) with corner values -1 and 3 is crossed at (2.25, 5).
  FullLevelSet2D g(5, 8);
  for (auto& v : g.values) v = 3.0;
  g(2, 5) = -1.0;
  ContourPoints pts;
  ContourEdges edges;
  g.getLinesUnique(pts, edges);
  ASSERT_EQ(pts.size(), 4u);
  ASSERT_EQ(edges.size(), 4u);
  bool found = false;
  for (const auto& p : pts) found = found || (p.x == 2.25 && p.y == 5.0);
  EXPECT_TRUE(found);
  // Inside on the side where cross(b - a, p - a) > 0, for the one inside cell.
  for (const auto& e : edges) {
    const auto a = pts[static_cast<std::size_t>(e.first)], b = pts[static_cast<std::size_t>(e.second)];
    const double cross = (b.x - a.x) * (5.0 - a.y) - (b.y - a.y) * (2.0 - a.x);
    EXPECT_GT(cross, 0.0);
  }
  // Equal corner values on both sides of zero are impossible, but a tiny difference gives the
  // midpoint rather than a division by a denormal.
  FullLevelSet2D m(2, 2);
  m(0, 0) = -1e-20;
  m(1, 0) = 1e-20;
  m(0, 1) = -1.0;
  m(1, 1) = 1.0;
  m.getLinesUnique(pts, edges);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_DOUBLE_EQ(pts[0].x, 0.5);
  EXPECT_DOUBLE_EQ(pts[1].x, 0.5);
}

TEST(GetLinesUnique, NoCellsNoContour) {
  ContourPoints pts(3);
  ContourEdges edges(2);
  FullLevelSet2D row(6, 1);
  row(2, 0) = 1.0;
  row.getLinesUnique(pts, edges);
  EXPECT_TRUE(pts.empty());
  EXPECT_TRUE(edges.empty());
  FullLevelSet2D(0, 0).getLinesUnique(pts, edges);
  EXPECT_TRUE(pts.empty());
}

}  // namespace
