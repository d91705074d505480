// glimshape — bench/evolver
// Purpose: time one evolver pass (every shape: mask rebuild from the others, then its
// motion) over generated drawings per level-set kind, and a whole run of the example drawing.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "common/blob_drawing.h"
#include "common/example_drawing.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"

namespace {

constexpr int canvas = 128;

// One pass per iteration, progress lines off, after a few passes so that the shapes have
// left their initial outlines (the first passes re-frame every rectangle). With plain set,
// the mask and the grid are allocated anew for every step, as before they were reused.
void passOfBlobs(benchmark::State& state, const char* kind, bool plain = false) {
  setProgressLines(false);
  const int n = static_cast<int>(state.range(0));
  ZazizEvozuEvolver e;
  e.reuseMaskBuffers = !plain;
  e.setShapes(glimtest::blobDrawing(glimtest::blobLayout(n, canvas), canvas, kind));
  for (int i = 0; i < 3; ++i) e.evolvePass();
  for (auto _ : state) e.evolvePass();
  state.counters["shapes"] = static_cast<double>(e.shapes.size());
}

BENCHMARK_CAPTURE(passOfBlobs, RectLevelSet, "RectLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, RectLevelSetPlain, "RectLevelSet", true)
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, FullLevelSet, "FullLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, SparseLevelSet, "SparseLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

// The mask rebuild alone (all shapes but the first marked, then re-initialised): the part of
// a shape step that grows with the number of shapes.
void maskRebuild(benchmark::State& state) {
  setProgressLines(false);
  const int n = static_cast<int>(state.range(0));
  ZazizEvozuEvolver e;
  e.setShapes(glimtest::blobDrawing(glimtest::blobLayout(n, canvas), canvas, "RectLevelSet"));
  for (int i = 0; i < 3; ++i) e.evolvePass();
  for (auto _ : state) e.updateMask(0);
}

BENCHMARK(maskRebuild)->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

// The bundled example drawing on the 128 × 128 canvas, as RectLevelSet shapes.
std::vector<std::shared_ptr<ZazizEvozuBase>> exampleShapes() {
  glimtest::QuietStdout quiet;
  GlimShapeSettings::instance().levelSetType = "RectLevelSet";
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (const glimtest::DrawingShape& d : glimtest::exampleDrawing(canvas))
    shapes.push_back(ZazizEvozuBase::create(d.polygon, d.mask));
  return shapes;
}

// A whole worker run's passes (150), from the freshly loaded drawing, without the sleeps.
void exampleRun(benchmark::State& state) {
  setProgressLines(false);
  for (auto _ : state) {
    state.PauseTiming();
    ZazizEvozuEvolver e;
    e.setShapes(exampleShapes());
    state.ResumeTiming();
    for (int pass = 0; pass < e.iterations; ++pass) e.evolvePass();
    state.counters["shapes"] = static_cast<double>(e.shapes.size());
  }
}

BENCHMARK(exampleRun)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
