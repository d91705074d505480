// glimshape — tests/levelset
// Purpose: SparseLevelSet2D: band storage, differences, contours and fast-marching re-initialisation.
#include "levelset/sparselevelset2d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/levelset_shapes.h"
#include "levelset/createlevelset.h"
#include "lomvet/marchingsquares.h"
#include "quarl/image.h"

namespace {

using glimtest::denseFrom;

// The band re-initialised, with the progress lines swallowed.
void reinit(SparseLevelSet2D& s) {
  testing::internal::CaptureStdout();
  s.ensureSignedDistanceFMM();
  testing::internal::GetCapturedStdout();
}

std::unique_ptr<SparseLevelSet2D> sparseOf(const FullLevelSet2D& d) {
  testing::internal::CaptureStdout();
  auto s = std::make_unique<SparseLevelSet2D>(d);
  testing::internal::GetCapturedStdout();
  return s;
}

using Mask = vorn::Image<unsigned char>;

// A dense level set seeded from a mask and re-initialised, as shapes are built.
FullLevelSet2D denseFromMask(const Mask& mask) {
  const std::unique_ptr<FullLevelSet2D> d(createLevelSetFromImage<FullLevelSet2D>(mask));
  return *d;
}

std::unique_ptr<SparseLevelSet2D> sparseFromMask(const Mask& mask, std::string* out = nullptr) {
  testing::internal::CaptureStdout();
  std::unique_ptr<SparseLevelSet2D> s(createLevelSetFromImage<SparseLevelSet2D>(mask));
  const std::string text = testing::internal::GetCapturedStdout();
  if (out != nullptr) *out = text;
  return s;
}

// A random blobby mask: a few discs with wavy outlines, some overlapping.
Mask blobbyMask(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  struct Blob {
    double cx, cy, r, a3, a5, ph;
  };
  std::vector<Blob> blobs;
  const int n = 2 + static_cast<int>(u(rng) * 4);
  for (int i = 0; i < n; ++i)
    blobs.push_back({w * (0.2 + 0.6 * u(rng)), h * (0.2 + 0.6 * u(rng)),
                     std::min(w, h) * (0.06 + 0.14 * u(rng)), 0.25 * u(rng), 0.15 * u(rng),
                     6.28 * u(rng)});
  Mask m(w, h, 1);
  m = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (const Blob& b : blobs) {
        const double dx = x - b.cx, dy = y - b.cy, th = std::atan2(dy, dx);
        const double r = b.r * (1.0 + b.a3 * std::sin(3 * th + b.ph) + b.a5 * std::cos(5 * th));
        if (std::hypot(dx, dy) <= r) m(x, y, 0) = 255;
      }
  return m;
}

// The cells that seed a re-initialisation (both cells of every crossed edge between stored
// cells) with their values.
std::map<std::pair<int, int>, double> seedsOf(const SparseLevelSet2D& s) {
  std::map<std::pair<int, int>, double> seeds;
  for (int y = 0; y < s.getHeight(); ++y)
    for (const auto& c : s.getRows()[static_cast<std::size_t>(y)]) {
      const int x = c.first;
      const int nx[2] = {x + 1, x}, ny[2] = {y, y + 1};
      for (int k = 0; k < 2; ++k)
        if (s.have(nx[k], ny[k]) && ((s.get(nx[k], ny[k]) <= 0) != (c.second <= 0))) {
          seeds[{x, y}] = c.second;
          seeds[{nx[k], ny[k]}] = s.get(nx[k], ny[k]);
        }
    }
  return seeds;
}

// Every stored value finite, within the band bound, and every former seed on its side.
void expectSoundBand(const SparseLevelSet2D& s,
                     const std::map<std::pair<int, int>, double>& seeds) {
  int bad = 0;
  for (int y = 0; y < s.getHeight(); ++y)
    for (const auto& c : s.getRows()[static_cast<std::size_t>(y)]) {
      if (!std::isfinite(c.second) || std::fabs(c.second) > 4.1 + 1e-12) ++bad;
      EXPECT_TRUE(c.first >= 0 && c.first < s.getWidth());
    }
  EXPECT_EQ(bad, 0);
  for (const auto& kv : seeds) {
    ASSERT_TRUE(s.have(kv.first.first, kv.first.second));
    EXPECT_EQ(s.get(kv.first.first, kv.first.second) <= 0, kv.second <= 0)
        << "seed (" << kv.first.first << ", " << kv.first.second << ") changed side";
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Storage

TEST(SparseLevelSet2D, KeepsExactlyTheCellsWithinFivePixelsAndReportsTheCount) {
  const FullLevelSet2D d = denseFrom(12, 3, [](int x, int y) { return x - 6.0 + 0.5 * y; });
  testing::internal::CaptureStdout();
  SparseLevelSet2D s(d);
  const std::string out = testing::internal::GetCapturedStdout();
  int expected = 0;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool in = std::fabs(d.get(x, y)) <= 5.0;
      expected += in;
      EXPECT_EQ(s.have(x, y), in) << x << "," << y;
      if (in) {
        EXPECT_EQ(s.get(x, y), d.get(x, y));
      }
    }
  EXPECT_TRUE(s.have(1, 0));   // exactly −5.0
  EXPECT_TRUE(s.have(11, 0));  // exactly +5.0
  EXPECT_FALSE(s.have(0, 0));  // −6.0
  EXPECT_EQ(out, "Added:" + std::to_string(expected) + "\n");
  EXPECT_EQ(s.getCellCount(), expected);
  EXPECT_EQ(s.getWidth(), 12);
  EXPECT_EQ(s.getHeight(), 3);
  EXPECT_EQ(s.getXSpace(), 1.0);
  EXPECT_EQ(s.getYSpace(), 1.0);
}

TEST(SparseLevelSet2D, FarValuesGiveAnEmptyBandWithoutContour) {
  const FullLevelSet2D d = denseFrom(8, 8, [](int x, int) { return x < 4 ? -6.0 : 7.0; });
  auto s = sparseOf(d);
  EXPECT_EQ(s->getCellCount(), 0);
  ContourPoints pts;
  ContourEdges edges;
  s->getLinesUnique(pts, edges);
  EXPECT_TRUE(pts.empty());
  EXPECT_TRUE(edges.empty());
}

TEST(SparseLevelSet2D, AccessOutsideTheBandAndTheCanvas) {
  SparseLevelSet2D s(5, 4);
  s(2, 1) = -1.5;
  EXPECT_FALSE(s.have(-1, 0));
  EXPECT_FALSE(s.have(5, 0));
  EXPECT_FALSE(s.have(0, -1));
  EXPECT_FALSE(s.have(0, 4));
  // Reading a cell that is not stored gives 0 and stores nothing.
  EXPECT_EQ(s.get(3, 1), 0.0);
  EXPECT_EQ(s.get(-7, 99), 0.0);
  EXPECT_FALSE(s.have(3, 1));
  EXPECT_EQ(s.getCellCount(), 1);
  // Writing adds the cell, starting at 0.
  EXPECT_EQ(s(3, 1), 0.0);
  s(3, 1) += 2.0;
  EXPECT_TRUE(s.have(3, 1));
  EXPECT_EQ(s.get(3, 1), 2.0);
  // Writes outside the canvas are not stored anywhere.
  s(-1, 1) = 9.0;
  s(1, 4) = 9.0;
  EXPECT_FALSE(s.have(-1, 1));
  EXPECT_EQ(s.get(-1, 1), 0.0);
  EXPECT_EQ(s.getCellCount(), 2);
  EXPECT_EQ(s.get(2, 1), -1.5);
}

TEST(SparseLevelSet2D, FromMaskKeepsTheBandOfTheDenseReinitialisation) {
  Mask m(40, 30, 1);
  m = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      if (std::hypot(x - 17.0, y - 14.0) <= 9.0) m(x, y, 0) = 255;
  const FullLevelSet2D d = denseFromMask(m);
  std::string out;
  auto s = sparseFromMask(m, &out);
  ASSERT_EQ(s->getWidth(), 40);
  ASSERT_EQ(s->getHeight(), 30);
  int stored = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool in = std::fabs(d.get(x, y)) <= 5.0;
      stored += in;
      ASSERT_EQ(s->have(x, y), in);
      if (in) {
        EXPECT_EQ(s->get(x, y), d.get(x, y));
      }
    }
  EXPECT_EQ(out, "Added:" + std::to_string(stored) + "\n");

  // No pixels: an empty canvas; all inside: every stored value negative.
  auto none = sparseFromMask(Mask());
  EXPECT_EQ(none->getWidth(), 0);
  EXPECT_EQ(none->getCellCount(), 0);
  m = 255;
  auto full = sparseFromMask(m);
  for (const auto& row : full->getRows())
    for (const auto& c : row) EXPECT_LT(c.second, 0.0);
}

// ---------------------------------------------------------------------------------------
// Differences

TEST(SparseLevelSet2D, DifferencesFollowTheBorderRules) {
  // φ = x² + 2y², fully stored on a 6 × 5 canvas.
  const FullLevelSet2D d =
      denseFrom(6, 5, [](int x, int y) { return 0.05 * (x * x + 2.0 * y * y); });
  auto s = sparseOf(d);
  auto phi = [](int x, int y) { return 0.05 * (x * x + 2.0 * y * y); };
  for (int y = 0; y < 5; ++y) {
    EXPECT_DOUBLE_EQ(s->getDxCentral(0, y), s->getDxPlus(0, y));
    EXPECT_DOUBLE_EQ(s->getDxMinus(0, y), s->getDxPlus(0, y));
    EXPECT_DOUBLE_EQ(s->getDxPlus(0, y), phi(1, y) - phi(0, y));
    EXPECT_DOUBLE_EQ(s->getDxCentral(5, y), s->getDxMinus(5, y));
    EXPECT_DOUBLE_EQ(s->getDxPlus(5, y), s->getDxMinus(5, y));
    EXPECT_DOUBLE_EQ(s->getDxMinus(5, y), phi(5, y) - phi(4, y));
    EXPECT_DOUBLE_EQ(s->getDxCentral(3, y), (phi(4, y) - phi(2, y)) / 2);
  }
  for (int x = 0; x < 6; ++x) {
    EXPECT_DOUBLE_EQ(s->getDyCentral(x, 0), s->getDyPlus(x, 0));
    EXPECT_DOUBLE_EQ(s->getDyMinus(x, 0), phi(x, 1) - phi(x, 0));
    EXPECT_DOUBLE_EQ(s->getDyPlus(x, 4), phi(x, 4) - phi(x, 3));
    EXPECT_DOUBLE_EQ(s->getDyCentral(x, 4), s->getDyMinus(x, 4));
    EXPECT_DOUBLE_EQ(s->getDyCentral(x, 2), (phi(x, 3) - phi(x, 1)) / 2);
  }
  // Upwind: backward for a positive velocity, forward otherwise (also for 0).
  EXPECT_DOUBLE_EQ(s->getDxUpwind(2, 2, 1.0), phi(2, 2) - phi(1, 2));
  EXPECT_DOUBLE_EQ(s->getDxUpwind(2, 2, 0.0), phi(3, 2) - phi(2, 2));
  EXPECT_DOUBLE_EQ(s->getDyUpwind(2, 2, 0.5), phi(2, 2) - phi(2, 1));
  EXPECT_DOUBLE_EQ(s->getDyUpwind(2, 2, -0.5), phi(2, 3) - phi(2, 2));
  // Second differences of 0.05 (x² + 2y²): 0.1 + 0.2.
  EXPECT_NEAR(s->getCurvature(2, 2), 0.3, 1e-12);
  double a = 0, b = 0;
  EXPECT_NEAR(s->getCurvatureAndUpwind(3, 2, 1.0, -1.0, a, b), 0.3, 1e-12);
  EXPECT_DOUBLE_EQ(a, phi(3, 2) - phi(2, 2));
  EXPECT_DOUBLE_EQ(b, phi(3, 3) - phi(3, 2));
}

TEST(SparseLevelSet2D, DifferencesReadMissingNeighboursAsZero) {
  SparseLevelSet2D s(10, 10);
  s(4, 4) = 2.0;
  EXPECT_EQ(s.getDxPlus(4, 4), -2.0);
  EXPECT_EQ(s.getDxMinus(4, 4), 2.0);
  EXPECT_EQ(s.getCurvature(4, 4), -8.0);
}

TEST(SparseLevelSet2D, DifferencesOnACanvasOneCellAcrossAreZero) {
  SparseLevelSet2D col(1, 5);
  SparseLevelSet2D row(5, 1);
  for (int i = 0; i < 5; ++i) {
    col(0, i) = i;
    row(i, 0) = i;
  }
  EXPECT_EQ(col.getDxMinus(0, 2), 0.0);
  EXPECT_EQ(col.getDxPlus(0, 2), 0.0);
  EXPECT_EQ(col.getDxCentral(0, 2), 0.0);
  EXPECT_EQ(col.getDyCentral(0, 2), 1.0);
  EXPECT_EQ(row.getDyMinus(2, 0), 0.0);
  EXPECT_EQ(row.getDyPlus(2, 0), 0.0);
  EXPECT_EQ(row.getDyCentral(2, 0), 0.0);
  EXPECT_EQ(row.getDxCentral(2, 0), 1.0);
}

// ---------------------------------------------------------------------------------------
// Contours

TEST(SparseLevelSet2D, EdgeKeysAreSharedByNeighbouringCells) {
  SparseLevelSet2D s(7, 5);
  EXPECT_EQ(s.getUniqueIndexMI(2, 3, 0), (3 * 7 + 2) * 2);
  EXPECT_EQ(s.getUniqueIndexMI(2, 3, 1), (3 * 7 + 3) * 2 + 1);
  EXPECT_EQ(s.getUniqueIndexMI(2, 3, 2), (4 * 7 + 2) * 2);
  EXPECT_EQ(s.getUniqueIndexMI(2, 3, 3), (3 * 7 + 2) * 2 + 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(s.getUniqueIndexMI(x, y, 1), s.getUniqueIndexMI(x + 1, y, 3));
      EXPECT_EQ(s.getUniqueIndexMI(x, y, 2), s.getUniqueIndexMI(x, y + 1, 0));
    }
  // All keys of the grid's edges are distinct.
  std::map<int, int> seen;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      for (int e = 0; e < 4; ++e) seen[s.getUniqueIndexMI(x, y, e)]++;
  EXPECT_EQ(seen.size(), 6u * 4 * 2 + 6 + 4);
  EXPECT_EQ(s.getUniqueIndexMI(1, 1, 4), -1);
  EXPECT_EQ(s.getUniqueIndexMI(1, 1, -1), -1);
}

TEST(SparseLevelSet2D, CrossingIsInterpolatedAlongTheEdge) {
  SparseLevelSet2D s(10, 10);
  s(2, 5) = -1.0;
  s(3, 5) = 3.0;
  s(2, 6) = -1.0;
  s(3, 6) = 3.0;
  ContourPoints pts;
  ContourEdges edges;
  s.getLinesUnique(pts, edges);
  ASSERT_EQ(pts.size(), 2u);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_DOUBLE_EQ(pts[0].x, 2.25);
  EXPECT_DOUBLE_EQ(pts[0].y, 5.0);
  EXPECT_DOUBLE_EQ(pts[1].x, 2.25);
  EXPECT_DOUBLE_EQ(pts[1].y, 6.0);
  // Corner values closer than 1e-16 put the point at the edge's midpoint.
  s(2, 5) = 0.0;
  s(3, 5) = 1e-17;
  s(2, 6) = 0.0;
  s(3, 6) = 1e-17;
  s.getLinesUnique(pts, edges);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_DOUBLE_EQ(pts[0].x, 2.5);
  EXPECT_DOUBLE_EQ(pts[1].x, 2.5);
}

TEST(SparseLevelSet2D, SharedEdgeGivesOnePoint) {
  SparseLevelSet2D s(6, 6);
  for (int y = 1; y <= 3; ++y) {
    s(2, y) = -0.5;
    s(3, y) = 0.5;
  }
  ContourPoints pts;
  ContourEdges edges;
  s.getLinesUnique(pts, edges);
  // Cells (2, 1) and (2, 2) share the edge from (2, 2) to (3, 2).
  ASSERT_EQ(pts.size(), 3u);
  ASSERT_EQ(edges.size(), 2u);
  int shared = -1;
  for (std::size_t i = 0; i < pts.size(); ++i)
    if (pts[i].y == 2.0) shared = static_cast<int>(i);
  ASSERT_GE(shared, 0);
  EXPECT_DOUBLE_EQ(pts[static_cast<std::size_t>(shared)].x, 2.5);
  EXPECT_TRUE(edges[0].first == shared || edges[0].second == shared);
  EXPECT_TRUE(edges[1].first == shared || edges[1].second == shared);
}

TEST(SparseLevelSet2D, ContourOfAFullBandMatchesTheDenseGrid) {
  // A wavy disc and a saddle-rich checker of small values, every cell within the band.
  const FullLevelSet2D blob = denseFrom(24, 20, [](int x, int y) {
    const double dx = x - 11.3, dy = y - 9.6, th = std::atan2(dy, dx);
    return 0.3 * (std::hypot(dx, dy) - 6.0 * (1 + 0.2 * std::sin(3 * th)));
  });
  const FullLevelSet2D checker =
      denseFrom(9, 7, [](int x, int y) { return ((x + y) % 2 ? 0.3 : -0.7) + 0.01 * x; });
  for (const FullLevelSet2D* d : {&blob, &checker}) {
    auto s = sparseOf(*d);
    ASSERT_EQ(s->getCellCount(), d->getWidth() * d->getHeight());
    ContourPoints sp, dp;
    ContourEdges se, de;
    s->getLinesUnique(sp, se);
    d->getLinesUnique(dp, de);
    ASSERT_EQ(sp.size(), dp.size());
    ASSERT_EQ(se.size(), de.size());
    for (std::size_t i = 0; i < sp.size(); ++i) {
      EXPECT_EQ(sp[i].x, dp[i].x);
      EXPECT_EQ(sp[i].y, dp[i].y);
    }
    for (std::size_t i = 0; i < se.size(); ++i) EXPECT_EQ(se[i], de[i]);
  }
}

// ---------------------------------------------------------------------------------------
// Distance estimates

TEST(SparseLevelSetFMM, InitialEstimateCombinesTheCrossings) {
  SparseLevelSet2D s(10, 10);
  s(4, 4) = -0.25;
  EXPECT_EQ(s.estimateDistanceInit(4, 4), SparseLevelSet2D::unknownDistance);
  s(5, 4) = 0.75;  // x crossing at 0.25
  EXPECT_DOUBLE_EQ(s.estimateDistanceInit(4, 4), 0.25);
  s(4, 5) = 0.25;  // y crossing at 0.5
  EXPECT_DOUBLE_EQ(s.estimateDistanceInit(4, 4), 1.0 / std::sqrt(16.0 + 4.0));
  s(3, 4) = -3.0;  // same side: ignored
  EXPECT_DOUBLE_EQ(s.estimateDistanceInit(4, 4), 1.0 / std::sqrt(16.0 + 4.0));
  // From the outside cell (5, 4): crossing towards (4, 4) at 0.75.
  EXPECT_DOUBLE_EQ(s.estimateDistanceInit(5, 4), 0.75);
  // A value of 0 is inside and on the contour.
  s(4, 4) = 0.0;
  EXPECT_DOUBLE_EQ(s.estimateDistanceInit(4, 4), 0.0);
  // Non-finite values still give a finite distance.
  s(4, 4) = -std::numeric_limits<double>::infinity();
  s(5, 4) = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isfinite(s.estimateDistanceInit(4, 4)));

