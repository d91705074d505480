// glimshape — tests/levelset
// Purpose: RectLevelSet: rectangle from a mask, canvas-coordinate access, differences, re-framing.
#include "levelset/rectlevelset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "common/levelset_shapes.h"

namespace {

using glimtest::denseFrom;
using glimtest::discMask;

TEST(RectLevelSet, EmptyMaskGivesTheCentredMinimalRectangle) {
  vorn::Image<unsigned char> m(100, 80, 1);
  m = 0;
  std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(m));
  EXPECT_EQ(ls->getX0(), 45);
  EXPECT_EQ(ls->getY0(), 35);
  EXPECT_EQ(ls->getGrid().getWidth(), 11);
  EXPECT_EQ(ls->getGrid().getHeight(), 11);
  EXPECT_EQ(ls->getWidth(), 100);
  EXPECT_EQ(ls->getHeight(), 80);
  EXPECT_TRUE(ls->have(45, 35));
  EXPECT_TRUE(ls->have(55, 45));
  EXPECT_FALSE(ls->have(56, 45));
  EXPECT_FALSE(ls->have(55, 46));
  EXPECT_FALSE(ls->have(44, 40));
  for (int y = 35; y < 46; ++y)
    for (int x = 45; x < 56; ++x) EXPECT_GT(ls->get(x, y), 0.0);
}

TEST(RectLevelSet, BoxOfTheInsideIsPaddedAndClipped) {
  // The box against a brute-force scan of the dense level set it is cut from.
  const auto m = discMask(100, 80, 2.0, 50.0, 9.0);
  std::unique_ptr<FullLevelSet2D> full(createLevelSetFromImage<FullLevelSet2D>(m));
  int minX = 1000, minY = 1000, maxX = -1, maxY = -1;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x)
      if (full->get(x, y) < 0) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
      }
  ASSERT_EQ(minX, 0);  // the disc is cut by the left edge
  const int x1 = std::min(maxX + 1 + 5, 100), y1 = std::min(maxY + 1 + 5, 80);

  std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(m));
  EXPECT_EQ(ls->getX0(), 0);
  EXPECT_EQ(ls->getY0(), minY - 5);
  EXPECT_EQ(ls->getGrid().getWidth(), x1);
  EXPECT_EQ(ls->getGrid().getHeight(), y1 - (minY - 5));
  EXPECT_EQ(ls->getWidth(), 100);
  EXPECT_EQ(ls->getHeight(), 80);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool inRect = x < x1 && y >= minY - 5 && y < y1;
      ASSERT_EQ(ls->have(x, y), inRect) << x << "," << y;
      EXPECT_EQ(ls->get(x, y), inRect ? full->get(x, y) : 1.0) << x << "," << y;
    }

  // A disc touching the bottom-right corner clips there.
  std::unique_ptr<RectLevelSet> corner(
      createLevelSetFromImage<RectLevelSet>(discMask(100, 80, 98.0, 79.0, 6.0)));
  EXPECT_EQ(corner->getX0() + corner->getGrid().getWidth(), 100);
  EXPECT_EQ(corner->getY0() + corner->getGrid().getHeight(), 80);
}

TEST(RectLevelSet, OutsideReadsOneAndIsNotStored) {
  std::unique_ptr<RectLevelSet> ls(
      createLevelSetFromImage<RectLevelSet>(discMask(60, 50, 30.0, 25.0, 6.0)));
  const int x0 = ls->getX0(), y0 = ls->getY0();
  ASSERT_GT(x0, 0);
  EXPECT_FALSE(ls->have(x0 - 1, y0 + 3));
  EXPECT_EQ(ls->get(x0 - 1, y0 + 3), 1.0);
  EXPECT_EQ(ls->get(-1, -1), 1.0);
  EXPECT_EQ(ls->get(1000000, 3), 1.0);
  EXPECT_EQ((*ls)(x0 - 1, y0 + 3), 1.0);

  // A write through an outside reference changes nothing that is read afterwards, here or
  // in another rectangle level set.
  std::unique_ptr<RectLevelSet> other(
      createLevelSetFromImage<RectLevelSet>(discMask(60, 50, 10.0, 10.0, 4.0)));
  (*ls)(0, 0) = -7.0;
  EXPECT_EQ(ls->get(0, 0), 1.0);
  EXPECT_EQ((*ls)(0, 0), 1.0);
  EXPECT_EQ(other->get(59, 49), 1.0);

  // Writes inside land in the grid at the translated position.
  (*ls)(x0 + 2, y0 + 1) = -3.25;
  EXPECT_EQ(ls->getGrid().get(2, 1), -3.25);
}

