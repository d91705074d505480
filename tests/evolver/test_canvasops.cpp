// glimshape — tests
// Purpose: the canvas operations on real shapes drawn from masks: the close image and the
// explicit motion step (Closer), space occupation (Occupy) and hole filling (Fill).
#include "evolver/evolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "canvas_shapes.h"

namespace {

using glimtest::boxShape;
using glimtest::maskOf;
using glimtest::shapeOf;
using Points = std::vector<vorn::Vec2<double>>;
using Loops = std::vector<std::vector<int>>;

constexpr int kSize = 128;

class CanvasOps : public ::testing::Test {
 protected:
  void SetUp() override { glimtest::quietShapeSettings(); }
};

/// The same cases for each level-set kind.
class CanvasKinds : public ::testing::TestWithParam<const char*> {
  void SetUp() override { glimtest::quietShapeSettings(GetParam()); }
};
INSTANTIATE_TEST_SUITE_P(Kinds, CanvasKinds, ::testing::Values("RectLevelSet", "SparseLevelSet", "FullLevelSet"));

/// Even-odd inside test over all loops (ray towards +x).
bool inside(const Points& points, const Loops& loops, double x, double y) {
  bool in = false;
  for (const auto& loop : loops)
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto& a = points[static_cast<std::size_t>(loop[k])];
      const auto& b = points[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
      if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
    }
  return in;
}

bool inside(const ZazizEvozuBase& s, double x, double y) {
  return inside(s.points, s.polygons, x, y);
}

/// Area (pixels²) of a shape's polygons, or of two shapes' common part, sampled on a grid
/// of step 1/4 pixel over the canvas.
double sampledArea(const ZazizEvozuBase& a, const ZazizEvozuBase* b = nullptr) {
  int count = 0;
  for (int j = 0; j < kSize * 4; ++j)
    for (int i = 0; i < kSize * 4; ++i) {
      const double x = (i + 0.5) / 4.0, y = (j + 0.5) / 4.0;
      if (inside(a, x, y) && (b == nullptr || inside(*b, x, y))) ++count;
    }
  return count / 16.0;
}

/// Output of one call, with the printed text.
template <class F>
std::string printed(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

/// Cyclic distance between loop positions p and q of a loop of m entries.
int loopDistance(int p, int q, int m) {
  const int d = std::abs(p - q) % m;
  return std::min(d, m - d);
}

// ---- Closer ---------------------------------------------------------------------------

TEST_P(CanvasKinds, CloseImageNamesTheTwoNearestShapes) {
  ZazizEvozuEvolver evolver;
  EXPECT_EQ(evolver.getCloseImage().getWidth(), 0);
  evolver.setShapes({boxShape(kSize, kSize, 10, 10, 29, 117), boxShape(kSize, kSize, 40, 10, 59, 117),
                     boxShape(kSize, kSize, 90, 10, 109, 117)});
  const vorn::Image<unsigned int> close = evolver.getCloseImage();
  ASSERT_EQ(close.getWidth(), kSize);
  ASSERT_EQ(close.nchannels, 2);
  // Brute force over the shapes' values: smallest first, ties to the earlier shape.
  for (int y = 0; y < kSize; y += 3)
    for (int x = 0; x < kSize; ++x) {
      std::vector<std::pair<float, unsigned int>> v;
      for (unsigned int s = 0; s < 3; ++s)
        if (evolver.shapes[s]->have(x, y))
          v.emplace_back(static_cast<float>(evolver.shapes[s]->get(x, y)), s);
      std::stable_sort(v.begin(), v.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      v.resize(2, {0.0f, ZazizEvozuEvolver::noShape});
      ASSERT_EQ(close(x, y, 0), v[0].second) << x << "," << y;
      ASSERT_EQ(close(x, y, 1), v[1].second) << x << "," << y;
    }
}

TEST_F(CanvasOps, CloserLeavesAFivePixelGapAndSingleShapesAlone) {
  {
    ZazizEvozuEvolver evolver;
    EXPECT_EQ(printed([&] { evolver.moveExplicit(); }), "");  // no shapes: nothing at all
  }
  {
    ZazizEvozuEvolver evolver;
    evolver.setShapes({boxShape(kSize, kSize, 10, 4, 29, 123), boxShape(kSize, kSize, 35, 4, 54, 123)});
    const Points a = evolver.shapes[0]->points, b = evolver.shapes[1]->points;
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(printed([&] { evolver.moveExplicit(); }), "average move: 0.000000\n");
    EXPECT_EQ(evolver.shapes[0]->points, a);
    EXPECT_EQ(evolver.shapes[1]->points, b);
  }
  {
    ZazizEvozuEvolver evolver;
    evolver.setShapes({boxShape(kSize, kSize, 10, 4, 29, 123)});
    const Points a = evolver.shapes[0]->points;
    EXPECT_EQ(printed([&] { evolver.moveExplicit(); }), "average move: 0.000000\n");
    EXPECT_EQ(evolver.shapes[0]->points, a);
  }
}

// A third shape lies off the sparse bands and beyond the rectangles of the pair.
TEST_P(CanvasKinds, CloserPullsATwoPixelGapTogether) {
  ZazizEvozuEvolver evolver;
  // Facing outlines at x = 29.5 and x = 31.5, 120 rows long.
  evolver.setShapes({boxShape(kSize, kSize, 10, 4, 29, 123), boxShape(kSize, kSize, 32, 4, 51, 123),
                     boxShape(kSize, kSize, 80, 4, 110, 123)});
  ZazizEvozuBase& a = *evolver.shapes[0];
  ZazizEvozuBase& b = *evolver.shapes[1];
  const Points a0 = a.points, b0 = b.points;

  // Vertices matched in the step, found by brute force: every vertex of the first shape is a
  // border vertex, matched when a vertex of the other lies within 3 pixels.
  auto matched = [](const Points& mine, const Points& theirs) {
    std::vector<bool> m(mine.size(), false);
    for (std::size_t i = 0; i < mine.size(); ++i)
      for (const auto& q : theirs)
        if (std::hypot(q.x - mine[i].x, q.y - mine[i].y) < 3.0) m[i] = true;
    return m;
  };
  const std::vector<bool> matchedA = matched(a0, b0);

  // The middle vertex of each facing side.
  auto middle = [](const Points& p, double x) {
    for (std::size_t i = 0; i < p.size(); ++i)
      if (std::fabs(p[i].x - x) < 1e-9 && std::fabs(p[i].y - 64.0) < 1e-9) return i;
    return p.size();
  };
  const std::size_t ma = middle(a0, 29.5), mb = middle(b0, 31.5);
  ASSERT_LT(ma, a0.size());
  ASSERT_LT(mb, b0.size());

  const std::string line = printed([&] { evolver.moveExplicit(); });
  EXPECT_EQ(line.rfind("average move: ", 0), 0u);
  // Far from the ends of the facing sides the smoothed pull is the full 2-pixel offset,
  // so each side moves a quarter of the gap.
  EXPECT_NEAR(a.points[ma].x - a0[ma].x, 0.5, 1e-3);
  EXPECT_NEAR(a.points[ma].y, a0[ma].y, 1e-6);
  EXPECT_NEAR(b.points[mb].x - b0[mb].x, -0.5, 1e-3);
  const double gap1 = b.points[mb].x - a.points[ma].x;
  EXPECT_NEAR(gap1, 1.0, 2e-3);

  // Every vertex more than 48 loop positions from each matched vertex stays exactly.
  int far = 0;
  for (const auto& loop : a.polygons) {
    const int m = static_cast<int>(loop.size());
    for (int p = 0; p < m; ++p) {
      bool isFar = true;
      for (int q = 0; q < m && isFar; ++q)
        if (matchedA[static_cast<std::size_t>(loop[static_cast<std::size_t>(q)])] &&
            loopDistance(p, q, m) <= 48)
          isFar = false;
      if (!isFar) continue;
      ++far;
      const auto v = static_cast<std::size_t>(loop[static_cast<std::size_t>(p)]);
      EXPECT_EQ(a.points[v], a0[v]) << "vertex " << v;
    }
  }
  EXPECT_GT(far, 20);

  // A second step closes more of the gap.
  printed([&] { evolver.moveExplicit(); });
  const double gap2 = b.points[mb].x - a.points[ma].x;
  EXPECT_LT(gap2, gap1 - 0.2);
  EXPECT_GT(gap2, 0.0);
}

TEST_F(CanvasOps, CloserIgnoresVerticesOffTheCanvas) {
  ZazizEvozuEvolver evolver;
  // Shape 0 runs along the left canvas border; shape 1 lies far to the right.
  evolver.setShapes({boxShape(kSize, kSize, 0, 4, 20, 123), boxShape(kSize, kSize, 60, 4, 80, 123)});
  ZazizEvozuBase& right = *evolver.shapes[1];
  // Left of the canvas, within 3 pixels of shape 0's corner point (0, 3.5) where its outline
  // meets the border: a vertex counting as on the border would be pulled; one off the
  // canvas is on no border and stays.
  right.points[0] = {-1.5, 4.0};
  right.points[1] = {std::numeric_limits<double>::quiet_NaN(), 64.0};
  right.points[2] = {kSize + 0.5, 64.0};
  right.points[3] = {kSize + 0.5, kSize - 0.5};  // its pixel would lie past the close image
  const Points before = right.points;
  printed([&] { evolver.moveExplicit(); });
  EXPECT_EQ(right.points[0], before[0]);
  EXPECT_EQ(right.points[2], before[2]);
  EXPECT_EQ(right.points[3], before[3]);
}

TEST_F(CanvasOps, OffsetSmoothingIsACyclicFivePointAverage) {
  ZazizEvozuEvolver evolver;
  const std::shared_ptr<ZazizEvozuBase> held = boxShape(kSize, kSize, 10, 10, 40, 40);
  ZazizEvozuBase& shape = *held;
  // A loop of 10 vertices over the first 10 points; vertex 10 is in no loop.
  shape.polygons = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
  std::vector<vorn::Vec2<float>> offsets(11, {0.0f, 0.0f});
  std::vector<float> weights(11, 0.0f);
  offsets[0] = {10.0f, -4.0f};
  weights[0] = 2.0f;
  offsets[10] = {5.0f, 5.0f};
  weights[10] = 1.0f;
  ZazizEvozuEvolver::normalizeOffsets(offsets, weights);
  EXPECT_EQ(offsets[0], vorn::Vec2<float>(5.0f, -2.0f));
  for (float w : weights) EXPECT_EQ(w, 1.0f);

  // Reference: 12 passes of the plain cyclic average of the x components.
  std::vector<double> ref(10, 0.0);
  ref[0] = 5.0;
  for (int pass = 0; pass < 12; ++pass) {
    std::vector<double> next(10, 0.0);
    for (int k = 0; k < 10; ++k)
      for (int d = -2; d <= 2; ++d) next[static_cast<std::size_t>(k)] += ref[static_cast<std::size_t>((k + d + 10) % 10)] / 5.0;
    ref = next;
  }
  evolver.smoothOffsets(shape, offsets, weights);
  for (int k = 0; k < 10; ++k) {
    EXPECT_NEAR(offsets[static_cast<std::size_t>(k)].x, ref[static_cast<std::size_t>(k)], 1e-5);
    EXPECT_NEAR(offsets[static_cast<std::size_t>(k)].y, -0.4 * ref[static_cast<std::size_t>(k)], 1e-5);
    EXPECT_EQ(weights[static_cast<std::size_t>(k)], 1.0f);
  }
  // The vertex in no loop ends with nothing.
  EXPECT_EQ(offsets[10], vorn::Vec2<float>(0.0f, 0.0f));
  EXPECT_EQ(weights[10], 0.0f);
}

// ---- Occupy ---------------------------------------------------------------------------

/// Two boxes with a 3-pixel gap (pixels 30 … 32 free, as far as a shape grows) and the
/// given stiffnesses. Pixel (x, y) lies at the point (x, y) of the outlines.
void twoBoxes(ZazizEvozuEvolver& evolver, double left, double right) {
  evolver.setShapes({boxShape(kSize, kSize, 10, 20, 29, 107), boxShape(kSize, kSize, 33, 20, 52, 107)});
  evolver.shapes[0]->stiffness = left;
  evolver.shapes[1]->stiffness = right;
}

/// How far shape s reaches into the gap along row 64: the free pixel centres it covers.
int gapPixels(const ZazizEvozuBase& s) {
  int n = 0;
  for (int x = 30; x <= 32; ++x) n += inside(s, x, 64.0);
  return n;
}

TEST_F(CanvasOps, OccupyGivesTheGapToTheLessStiffShape) {
  for (const auto& stiff : {std::pair<double, double>{0.1, 0.3}, {0.3, 0.1}, {0.2, 0.2}}) {
    ZazizEvozuEvolver evolver;
    twoBoxes(evolver, stiff.first, stiff.second);
    evolver.occupySpace();
    // The earlier shape wins on equal stiffness.
    const std::size_t winner = stiff.first <= stiff.second ? 0 : 1;
    const ZazizEvozuBase& w = *evolver.shapes[winner];
    const ZazizEvozuBase& l = *evolver.shapes[1 - winner];
    EXPECT_EQ(gapPixels(w), 3) << stiff.first << " " << stiff.second;
    EXPECT_EQ(gapPixels(l), 0) << stiff.first << " " << stiff.second;
    EXPECT_TRUE(w.edges.empty());
    // The loser still grows where nothing contests it (3 pixels outward on its far side).
    const double farX = winner == 0 ? 55.0 : 8.0;
    EXPECT_TRUE(inside(l, farX, 64.0));
    EXPECT_LT(sampledArea(w, &l), 0.5);
  }
}

// Occupy freezes the current outlines though nothing drew them (as in glimshape-batch), and
// never takes a shape's own inside (the least stiff box reaches 3 pixels into the next).
TEST_P(CanvasKinds, OccupyKeepsAllThatEveryShapeHad) {
  const int columns[3][2] = {{10, 29}, {27, 50}, {56, 80}};
  ZazizEvozuEvolver evolver;
  for (const auto& c : columns)
    evolver.shapes.push_back(ZazizEvozuBase::create(Polygon(), maskOf(kSize, kSize, [&](int x, int y) {
      return x >= c[0] && x <= c[1] && y >= 20 && y < 60;
    })));
  for (int i = 0; i < 3; ++i) evolver.shapes[i]->stiffness = 0.1 * (i + 1);
  evolver.occupyCommand();
  for (int i = 0; i < 3; ++i)
    for (int y = 20; y < 60; ++y)
      for (int x = columns[i][0]; x <= columns[i][1]; ++x)
        ASSERT_TRUE(inside(*evolver.shapes[i], x, y)) << "shape " << i << " lost " << x << "," << y;
}

TEST_F(CanvasOps, OccupyClosesBorderShapesAlongTheCanvasAndDoesNotGrowTwice) {
  ZazizEvozuEvolver evolver;
  evolver.setShapes({boxShape(kSize, kSize, 0, 0, 30, 50),
                     shapeOf(maskOf(kSize, kSize, [](int x, int y) { return std::hypot(x - 70, y - 40) <= 18; })),
                     boxShape(kSize, kSize, 20, 62, 100, 90)});
  evolver.shapes[0]->stiffness = 0.15;
  evolver.shapes[1]->stiffness = 0.25;
  evolver.shapes[2]->stiffness = 0.2;
  std::vector<double> before;
  for (const auto& s : evolver.shapes) before.push_back(sampledArea(*s));
  evolver.occupySpace();

  const ZazizEvozuBase& corner = *evolver.shapes[0];
  for (const auto& p : corner.points) {
    EXPECT_GE(p.x, 0.0);
    EXPECT_LE(p.x, kSize - 1.0);
    EXPECT_GE(p.y, 0.0);
    EXPECT_LE(p.y, kSize - 1.0);
  }
  // Closed along the border: the region reaches the canvas edge on both border sides.
  EXPECT_TRUE(inside(corner, 0.1, 25.0));
  EXPECT_TRUE(inside(corner, 15.0, 0.1));
  EXPECT_TRUE(inside(corner, 33.0, 25.0));  // grown on its free side

  std::vector<double> first;
  for (std::size_t i = 0; i < evolver.shapes.size(); ++i) {
    first.push_back(sampledArea(*evolver.shapes[i]));
    EXPECT_GT(first[i], before[i]);
  }
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = i + 1; j < 3; ++j)
      EXPECT_LT(sampledArea(*evolver.shapes[i], evolver.shapes[j].get()), 0.5) << i << " " << j;

  evolver.occupySpace();
  for (std::size_t i = 0; i < evolver.shapes.size(); ++i)
    EXPECT_LE(sampledArea(*evolver.shapes[i]), first[i] + 0.25) << i;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = i + 1; j < 3; ++j)
      EXPECT_LT(sampledArea(*evolver.shapes[i], evolver.shapes[j].get()), 0.5) << i << " " << j;

  ZazizEvozuEvolver empty;
  empty.occupySpace();
  EXPECT_TRUE(empty.shapes.empty());
}

// Picked where the mask counts the shape: deep in a sparse ring along the left edge, too.
TEST_P(CanvasKinds, HitPicksWhatTheMaskMarks) {
  ZazizEvozuEvolver evolver;
  evolver.setShapes({shapeOf(maskOf(kSize, kSize, [](int x, int y) { return std::abs(std::hypot(x - 8, y - 64) - 30) < 18; }))});
  evolver.updateMask(-1);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      ASSERT_EQ(evolver.hit((x + 0.5) * 2 / kSize - 1, (y + 0.5) * 2 / kSize - 1),
                evolver.mask(x, y, 0) == 0 ? 0 : -1) << x << "," << y;
}

// ---- Fill -----------------------------------------------------------------------------

TEST(FindHoles, LabelsFourConnectedRegionsInScanOrder) {
  // Two blocks meeting only at a corner, a separate pixel, and a U whose arms join below.
  const char* rows[] = {
      "##......#",
      "##.......",
      "..##..#.#",
      "..##..#.#",
      "......###",
  };
  vorn::Image<unsigned char> free(9, 5, 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) free(x, y, 0) = rows[y][x] == '#' ? 7 : 0;
  vorn::Image<unsigned int> labels(3, 3, 1);  // wrong size: replaced
  const std::vector<int> sizes = ZazizEvozuEvolver::findHoles(free, labels);
  ASSERT_EQ(labels.getWidth(), 9);
  EXPECT_EQ(sizes, (std::vector<int>{4, 1, 4, 7}));
  EXPECT_EQ(labels(0, 0, 0), 1u);
  EXPECT_EQ(labels(8, 0, 0), 2u);
  EXPECT_EQ(labels(2, 2, 0), 3u);  // diagonal neighbour of region 1: a region of its own
  EXPECT_EQ(labels(6, 2, 0), 4u);
  EXPECT_EQ(labels(8, 2, 0), 4u);
  EXPECT_EQ(labels(2, 0, 0), 0u);

  vorn::Image<unsigned char> none;
  vorn::Image<unsigned int> noLabels;
  EXPECT_TRUE(ZazizEvozuEvolver::findHoles(none, noLabels).empty());
}

/// One shape covering the canvas except where free(x, y).
template <class F>
void canvasWithHoles(ZazizEvozuEvolver& evolver, F free) {
  evolver.setShapes({shapeOf(maskOf(kSize, kSize, [&](int x, int y) { return !free(x, y); }))});
}

TEST_F(CanvasOps, FillTakesRegionsAboveTheSizeAfterShrinking) {
  auto hole = [](int x, int y) { return x >= 20 && x < 27 && y >= 20 && y < 23; };  // 21 px
  {
    ZazizEvozuEvolver evolver;
    canvasWithHoles(evolver, hole);
    evolver.fillHoles(21, 0);
    EXPECT_EQ(evolver.shapes.size(), 1u);
    evolver.fillHoles(20, 0);
    ASSERT_EQ(evolver.shapes.size(), 2u);
    // The new shape is the region, softer than a default one.
    const vorn::Image<unsigned char> in = evolver.shapes[1]->getBinaryImage();
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) ASSERT_EQ(in(x, y, 0) != 0, hole(x, y)) << x << "," << y;
    EXPECT_DOUBLE_EQ(evolver.shapes[1]->stiffness, 0.8 * 0.2);
    // The next call sees the new shape: nothing is left to fill.
    evolver.fillHoles(0, 0);
    EXPECT_EQ(evolver.shapes.size(), 2u);
  }
  {
    // Strips 4 and 5 pixels wide: shrinking by 2 leaves only the wider one.
    ZazizEvozuEvolver evolver;
    canvasWithHoles(evolver, [](int x, int y) {
      return y >= 10 && y < 110 && ((x >= 20 && x < 24) || (x >= 40 && x < 45));
    });
    evolver.fillHoles(0, 2);
    ASSERT_EQ(evolver.shapes.size(), 2u);
    const vorn::Image<unsigned char> in = evolver.shapes[1]->getBinaryImage();
    EXPECT_NE(in(42, 60, 0), 0);
    EXPECT_EQ(in(41, 60, 0), 0);  // eroded: only the centre column of the strip survives
    EXPECT_EQ(in(22, 60, 0), 0);
  }
  {
    // Two free squares touching only at a corner: two regions, two shapes.
    ZazizEvozuEvolver evolver;
    canvasWithHoles(evolver, [](int x, int y) {
      return (x >= 20 && x < 30 && y >= 20 && y < 30) || (x >= 30 && x < 40 && y >= 30 && y < 40);
    });
    evolver.fillHoles(50, 0);
    EXPECT_EQ(evolver.shapes.size(), 3u);
  }
  {
    // Free space only in and along the two-pixel frame: the frame is never filled.
    ZazizEvozuEvolver evolver;
    canvasWithHoles(evolver, [](int x, int y) { return x < 2 || y < 2 || x >= kSize - 2 || y >= kSize - 2; });
    evolver.fillHoles(0, 0);
    EXPECT_EQ(evolver.shapes.size(), 1u);
    canvasWithHoles(evolver, [](int x, int y) { return x < 6 && y >= 40 && y < 60; });
    evolver.fillHoles(0, 0);
    ASSERT_EQ(evolver.shapes.size(), 2u);
    const vorn::Image<unsigned char> in = evolver.shapes[1]->getBinaryImage();
    EXPECT_EQ(in(1, 50, 0), 0);
    EXPECT_NE(in(2, 50, 0), 0);
  }
  {
    ZazizEvozuEvolver evolver;  // no drawing: nothing to fill
    evolver.fillHoles(0, 0);
    EXPECT_TRUE(evolver.shapes.empty());
  }
}