  // Crossing fractions scale by the spacing of their own axis: 0.25 along x at hx = 2,
  // 0.5 along y at hy = 0.5.
  SparseLevelSet2D t(10, 10);
  t.xSpace = 2.0;
  t.ySpace = 0.5;
  t(4, 4) = -0.25;
  t(5, 4) = 0.75;
  EXPECT_DOUBLE_EQ(t.estimateDistanceInit(4, 4), 0.5);
  t(4, 5) = 0.25;
  EXPECT_DOUBLE_EQ(t.estimateDistanceInit(4, 4), 1.0 / std::sqrt(4.0 + 16.0));
  t(5, 4) = -1.0;
  EXPECT_DOUBLE_EQ(t.estimateDistanceInit(4, 4), 0.25);
}

TEST(SparseLevelSetFMM, PairUpdateSolvesTheUpwindQuadratic) {
  SparseLevelSet2D s(10, 10);
  PointHash<double> dist(1001);
  PointHash<char> state(1001);
  auto accept = [&](int x, int y, int label, double d) {
    state(x, y) = static_cast<char>(label);
    dist(x, y) = d;
  };
  EXPECT_EQ(s.estimateDistance(dist, state, 1, 4, 4), SparseLevelSet2D::unknownDistance);
  // One neighbour: its distance plus one pixel.
  accept(5, 4, 1, 0.5);
  EXPECT_DOUBLE_EQ(s.estimateDistance(dist, state, 1, 4, 4), 1.5);
  // A neighbour of the other label is not usable.
  accept(4, 5, -1, 0.0);
  EXPECT_DOUBLE_EQ(s.estimateDistance(dist, state, 1, 4, 4), 1.5);
  // Two equal neighbours: a diagonal front, t = a + 1/√2.
  accept(4, 5, 1, 0.5);
  EXPECT_NEAR(s.estimateDistance(dist, state, 1, 4, 4), 0.5 + std::sqrt(0.5), 1e-12);
  // Distances one pixel apart: the planar front along x, t = 1.5.
  dist(4, 5) = 1.5;
  EXPECT_NEAR(s.estimateDistance(dist, state, 1, 4, 4), 1.5, 1e-12);
}

