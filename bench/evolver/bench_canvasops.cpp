// glimshape — bench
// Purpose: the canvas commands on an evolved drawing: Occupy, the three hole fillings of
// Fill and one explicit motion step of Closer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "common/canvas_shapes.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"

namespace {

using glimtest::maskOf;
using glimtest::shapeOf;

constexpr int kSize = 128;

/// Eleven shapes of the default kind and motion models, spread over the default canvas
/// with gaps between them, evolved for a full run of passes as the Evolve command does.
ZazizEvozuEvolver& evolvedDrawing() {
  static std::unique_ptr<ZazizEvozuEvolver> evolver;
  if (evolver) return *evolver;
  setProgressLines(false);
  unsigned short state[3] = {0x330e, 0x1234, 0xabcd};
  seed48(state);
  evolver = std::make_unique<ZazizEvozuEvolver>();
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (int k = 0; k < 8; ++k) {
    const double cx = 16 + 32 * (k % 4), cy = 24 + 64 * (k / 4) + 8 * (k % 2);
    const double r = 7 + 3 * (k % 3);
    shapes.push_back(shapeOf(maskOf(kSize, kSize, [&](int x, int y) {
      return std::hypot(x - cx, y - cy) <= r;
    })));
  }
  for (int k = 0; k < 3; ++k)
    shapes.push_back(shapeOf(maskOf(kSize, kSize, [&](int x, int y) {
      return x >= 10 + 40 * k && x < 30 + 40 * k && y >= 52 && y < 60;
    })));
  evolver->setShapes(shapes);
  evolver->updateMask(-1);
  evolver->start();
  while (!evolver->isRunComplete()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  evolver->stop();
  evolver->setPolygonFreeze(true);
  return *evolver;
}

/// The polygons as drawing leaves them after the evolution, before any command.
void restorePolygons(ZazizEvozuEvolver& evolver) {
  for (const auto& shape : evolver.shapes) shape->updatePolygons();
}

void BM_OccupySpace(benchmark::State& state) {
  ZazizEvozuEvolver& evolver = evolvedDrawing();
  for (auto _ : state) {
    state.PauseTiming();
    restorePolygons(evolver);
    state.ResumeTiming();
    evolver.occupySpace();
  }
  state.counters["shapes"] = static_cast<double>(evolver.shapes.size());
}
BENCHMARK(BM_OccupySpace)->Unit(benchmark::kMillisecond);

void BM_FillThreeCalls(benchmark::State& state) {
  ZazizEvozuEvolver& evolver = evolvedDrawing();
  const std::size_t loaded = evolver.shapes.size();
  std::size_t added = 0;
  for (auto _ : state) {
    evolver.fillHoles(30, 2);
    evolver.fillHoles(10, 1);
    evolver.fillHoles(5, 1);
    state.PauseTiming();
    added = evolver.shapes.size() - loaded;
    evolver.shapes.resize(loaded);
    state.ResumeTiming();
  }
  state.counters["added"] = static_cast<double>(added);
}
BENCHMARK(BM_FillThreeCalls)->Unit(benchmark::kMillisecond);

void BM_MoveExplicit(benchmark::State& state) {
  ZazizEvozuEvolver& evolver = evolvedDrawing();
  glimtest::QuietStdout quiet;  // the "average move" line
  for (auto _ : state) {
    state.PauseTiming();
    restorePolygons(evolver);
    state.ResumeTiming();
    evolver.moveExplicit();
  }
}
BENCHMARK(BM_MoveExplicit)->Unit(benchmark::kMillisecond);

}  // namespace