// Two 12 × 12 holes joined through a 3-pixel opening in the 2-pixel wall between them. The
// Fill command's first call (shrinking by 2) parts them into two shapes of 8 × 8; of the rest,
// shrinking by 1 leaves 4 pixels of the opening, too few for the later calls. Shrinking by 1
// alone would keep the holes one region, filled by one shape.
TEST_F(CanvasOps, FillPartsHolesJoinedThroughATwoPixelGap) {
  ZazizEvozuEvolver evolver;
  canvasWithHoles(evolver, [](int x, int y) {
    return y >= 20 && y < 32 && x >= 20 && x < 46 && (x < 32 || x >= 34 || (y >= 24 && y < 27));
  });
  EXPECT_FALSE(evolver.fillCommand(ZazizEvozuEvolver::WorkerAfter::Resumed));
  ASSERT_EQ(evolver.shapes.size(), 3u);
  for (std::size_t i = 1; i < 3; ++i) {
    const vorn::Image<unsigned char> in = evolver.shapes[i]->getBinaryImage();
    EXPECT_EQ(std::count(in.getDataPtr(), in.getDataPtr() + kSize * kSize, 255), 64);
  }
}

/// The generator's current state, left unchanged.
std::array<unsigned short, 3> drandState() {
  unsigned short probe[3] = {1, 2, 3};
  const unsigned short* old = seed48(probe);
  std::array<unsigned short, 3> state = {old[0], old[1], old[2]};
  seed48(state.data());
  return state;
}

