// glimshape — tests
// Purpose: shape motion, reset, occupancy marking, inside masks and polygons across the
// dense, rectangle and sparse kinds.
#include "shapes/zazizevozu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/images.h"
#include "shape_fixtures.h"

namespace {

using shapetest::makeShape;
using shapetest::ringMask;
using shapetest::useQuickModel;

constexpr int W = 48, H = 40;

// Runs f with the level sets' progress lines sent away (a test's failures stay visible).
template <class F>
void quietly(F&& f) {
  glimtest::QuietStdout quiet;
  f();
}

// The obstacle grid of one other shape: a disc of radius 6 at (40, 8), as the evolver
// builds it (1e10, the other's inside lowered, fast marching).
FullLevelSet2D obstaclesFromDisc() {
  FullLevelSet2D o = glimtest::denseFrom(W, H, [](int x, int y) {
    const double d = std::hypot(x - 40.0, y - 8.0) - 6.0;
    return d < 0 ? d : 1e10;
  });
  o.ensureSignedDistanceFMM();
  return o;
}

vorn::Image<unsigned char> freeSpace() {
  vorn::Image<unsigned char> m(W, H, 1);
  m = 1;
  return m;
}

// A deterministic stiffness image with values between 0.2 and 1.
CachedImage stiffnessPattern() {
  vorn::Image<float> im(W, H, 1);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      im(x, y, 0) = static_cast<float>(0.6 + 0.4 * std::sin(0.3 * x) * std::cos(0.2 * y));
  return CachedImage("", 3, im);
}

template <class L>
std::vector<double> snapshot(const ZazizEvozu<L>& s) {
  std::vector<double> v;
  for (int y = 0; y < s.getHeight(); ++y)
    for (int x = 0; x < s.getWidth(); ++x) v.push_back(s.get(x, y));
  return v;
}

// Checks that every loop is closed by the shape's own edges (each consecutive pair,
// including last → first, is an edge in either direction) and names each point once.
template <class L>
void expectClosedLoops(const ZazizEvozu<L>& s) {
  std::set<std::pair<int, int>> edges;
  for (const auto& e : s.edges) {
    edges.insert(e);
    edges.insert({e.second, e.first});
  }
  std::set<int> seen;
  for (const auto& loop : s.polygons) {
    ASSERT_GE(loop.size(), 3u);
    for (std::size_t i = 0; i < loop.size(); ++i) {
      const int a = loop[i], b = loop[(i + 1) % loop.size()];
      EXPECT_TRUE(edges.count({a, b})) << "loop step " << a << " -> " << b << " is no edge";
      EXPECT_TRUE(seen.insert(a).second) << "point " << a << " used twice";
    }
  }
}

long countNegative(const std::vector<double>& v) {
  return std::count_if(v.begin(), v.end(), [](double x) { return x <= 0.0; });
}

}  // namespace

// With the same mask, stiffness image, obstacle grid, stiffness and step count, the dense
// kind and a rectangle that covers the whole canvas evolve to identical values, with both
// kernels. (Where the rectangle does not cover the canvas, its initial level set reads 1.0
// beyond it and the two kinds part; the example-drawing test measures that.)
TEST(ShapeMotion, DenseAndCanvasWideRectangleAgreeExactly) {
  const auto mask = ringMask(W, H, 24, 20, 0, 19);  // box ± 5 reaches every border
  const FullLevelSet2D obstacles = obstaclesFromDisc();
  const auto space = freeSpace();
  for (const char* method : {"original", "speed-based"}) {
    SCOPED_TRACE(method);
    useQuickModel(method, 0.25, 4.0);
    auto dense = makeShape<FullLevelSet>(mask);
    auto rect = makeShape<RectLevelSet>(mask);
    ASSERT_EQ(rect->levelSet->getGrid().getWidth(), W);
    ASSERT_EQ(rect->levelSet->getGrid().getHeight(), H);
    dense->stiffImage = rect->stiffImage = stiffnessPattern();
    ASSERT_EQ(snapshot(*dense), snapshot(*rect));
    const auto before = snapshot(*dense);
    {
      glimtest::QuietStdout quiet;
      dense->move(space, obstacles, 6, 1);
      rect->move(space, obstacles, 6, 1);
    }
    const auto a = snapshot(*dense), b = snapshot(*rect);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, before);
    // The motion does something visible: the inside changes size.
    EXPECT_NE(countNegative(a), countNegative(before));
  }
}