TEST(RectLevelSet, DifferencesUseTheGridAndItsBorderRules) {
  // Inside values form a 4 × 4 block at (10..13, 20..23) of a 40 × 40 canvas, so the
  // rectangle is (5, 15)–(19, 29); the values vary non-linearly to tell differences apart.
  auto f = [](int x, int y) {
    const bool in = x >= 10 && x <= 13 && y >= 20 && y <= 23;
    return (in ? -1.0 : 1.0) * (1.0 + 0.01 * x * x + 0.003 * y * y * y);
  };
  const FullLevelSet2D full = denseFrom(40, 40, f);
  const RectLevelSet ls(full);
  ASSERT_EQ(ls.getX0(), 5);
  ASSERT_EQ(ls.getY0(), 15);
  ASSERT_EQ(ls.getGrid().getWidth(), 14);
  ASSERT_EQ(ls.getGrid().getHeight(), 14);

  // Interior cells: the plain differences of the canvas values.
  const int x = 9, y = 22;
  EXPECT_DOUBLE_EQ(ls.getDxMinus(x, y), f(x, y) - f(x - 1, y));
  EXPECT_DOUBLE_EQ(ls.getDxPlus(x, y), f(x + 1, y) - f(x, y));
  EXPECT_DOUBLE_EQ(ls.getDxCentral(x, y), (f(x + 1, y) - f(x - 1, y)) / 2);
  EXPECT_DOUBLE_EQ(ls.getDyMinus(x, y), f(x, y) - f(x, y - 1));
  EXPECT_DOUBLE_EQ(ls.getDyPlus(x, y), f(x, y + 1) - f(x, y));
  EXPECT_DOUBLE_EQ(ls.getDyCentral(x, y), (f(x, y + 1) - f(x, y - 1)) / 2);
  EXPECT_DOUBLE_EQ(ls.getDxUpwind(x, y, 1.0), ls.getDxMinus(x, y));
  EXPECT_DOUBLE_EQ(ls.getDxUpwind(x, y, 0.0), ls.getDxPlus(x, y));
  EXPECT_DOUBLE_EQ(ls.getDyUpwind(x, y, 2.0), ls.getDyMinus(x, y));
  EXPECT_DOUBLE_EQ(ls.getDyUpwind(x, y, -2.0), ls.getDyPlus(x, y));
  EXPECT_DOUBLE_EQ(ls.getCurvature(x, y), f(x + 1, y) - 2 * f(x, y) + f(x - 1, y) +
                                              f(x, y + 1) - 2 * f(x, y) + f(x, y - 1));

  // The rectangle's first column (canvas column 5) has no left neighbour in the grid,
  // although the canvas does: the backward and central differences turn forward.
  EXPECT_DOUBLE_EQ(ls.getDxMinus(5, y), f(6, y) - f(5, y));
  EXPECT_DOUBLE_EQ(ls.getDxCentral(5, y), f(6, y) - f(5, y));
  EXPECT_DOUBLE_EQ(ls.getDxPlus(18, y), f(18, y) - f(17, y));
  EXPECT_DOUBLE_EQ(ls.getDxCentral(18, y), f(18, y) - f(17, y));
  EXPECT_DOUBLE_EQ(ls.getDyMinus(x, 15), f(x, 16) - f(x, 15));
  EXPECT_DOUBLE_EQ(ls.getDyPlus(x, 28), f(x, 28) - f(x, 27));
  // The curvature mirrors the grid: at the first column the left neighbour reads column 1.
  EXPECT_DOUBLE_EQ(ls.getCurvature(5, y), f(6, y) - 2 * f(5, y) + f(6, y) + f(5, y + 1) -
                                              2 * f(5, y) + f(5, y - 1));

  double dx = 0, dy = 0;
  const double k = ls.getCurvatureAndUpwind(5, 15, 1.0, -1.0, dx, dy);
  EXPECT_DOUBLE_EQ(dx, f(6, 15) - f(5, 15));  // v > 0 at the first column: forward
  EXPECT_DOUBLE_EQ(dy, f(5, 16) - f(5, 15));
  EXPECT_DOUBLE_EQ(k, ls.getCurvature(5, 15));

  // Far outside the rectangle the grid's mirrored reads still give finite numbers.
  for (int c : {-2147483647 - 1, -1000, 1000, 2147483647}) {
    EXPECT_TRUE(std::isfinite(ls.getDxCentral(c, c)));
    EXPECT_TRUE(std::isfinite(ls.getDyMinus(c, 3)));
    EXPECT_TRUE(std::isfinite(ls.getCurvature(3, c)));
    EXPECT_TRUE(std::isfinite(ls.getCurvatureAndUpwind(c, c, 1.0, 1.0, dx, dy)));
  }
}

