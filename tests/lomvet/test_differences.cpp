// glimshape — tests/lomvet
// Purpose: GridDifferences over a plain accessor: interior formulas, border fall-backs, thin grids.
#include "lomvet/differences.h"

#include <gtest/gtest.h>

namespace {

// f(x, y) = x^2 + 3y on any cell, also outside a grid: the accessor alone decides what lies
// beyond the border.
double f(int x, int y) { return double(x) * x + 3.0 * y; }

TEST(GridDifferences, InteriorAndBorderOfAFourByThreeGrid) {
  const GridDifferences d(f, 4, 3, 0.5, 2.0);
  // Interior cell (2, 1): f = 7, left 4, right 12, up 1 (y = 0), down 13 (y = 2).
  EXPECT_DOUBLE_EQ(d.dxMinus(2, 1), (7.0 - 4.0) / 0.5);
  EXPECT_DOUBLE_EQ(d.dxPlus(2, 1), (12.0 - 7.0) / 0.5);
  EXPECT_DOUBLE_EQ(d.dxCentral(2, 1), (12.0 - 4.0) / 1.0);
  EXPECT_DOUBLE_EQ(d.dyMinus(2, 1), 3.0 / 2.0);
  EXPECT_DOUBLE_EQ(d.dyPlus(2, 1), 3.0 / 2.0);
  EXPECT_DOUBLE_EQ(d.dyCentral(2, 1), 6.0 / 4.0);
  // First column: backward and central take the forward difference (1 - 0) / 0.5.
  EXPECT_DOUBLE_EQ(d.dxMinus(0, 1), 2.0);
  EXPECT_DOUBLE_EQ(d.dxCentral(0, 1), 2.0);
  // Last column: forward and central take the backward difference (9 - 4) / 0.5.
  EXPECT_DOUBLE_EQ(d.dxPlus(3, 1), 10.0);
  EXPECT_DOUBLE_EQ(d.dxCentral(3, 1), 10.0);
  // Same along y at the first and last rows.
  EXPECT_DOUBLE_EQ(d.dyMinus(1, 0), 1.5);
  EXPECT_DOUBLE_EQ(d.dyPlus(1, 2), 1.5);
  // Upwind: backward for a positive speed, forward for zero or negative.
  EXPECT_DOUBLE_EQ(d.dxUpwind(2, 1, 1.0), 6.0);
  EXPECT_DOUBLE_EQ(d.dxUpwind(2, 1, 0.0), 10.0);
  EXPECT_DOUBLE_EQ(d.dxUpwind(2, 1, -1.0), 10.0);
  // Curvature: d2f/dx2 = 2 everywhere, f is linear in y; it reads past the border as is.
  EXPECT_DOUBLE_EQ(d.curvature(2, 1), 2.0 / 0.25);
  EXPECT_DOUBLE_EQ(d.curvature(0, 0), 2.0 / 0.25);
  double dx = 0.0, dy = 0.0;
  EXPECT_DOUBLE_EQ(d.curvatureAndUpwind(2, 1, -1.0, 1.0, dx, dy), 8.0);
  EXPECT_DOUBLE_EQ(dx, 10.0);
  EXPECT_DOUBLE_EQ(dy, 1.5);
}

TEST(GridDifferences, ThinGridsHaveNoDifferenceAcross) {
  // One column: no x neighbour, so every x difference is 0 (and must not recurse).
  const GridDifferences column(f, 1, 5, 1.0, 1.0);
  EXPECT_EQ(column.dxMinus(0, 2), 0.0);
  EXPECT_EQ(column.dxPlus(0, 2), 0.0);
  EXPECT_EQ(column.dxCentral(0, 2), 0.0);
  EXPECT_EQ(column.dxUpwind(0, 2, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(column.dyCentral(0, 2), 3.0);
  const GridDifferences empty(f, 0, 0, 1.0, 1.0);
  EXPECT_EQ(empty.dyMinus(0, 0), 0.0);
  EXPECT_EQ(empty.dyCentral(0, 0), 0.0);
}

}  // namespace
