// glimshape — bench/batch
// Purpose: one whole glimshape-batch iteration on the bundled drawing: reload, 150 passes,
// fill, 150 passes more, occupy, save.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "batch/batchrun.h"
#include "batch/progressbar.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"
#include "shapes/zazizevozubase.h"

namespace {

void BM_BatchIterationWithFillAndOccupy(benchmark::State& state) {
  glimtest::QuietStdout quiet;
  setProgressLines(false);
  std::filesystem::create_directories("temp");
  std::string dir = (std::filesystem::temp_directory_path() / "glimbench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) {
    state.SkipWithError("no temporary directory");
    return;
  }
  BatchOptions options;
  options.input = std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg";
  options.fill = true;
  options.occupy = true;
  ProgressBar silent(nullptr, 1, false);
  ZazizEvozuEvolver evolver;
  std::size_t shapes = 0;
  for (auto _ : state) {
    // Every repetition draws the same numbers, as a seeded batch does.
    seedRandomSource(1, 0);
    ZazizEvozuBase::s_zazizEvozuIndex = 0;
    if (!evolveIteration(evolver, options, 0, silent)) {
      state.SkipWithError("the example drawing did not load");
      break;
    }
    if (!evolver.saveSVG(dir + "/iteration.svg")) {
      state.SkipWithError("could not save");
      break;
    }
    shapes = evolver.shapes.size();
  }
  state.counters["shapes"] = static_cast<double>(shapes);
  std::filesystem::remove_all(dir);
}
// The work runs on the evolver's worker thread: the CPU column counts the whole process.
BENCHMARK(BM_BatchIterationWithFillAndOccupy)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();

}  // namespace