TEST(RectLevelSet, DegenerateInputs) {
  {
    // No mask pixels at all: an empty canvas and an empty rectangle.
    const vorn::Image<unsigned char> none;
    std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(none));
    EXPECT_EQ(ls->getWidth(), 0);
    EXPECT_EQ(ls->getGrid().getWidth(), 0);
    EXPECT_FALSE(ls->have(0, 0));
    EXPECT_EQ(ls->get(0, 0), 1.0);
    EXPECT_EQ(ls->getDxCentral(0, 0), 0.0);
    EXPECT_EQ(ls->getCurvature(0, 0), 0.0);
    ls->ensureSignedDistanceFMM();
  }
  {
    // A canvas smaller than the centred box's padding: the box is clipped to the canvas.
    vorn::Image<unsigned char> m(3, 2, 1);
    m = 0;
    std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(m));
    EXPECT_EQ(ls->getX0(), 0);
    EXPECT_EQ(ls->getY0(), 0);
    EXPECT_EQ(ls->getGrid().getWidth(), 3);
    EXPECT_EQ(ls->getGrid().getHeight(), 2);
    // Without an inside cell a small rectangle is kept instead of being framed around
    // nothing (which would give it a negative size).
    ls->ensureSignedDistanceFMM();
    EXPECT_EQ(ls->getGrid().getWidth(), 3);
    EXPECT_EQ(ls->getGrid().getHeight(), 2);
  }
}

TEST(RectLevelSet, ReinitialisationReframesWhenTheInsideNearsTheBorder) {
  const auto m = discMask(80, 60, 40.0, 30.0, 6.0);
  std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(m));
  const int x0 = ls->getX0(), y0 = ls->getY0();
  const int w = ls->getGrid().getWidth(), h = ls->getGrid().getHeight();

  // A margin of 5 is kept.
  RectLevelSet kept = *ls;
  kept.ensureSignedDistanceFMM();
  EXPECT_EQ(kept.getX0(), x0);
  EXPECT_EQ(kept.getY0(), y0);
  EXPECT_EQ(kept.getGrid().getWidth(), w);

  // Exactly at the margin: an inside cell in grid column or row 2 is kept, in 1 re-framed;
  // the box's far sides are exclusive, so there the last inside column (row) may be
  // w − 4 (h − 4), and w − 3 (h − 3) re-frames.
  struct Probe {
    int gx, gy;
    bool keeps;
  };
  const Probe probes[] = {{2, h / 2, true},     {1, h / 2, false},    {w / 2, 2, true},
                          {w / 2, 1, false},    {w - 4, h / 2, true}, {w - 3, h / 2, false},
                          {w / 2, h - 4, true}, {w / 2, h - 3, false}};
  for (const Probe& p : probes) {
    SCOPED_TRACE(std::to_string(p.gx) + "," + std::to_string(p.gy));
    RectLevelSet r = *ls;
    for (double& v : r.getGrid().values) v = 1.0;
    r.getGrid()(w / 2, h / 2) = -1.0;
    r.getGrid()(p.gx, p.gy) = -1.0;
    r.ensureSignedDistanceFMM();
    const bool same = r.getX0() == x0 && r.getY0() == y0 && r.getGrid().getWidth() == w &&
                      r.getGrid().getHeight() == h;
    EXPECT_EQ(same, p.keeps);
  }

  // An inside cell one column from the right border: the box grows to that column and
  // the rectangle is framed 6 cells beyond it.
  const double before = ls->get(x0 + 3, y0 + h / 2);
  (*ls)(x0 + w - 2, y0 + h / 2) = -0.5;
  ls->ensureSignedDistanceFMM();
  EXPECT_EQ(ls->getX0(), x0 + 5 - 6);
  EXPECT_EQ(ls->getY0(), y0 + 5 - 6);
  EXPECT_EQ(ls->getX0() + ls->getGrid().getWidth(), x0 + w - 1 + 6);
  EXPECT_EQ(ls->getY0() + ls->getGrid().getHeight(), y0 + h - 5 + 6);
  // Old cells keep their side; newly covered cells start outside.
  EXPECT_LT(ls->get(40, 30), 0.0);
  EXPECT_LT(ls->get(x0 + w - 2, y0 + h / 2), 0.0);
  EXPECT_GT(ls->get(x0 + 3, y0 + h / 2), 0.0);
  EXPECT_GT(before, 0.0);
  EXPECT_GT(ls->get(ls->getX0(), ls->getY0()), 0.0);
}

}  // namespace