TEST(SparseLevelSetFMM, PairUpdateWithNegativeDiscriminantIsFiniteAndNotTooSmall) {
  SparseLevelSet2D s(10, 10);
  PointHash<double> dist(1001);
  PointHash<char> state(1001);
  state(5, 4) = 1;
  dist(5, 4) = 0.1;
  state(4, 5) = 1;
  dist(4, 5) = 2.0;  // differs by 1.9 > √2: (t − a)² + (t − b)² = 1 has no root
  const double t = s.estimateDistance(dist, state, 1, 4, 4);
  ASSERT_TRUE(std::isfinite(t));
  EXPECT_DOUBLE_EQ(t, 1.1);
  // Farther neighbours on the other sides do not lower it.
  state(3, 4) = 1;
  dist(3, 4) = 3.0;
  state(4, 3) = 1;
  dist(4, 3) = 3.0;
  EXPECT_DOUBLE_EQ(s.estimateDistance(dist, state, 1, 4, 4), 1.1);
}

// ---------------------------------------------------------------------------------------
// Re-initialisation

TEST(SparseLevelSetFMM, NoSignChangeGivesNoSeedsAndKeepsTheBand) {
  const FullLevelSet2D d = denseFrom(10, 10, [](int x, int y) { return 0.5 + 0.1 * x * y; });
  auto s = sparseOf(d);
  ASSERT_GT(s->getCellCount(), 0);
  const auto before = s->getRows();
  testing::internal::CaptureStdout();
  s->ensureSignedDistanceFMM();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "doing FMM.\nstep fmm: 0\n");
  EXPECT_EQ(s->getRows(), before);
}

