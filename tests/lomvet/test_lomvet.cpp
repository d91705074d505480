// glimshape — tests/lomvet
// Purpose: the chief header: the whole level-set pipeline and the heap the library carries.
#include "lomvet/lomvet.h"

#include <gtest/gtest.h>

#include <cmath>

// The heap is compiled into the library: a program linking lomvet alone can use it.
TEST(Lomvet, CarriesTheIndexedHeap) {
  Heap heap(8);
  EXPECT_EQ(heap.insert(3, 5.0), 0);
  EXPECT_EQ(heap.insert(1, 1.0), 0);
  EXPECT_EQ(heap.insert(2, 5.0), 0);
  heap.update(3, 0.5, 0);
  double key = 0;
  EXPECT_EQ(heap.remove(&key), 3);
  EXPECT_EQ(key, 0.5);
  EXPECT_EQ(heap.remove(&key), 1);
  EXPECT_EQ(heap.remove(&key), 2);
  EXPECT_EQ(heap.remove(&key), -1);
}

// Seed, re-initialise, extract and close: the shape polygons' path through the library.
TEST(Lomvet, DiscThroughThePipeline) {
  FullLevelSet2D g(50, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x) g(x, y) = std::hypot(x - 45.5, y - 20.2) <= 11.0 ? -1.0 / 256 : 1.0 / 256;
  g.ensureSignedDistanceFMM();
  ContourPoints pts;
  ContourEdges edges;
  g.getLinesUnique(pts, edges);
  addBorderEdges(pts, edges, &g);
  const auto loops = getPolygons(pts, edges);
  ASSERT_EQ(loops.size(), 1u);
  // The re-initialised contour still runs half way between inside and outside pixels, so
  // every point stays within half a pixel of the disc's staircase.
  for (int i : loops[0]) {
    const auto& p = pts[static_cast<std::size_t>(i)];
    EXPECT_LT(std::fabs(std::hypot(p.x - 45.5, p.y - 20.2) - 11.0), 1.0);
    EXPECT_LE(p.x, 49.0);
  }
}
