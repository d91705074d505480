// glimshape — bench/svg
// Purpose: time parsing and flattening of real path data fitted to the default canvas.
#include "svg/path.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/quiet_stdout.h"
#include "common/svg_corpus.h"

namespace {

using glimtest::corpusPaths;
using glimtest::fitToCanvas;
using glimtest::QuietStdout;

std::string largestPath() {
  const std::vector<std::string> paths = corpusPaths();
  if (paths.empty()) return std::string();
  return *std::max_element(paths.begin(), paths.end(),
                           [](const std::string& a, const std::string& b) {
                             return a.size() < b.size();
                           });
}

void BM_ParseLargestPath(benchmark::State& state) {
  const std::string data = largestPath();
  std::size_t nodes = 0;
  for (auto _ : state) {
    Path path(data);
    nodes = path.nodes.size();
    benchmark::DoNotOptimize(path.nodes.data());
  }
  if (nodes == 0) state.SkipWithError("no path data found");
  state.counters["bytes"] = static_cast<double>(data.size());
  state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_ParseLargestPath);

void BM_ParseAndFlattenLargestPath(benchmark::State& state) {
  const std::string data = largestPath();
  std::size_t points = 0;
  {
    QuietStdout quiet;
    for (auto _ : state) {
      Path path(data);
      fitToCanvas(path);
      const Polygon polygon = path.getPolygon(0.2);
      points = polygon.points.size();
      benchmark::DoNotOptimize(polygon.points.data());
    }
  }
  if (points == 0) state.SkipWithError("flattening gave no points");
  state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_ParseAndFlattenLargestPath);

void BM_ParseAndFlattenCorpus(benchmark::State& state) {
  const std::vector<std::string> paths = corpusPaths();
  std::size_t points = 0;
  {
    QuietStdout quiet;
    for (auto _ : state) {
      points = 0;
      for (const std::string& data : paths) {
        Path path(data);
        fitToCanvas(path);
        points += path.getPolygon(0.2).points.size();
      }
      benchmark::DoNotOptimize(points);
    }
  }
  if (points == 0) state.SkipWithError("flattening gave no points");
  state.counters["paths"] = static_cast<double>(paths.size());
  state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_ParseAndFlattenCorpus);

}  // namespace
