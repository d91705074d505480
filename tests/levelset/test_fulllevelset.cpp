// glimshape — tests/levelset
// Purpose: FullLevelSet behaves as the library's dense grid and frees itself through the base.
#include "levelset/fulllevelset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

TEST(FullLevelSet, BehavesAsTheDenseGrid) {
  FullLevelSet a(9, 7);
  FullLevelSet2D b(9, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) a(x, y) = b(x, y) = std::hypot(x - 4.2, y - 3.1) - 2.3;
  a.ensureSignedDistanceFMM();
  b.ensureSignedDistanceFMM();
  EXPECT_EQ(a.values, b.values);
  EXPECT_EQ(a.get(-1, 3), a.get(1, 3));
  EXPECT_EQ(a.getCurvature(4, 3), b.getCurvature(4, 3));
  ContourPoints pa, pb;
  ContourEdges ea, eb;
  a.getLinesUnique(pa, ea);
  b.getLinesUnique(pb, eb);
  EXPECT_EQ(pa.size(), pb.size());
  EXPECT_EQ(ea, eb);

  // A copy is independent, as the shape's reset needs.
  FullLevelSet c = a;
  c(0, 0) = 99;
  EXPECT_NE(a.get(0, 0), 99);
}

TEST(FullLevelSet, DeletedThroughTheInterface) {
  std::unique_ptr<LevelSet2D> ls(new FullLevelSet(16, 16));
  EXPECT_EQ(ls->getWidth(), 16);
  EXPECT_TRUE(ls->have(15, 15));
  auto* full = static_cast<FullLevelSet*>(ls.get());
  full->release();
  EXPECT_EQ(full->getWidth(), 0);
  full->resize(3, 2);
  EXPECT_EQ(full->values.size(), 6u);
}
