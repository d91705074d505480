// glimshape — bench/evolver
// Purpose: time loading SVG drawings into shapes (parse, rasterise, flatten, create) and
// saving the bundled drawing.
#include "evolver/evolver.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/quiet_stdout.h"
#include "lomvet/progress.h"

namespace {

using glimtest::QuietStdout;

std::string examplePath() { return std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg"; }

// The largest file of the shared corpus, beside the checkout or beside the work trees.
std::string largestCorpusPath() {
  for (const char* up : {"/../shared/corpus/svg/", "/../../shared/corpus/svg/"}) {
    const std::string name = std::string(GLIM_SOURCE_DIR) + up + "oc-profilo_della_citta.svg";
    if (std::FILE* file = std::fopen(name.c_str(), "r")) {
      std::fclose(file);
      return name;
    }
  }
  return std::string();
}

void load(benchmark::State& state, const std::string& fileName) {
  setProgressLines(false);
  ZazizEvozuEvolver evolver;
  bool loaded = false;
  for (auto _ : state) {
    QuietStdout quiet;
    loaded = evolver.loadSVG(fileName);
  }
  if (!loaded) state.SkipWithError(("cannot load " + fileName).c_str());
  state.counters["shapes"] = static_cast<double>(evolver.shapes.size());
}

void BM_LoadExample(benchmark::State& state) { load(state, examplePath()); }
void BM_LoadLargestCorpusFile(benchmark::State& state) { load(state, largestCorpusPath()); }

void BM_SaveExample(benchmark::State& state) {
  setProgressLines(false);
  ZazizEvozuEvolver evolver;
  {
    QuietStdout quiet;
    evolver.loadSVG(examplePath());
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string target = std::string(tmp ? tmp : "/tmp") + "/bench_svgio_example.svg";
  bool saved = false;
  for (auto _ : state) saved = evolver.saveSVG(target);
  std::remove(target.c_str());
  if (!saved || evolver.shapes.empty()) state.SkipWithError("cannot save the example");
  state.counters["shapes"] = static_cast<double>(evolver.shapes.size());
}

}  // namespace

BENCHMARK(BM_LoadExample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLargestCorpusFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveExample)->Unit(benchmark::kMillisecond);
