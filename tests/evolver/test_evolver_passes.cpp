// glimshape — tests/evolver
// Purpose: real shapes of every kind through evolver passes: the in-place mask rebuild gives
// bit for bit the results of the freshly allocated one.
#include "evolver/evolver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/blob_drawing.h"
#include "lomvet/progress.h"

namespace {

constexpr int canvas = 72;

// Two drawings built from the same random numbers: drand48's state is put back before the
// second, so colours, motion models, stiffness and speed agree shape for shape.
void twinDrawings(const std::string& kind, ZazizEvozuEvolver& a, ZazizEvozuEvolver& b) {
  const std::vector<glimtest::Blob> blobs = glimtest::blobLayout(8, canvas, 7);
  unsigned short probe[3] = {0, 0, 0};
  unsigned short saved[3];
  std::memcpy(saved, seed48(probe), sizeof saved);
  seed48(saved);
  a.setShapes(glimtest::blobDrawing(blobs, canvas, kind));
  seed48(saved);
  b.setShapes(glimtest::blobDrawing(blobs, canvas, kind));
}

class EvolverPasses : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { setProgressLines(false); }
  void TearDown() override { setProgressLines(true); }
};

// Five passes with buffers refilled in place and five with fresh ones: every stored value,
// every contour point and every loop must be identical (compared with ==, not a tolerance).
TEST_P(EvolverPasses, InPlaceMaskRebuildChangesNoValue) {
  ZazizEvozuEvolver fast, plain;
  twinDrawings(GetParam(), fast, plain);
  plain.reuseMaskBuffers = false;
  ASSERT_EQ(fast.shapes.size(), 8u);
  for (int pass = 0; pass < 5; ++pass) {
    fast.evolvePass();
    plain.evolvePass();
  }
  long stored = 0, moved = 0;
  for (std::size_t i = 0; i < fast.shapes.size(); ++i) {
    ZazizEvozuBase& f = *fast.shapes[i];
    ZazizEvozuBase& p = *plain.shapes[i];
    ASSERT_EQ(f.speed, p.speed);
    for (int y = 0; y < canvas; ++y)
      for (int x = 0; x < canvas; ++x) {
        ASSERT_EQ(f.have(x, y), p.have(x, y)) << "shape " << i << " at " << x << "," << y;
        if (!f.have(x, y)) continue;
        ASSERT_EQ(f.get(x, y), p.get(x, y)) << "shape " << i << " at " << x << "," << y;
        ++stored;
      }
    f.updatePolygons();
    p.updatePolygons();
    ASSERT_EQ(f.points.size(), p.points.size()) << "shape " << i;
    for (std::size_t k = 0; k < f.points.size(); ++k) {
      ASSERT_EQ(f.points[k].x, p.points[k].x) << "shape " << i << " point " << k;
      ASSERT_EQ(f.points[k].y, p.points[k].y) << "shape " << i << " point " << k;
    }
    ASSERT_EQ(f.polygons, p.polygons) << "shape " << i;
    moved += f.speed >= 1.0;
  }
  EXPECT_GT(stored, 0);
  EXPECT_GT(moved, 0) << "no shape moved, so the comparison proved nothing";
}

INSTANTIATE_TEST_SUITE_P(Kinds, EvolverPasses,
                         ::testing::Values("RectLevelSet", "FullLevelSet", "SparseLevelSet"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
