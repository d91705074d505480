// glimshape — tests/levelset
// Purpose: seeding level sets from masks and re-initialising them.
#include "levelset/createlevelset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "levelset/fulllevelset.h"

namespace {

vorn::Image<unsigned char> discMask(int w, int h, double cx, double cy, double r, int channels = 1) {
  vorn::Image<unsigned char> m(w, h, channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c)
        m(x, y, c) = c == 0 && std::hypot(x - cx, y - cy) <= r ? 255 : 0;
  return m;
}

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

}  // namespace