// A step count below 1 only re-initialises: the result is what the level set's own
// re-initialisation gives, and the parameters stay.
TEST(ShapeMotion, ZeroStepsOnlyReinitialise) {
  useQuickModel("original", 0.2, 3.0);
  const auto mask = ringMask(W, H, 20, 20, 0, 9);
  const auto obstacles = obstaclesFromDisc();
  const auto space = freeSpace();

  auto dense = makeShape<FullLevelSet>(mask);
  for (double& v : dense->levelSet->values) v *= 3.0;  // same contour, not a distance
  FullLevelSet expected = *dense->levelSet;
  quietly([&] { expected.ensureSignedDistanceFMM(); });
  quietly([&] { dense->move(space, obstacles, 0, 1); });
  EXPECT_EQ(dense->levelSet->values, expected.values);
  quietly([&] { expected.ensureSignedDistanceFMM(); });
  quietly([&] { dense->move(space, obstacles, -3, 1); });
  EXPECT_EQ(dense->levelSet->values, expected.values);

  auto sparse = makeShape<SparseLevelSet2D>(mask);
  const auto rows = sparse->levelSet->getRows();
  for (int y = 0; y < H; ++y)
    for (const auto& cell : rows[y]) (*sparse->levelSet)(cell.first, y) = 3.0 * cell.second;
  SparseLevelSet2D expectedSparse = *sparse->levelSet;
  quietly([&] { expectedSparse.ensureSignedDistanceFMM(); });
  quietly([&] { sparse->move(space, obstacles, 0, 1); });
  EXPECT_EQ(sparse->levelSet->getRows(), expectedSparse.getRows());

  auto rect = makeShape<RectLevelSet>(mask);
  for (double& v : rect->levelSet->getGrid().values) v *= 3.0;
  RectLevelSet expectedRect = *rect->levelSet;
  quietly([&] { expectedRect.ensureSignedDistanceFMM(); });
  const double stiffness = rect->stiffness, speed = rect->speed;
  quietly([&] { rect->move(space, obstacles, 0, 1); });
  EXPECT_EQ(rect->levelSet->getGrid().values, expectedRect.getGrid().values);
  EXPECT_EQ(rect->stiffness, stiffness);
  EXPECT_EQ(rect->speed, speed);

  // A period of 0 counts as 1 rather than taking i mod 0.
  auto zero = makeShape<FullLevelSet>(mask), one = makeShape<FullLevelSet>(mask);
  quietly([&] { zero->move(space, obstacles, 3, 0); });
  quietly([&] { one->move(space, obstacles, 3, 1); });
  EXPECT_EQ(zero->levelSet->values, one->levelSet->values);
}

