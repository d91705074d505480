// glimshape — tests
// Purpose: drawing shapes with cairo: the filled area against the inside mask, outlines,
// the loops as one even-odd path, frozen polygons.
#include "shapes/shapedrawing.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "shape_fixtures.h"

namespace {

using shapetest::makeShape;
using shapetest::ringMask;
using shapetest::useQuickModel;

constexpr int N = 64;

// An ARGB32 canvas-size surface; a shape draws level-set cell (x, y) on the centre of
// pixel (x, y) by itself.
struct Surface {
  Surface() {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, N, N);
    cr = cairo_create(surface);
  }
  ~Surface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // Premultiplied channels of pixel (x, y): 0 blue, 1 green, 2 red, 3 alpha (little endian).
  int channel(int x, int y, int c) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return data[y * cairo_image_surface_get_stride(surface) + 4 * x + c];
  }
  cairo_surface_t* surface;
  cairo_t* cr;
};

template <class L>
void paintRed(ZazizEvozu<L>& s, double lineWidth) {
  s.fillColor[0] = 1.0f;
  s.fillColor[1] = s.fillColor[2] = 0.0f;
  s.lineColor[0] = s.lineColor[1] = 0.0f;
  s.lineColor[2] = 1.0f;
  s.lineWidth = lineWidth;
}

}  // namespace

// The filled area equals the inside mask except on the anti-aliased edge (cells within one
// pixel of the outline), for every kind; an outline of width 0 adds nothing.
TEST(ShapeCairo, FillMatchesTheInsideMaskUpToTheEdge) {
  useQuickModel();
  const auto mask = ringMask(N, N, 30.4, 33.1, 0, 19.5);
  std::vector<std::unique_ptr<ZazizEvozuBase>> shapes;
  shapes.push_back(makeShape<FullLevelSet>(mask));
  shapes.push_back(makeShape<RectLevelSet>(mask));
  shapes.push_back(makeShape<SparseLevelSet2D>(mask));
  // The dense kind's values tell how far each cell lies from the outline.
  auto reference = makeShape<FullLevelSet>(mask);
  for (auto& shape : shapes) {
    auto& s = *shape;
    s.fillColor[0] = 1.0f;
    s.fillColor[1] = s.fillColor[2] = 0.0f;
    s.lineWidth = 0.0;
    Surface out;
    s.drawCairo(out.cr);
    testing::internal::CaptureStderr();
    const auto inside = s.getBinaryImage();
    testing::internal::GetCapturedStderr();
    long filled = 0, edge = 0;
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        const int alpha = out.channel(x, y, 3);
        EXPECT_EQ(out.channel(x, y, 2), alpha);  // pure red
        EXPECT_EQ(out.channel(x, y, 0), 0);
        const bool covered = alpha >= 128;
        filled += covered;
        if (std::fabs(reference->get(x, y)) < 1.0) {
          edge += covered != (inside(x, y, 0) == 255);
          continue;
        }
        EXPECT_EQ(covered, inside(x, y, 0) == 255) << x << "," << y;
        EXPECT_TRUE(alpha == 0 || alpha == 255) << x << "," << y << ": " << alpha;
      }
    EXPECT_GT(filled, 1000);
    EXPECT_LT(edge, 30);
  }
}

// The loops make one path filled by the even-odd rule, so a ring's hole stays open whichever
// way its loops run; the outline is stroked in the line colour with the line width.
TEST(ShapeCairo, LoopsMakeOneEvenOddPathAndAreStroked) {
  useQuickModel();
  auto ring = makeShape<FullLevelSet>(ringMask(N, N, 32, 32, 9, 22));
  paintRed(*ring, 3.0);
  Surface out;
  ring->drawCairo(out.cr);
  ASSERT_EQ(ring->polygons.size(), 2u);
  EXPECT_EQ(out.channel(32, 32, 3), 0);  // the hole's centre: open
  EXPECT_EQ(out.channel(32 + 15, 32, 2), 255);  // in the ring, far from both outlines
  // On the outer and inner outlines (radius about 22.5 and 8.5) the stroke is blue.
  EXPECT_EQ(out.channel(32 + 22, 32, 0), 255);
  EXPECT_EQ(out.channel(32, 32 - 9, 0), 255);
  EXPECT_EQ(out.channel(32 + 15, 32, 0), 0);
  // Three pixels wide: blue reaches 1 pixel beyond the outline, not 3.
  EXPECT_GT(out.channel(32 + 23, 32, 0), 100);
  EXPECT_EQ(out.channel(32 + 25, 32, 3), 0);
  // Turned around, the inner loop runs as the outer one does, which non-zero winding fills.
  std::reverse(ring->polygons[1].begin(), ring->polygons[1].end());
  ring->polygonsFrozen = true;
  Surface reversed;
  ring->drawCairo(reversed.cr);
  EXPECT_EQ(reversed.channel(32, 32, 3), 0);
}

// Frozen polygons are drawn as stored even when the level set has moved on; unfrozen ones
// follow the level set.
TEST(ShapeCairo, FrozenPolygonsAreDrawnAsStored) {
  useQuickModel();
  auto shape = makeShape<RectLevelSet>(ringMask(N, N, 20, 20, 0, 8));
  paintRed(*shape, 1.0);
  shape->updatePolygons();
  shape->polygonsFrozen = true;
  for (double& v : shape->levelSet->getGrid().values) v = 1.0;  // no inside left
  {
    Surface out;
    shape->drawCairo(out.cr);
    EXPECT_EQ(out.channel(20, 20, 2), 255);
    EXPECT_FALSE(shape->polygons.empty());
  }
  shape->polygonsFrozen = false;
  Surface out;
  shape->drawCairo(out.cr);
  EXPECT_TRUE(shape->polygons.empty());
  EXPECT_EQ(out.channel(20, 20, 3), 0);
}
