// glimshape — tests/svg
// Purpose: the cairo rasteriser and node drawing: exact squares, discs from arcs, empty
// paths, and widths that need padded rows.
#include "svg/raster.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/images.h"

namespace {

using Image8 = vorn::Image<unsigned char>;

// Sum of the coverage, in pixels.
double area(const Image8& raster) {
  double sum = 0.0;
  for (int i = 0; i < raster.width * raster.height; ++i) sum += raster[i];
  return sum / 255.0;
}

// Disc check: full inside r - 1 of the centre, empty beyond r + 1, area close to pi r^2.
void expectDisc(const Image8& raster, double cx, double cy, double r) {
  for (int y = 0; y < raster.height; ++y) {
    for (int x = 0; x < raster.width; ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      if (d < r - 1.0) {
        EXPECT_EQ(raster(x, y, 0), 255) << x << "," << y;
      } else if (d > r + 1.0) {
        EXPECT_EQ(raster(x, y, 0), 0) << x << "," << y;
      }
    }
  }
  EXPECT_NEAR(area(raster), M_PI * r * r, 0.02 * M_PI * r * r);
}

}  // namespace

TEST(Raster, SquareOnPixelEdgesIsExact) {
  const Image8 raster = rasterisePath(Path("M 2 2 L 6 2 L 6 6 L 2 6 Z"), 8, 8);
  ASSERT_EQ(raster.width, 8);
  ASSERT_EQ(raster.height, 8);
  ASSERT_EQ(raster.nchannels, 1);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
      EXPECT_EQ(raster(x, y, 0), inside ? 255 : 0) << x << "," << y;
    }
  }
  EXPECT_TRUE(isValidRaster(raster));
}

TEST(Raster, EmptyAndDegenerateOutlinesAreInvalid) {
  const Image8 empty = rasterisePath(Path(), 16, 9);
  EXPECT_TRUE(glimtest::sameImage(empty, glimtest::filled<unsigned char>(16, 9, 1, {})));
  EXPECT_FALSE(isValidRaster(empty));
  // A line has no area; unsupported commands draw nothing.
  EXPECT_FALSE(isValidRaster(rasterisePath(Path("M 1 1 L 7 7 Z"), 8, 8)));
  EXPECT_FALSE(isValidRaster(rasterisePath(Path("Q 1 2 3 4"), 8, 8)));
  // Entirely outside the raster.
  EXPECT_FALSE(isValidRaster(rasterisePath(Path("M 20 20 L 30 20 L 30 30 Z"), 8, 8)));
  // No pixels at all.
  const Image8 none = rasterisePath(Path("M 0 0 L 4 0 L 4 4 Z"), 0, 5);
  EXPECT_EQ(none.width * none.height, 0);
  EXPECT_FALSE(isValidRaster(none));
  // A pixel exactly half covered is not above 128.
  EXPECT_FALSE(isValidRaster(rasterisePath(Path("M 0 0 L 1 0 L 0 1 Z"), 4, 4)));
}

TEST(Raster, ArcDrawsDiscLeftOfLastPoint) {
  // Whichever side the written end point lies on, the circle is centred radius to the
  // left of the last point.
  expectDisc(rasterisePath(Path("M 20 10 A 5 5 0 1 1 0 10"), 32, 20), 15, 10, 5);
  expectDisc(rasterisePath(Path("M 20 10 A 5 5 0 1 1 40 10"), 32, 20), 15, 10, 5);
  // After a close the last point is the start of the closed subpath, (24, 12), not the
  // end of its last line.
  const Image8 closed = rasterisePath(Path("M 24 12 L 26 12 L 26 14 Z A 6 6 0 1 1 0 0"), 40, 24);
  Image8 disc = rasterisePath(Path("M 24 12 A 6 6 0 1 1 0 0"), 40, 24);
  // The small triangle lies inside the disc's bounding box but outside the circle only at
  // pixels (24..25, 12..13); compare the rest.
  int differing = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 40; ++x) {
      if (closed(x, y, 0) != disc(x, y, 0)) ++differing;
    }
  }
  EXPECT_LE(differing, 6);
  expectDisc(disc, 18, 12, 6);
}

TEST(Raster, UnalignedWidthsMatchAlignedRaster) {
  // Rows of widths that are no multiple of 4 are drawn padded and copied; the pixels must
  // equal the same columns of a raster of aligned width.
  const Path path("M 1.3 0.7 C 9 -2 12 6 6.5 8.2 L 2 9.6 Z M 4 3 L 5 3 L 5 5 L 4 5 Z");
  const Image8 wide = rasterisePath(path, 12, 10);
  for (int width : {1, 2, 3, 5, 6, 7, 9, 10, 11}) {
    const Image8 narrow = rasterisePath(path, width, 10);
    ASSERT_EQ(narrow.width, width);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(narrow(x, y, 0), wide(x, y, 0)) << "width " << width << " at " << x << "," << y;
      }
    }
  }
}

TEST(Raster, NonFiniteNodesAddNothing) {
  Path path("M 2 2 L 6 2 L 6 6 L 2 6 Z");
  Path::Node bad;
  bad.type = Path::Node::LineTo;
  bad.points[0] = vorn::Vec2<double>(INFINITY, 3.0);
  path.nodes.insert(path.nodes.begin() + 2, bad);
  EXPECT_TRUE(glimtest::sameImage(rasterisePath(path, 8, 8),
                                  rasterisePath(Path("M 2 2 L 6 2 L 6 6 L 2 6 Z"), 8, 8)));

  // An arc of absurd radius is skipped with a line instead of keeping cairo busy for good
  // (regression: "A1e308" after a closed square hung the reader).
  Path huge("M 2 2 L 6 2 L 6 6 L 2 6 Z");
  Path::Node arc;
  arc.type = Path::Node::Arc;
  arc.radius = 1e300;
  arc.endAngle = 360.0;
  huge.nodes.push_back(arc);
  testing::internal::CaptureStdout();
  const auto raster = rasterisePath(huge, 8, 8);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("too large to draw"), std::string::npos);
  EXPECT_TRUE(glimtest::sameImage(raster,
                                  rasterisePath(Path("M 2 2 L 6 2 L 6 6 L 2 6 Z"), 8, 8)));
}
