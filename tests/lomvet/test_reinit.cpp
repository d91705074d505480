// glimshape — tests/lomvet
// Purpose: re-initialisation against the exact distance to the extracted contour segments.
#include "lomvet/reinit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/lomvet_shapes.h"
#include "lomvet/lomvet.h"

namespace {

using lomvettest::Score;
using lomvettest::score;

class ReinitShapes : public ::testing::TestWithParam<int> {};

TEST_P(ReinitShapes, MatchesExactDistanceNearTheContour) {
  const int n = GetParam();
  for (const auto& shape : lomvettest::allShapes(n)) {
    SCOPED_TRACE(shape.name);
    FullLevelSet2D g = shape.grid;
    ASSERT_TRUE(ensureSignedDistance(g));
    // The whole grid at the smaller size, every 13th cell beyond 8 pixels at the larger.
    const Score s = score(shape.grid, g, n <= 128 ? 1 : 13);
    ASSERT_GT(s.count, 0);
    EXPECT_EQ(s.signFlips, 0);
    EXPECT_EQ(s.nonFinite, 0);
    // Every value is the distance to some segment, never less than the true distance.
    EXPECT_EQ(s.belowTrue, 0);
    EXPECT_EQ(s.unboundedNear, 0);
    EXPECT_LE(s.maxErr, 0.1);
    EXPECT_LE(s.rms, 0.02);
    // Farther out the sweeps carry a neighbour's segment: a little slack (0.07 px at
    // worst on these shapes; a sweep missing one diagonal neighbour gives 0.17 px).
    EXPECT_LE(s.maxFarRatio, 1.1);
    EXPECT_LE(s.maxFarErr, 0.1);
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

TEST(Reinit, SpacingScalesTheDistances) {
  FullLevelSet2D g(16, 6);
  g.xSpace = 0.5;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 16; ++x) g(x, y) = x - 7.5;
  g.ensureSignedDistanceFMM();
  for (int x = 0; x < 16; ++x) EXPECT_NEAR(g.get(x, 3), 0.5 * (x - 7.5), 1e-12) << x;
}

TEST(Reinit, DenseContoursNarrowTheBandButStayExact) {
  // White noise (about one segment per cell) and scattered specks (one cell in ten
  // inside): both far beyond the exact band's budget. Within the narrowed band cells still
  // meet their nearest segment (errors below 0.001 px); a band reaching too short a way
  // round the segments' middles leaves cells with a farther one (0.03 px on the noise,
  // 0.15 px on the specks).
  for (const int percentInside : {45, 10}) {
    SCOPED_TRACE(percentInside);
    const int n = percentInside == 45 ? 96 : 64;
    FullLevelSet2D g(n, n);
    unsigned state = percentInside == 45 ? 12345u : 109u;
    for (auto& v : g.values) {
      state = state * 1103515245u + 12345u;
      if (percentInside == 45)
        v = static_cast<double>((state >> 8) & 0xffff) / 65535.0 - 0.45;
      else
        v = (state >> 8) % 100 < 10u ? -0.5 - ((state >> 4) % 7) * 0.1 : 0.3 + ((state >> 12) % 5) * 0.2;
    }
    FullLevelSet2D out = g;
    out.ensureSignedDistanceFMM();
    const Score s = score(g, out, 1);
    EXPECT_EQ(s.signFlips, 0);
    EXPECT_EQ(s.nonFinite, 0);
    EXPECT_EQ(s.belowTrue, 0);
    EXPECT_LE(s.maxErr, 0.01);
    EXPECT_LE(s.maxFarErr, 0.01);
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