TEST_F(CanvasOps, FillStylesTheNewShapeLikeARandomShape) {
  // Three shapes and one hole; the style index is ⌊r × 0.999 × 4⌋ with r the last number
  // drawn, found by replaying the generator from the same state.
  int pickedOld = 0;
  for (unsigned short seed = 1; seed <= 8; ++seed) {
    ZazizEvozuEvolver evolver;
    evolver.setShapes({boxShape(kSize, kSize, 0, 0, 127, 40), boxShape(kSize, kSize, 0, 41, 127, 80),
                       shapeOf(maskOf(kSize, kSize, [](int x, int y) {
                         return y > 80 && !(x >= 50 && x < 70 && y >= 90 && y < 110);
                       }))});
    unsigned short start[3] = {seed, static_cast<unsigned short>(seed * 7), 0x330e};
    seed48(start);
    evolver.fillHoles(30, 0);
    const std::array<unsigned short, 3> end = drandState();
    ASSERT_EQ(evolver.shapes.size(), 4u);

    seed48(start);
    double r = -1.0;
    for (int draws = 0; draws < 100000 && drandState() != end; ++draws) r = drand48();
    ASSERT_EQ(drandState(), end);
    const auto pick = static_cast<std::size_t>(r * 0.999 * 4.0);
    const ZazizEvozuBase& made = *evolver.shapes[3];
    const ZazizEvozuBase& model = *evolver.shapes[pick];
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(made.fillColor[c], model.fillColor[c]);
      EXPECT_EQ(made.lineColor[c], model.lineColor[c]);
    }
    EXPECT_EQ(made.lineWidth, model.lineWidth);
    if (pick < 3) {
      ++pickedOld;
      EXPECT_NE(model.stiffness, made.stiffness);  // the style, not the stiffness
    }
  }
  EXPECT_GT(pickedOld, 0);
}

}  // namespace
