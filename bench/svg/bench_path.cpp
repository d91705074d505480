// glimshape — bench/svg
// Purpose: time parsing and flattening of real path data fitted to the default canvas.
#include "svg/path.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> corpusPaths() {
  std::ifstream in(std::string(GLIM_SOURCE_DIR) + "/tests/svg/data/corpus_paths.txt");
  std::vector<std::string> paths;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') paths.push_back(line);
  }
  return paths;
}

std::string largestPath() {
  const std::vector<std::string> paths = corpusPaths();
  if (paths.empty()) return std::string();
  return *std::max_element(paths.begin(), paths.end(),
                           [](const std::string& a, const std::string& b) {
                             return a.size() < b.size();
                           });
}

// Scales the path into a 116-pixel square with a 6-pixel margin, as the reader does.
void fitToCanvas(Path& path) {
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (const Path::Node& node : path.nodes) {
    if (node.type == Path::Node::ClosePath) continue;
    const vorn::Vec2<double>& p = node.points[node.type == Path::Node::CurveTo ? 2
                                              : node.type == Path::Node::Arc   ? 1
                                                                               : 0];
    lo[0] = std::min(lo[0], p.x), lo[1] = std::min(lo[1], p.y);
    hi[0] = std::max(hi[0], p.x), hi[1] = std::max(hi[1], p.y);
  }
  const double scale = 116.0 / std::max(hi[0] - lo[0], hi[1] - lo[1]);
  for (Path::Node& node : path.nodes) {
    for (vorn::Vec2<double>& p : node.points) {
      p = vorn::Vec2<double>((p.x - lo[0]) * scale + 6.0, (p.y - lo[1]) * scale + 6.0);
    }
    node.radius *= scale;
  }
}

// Sends the "Returning contour" lines to /dev/null while timing.
class QuietStdout {
public:
  QuietStdout() {
    std::fflush(stdout);
    saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~QuietStdout() {
    std::fflush(stdout);
    if (saved >= 0) {
      dup2(saved, 1);
      close(saved);
    }
  }

private:
  int saved = -1;
};

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