TEST(SparseLevelSetFMM, PrintsTheSeedCount) {
  SparseLevelSet2D s(6, 3);
  for (int y = 0; y < 3; ++y) {
    s(2, y) = -0.5;
    s(3, y) = 0.5;
  }
  testing::internal::CaptureStdout();
  s.ensureSignedDistanceFMM();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "doing FMM.\nstep fmm: 6\n");
}

TEST(SparseLevelSetFMM, StraightVerticalContourGivesHalfIntegerDistances) {
  const int w = 20, h = 30;
  const FullLevelSet2D d = denseFrom(w, h, [](int x, int) { return x - 9.5; });
  auto s = sparseOf(d);
  reinit(*s);
  for (int y = 3; y < h - 3; ++y) {
    const auto& row = s->getRows()[static_cast<std::size_t>(y)];
    ASSERT_EQ(row.size(), 8u) << "row " << y;
    double expect = -3.5;
    for (const auto& c : row) {
      EXPECT_EQ(c.first, static_cast<int>(expect + 9.5));
      EXPECT_NEAR(c.second, expect, 1e-12);
      expect += 1.0;
    }
  }
}

TEST(SparseLevelSetFMM, ThinStoredBandOnATallCanvasOutgrowsTheInitialHeapCapacity) {
  // Only the two columns beside the contour are stored: 2 × 400 cells give an initial heap
  // capacity of 2400, while the march reaches four more columns inside (distances
  // 1.05 … 4.05) and three outside (1.95 … 3.95), 2800 cells.
  const int w = 16, h = 400;
  SparseLevelSet2D s(w, h);
  for (int y = 0; y < h; ++y) {
    s(7, y) = -0.05;
    s(8, y) = 0.95;
  }
  reinit(s);
  EXPECT_EQ(s.getCellCount(), 9 * h);
  for (int y = 0; y < h; ++y) {
    const auto& row = s.getRows()[static_cast<std::size_t>(y)];
    ASSERT_EQ(row.size(), 9u);
    int x = 3;
    for (const auto& c : row) {
      EXPECT_EQ(c.first, x);
      const double expect = x <= 7 ? -(7 - x + 0.05) : x - 8 + 0.95;
      EXPECT_NEAR(c.second, expect, 1e-12) << c.first << "," << y;
      ++x;
    }
  }
}

