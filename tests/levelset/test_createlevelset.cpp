// glimshape — tests/levelset
// Purpose: seeding level sets from masks and re-initialising them.
#include "levelset/createlevelset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/levelset_shapes.h"
#include "levelset/fulllevelset.h"
#include "lomvet/marchingsquares.h"

namespace {

using glimtest::discMask;

template <class T>
class CreateDense : public ::testing::Test {};
using DenseKinds = ::testing::Types<FullLevelSet2D, FullLevelSet>;
TYPED_TEST_SUITE(CreateDense, DenseKinds);

TYPED_TEST(CreateDense, FullMasksGiveOneSign) {
  vorn::Image<unsigned char> m(13, 11, 1);
  m = 255;
  std::unique_ptr<LevelSet2D> in(createLevelSetFromImage<TypeParam>(m));
  ASSERT_EQ(in->getWidth(), 13);
  ASSERT_EQ(in->getHeight(), 11);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_LT(in->get(x, y), 0.0);
  m = 0;
  std::unique_ptr<LevelSet2D> out(createLevelSetFromImage<TypeParam>(m));
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_GT(out->get(x, y), 0.0);
  // Without a contour the seeds stay: exactly -1/256 and +1/256.
  EXPECT_EQ(in->get(5, 5), -1.0 / 256);
  EXPECT_EQ(out->get(5, 5), 1.0 / 256);
}

TYPED_TEST(CreateDense, DiscBecomesASignedDistance) {
  const auto m = discMask(64, 48, 30.3, 22.6, 12.0, 3);
  std::unique_ptr<TypeParam> ls(createLevelSetFromImage<TypeParam>(m));
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool inside = m.get(x, y, 0) == 255;
      const double v = ls->get(x, y);
      EXPECT_EQ(v < 0, inside) << x << "," << y;
      // The contour runs half way between pixels of differing sides, straight or cutting
      // a corner (0.35 px off).
      if (inside && x + 1 < 64 && m.get(x + 1, y, 0) == 0) {
        EXPECT_GE(v, -0.5 - 1e-12);
        EXPECT_LE(v, -0.35);
      }
    }
  // Everywhere the value is about the signed distance to the circle (the mask's staircase
  // is less than a pixel off it).
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      EXPECT_NEAR(ls->get(x, y), std::hypot(x - 30.3, y - 22.6) - 12.0, 1.0) << x << "," << y;
  EXPECT_EQ(ls->get(30, 42), 7.5);
}

TEST(SeedFromMask, SinglePrecisionSeeds) {
  vorn::Image<unsigned char> m(4, 1, 1);
  m(0, 0, 0) = 0;
  m(1, 0, 0) = 255;
  m(2, 0, 0) = 128;
  m(3, 0, 0) = 51;
  FullLevelSet2D g(4, 1);
  seedFromMask(g, m);
  EXPECT_EQ(g.get(0, 0), 0.0078125 / 2);
  EXPECT_EQ(g.get(1, 0), -0.0078125 / 2);
  EXPECT_EQ(g.get(2, 0), static_cast<double>((128.0f / 255.0f - 0.5f) * -0.0078125f));
  EXPECT_EQ(g.get(3, 0), static_cast<double>((51.0f / 255.0f - 0.5f) * -0.0078125f));
  EXPECT_NE(g.get(3, 0), (51.0 / 255.0 - 0.5) * -0.0078125);

  // Writes go through the virtual operator().
  struct Counting : FullLevelSet2D {
    using FullLevelSet2D::FullLevelSet2D;
    int writes = 0;
    double& operator()(int x, int y) override {
      ++writes;
      return FullLevelSet2D::operator()(x, y);
    }
  };
  Counting c(4, 1);
  seedFromMask(c, m);
  EXPECT_EQ(c.writes, 4);
}

TEST(CreateLevelSetFromImage, EmptyMaskGivesAnEmptyGrid) {
  vorn::Image<unsigned char> none;
  std::unique_ptr<FullLevelSet> ls(createLevelSetFromImage<FullLevelSet>(none));
  EXPECT_EQ(ls->getWidth(), 0);
  EXPECT_EQ(ls->getHeight(), 0);
  vorn::Image<unsigned char> noRows(5, 0, 1);
  std::unique_ptr<FullLevelSet2D> flat(createLevelSetFromImage<FullLevelSet2D>(noRows));
  EXPECT_EQ(flat->getHeight(), 0);
}

// The outline traced from a calibrated coverage mask encloses the drawn area, whatever the
// shape's size, around holes and where the canvas border cuts it (the outline then closes
// along the border pixels' centres); traced from the mask as it is, convex outlines lose
// over half a square pixel. Masks of 64 samples a pixel; inside(x, y) in pixel-edge
// coordinates.
TEST(CalibrateCoverage, TracedOutlineEnclosesTheDrawnArea) {
  const struct {
    double cx, cy, outer, inner;
    bool convex;
  } cases[] = {{10.3, 9.7, 2.5, 0, true}, {12.6, 11.2, 7.0, 0, true},
               {12.2, 12.9, 10.0, 4.5, false}, {1.3, 12.4, 7.0, 0, true}};
  constexpr int n = 26;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.outer + c.cx);
    const auto inside = [&](double x, double y) {
      const double r = std::hypot(x - c.cx, y - c.cy);
      return r <= c.outer && r >= c.inner;
    };
    vorn::Image<unsigned char> mask(n, n, 1);
    double drawn = 0.0;  // within the pixel centres' box
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        int count = 0;
        for (int k = 0; k < 64; ++k) {
          const double sx = x + (k % 8 + 0.5) / 8, sy = y + (k / 8 + 0.5) / 8;
          count += inside(sx, sy);
          drawn += (inside(sx, sy) && sx >= 0.5 && sy >= 0.5 && sx <= n - 0.5 && sy <= n - 0.5) / 64.0;
        }
        mask(x, y, 0) = static_cast<unsigned char>((count * 255 + 32) / 64);
      }
    const auto traced = [](const vorn::Image<unsigned char>& m) {
      std::unique_ptr<FullLevelSet2D> ls(createLevelSetFromImage<FullLevelSet2D>(m));
      ContourPoints points;
      ContourEdges edges;
      ls->getLinesUnique(points, edges);
      addBorderEdges(points, edges, ls.get());
      double twice = 0.0;
      for (const auto& [a, b] : edges) twice += points[a].x * points[b].y - points[b].x * points[a].y;
      return 0.5 * std::fabs(twice);
    };
    EXPECT_NEAR(traced(calibrateCoverage(mask)), drawn, 0.05 + 0.001 * drawn);
    if (c.convex) {
      EXPECT_GT(drawn - traced(mask), 0.5);
    }
  }
  // Kept as they are: a mask without partly covered pixels, a line without an inside, and
  // a soft edge (coverage falling over 8 pixels around a full core), whose half-coverage
  // line no threshold of the edge pixels moves.
  vorn::Image<unsigned char> binary = discMask(20, 20, 9.5, 9.5, 6.0), line(20, 20, 1),
                             soft(30, 30, 1);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      if (x < 20 && y < 20)
        line(x, y, 0) = static_cast<unsigned char>(std::max(0.0, 255 - 200 * std::fabs(x - 0.7 * y - 3)));
      soft(x, y, 0) = static_cast<unsigned char>(std::clamp(255 * (10 - std::hypot(x - 15, y - 15)) / 8, 0.0, 255.0));
    }
  for (vorn::Image<unsigned char>* m : {&binary, &line, &soft})
    EXPECT_EQ(calibrateCoverage(*m).getDataPtr(), m->getDataPtr());
}

}  // namespace
