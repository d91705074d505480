// glimshape — tests
// Purpose: the example drawing evolved for 20 passes in each level-set kind: the outline
// areas of the kinds, and the inside masks of every kind against their polygons.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/example_drawing.h"
#include "shape_fixtures.h"

namespace {

constexpr int Canvas = 128;
constexpr int Passes = 20;

struct Areas {
  std::vector<double> initial;  // outline area per shape (pixels²)
  std::vector<double> final;
  std::vector<long> finalCells;  // inside cells per shape
  vorn::Image<unsigned char> cover;  // how many shapes claim each cell
};

double outlineArea(ZazizEvozuBase& s) {
  s.updatePolygons();
  return std::fabs(shapetest::loopArea(s.points, s.polygons));
}

// The drawing as the program would evolve it: default settings, the generator in its
// unseeded state, the evolver's passes.
Areas evolve(const std::string& kind) {
  const auto drawing = glimtest::exampleDrawing(Canvas);
  GlimShapeSettings& settings = GlimShapeSettings::instance();
  settings = GlimShapeSettings();
  settings.levelSetType = kind;
  unsigned short unseeded[3] = {0x330e, 0xabcd, 0x1234};
  seed48(unseeded);

  Areas areas;
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  glimtest::QuietStdout quiet;
  for (const auto& d : drawing) {
    shapes.push_back(ZazizEvozuBase::create(d.polygon, d.mask));
    areas.initial.push_back(outlineArea(*shapes.back()));
  }
  for (int pass = 0; pass < Passes; ++pass) shapetest::evolverPass(shapes);
  areas.cover = vorn::Image<unsigned char>(Canvas, Canvas, 1);
  areas.cover = 0;
  for (auto& s : shapes) {
    areas.final.push_back(outlineArea(*s));
    const auto inside = s->getBinaryImage();
    areas.finalCells.push_back(shapetest::countSet(inside));
    for (int i = 0; i < Canvas * Canvas; ++i) areas.cover[i] += inside[i] != 0;
  }
  return areas;
}

double total(const std::vector<double>& v) {
  double t = 0;
  for (double a : v) t += a;
  return t;
}

}  // namespace

// The kinds read the initial level set differently where they store nothing (the rectangle
// 1.0 beyond its rectangle, the sparse band 0.0 off its band), so the same drawing grows
// differently in each. The areas are recorded (and printed) for comparison; the checks
// hold for every kind: the same start, shapes that keep their outline as loops around their
// inside cells, and little overlap between shapes.
TEST(ExampleDrawing, OutlineAreasOfTheThreeKindsOver20Passes) {
  ASSERT_EQ(glimtest::exampleDrawing(Canvas).size(), 6u);
  std::vector<Areas> results;
  const char* kinds[] = {"FullLevelSet", "RectLevelSet", "SparseLevelSet"};
  for (const char* kind : kinds) results.push_back(evolve(kind));
  for (std::size_t k = 0; k < 3; ++k) {
    const Areas& a = results[k];
    ASSERT_EQ(a.final.size(), 6u);
    std::string line = std::string(kinds[k]) + ":";
    for (std::size_t i = 0; i < 6; ++i) {
      char item[64];
      std::snprintf(item, sizeof item, " %.1f→%.1f", a.initial[i], a.final[i]);
      line += item;
      // Same masks, same start in every kind.
      EXPECT_NEAR(a.initial[i], results[0].initial[i], 1e-9) << kinds[k] << " shape " << i;
      // The outline still bounds the shape's inside cells (within a cell along it).
      EXPECT_NEAR(a.final[i], static_cast<double>(a.finalCells[i]), 0.25 * a.finalCells[i] + 20)
          << kinds[k] << " shape " << i;
      EXPECT_GT(a.final[i], 0.5 * a.initial[i]) << kinds[k] << " shape " << i;
    }
    char sum[96];
    std::snprintf(sum, sizeof sum, "  total %.1f → %.1f", total(a.initial), total(a.final));
    line += sum;
    std::printf("%s\n", line.c_str());
    ::testing::Test::RecordProperty(std::string("area_") + kinds[k], std::to_string(total(a.final)));
    long overlap = 0;
    for (int i = 0; i < Canvas * Canvas; ++i) overlap += a.cover[i] > 1;
    EXPECT_LT(overlap, 0.05 * total(a.final)) << kinds[k];
  }
}