// A contour that leaves the canvas: the outside front must not walk round the seeds
// beyond the border and come back in on the inside.
TEST(SparseLevelSetFMM, ContourThroughTheBorderKeepsEverySide) {
  const int n = 64;
  for (double angle : {0.52, 0.70, 0.79, 1.1}) {
    const FullLevelSet2D d = denseFrom(n, n, [angle](int x, int y) {
      return (x - 32.2) * std::cos(angle) + (y - 31.7) * std::sin(angle);
    });
    auto s = sparseOf(d);
    reinit(*s);
    int flipped = 0;
    for (int y = 0; y < n; ++y)
      for (const auto& c : s->getRows()[static_cast<std::size_t>(y)])
        flipped += (c.second <= 0) != (d.get(c.first, y) <= 0);
    EXPECT_EQ(flipped, 0) << "angle " << angle;
  }
}

TEST(SparseLevelSetFMM, BandIsBoundedAndSeedsKeepTheirSides) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const int w = 96, h = 80;
    auto s = sparseFromMask(blobbyMask(w, h, seed));
    // Distort the values so that the band is no distance field, keeping their signs.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (s->have(x, y)) (*s)(x, y) *= 0.3 + 0.02 * ((x * 7 + y * 3) % 50);
    const auto seeds = seedsOf(*s);
    ASSERT_FALSE(seeds.empty());
    reinit(*s);
    SCOPED_TRACE("mask seed " + std::to_string(seed));
    expectSoundBand(*s, seeds);
    // A second pass from a distance field keeps it.
    const auto seeds2 = seedsOf(*s);
    reinit(*s);
    expectSoundBand(*s, seeds2);
  }
}