// The rectangle is re-framed with a margin of 6 when the inside comes within 1 cell of its
// left edge, and kept when the inside stays 2 cells away.
TEST(ShapeMotion, RectangleReframesOnlyWhenTheInsideNearsItsEdge) {
  useQuickModel();
  const auto mask = ringMask(W, H, 24, 20, 0, 6);
  const auto obstacles = obstaclesFromDisc();
  const auto space = freeSpace();

  auto kept = makeShape<RectLevelSet>(mask);
  RectLevelSet& k = *kept->levelSet;
  // Disc cells run over columns 18..30 and rows 14..26; box ± 5 gives origin (13, 9).
  ASSERT_EQ(k.getX0(), 13);
  ASSERT_EQ(k.getY0(), 9);
  const int gw = k.getGrid().getWidth(), gh = k.getGrid().getHeight();
  ASSERT_EQ(gw, 23);
  ASSERT_EQ(gh, 23);
  k.getGrid()(2, 11) = -0.5;  // two cells from the left edge
  quietly([&] { kept->move(space, obstacles, 0, 1); });
  EXPECT_EQ(k.getX0(), 13);
  EXPECT_EQ(k.getY0(), 9);
  EXPECT_EQ(k.getGrid().getWidth(), gw);
  EXPECT_EQ(k.getGrid().getHeight(), gh);

  auto moved = makeShape<RectLevelSet>(mask);
  RectLevelSet& r = *moved->levelSet;
  r.getGrid()(1, 11) = -0.5;  // canvas (14, 20): one cell from the left edge
  const RectLevelSet old = r;
  quietly([&] { moved->move(space, obstacles, 0, 1); });
  // Box: columns 14..30, rows 14..26 (exclusive 31, 27); ± 6 gives (8, 8) to (37, 33).
  EXPECT_EQ(r.getX0(), 8);
  EXPECT_EQ(r.getY0(), 8);
  ASSERT_EQ(r.getGrid().getWidth(), 29);
  ASSERT_EQ(r.getGrid().getHeight(), 25);
  EXPECT_TRUE(r.have(8, 20));
  EXPECT_FALSE(r.have(7, 20));
  // The new grid by hand: old values where the old rectangle lay, 2.0 elsewhere, then the
  // dense re-initialisation.
  FullLevelSet2D expected = glimtest::denseFrom(29, 25, [&](int i, int j) {
    return old.have(i + 8, j + 8) ? old.get(i + 8, j + 8) : 2.0;
  });
  quietly([&] { expected.ensureSignedDistanceFMM(); });
  EXPECT_EQ(r.getGrid().values, expected.values);
  for (int y = 8; y < 33; ++y)
    for (int x = 8; x < 13; ++x) EXPECT_GT(r.get(x, y), 0.0) << x << "," << y;
  EXPECT_LT(r.get(14, 20), 0.0);
}

// Marking never raises the obstacle grid, lowers it exactly to the shape's value on its
// inside (value < 0) and on the stored cells just outside (0 ≤ value < 1), and clears the
// mask on the inside alone; the sparse kind's scan-line fill marks the same inside as the
// dense kind, the unstored deep inside with the value of the nearest negative band cell to
// its left. The canvas is W × H, the ring's centre (cx, cy).
void markingLowersOnlyAndCoversTheInside(int W, int H, int cx, int cy) {
  useQuickModel();
  const auto mask = ringMask(W, H, cx, cy, 6, 17);  // a thick ring with a hole
  auto dense = makeShape<FullLevelSet>(mask);
  auto rect = makeShape<RectLevelSet>(mask);
  auto sparse = makeShape<SparseLevelSet2D>(mask);

  // Start from a grid of mixed values, some already lower than the shape's.
  FullLevelSet2D start = glimtest::denseFrom(W, H, [](int x, int y) {
    return (x * 7 + y * 3) % 5 == 0 ? -20.0 : (x + y) % 3 == 0 ? 1e10 : 0.5 * (x - y);
  });
  std::vector<std::pair<vorn::Image<unsigned char>, FullLevelSet2D>> results;
  for (ZazizEvozuBase* s : std::vector<ZazizEvozuBase*>{dense.get(), rect.get(), sparse.get()}) {
    vorn::Image<unsigned char> m(W, H, 1);
    m = 1;
    FullLevelSet2D o = start;
    s->markInsidePixels(m, o);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) ASSERT_LE(o.get(x, y), start.get(x, y));
    results.emplace_back(m, o);
  }
  const auto& [dm, dobst] = results[0];
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double v = dense->get(x, y);
      EXPECT_EQ(dm(x, y, 0), v < 0.0 ? 0 : 1);
      EXPECT_EQ(dobst.get(x, y), v < 1.0 ? std::min(start.get(x, y), v) : start.get(x, y));
    }
  // The rectangle stores the dense values over its rectangle and nothing is inside beyond.
  const auto& [rm, robst] = results[1];
  EXPECT_TRUE(glimtest::sameImage(rm, dm));
  EXPECT_EQ(robst.values, dobst.values);
  // The sparse fill marks the same inside; each cell takes the value of the stored cell at
  // or left of it, which is a negative band cell. Outside, stored cells below 1 are marked
  // with their own values and nothing beyond the band is.
  const auto& [sm, sobst] = results[2];
  EXPECT_TRUE(glimtest::sameImage(sm, dm));
  long unstored = 0, nearOutside = 0;
  for (int y = 0; y < H; ++y) {
    const auto& row = sparse->levelSet->getRows()[y];
    for (int x = 0; x < W; ++x) {
      if (dense->get(x, y) >= 0.0) {
        const double v = sparse->have(x, y) ? sparse->get(x, y) : 1.0;
        nearOutside += v < 1.0;
        EXPECT_EQ(sobst.get(x, y), v < 1.0 ? std::min(start.get(x, y), v) : start.get(x, y));
        continue;
      }
      unstored += !sparse->have(x, y);
      auto it = row.upper_bound(x);
      ASSERT_NE(it, row.begin());
      --it;
      ASSERT_LT(it->second, 0.0);
      EXPECT_EQ(sobst.get(x, y), std::min(start.get(x, y), it->second)) << x << "," << y;
    }
  }
  EXPECT_GT(unstored, 20) << "the ring should be thicker than the band";
  EXPECT_GT(nearOutside, 100) << "both outlines of the ring";
}

