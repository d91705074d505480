// glimshape — bench/shapes
// Purpose: time one evolver pass of a lone shape (move with 10 steps), its polygons and its
// cairo drawing, per level-set kind, kernel and canvas size.
//
// The shape is a disc of radius 30 pixels in the middle of a 128 × 128 or 512 × 512
// canvas, alone (the obstacle grid is far everywhere). The level sets' progress lines are
// sent to /dev/null while the benchmarks run.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <memory>

#include "common/levelset_shapes.h"
#include "common/quiet_stdout.h"
#include "settings/glimshapesettings.h"
#include "shapes/zazizevozu.h"

namespace {

template <class L>
std::unique_ptr<ZazizEvozu<L>> discShape(int canvas, const std::string& method) {
  EvolutionDistribution d;
  d.method = method;
  GlimShapeSettings::instance().distributions = {d};
  glimtest::QuietStdout quiet;
  const double c = canvas / 2.0;
  return std::make_unique<ZazizEvozu<L>>(Polygon(),
                                         glimtest::discMask(canvas, canvas, c, c, 30.0));
}

// Arguments: canvas size, kernel (0 "original", 1 "speed-based").
template <class L>
void BM_Move(benchmark::State& state) {
  const int canvas = static_cast<int>(state.range(0));
  auto shape = discShape<L>(canvas, state.range(1) ? "speed-based" : "original");
  FullLevelSet2D obstacles(canvas, canvas);
  for (double& v : obstacles.values) v = 1e10;
  vorn::Image<unsigned char> space(canvas, canvas, 1);
  space = 1;
  glimtest::QuietStdout quiet;
  for (auto _ : state) {
    state.PauseTiming();
    *shape->levelSet = *shape->initialLevelSet;  // every run starts from the disc
    state.ResumeTiming();
    shape->move(space, obstacles, 10, 1);
  }
  // The inside after 10 steps, as a check that the kinds did comparable work.
  space = 1;
  shape->markInsidePixels(space, obstacles);
  long inside = 0;
  for (int i = 0; i < canvas * canvas; ++i) inside += space[i] == 0;
  state.counters["inside"] = static_cast<double>(inside);
}

template <class L>
void BM_UpdatePolygons(benchmark::State& state) {
  const int canvas = static_cast<int>(state.range(0));
  auto shape = discShape<L>(canvas, "original");
  for (auto _ : state) {
    shape->updatePolygons();
    benchmark::DoNotOptimize(shape->polygons.data());
  }
  state.counters["points"] = static_cast<double>(shape->points.size());
}

template <class L>
void BM_DrawCairo(benchmark::State& state) {
  const int canvas = static_cast<int>(state.range(0));
  auto shape = discShape<L>(canvas, "original");
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, canvas, canvas);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) shape->drawCairo(cr);  // polygons refreshed on every draw
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace

#define GLIM_MOVE_ARGS \
  ArgNames({"canvas", "speed_based"})->ArgsProduct({{128, 512}, {0, 1}})->Unit(benchmark::kMillisecond)
BENCHMARK_TEMPLATE(BM_Move, FullLevelSet)->GLIM_MOVE_ARGS;
BENCHMARK_TEMPLATE(BM_Move, RectLevelSet)->GLIM_MOVE_ARGS;
BENCHMARK_TEMPLATE(BM_Move, SparseLevelSet2D)->GLIM_MOVE_ARGS;

BENCHMARK(BM_UpdatePolygons<FullLevelSet>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdatePolygons<RectLevelSet>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdatePolygons<SparseLevelSet2D>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawCairo<FullLevelSet>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawCairo<RectLevelSet>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawCairo<SparseLevelSet2D>)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
