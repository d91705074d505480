// glimshape — tests/evolver
// Purpose: the worker's obstacle record, step by step on real drawings of every kind, against
// the whole-canvas rebuild and a brute-force distance to the marked grid's contour.
#include "evolver/obstaclefield.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/blob_drawing.h"
#include "common/svg_corpus.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"

namespace {

// ψ by brute force: the rebuild's marked grid (1e10, each other shape's marked cells lowered
// to its values), its contour, the least distance over every segment; no contour keeps the
// marked value.
struct BruteForce {
  FullLevelSet2D marked;
  ContourPoints points;
  ContourEdges edges;
  BruteForce(ZazizEvozuEvolver& e, std::size_t exclude, int w, int h) : marked(w, h) {
    std::fill(marked.values.begin(), marked.values.end(), 1e10);
    vorn::Image<unsigned char> scratch(w, h, 1);
    for (std::size_t j = 0; j < e.shapes.size(); ++j)
      if (j != exclude) e.shapes[j]->markInsidePixels(scratch, marked);
    marked.getLinesUnique(points, edges);
  }
  double psi(int x, int y) const {
    const double v = marked.get(x, y);
    double d = 1e300;
    for (const auto& e : edges) {
      const auto &a = points[e.first], &b = points[e.second];
      const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
      const double t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0, 1.0) : 0;
      d = std::min(d, std::hypot(x - a.x - t * dx, y - a.y - t * dy));
    }
    if (edges.empty()) return v;
    return v > 0 ? (d > 0 ? d : v) : -d;
  }
};

struct Drawing {
  const char* name;
  std::string file;  // empty: generated blobs
  int width, height, blobs, passes;
};

class ObstacleFieldSteps : public ::testing::TestWithParam<Drawing> {
 protected:
  void SetUp() override { setProgressLines(false); }
  void TearDown() override { setProgressLines(true); }
};

// Each step as the worker takes it, from the same state: the field and the rebuild without
// shape i agree on the mask and on the side of ψ everywhere; where shape i's |φ| < 3 (the
// cells whose ψ a step reads) ψ is the brute-force distance and never beyond the rebuild's.
// Halfway, a reset changes every shape outside a step.
TEST_P(ObstacleFieldSteps, AgreesWithTheRebuildStepByStep) {
  const Drawing& drawing = GetParam();
  if (!drawing.blobs && drawing.file.empty()) GTEST_SKIP() << "no shared corpus";
  for (const char* kind : {"RectLevelSet", "FullLevelSet", "SparseLevelSet"}) {
    GlimShapeSettings& settings = GlimShapeSettings::instance();
    settings.width = drawing.width;
    settings.height = drawing.height;
    ZazizEvozuEvolver e;
    if (drawing.blobs) {
      // Laid out on a square and stretched over a canvas that may be taller than wide.
      glimtest::QuietStdout quiet;
      settings.levelSetType = kind;
      std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
      const double stretch = double(drawing.height) / drawing.width;
      for (const glimtest::Blob& b : glimtest::blobLayout(drawing.blobs, drawing.width))
        shapes.push_back(ZazizEvozuBase::create(
            Polygon(), glimtest::discMask(drawing.width, drawing.height, b.cx, b.cy * stretch, b.r)));
      e.setShapes(shapes);
    } else {
      settings.levelSetType = kind;
      ASSERT_TRUE(e.loadSVG(drawing.file));
    }
    const int w = e.shapes.front()->getWidth(), h = e.shapes.front()->getHeight();
    double worstExact = 0, worstRebuild = 0, worstFar = 0;
    long compared = 0;
    for (int pass = 0; pass < drawing.passes; ++pass)
      for (std::size_t i = 0; i < e.shapes.size(); ++i) {
        if (pass == 1 && i == e.shapes.size() / 2) e.reset();
        e.updateMask(static_cast<int>(i));
        e.obstacleField.update(e.shapes, static_cast<int>(i));
        const BruteForce brute(e, i, w, h);
        const FullLevelSet2D& grid = e.obstacleField.getGrid();
        ZazizEvozuBase& shape = *e.shapes[i];
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const double rebuilt = e.obstacleGrid.get(x, y);
            ASSERT_EQ(e.obstacleField.getMask()(x, y, 0), e.mask(x, y, 0)) << x << "," << y;
            ASSERT_EQ(grid.FullLevelSet2D::get(x, y) <= 0, rebuilt <= 0) << x << "," << y;
            if (!shape.have(x, y) || !(std::fabs(shape.get(x, y)) < 3)) continue;
            const double psi = grid.get(x, y), exact = brute.psi(x, y);
            ASSERT_NEAR(psi, exact, 1e-9) << kind << " shape " << i << " at " << x << "," << y;
            ASSERT_LE(std::fabs(psi), std::fabs(rebuilt) + 1e-9) << x << "," << y;
            worstExact = std::max(worstExact, std::fabs(psi - exact));
            double& worst = std::fabs(rebuilt) <= 1.5 ? worstRebuild : worstFar;
            worst = std::max(worst, std::fabs(psi - rebuilt));
            ++compared;
          }
        shape.move(e.obstacleField.getMask(), grid, std::max(0, static_cast<int>(shape.speed)), 1);
      }
    // Same crossings, same segments, same formula: where the rebuild is exact, to the bit.
    EXPECT_EQ(worstRebuild, 0.0) << kind;
    EXPECT_GT(compared, 100) << kind;
    std::printf("%s %s: %ld cells, largest difference %.3g from brute force, %.3g from the "
                "rebuild within 1.5 px, %.3g beyond\n",
                drawing.name, kind, compared, worstExact, worstRebuild, worstFar);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, ObstacleFieldSteps,
    ::testing::Values(Drawing{"Bundled", glimtest::exampleDrawingFile(), 128, 128, 0, 2},
                      Drawing{"TallerThanWide", "", 40, 64, 14, 3},
                      Drawing{"Corpus", glimtest::sharedSvgCorpusDir().empty() ? std::string()
                              : glimtest::sharedSvgCorpusDir() + "oc-watermelon_simple.svg",
                              96, 80, 0, 2},
                      Drawing{"Blobs", "", 72, 72, 12, 3}, Drawing{"TwoBlobs", "", 96, 96, 2, 2},
                      Drawing{"LoneBlob", "", 48, 40, 1, 2}),
    [](const testing::TestParamInfo<Drawing>& info) { return std::string(info.param.name); });

}  // namespace