// The dense grid holds the exact distance to the marching-squares contour; the sparse
// march is first order, and its seeds take a one-sided estimate where only one axis
// crosses. On the staircase contours of binary masks the two differ by up to about a third
// of a pixel at the contour's corners and where fronts meet; elsewhere they agree closely.
TEST(SparseLevelSetFMM, AgreesWithTheDenseReinitialisationOnBlobbyMasks) {
  double worstValue = 0.0, worstPoint = 0.0, sumSq = 0.0;
  long cells = 0, within = 0;
  for (unsigned seed = 10; seed < 16; ++seed) {
    const int w = 128, h = 112;
    const Mask mask = blobbyMask(w, h, seed);
    const FullLevelSet2D d = denseFromMask(mask);
    auto s = sparseFromMask(mask);
    reinit(*s);
    SCOPED_TRACE("mask seed " + std::to_string(seed));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (std::fabs(d.get(x, y)) > 3.0) continue;
        ASSERT_TRUE(s->have(x, y)) << x << "," << y;
        ASSERT_EQ(s->get(x, y) <= 0, d.get(x, y) <= 0) << x << "," << y;
        const double e = std::fabs(s->get(x, y) - d.get(x, y));
        worstValue = std::max(worstValue, e);
        sumSq += e * e;
        ++cells;
        within += e <= 0.1;
      }
    ContourPoints sp, dp;
    ContourEdges se, de;
    s->getLinesUnique(sp, se);
    d.getLinesUnique(dp, de);
    ASSERT_EQ(sp.size(), dp.size());
    ASSERT_EQ(se.size(), de.size());
    for (const auto& p : sp) {
      double best = 1e9;
      for (const auto& q : dp) best = std::min(best, std::hypot(p.x - q.x, p.y - q.y));
      worstPoint = std::max(worstPoint, best);
    }
  }
  ASSERT_GT(cells, 0);
  EXPECT_LE(worstValue, 0.4);
  EXPECT_LE(std::sqrt(sumSq / cells), 0.13);
  EXPECT_GE(static_cast<double>(within) / cells, 0.7);
  EXPECT_LE(worstPoint, 0.1);
}

