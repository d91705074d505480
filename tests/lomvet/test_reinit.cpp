// glimshape — tests/lomvet
// Purpose: re-initialisation against the exact distance to the extracted contour segments.
#include "lomvet/reinit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lomvet/lomvet.h"
#include "lomvet_shapes.h"

namespace {

double segmentDistance(const vorn::Vec2<double>& a, const vorn::Vec2<double>& b, double px,
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
std::vector<double> bruteForce(const FullLevelSet2D& g, Wanted wanted) {
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
  double maxErr = 0, rms = 0, maxFarRatio = 0;
  int count = 0, signFlips = 0, nonFinite = 0, belowTrue = 0, unboundedNear = 0;
};

// The exact distance is computed where the result is within 8 pixels and at every 13th
// cell beyond; a separate guard makes sure no cell near the contour hides beyond 8.
Score score(const FullLevelSet2D& before, const FullLevelSet2D& after) {
  const auto ref = bruteForce(
      before, [&](std::size_t i) { return std::fabs(after.values[i]) <= 8 || i % 13 == 0; });
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
    }
  }
  ContourPoints pts;
  ContourEdges edges;
  before.getLinesUnique(pts, edges);
  for (const auto& p : pts)
    for (int y = static_cast<int>(p.y) - 6; y <= static_cast<int>(p.y) + 6; ++y)
      for (int x = static_cast<int>(p.x) - 6; x <= static_cast<int>(p.x) + 6; ++x) {
        if (!after.have(x, y)) continue;
        const double d = std::hypot(x - p.x, y - p.y);
        if (d <= 6 && std::fabs(after.get(x, y)) > d + 1e-9) ++s.unboundedNear;
      }
  s.rms = s.count ? std::sqrt(sum / s.count) : 0.0;
  return s;
}

class ReinitShapes : public ::testing::TestWithParam<int> {};

TEST_P(ReinitShapes, MatchesExactDistanceNearTheContour) {
  const int n = GetParam();
  for (const auto& shape : lomvettest::allShapes(n)) {
    SCOPED_TRACE(shape.name);
    FullLevelSet2D g = shape.grid;
    ASSERT_TRUE(ensureSignedDistance(g));
    const Score s = score(shape.grid, g);
    ASSERT_GT(s.count, 0);
    EXPECT_EQ(s.signFlips, 0);
    EXPECT_EQ(s.nonFinite, 0);
    // Every value is the distance to some segment, never less than the true distance.
    EXPECT_EQ(s.belowTrue, 0);
    EXPECT_EQ(s.unboundedNear, 0);
    EXPECT_LE(s.maxErr, 0.1);
    EXPECT_LE(s.rms, 0.02);
    // Farther out a little slack, but still a distance estimate.
    EXPECT_LE(s.maxFarRatio, 1.1);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReinitShapes, ::testing::Values(128, 256));

TEST(Reinit, TwoTouchingDiscsAndAVerticalLine) {
  // A straight contour half way between columns 9 and 10: distances 0.5, 1.5, ...
  FullLevelSet2D g(20, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) g(x, y) = x < 10 ? -3.0 * (10 - x) : 1e10;
  g.ensureSignedDistanceFMM();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      // The crossing between -3 and 1e10 lies next to column 9.
      const double expected = x <= 9 ? -(9.0 - x) : x - 9.0;
      EXPECT_NEAR(g.get(x, y), expected, 1e-6) << x << "," << y;
    }
}

TEST(Reinit, GridWithoutContourKeepsItsValues) {
  FullLevelSet2D g(7, 5);
  for (std::size_t i = 0; i < g.values.size(); ++i) g.values[i] = 1e10 + static_cast<double>(i);
  const auto before = g.values;
  g.ensureSignedDistanceFMM();
  EXPECT_EQ(g.values, before);

  for (std::size_t i = 0; i < g.values.size(); ++i) g.values[i] = -0.5 - static_cast<double>(i);
  const auto inside = g.values;
  g.ensureSignedDistanceFMM();
  EXPECT_EQ(g.values, inside);

  FullLevelSet2D empty;
  empty.ensureSignedDistanceFMM();
  EXPECT_EQ(empty.getWidth(), 0);
  FullLevelSet2D row(5, 1);
  row(2, 0) = -1;
  row.ensureSignedDistanceFMM();
  EXPECT_EQ(row.get(2, 0), -1.0);
}

TEST(Reinit, ZeroCountsAsInsideAndSidesAreKept) {
  FullLevelSet2D g(6, 6);
  for (auto& v : g.values) v = 2.0;
  g(2, 2) = 0.0;   // on the contour, inside
  g(3, 2) = 1e-300;  // outside, next to it
  g(2, 3) = -1.0;
  g.ensureSignedDistanceFMM();
  EXPECT_LE(g.get(2, 2), 0.0);
  EXPECT_GT(g.get(3, 2), 0.0);
  EXPECT_LT(g.get(2, 3), 0.0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      if (!((x == 2 && y == 2) || (x == 2 && y == 3))) {
        EXPECT_GT(g.get(x, y), 0.0);
      }
    }
}

TEST(Reinit, NonFiniteValuesStayFiniteAndSided) {
  FullLevelSet2D g(8, 8);
  for (auto& v : g.values) v = std::numeric_limits<double>::infinity();
  g(3, 3) = -std::numeric_limits<double>::infinity();
  g(4, 3) = std::numeric_limits<double>::quiet_NaN();  // counted as inside
  g(4, 4) = -2.0;
  g.ensureSignedDistanceFMM();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(std::isfinite(g.get(x, y))) << x << "," << y;
  EXPECT_LE(g.get(3, 3), 0.0);
  EXPECT_LE(g.get(4, 3), 0.0);
  EXPECT_LE(g.get(4, 4), 0.0);
  EXPECT_GT(g.get(0, 0), 0.0);
}

TEST(Reinit, CancelLeavesValuesUnchanged) {
  FullLevelSet2D g = lomvettest::blobby(64);
  const auto before = g.values;
  int polls = 0;
  EXPECT_FALSE(ensureSignedDistance(g, [&] { return ++polls >= 2; }));
  EXPECT_EQ(g.values, before);
  EXPECT_TRUE(ensureSignedDistance(g, [] { return false; }));
  EXPECT_NE(g.values, before);
}

TEST(Reinit, IsIdempotentOnADistanceField) {
  FullLevelSet2D g = lomvettest::discs(96, lomvettest::discSet(96));
  g.ensureSignedDistanceFMM();
  FullLevelSet2D again = g;
  again.ensureSignedDistanceFMM();
  double worst = 0;
  for (std::size_t i = 0; i < g.values.size(); ++i)
    if (std::fabs(g.values[i]) <= 5) worst = std::max(worst, std::fabs(g.values[i] - again.values[i]));
  // Re-sampling moves the contour a little at corners only.
  EXPECT_LT(worst, 0.15);
}

}  // namespace
