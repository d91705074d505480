// glimshape — tests/lomvet
// Purpose: the case table, border closing and loop linking, checked against areas and loops.
#include "lomvet/marchingsquares.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

namespace {

using Loops = std::vector<std::vector<int>>;

// Area of the inside of the piecewise-linear field, cell by cell: walking round a cell,
// the inside corners and the crossings on its edges bound the inside part (with both
// inside corners of a saddle joined, the library's choice).
double interpolatedInsideArea(const FullLevelSet2D& g) {
  double total = 0;
  for (int y = 0; y + 1 < g.height; ++y)
    for (int x = 0; x + 1 < g.width; ++x) {
      const double cx[4] = {0, 1, 1, 0}, cy[4] = {0, 0, 1, 1};
      double v[4] = {g.get(x, y), g.get(x + 1, y), g.get(x + 1, y + 1), g.get(x, y + 1)};
      std::vector<std::pair<double, double>> poly;
      for (int k = 0; k < 4; ++k) {
        const int j = (k + 1) % 4;
        if (!(v[k] > 0)) poly.emplace_back(cx[k], cy[k]);
        if ((v[k] > 0) != (v[j] > 0)) {
          const double t = -v[k] / (v[j] - v[k]);
          poly.emplace_back(cx[k] + t * (cx[j] - cx[k]), cy[k] + t * (cy[j] - cy[k]));
        }
      }
      double a = 0;
      for (std::size_t k = 0; k < poly.size(); ++k) {
        const auto& p = poly[k];
        const auto& q = poly[(k + 1) % poly.size()];
        a += p.first * q.second - q.first * p.second;
      }
      total += std::fabs(a) / 2;
    }
  return total;
}

// Even-odd area of the loops, exactly: between two consecutive vertex ordinates the width
// of the filled set is linear in y, so its value at the slab's middle times the slab's
// height is the slab's area.
double evenOddArea(const ContourPoints& pts, const Loops& loops) {
  std::vector<std::pair<vorn::Vec2<double>, vorn::Vec2<double>>> segs;
  std::vector<double> ys;
  for (const auto& loop : loops)
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto& a = pts[static_cast<std::size_t>(loop[k])];
      const auto& b = pts[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
      segs.emplace_back(a, b);
      ys.push_back(a.y);
    }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  double area = 0;
  std::vector<double> xs;
  for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
    const double ym = 0.5 * (ys[k] + ys[k + 1]);
    xs.clear();
    for (const auto& s : segs) {
      const auto& a = s.first;
      const auto& b = s.second;
      if ((a.y < ym) != (b.y < ym)) xs.push_back(a.x + (ym - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(xs.begin(), xs.end());
    double width = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) width += xs[i + 1] - xs[i];
    area += width * (ys[k + 1] - ys[k]);
  }
  return area;
}

double signedArea(const ContourPoints& pts, const Loops& loops) {
  double a = 0;
  for (const auto& loop : loops)
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto& p = pts[static_cast<std::size_t>(loop[k])];
      const auto& q = pts[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
      a += p.x * q.y - q.x * p.y;
    }
  return a / 2;
}

struct Outline {
  ContourPoints pts;
  ContourEdges edges;
  Loops loops;
};

Outline outline(const FullLevelSet2D& g) {
  Outline o;
  g.getLinesUnique(o.pts, o.edges);
  addBorderEdges(o.pts, o.edges, &g);
  o.loops = getPolygons(o.pts, o.edges);
  return o;
}

// Every loop closed by the edges, each point in exactly one loop, each edge used once.
void expectLoopsCoverEdges(const Outline& o) {
  std::multiset<std::pair<int, int>> edgeSet;
  for (const auto& e : o.edges) edgeSet.insert({std::min(e.first, e.second), std::max(e.first, e.second)});
  std::vector<int> seen(o.pts.size(), 0);
  std::size_t used = 0;
  for (const auto& loop : o.loops) {
    ASSERT_GE(loop.size(), 3u);
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const int a = loop[k], b = loop[(k + 1) % loop.size()];
      ++seen[static_cast<std::size_t>(a)];
      auto it = edgeSet.find({std::min(a, b), std::max(a, b)});
      ASSERT_NE(it, edgeSet.end()) << "loop step " << a << "->" << b << " is no edge";
      edgeSet.erase(it);
      ++used;
    }
  }
  EXPECT_EQ(used, o.edges.size());
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 1) << "point " << i;
}

TEST(MarchingSquares, TableJoinsTheCrossedEdgesOfEveryCase) {
  // Corners of edge codes 0..3 and the crossed edges of every case.
  const int ends[4][2] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}};
  for (int kase = 0; kase < 16; ++kase) {
    std::multiset<int> crossed, listed;
    for (int e = 0; e < 4; ++e)
      if (((kase >> ends[e][0]) & 1) != ((kase >> ends[e][1]) & 1)) crossed.insert(e);
    for (int s = 0; s < MarchingSquares::lut_size[kase]; ++s)
      for (int k = 0; k < 2; ++k) {
        const int code = MarchingSquares::lut[kase][2 * s + k];
        ASSERT_GE(code, 0);
        ASSERT_LE(code, 3);
        listed.insert(code);
      }
    EXPECT_EQ(crossed, listed) << "case " << kase;
    EXPECT_EQ(MarchingSquares::lut_size[kase] * 2, static_cast<int>(crossed.size()));
  }
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(-1, 3), 0.25);
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(3, -1), 0.75);
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(0, 1e-17), 0.5);
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(-1, INFINITY), 0.0);
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(-INFINITY, 1), 0.5);
  EXPECT_DOUBLE_EQ(MarchingSquares::crossing(NAN, 1), 0.5);
}

