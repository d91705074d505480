// glimshape — bench/torsk
// Purpose: Dijkstra of vorn::Graph and of the Graph_T interface on a random graph and a grid.
#include <benchmark/benchmark.h>

#include <random>
#include <tuple>
#include <vector>

#include "torsk/graph.h"

namespace {

using Edge = std::tuple<int, int, double>;

struct Workload {
  int n;
  std::vector<Edge> edges;
};

// 100,000 nodes, 1,000,000 undirected edges with weights uniform in [0, 1).
const Workload& randomGraph() {
  static const Workload w = [] {
    Workload r{100000, {}};
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> node(0, r.n - 1);
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    r.edges.reserve(1000000);
    while (r.edges.size() < 1000000) {
      const int a = node(rng), b = node(rng);
      if (a != b) r.edges.emplace_back(a, b, weight(rng));
    }
    return r;
  }();
  return w;
}

// 1000 × 1000 4-connected grid with weights uniform in [1, 2).
const Workload& gridGraph() {
  static const Workload w = [] {
    const int side = 1000;
    Workload r{side * side, {}};
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> weight(1.0, 2.0);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const int i = x + y * side;
        if (x + 1 < side) r.edges.emplace_back(i, i + 1, weight(rng));
        if (y + 1 < side) r.edges.emplace_back(i, i + side, weight(rng));
      }
    return r;
  }();
  return w;
}

double sumReached(const std::vector<vorn::Graph::pred_dist_t>& out) {
  double s = 0;
  for (const auto& e : out)
    if (e.pred != -1) s += e.dist;
  return s;
}

void classDij(benchmark::State& state, const Workload& w) {
  vorn::Graph g(w.n);
  for (const auto& [a, b, wt] : w.edges) g.addEdge(a, b, wt);
  std::vector<vorn::Graph::pred_dist_t> out;
  for (auto _ : state) {
    g.dij(0, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["sum"] = sumReached(out);
}

void functionDij(benchmark::State& state, const Workload& w) {
  Graph_T* g = allocGraph(w.n);
  for (const auto& [a, b, wt] : w.edges) graphAddEdge(g, a, b, wt);
  allocSingleSource(g);
  for (auto _ : state) {
    if (dij(g, 0) != 0) state.SkipWithError("dij refused the graph");
  }
  std::vector<double> d(w.n);
  getDistancesParam(d.data());
  double s = 0;
  for (double x : d)
    if (x < 1e9) s += x;
  state.counters["sum"] = s;
  freeSingleSource();
  freeGraph(g);
}

void BM_GraphDijRandom(benchmark::State& s) { classDij(s, randomGraph()); }
void BM_GraphDijGrid(benchmark::State& s) { classDij(s, gridGraph()); }
void BM_GraphTDijRandom(benchmark::State& s) { functionDij(s, randomGraph()); }
void BM_GraphTDijGrid(benchmark::State& s) { functionDij(s, gridGraph()); }

BENCHMARK(BM_GraphDijRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphTDijRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphDijGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphTDijGrid)->Unit(benchmark::kMillisecond);

}  // namespace
