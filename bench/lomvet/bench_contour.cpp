// glimshape — bench/lomvet
// Purpose: time contour extraction, border closing and loop linking of a dense grid.
#include <benchmark/benchmark.h>

#include "common/lomvet_shapes.h"
#include "lomvet/lomvet.h"

namespace {

FullLevelSet2D shape(int n) {
  FullLevelSet2D g = lomvettest::discs(n, lomvettest::discSet(n));
  // Push one disc into the border so that the border edges have work to do.
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n / 8; ++x) g(x, y) = std::min(g(x, y), std::hypot(x, y - 0.5 * n) - 0.1 * n);
  g.ensureSignedDistanceFMM();
  return g;
}

void BM_ContourBorderPolygons(benchmark::State& state) {
  const FullLevelSet2D g = shape(static_cast<int>(state.range(0)));
  ContourPoints pts;
  ContourEdges edges;
  std::size_t loops = 0;
  for (auto _ : state) {
    g.getLinesUnique(pts, edges);
    addBorderEdges(pts, edges, &g);
    loops = getPolygons(pts, edges).size();
    benchmark::DoNotOptimize(loops);
  }
  state.counters["points"] = static_cast<double>(pts.size());
  state.counters["loops"] = static_cast<double>(loops);
}

void BM_GetLinesUnique(benchmark::State& state) {
  const FullLevelSet2D g = shape(static_cast<int>(state.range(0)));
  ContourPoints pts;
  ContourEdges edges;
  for (auto _ : state) {
    g.getLinesUnique(pts, edges);
    benchmark::DoNotOptimize(edges.data());
  }
}

}  // namespace

BENCHMARK(BM_ContourBorderPolygons)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetLinesUnique)->Arg(512)->Unit(benchmark::kMillisecond);
