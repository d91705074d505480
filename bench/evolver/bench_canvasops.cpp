// glimshape — bench
// Purpose: the canvas commands on an evolved drawing: Occupy, the three hole fillings of
// Fill and one explicit motion step of Closer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "common/example_drawing.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"

namespace {

/// The example drawing on the default canvas, with the default level-set kind and motion
/// models, evolved for a full run of 150 passes as the Evolve command does, then frozen as
/// the Closer and Occupy commands leave it.
ZazizEvozuEvolver& evolvedDrawing() {
  static std::unique_ptr<ZazizEvozuEvolver> evolver;
  if (evolver) return *evolver;
  setProgressLines(false);
  unsigned short state[3] = {0x330e, 0x1234, 0xabcd};
  seed48(state);
  evolver = std::make_unique<ZazizEvozuEvolver>();
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (const glimtest::DrawingShape& d : glimtest::exampleDrawing(128))
    shapes.push_back(ZazizEvozuBase::create(d.polygon, d.mask));
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
  if (evolver.shapes.empty()) state.SkipWithError("examples/drawing.svg gave no shapes");
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