// On a smooth contour given as an exact distance the march stays within 0.15 pixel beyond
// the seeds and moves the contour by less than 0.05 pixel.
TEST(SparseLevelSetFMM, AgreesWithTheDenseReinitialisationOnSmoothShapes) {
  const int n = 100;
  const FullLevelSet2D blob = denseFrom(n, n, [](int x, int y) {
    const double dx = x - 50.3, dy = y - 49.8, th = std::atan2(dy, dx);
    return (std::hypot(dx, dy) - 30 * (1 + 0.15 * std::sin(3 * th))) * (0.5 + 0.01 * x);
  });
  const FullLevelSet2D disc =
      denseFrom(n, n, [](int x, int y) { return std::hypot(x - 50.3, y - 49.8) - 40.0; });
  for (const FullLevelSet2D* src : {&blob, &disc}) {
    FullLevelSet2D d = *src;
    d.ensureSignedDistanceFMM();
    auto s = sparseOf(d);
    reinit(*s);
    double worstFar = 0.0, worstPoint = 0.0;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const double a = std::fabs(d.get(x, y));
        if (a < 1.0 || a > 3.0) continue;
        worstFar = std::max(worstFar, std::fabs(s->get(x, y) - d.get(x, y)));
      }
    ContourPoints sp, dp;
    ContourEdges se, de;
    s->getLinesUnique(sp, se);
    d.getLinesUnique(dp, de);
    ASSERT_EQ(sp.size(), dp.size());
    for (const auto& p : sp) {
      double best = 1e9;
      for (const auto& q : dp) best = std::min(best, std::hypot(p.x - q.x, p.y - q.y));
      worstPoint = std::max(worstPoint, best);
    }
    EXPECT_LE(worstFar, 0.15);
    EXPECT_LE(worstPoint, 0.05);
  }
}

TEST(SparseLevelSetFMM, ThinAndFragmentedMasksStayFinite) {
  const int w = 64, h = 48;
  std::vector<Mask> masks;
  Mask m(w, h, 1);
  m = 0;
  for (int x = 5; x < 59; ++x) m(x, 20, 0) = 255;  // one-pixel lines, straight and slanted
  for (int y = 5; y < 43; ++y) m(30, y, 0) = 255;
  for (int k = 0; k < 30; ++k) m(8 + k, 30 + k / 2, 0) = 255;
  masks.push_back(m.copy());
  m = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((x + y) % 2 == 0) m(x, y, 0) = 255;  // checkerboard
  masks.push_back(m.copy());
  m = 0;
  for (int y = 2; y < h - 2; y += 3)
    for (int x = 2; x < w - 2; x += 3) m(x, y, 0) = 255;  // isolated dots
  masks.push_back(m.copy());
  for (std::size_t i = 0; i < masks.size(); ++i) {
    SCOPED_TRACE("mask " + std::to_string(i));
    auto s = sparseFromMask(masks[i]);
    const auto seeds = seedsOf(*s);
    reinit(*s);
    expectSoundBand(*s, seeds);
    // Once more from values that are distances, then thin the band to its seeds only
    // and march again: the march has to reach far more cells than are stored.
    reinit(*s);
    const auto seeds2 = seedsOf(*s);
    SparseLevelSet2D thin(w, h);
    for (const auto& kv : seeds2) thin(kv.first.first, kv.first.second) = kv.second;
    reinit(thin);
    expectSoundBand(thin, seeds2);
  }
}

TEST(SparseLevelSetFMM, NonFiniteAndTinyValuesKeepTheirSides) {
  SparseLevelSet2D s(12, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 12; ++x) s(x, y) = x - 5.5;
  s(5, 2) = -std::numeric_limits<double>::infinity();
  s(6, 2) = std::numeric_limits<double>::quiet_NaN();  // NaN is not ≤ 0: outside
  s(6, 3) = std::numeric_limits<double>::denorm_min();
  s(5, 3) = -1e10;
  reinit(s);
  for (int y = 0; y < 6; ++y)
    for (const auto& c : s.getRows()[static_cast<std::size_t>(y)]) {
      EXPECT_TRUE(std::isfinite(c.second)) << c.first << "," << y;
      EXPECT_EQ(c.second > 0, c.first >= 6) << c.first << "," << y;
    }
}

// Random bands: holes in the band, values that are no distances, a few non-finite ones.
TEST(SparseLevelSetFMM, RandomBandsStaySound) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int round = 0; round < 40; ++round) {
    const int w = 8 + static_cast<int>(u(rng) * 40), h = 1 + static_cast<int>(u(rng) * 40);
    const double density = 0.3 + 0.7 * u(rng);
    SparseLevelSet2D s(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (u(rng) > density) continue;
        const double r = u(rng);
        if (r < 0.01) {
          s(x, y) = std::numeric_limits<double>::quiet_NaN();
        } else if (r < 0.02) {
          s(x, y) = (u(rng) < 0.5 ? -1 : 1) * std::numeric_limits<double>::infinity();
        } else {
          s(x, y) = 6.0 * u(rng) - 3.0 + std::sin(0.3 * x + 0.2 * y);
        }
      }
    const auto seeds = seedsOf(s);
    SCOPED_TRACE("round " + std::to_string(round));
    reinit(s);
    expectSoundBand(s, seeds);
  }
}

// ---------------------------------------------------------------------------------------
// Faults found in review