TEST(ShapeOccupancy, MarkingLowersOnlyAndCoversTheInside) {
  markingLowersOnlyAndCoversTheInside(W, H, 22, 20);
  // Taller than wide: a row bound taken from the width would lose every mark below row 40.
  markingLowersOnlyAndCoversTheInside(40, 64, 20, 40);
}

// Sparse shapes whose deep inside the band does not reach: rows that begin inside, with no
// band cell before the inside (regression: they were left free, so other shapes grew into a
// shape lying along the left edge), and rows that store no cell at all in a shape that
// holds the canvas border (regression: the background minus a small disc left all but the
// disc's rows free). The fill marks what the dense kind marks.
TEST(ShapeOccupancy, SparseFillCoversInsidesTheBandDoesNotReach) {
  useQuickModel();
  const struct {
    const char* name;
    vorn::Image<unsigned char> mask;
  } cases[] = {{"left edge", ringMask(W, H, 2, 20, 0, 16)},
               {"background", ringMask(W, H, W / 2, H / 2, 5, 1e9)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto dense = makeShape<FullLevelSet>(c.mask);
    auto sparse = makeShape<SparseLevelSet2D>(c.mask);
    ASSERT_FALSE(sparse->have(0, 0) && sparse->have(0, 20));  // somewhere not in the band
    vorn::Image<unsigned char> dm(W, H, 1), sm(W, H, 1);
    dm = 1;
    sm = 1;
    FullLevelSet2D dobst = glimtest::denseFrom(W, H, [](int, int) { return 1e10; });
    FullLevelSet2D sobst = dobst;
    dense->markInsidePixels(dm, dobst);
    sparse->markInsidePixels(sm, sobst);
    EXPECT_TRUE(glimtest::sameImage(sm, dm));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        ASSERT_EQ(sobst.get(x, y) < 0.0, dobst.get(x, y) < 0.0) << x << ", " << y;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(glimtest::sameImage(sparse->getBinaryImage(), dense->getBinaryImage()));
    testing::internal::GetCapturedStderr();
  }
}

// Inside masks: 255 where the value is ≤ 0. The rectangle pastes its rectangle (clipped to
// the canvas, even if it reaches beyond it); the sparse kind warns and gives the inside its
// scan-line fill finds.
TEST(ShapeOccupancy, BinaryImagesOfTheThreeKinds) {
  useQuickModel();
  const auto mask = ringMask(W, H, 22, 20, 6, 17);
  auto dense = makeShape<FullLevelSet>(mask);
  auto rect = makeShape<RectLevelSet>(mask);
  auto sparse = makeShape<SparseLevelSet2D>(mask);

  const auto d = dense->getBinaryImage();
  ASSERT_EQ(d.getWidth(), W);
  ASSERT_EQ(d.getHeight(), H);
  ASSERT_EQ(d.nchannels, 1);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) EXPECT_EQ(d(x, y, 0), dense->get(x, y) <= 0.0 ? 255 : 0);
  // The seeds come from the mask: the inside is the ring.
  EXPECT_TRUE(glimtest::sameImage(d, [&] {
    auto m = mask.copy();
    for (int i = 0; i < W * H; ++i) m[i] = m[i] ? 255 : 0;
    return m;
  }()));
  EXPECT_TRUE(glimtest::sameImage(rect->getBinaryImage(), d));

  testing::internal::CaptureStderr();
  const auto s = sparse->getBinaryImage();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning: incomplete.\n");
  EXPECT_TRUE(glimtest::sameImage(s, d));

  // A rectangle reaching beyond the canvas: its grid is widened past the right and bottom
  // edges and filled inside; the paste is clipped.
  RectLevelSet& r = *rect->levelSet;
  const int x0 = r.getX0(), y0 = r.getY0();
  r.getGrid().resize(W - x0 + 7, H - y0 + 4);
  for (double& v : r.getGrid().values) v = -1.0;
  const auto clipped = rect->getBinaryImage();
  ASSERT_EQ(clipped.getWidth(), W);
  ASSERT_EQ(clipped.getHeight(), H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      EXPECT_EQ(clipped(x, y, 0), x >= x0 && y >= y0 ? 255 : 0) << x << "," << y;
}

// Reset restores the values right after construction, for every kind, also after the
// rectangle was re-framed and the band moved.
TEST(ShapeReset, RestoresTheConstructedValues) {
  useQuickModel("speed-based", 0.3, 5.0);
  const auto mask = ringMask(W, H, 20, 20, 0, 8);
  const auto obstacles = obstaclesFromDisc();
  const auto space = freeSpace();
  auto dense = makeShape<FullLevelSet>(mask);
  auto rect = makeShape<RectLevelSet>(mask);
  auto sparse = makeShape<SparseLevelSet2D>(mask);
  const auto d0 = snapshot(*dense), r0 = snapshot(*rect), s0 = snapshot(*sparse);
  const int x0 = rect->levelSet->getX0();
  for (ZazizEvozuBase* s : std::vector<ZazizEvozuBase*>{dense.get(), rect.get(), sparse.get()}) {
    quietly([&] { s->move(space, obstacles, 12, 1); });
    s->polygonsFrozen = s->selected = true;
  }
  ASSERT_NE(snapshot(*dense), d0);
  ASSERT_NE(rect->levelSet->getX0(), x0);  // grown out of its rectangle
  ASSERT_NE(snapshot(*sparse), s0);
  quietly([&] { dense->reset(); });
  quietly([&] { rect->reset(); });
  quietly([&] { sparse->reset(); });
  EXPECT_EQ(snapshot(*dense), d0);
  EXPECT_EQ(snapshot(*rect), r0);
  EXPECT_EQ(rect->levelSet->getX0(), x0);
  EXPECT_EQ(snapshot(*sparse), s0);
  EXPECT_EQ(sparse->levelSet->getRows(), sparse->initialLevelSet->getRows());
  for (ZazizEvozuBase* s : std::vector<ZazizEvozuBase*>{dense.get(), rect.get(), sparse.get()}) {
    EXPECT_FALSE(s->polygonsFrozen);
    EXPECT_FALSE(s->selected);
  }
}

// Polygons: the rectangle kind gives the dense kind's points in canvas coordinates; loops
// are closed and name each point once; a shape touching the canvas border is closed along
// it, and the loops' area matches the inside.
TEST(ShapePolygons, CanvasPointsAndClosedLoops) {
  useQuickModel();
  {
    const auto mask = ringMask(W, H, 21.3, 18.7, 4, 9);
    auto dense = makeShape<FullLevelSet>(mask);
    auto rect = makeShape<RectLevelSet>(mask);
    ASSERT_GT(rect->levelSet->getX0(), 0);
    dense->updatePolygons();
    rect->updatePolygons();
    ASSERT_EQ(dense->points.size(), rect->points.size());
    ASSERT_GT(dense->points.size(), 20u);
    for (std::size_t i = 0; i < dense->points.size(); ++i) {
      EXPECT_NEAR(rect->points[i].x, dense->points[i].x, 1e-12);
      EXPECT_NEAR(rect->points[i].y, dense->points[i].y, 1e-12);
    }
    EXPECT_EQ(rect->edges, dense->edges);
    EXPECT_EQ(dense->polygons.size(), 2u);  // the ring and its hole
    expectClosedLoops(*dense);
    expectClosedLoops(*rect);
  }
  // Touching the border: a disc centred on the left edge and one in the bottom-right corner.
  for (auto [cx, cy] : {std::pair<double, double>{0, 20}, {W - 1, H - 1}}) {
    SCOPED_TRACE(cx);
    const auto mask = ringMask(W, H, cx, cy, 0, 10);
    auto dense = makeShape<FullLevelSet>(mask);
    auto rect = makeShape<RectLevelSet>(mask);
    auto sparse = makeShape<SparseLevelSet2D>(mask);
    for (ZazizEvozuBase* s : std::vector<ZazizEvozuBase*>{dense.get(), rect.get(), sparse.get()})
      s->updatePolygons();
    expectClosedLoops(*dense);
    expectClosedLoops(*rect);
    expectClosedLoops(*sparse);
    const double inside = static_cast<double>(shapetest::countSet(dense->getBinaryImage()));
    const double area = shapetest::loopArea(dense->points, dense->polygons);
    for (ZazizEvozuBase* s : std::vector<ZazizEvozuBase*>{dense.get(), rect.get(), sparse.get()}) {
      EXPECT_EQ(s->polygons.size(), 1u);
      // One outline whatever the kind.
      EXPECT_NEAR(shapetest::loopArea(s->points, s->polygons), area, 1e-9);
    }
    // Cells sit on the grid's points: the loop runs through the border cells and about half
    // a cell beyond the last inside cells elsewhere, so it bounds a little less than the
    // inside cells.
    EXPECT_LT(std::fabs(area), inside);
    EXPECT_GT(std::fabs(area), 0.8 * inside);
  }
}

// An empty mask (no pixels) gives an empty shape that every operation accepts.
TEST(ShapeMotion, EmptyMaskGivesAnInertShape) {
  useQuickModel();
  const vorn::Image<unsigned char> none;
  const FullLevelSet2D noObstacles;
  vorn::Image<unsigned char> noSpace;
  std::vector<std::unique_ptr<ZazizEvozuBase>> shapes;
  shapes.push_back(makeShape<FullLevelSet>(none));
  shapes.push_back(makeShape<RectLevelSet>(none));
  shapes.push_back(makeShape<SparseLevelSet2D>(none));
  for (auto& s : shapes) {
    EXPECT_EQ(s->getWidth(), 0);
    EXPECT_EQ(s->getHeight(), 0);
    quietly([&] { s->move(noSpace, noObstacles, 3, 1); });
    FullLevelSet2D o;
    s->markInsidePixels(noSpace, o);
    s->updatePolygons();
    EXPECT_TRUE(s->polygons.empty());
    testing::internal::CaptureStderr();
    EXPECT_EQ(s->getBinaryImage().getWidth(), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(s->getTextureImage().getWidth(), 0);
    quietly([&] { s->reset(); });
  }
}