TEST(Polygons, RandomFieldsCloseWithTheInterpolatedArea) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int round = 0; round < 60; ++round) {
    const int w = 2 + static_cast<int>(rng() % 23), h = 2 + static_cast<int>(rng() % 19);
    FullLevelSet2D g(w, h);
    const int kind = round % 4;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        double v = u(rng);
        if (kind == 1) v = v > 0.2 ? 1.0 / 256 : -1.0 / 256;  // a mask, mostly inside
        if (kind == 2) v = std::sin(0.7 * x + round) + std::cos(0.9 * y) - 0.3 + 0.2 * v;
        if (kind == 3 && rng() % 5 == 0) v = 0.0;  // zeros lie on the contour
        g(x, y) = v;
      }
    SCOPED_TRACE("round " + std::to_string(round));
    const Outline o = outline(g);
    expectLoopsCoverEdges(o);
    const double expected = interpolatedInsideArea(g);
    EXPECT_NEAR(evenOddArea(o.pts, o.loops), expected, 1e-9);
    // Loops run consistently (inside on the left of a y-up frame), holes the other way.
    EXPECT_NEAR(signedArea(o.pts, o.loops), expected, 1e-9);
  }
}

TEST(Polygons, DiscTouchingTheBorderIsOneLoop) {
  FullLevelSet2D g(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) g(x, y) = std::hypot(x - 2.0, y - 14.5) - 9.3;
  const Outline o = outline(g);
  ASSERT_EQ(o.loops.size(), 1u);
  expectLoopsCoverEdges(o);
  EXPECT_NEAR(evenOddArea(o.pts, o.loops), interpolatedInsideArea(g), 1e-9);
  // The loop includes points on the left border line.
  int onBorder = 0;
  for (int i : o.loops[0]) onBorder += o.pts[static_cast<std::size_t>(i)].x == 0.0;
  EXPECT_GE(onBorder, 2);
}

TEST(Polygons, DiscInTheCornerAndTwoSeparateShapes) {
  FullLevelSet2D g(30, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x)
      g(x, y) = std::min(std::hypot(x - 29.0, y - 29.0) - 7.5, std::hypot(x - 8.0, y - 9.0) - 4.2);
  const Outline o = outline(g);
  ASSERT_EQ(o.loops.size(), 2u);
  expectLoopsCoverEdges(o);
  EXPECT_NEAR(evenOddArea(o.pts, o.loops), interpolatedInsideArea(g), 1e-9);
}

TEST(Polygons, WholeCanvasGivesTheBorderLoop) {
  FullLevelSet2D g(12, 9);
  for (auto& v : g.values) v = -2.0;
  Outline o = outline(g);
  ASSERT_EQ(o.loops.size(), 1u);
  EXPECT_EQ(o.loops[0].size(), 4u);
  EXPECT_DOUBLE_EQ(std::fabs(signedArea(o.pts, o.loops)), 11.0 * 8.0);

  // With a hole: the border loop and the hole's loop, area without the hole.
  g(5, 4) = 1.0;
  o = outline(g);
  EXPECT_EQ(o.loops.size(), 2u);
  expectLoopsCoverEdges(o);
  EXPECT_NEAR(evenOddArea(o.pts, o.loops), interpolatedInsideArea(g), 1e-9);

  // All outside: nothing.
  for (auto& v : g.values) v = 1.0;
  o = outline(g);
  EXPECT_TRUE(o.loops.empty());
  EXPECT_TRUE(o.pts.empty());
}

TEST(Polygons, BorderThroughCellsWithoutValues) {
  // A level set that stores only a band, like the sparse kind: border cells far inside
  // have no value and take the side of the stored cell before them on the border.
  struct Band : FullLevelSet2D {
    using FullLevelSet2D::FullLevelSet2D;
    bool have(int x, int y) const override {
      return FullLevelSet2D::have(x, y) && std::fabs(get(x, y)) <= 2.0;
    }
  };
  Band g(20, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) g(x, y) = x - 9.5;  // left half inside
  ContourPoints pts;
  ContourEdges edges;
  g.getLinesUnique(pts, edges);
  addBorderEdges(pts, edges, &g);
  const Loops loops = getPolygons(pts, edges);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_NEAR(std::fabs(signedArea(pts, loops)), 9.5 * 19.0, 1e-9);
}

TEST(Polygons, HostileEdgeLists) {
  ContourPoints pts = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {2, 1}};
  // Bad indices are ignored; a point where four edges meet splits into two loops.
  ContourEdges edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {1, 4}, {4, 5}, {5, 1}, {-1, 3}, {2, 99}};
  Loops loops = getPolygons(pts, edges);
  ASSERT_EQ(loops.size(), 2u);
  for (const auto& l : loops) {
    std::set<int> unique(l.begin(), l.end());
    EXPECT_EQ(unique.size(), l.size());
  }
  // An open chain comes out whole, from its start; a lone edge is dropped.
  edges = {{2, 3}, {0, 1}, {1, 2}, {4, 5}};
  loops = getPolygons(pts, edges);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0], (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(getPolygons({}, {}).empty());
  addBorderEdges(pts, edges, nullptr);
  FullLevelSet2D tiny(1, 5);
  addBorderEdges(pts, edges, &tiny);
  EXPECT_EQ(edges.size(), 4u);
}

}  // namespace