namespace {

// The closed outline as the shapes build it: contour, border edges, loops; the sum of the
// loops' signed areas (shoelace, canvas pixels).
template <class LevelSet>
double outlineArea(const LevelSet& ls, std::size_t* loopCount) {
  ContourPoints pts;
  ContourEdges edges;
  ls.getLinesUnique(pts, edges);
  addBorderEdges(pts, edges, &ls);
  const auto loops = getPolygons(pts, edges);
  *loopCount = loops.size();
  double area = 0.0;
  for (const auto& loop : loops)
    for (std::size_t i = 0; i < loop.size(); ++i) {
      const auto& a = pts[static_cast<std::size_t>(loop[i])];
      const auto& b = pts[static_cast<std::size_t>(loop[(i + 1) % loop.size()])];
      area += 0.5 * (a.x * b.y - b.x * a.y);
    }
  return area;
}

}  // namespace

TEST(LevelSetReview, BorderShapesGrowthMovesAndReusedWorkingState) {
  {
    // A background shape holds the whole border, yet its band stores no border cell: the
    // outer loop must not be lost (the border once counted as outside).
    Mask m = glimtest::discMask(128, 128, 64.0, 64.0, 10.0);
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 128; ++x) m(x, y, 0) = static_cast<unsigned char>(255 - m(x, y, 0));
    const FullLevelSet2D dense = denseFromMask(m);
    auto sparse = sparseFromMask(m);
    ASSERT_FALSE(sparse->have(0, 0));
    std::size_t denseLoops = 0, sparseLoops = 0;
    const double denseArea = outlineArea(dense, &denseLoops);
    const double sparseArea = outlineArea(*sparse, &sparseLoops);
    EXPECT_EQ(denseLoops, 2u);
    EXPECT_EQ(sparseLoops, 2u);
    // 127² less a hole of about π · 10².
    EXPECT_NEAR(std::fabs(denseArea), 127.0 * 127.0 - 3.14159 * 100.0, 4.0);
    EXPECT_NEAR(sparseArea, denseArea, 1e-9);
    // A band that stores nothing outside a small shape leaves the border outside.
    auto disc = sparseFromMask(glimtest::discMask(128, 128, 64.0, 64.0, 10.0));
    std::size_t discLoops = 0;
    outlineArea(*disc, &discLoops);
    EXPECT_EQ(discLoops, 1u);
  }
  {
    // A disc growing at unit speed covers the whole canvas: once no stored cell changes
    // sign the band is kept (it was once emptied, erasing the shape for good) and the
    // outline is the canvas border.
    auto s = sparseFromMask(glimtest::discMask(64, 64, 30.0, 34.0, 12.0));
    const auto grow = [](LevelSet2D*, int, int, double* step) {
      *step = 0.5;
      return -1.0;
    };
    int steps = 0;
    for (; steps < 200; ++steps) {
      bool anyOutside = false;
      for (const auto& row : s->getRows())
        for (const auto& c : row) anyOutside = anyOutside || c.second > 0;
      if (!anyOutside) break;
      testing::internal::CaptureStdout();
      s->moveWithCurvature(grow);
      s->ensureSignedDistanceFMM();
      testing::internal::GetCapturedStdout();
    }
    ASSERT_LT(steps, 200);
    const int cells = s->getCellCount();
    ASSERT_GT(cells, 0);
    reinit(*s);
    EXPECT_EQ(s->getCellCount(), cells);
    std::size_t loops = 0;
    EXPECT_NEAR(std::fabs(outlineArea(*s, &loops)), 63.0 * 63.0, 1e-9);
    EXPECT_EQ(loops, 1u);
  }
  {
    // A moved-from dense grid is a valid empty grid, not one that keeps its sizes over
    // empty storage.
    FullLevelSet2D a = denseFrom(5, 4, [](int x, int y) { return x - y + 0.5; });
    FullLevelSet2D b(std::move(a));
    EXPECT_EQ(a.getWidth(), 0);
    EXPECT_EQ(a.getHeight(), 0);
    EXPECT_FALSE(a.have(0, 0));
    EXPECT_EQ(a.get(2, 1), 0.0);
    EXPECT_EQ(b.get(3, 1), 2.5);
    FullLevelSet2D c(2, 2);
    c = std::move(b);
    EXPECT_EQ(b.getWidth(), 0);
    EXPECT_EQ(b.values.size(), 0u);
    EXPECT_EQ(c.getWidth(), 5);
    EXPECT_EQ(c.get(3, 1), 2.5);
    b.ensureSignedDistanceFMM();
    ContourPoints pts;
    ContourEdges edges;
    b.getLinesUnique(pts, edges);
    EXPECT_TRUE(edges.empty());
  }
  {
    // The re-initialisation keeps its working state between calls: a band re-initialised
    // after a much larger one (new bucket count, a larger heap, spare nodes) comes out
    // exactly as it did the first time.
    auto small = sparseFromMask(blobbyMask(60, 50, 4));
    auto large = sparseFromMask(blobbyMask(256, 256, 5));
    SparseLevelSet2D first = *small, again = *small;
    reinit(first);
    reinit(*large);
    reinit(again);
    EXPECT_EQ(again.getRows(), first.getRows());
  }
}
