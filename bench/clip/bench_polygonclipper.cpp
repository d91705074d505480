// glimshape — benchmarks
// Purpose: union and difference of two outlines of the size a grown shape has on the
// default canvas.
#include "clip/polygonclipper.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

struct Indexed {
  std::vector<vorn::Vec2<double>> points;
  std::vector<std::vector<int>> loops;
};

/// A wavy closed outline of n vertices around (cx, cy), radius r ± 10 %.
Indexed blob(double cx, double cy, double r, int n) {
  Indexed p;
  std::vector<int> loop;
  for (int k = 0; k < n; ++k) {
    const double t = 2.0 * M_PI * k / n;
    const double rr = r * (1.0 + 0.1 * std::sin(7.0 * t));
    p.points.push_back({cx + rr * std::cos(t), cy + rr * std::sin(t)});
    loop.push_back(k);
  }
  p.loops.push_back(loop);
  return p;
}

void run(benchmark::State& state, PolygonClipper::Operation op) {
  const int n = static_cast<int>(state.range(0));
  const Indexed a = blob(60.0, 64.0, 30.0, n);
  const Indexed b = blob(80.0, 64.0, 30.0, n);
  Indexed reference = a;
  if (!PolygonClipper::clip(reference.points, reference.loops, b.points, b.loops, op) ||
      reference.loops.empty()) {
    state.SkipWithError("clip refused its input");
    return;
  }
  std::size_t points = 0;
  for (auto _ : state) {
    Indexed r = a;
    PolygonClipper::clip(r.points, r.loops, b.points, b.loops, op);
    points += r.points.size();
    benchmark::DoNotOptimize(r.points.data());
  }
  // Every repetition must give the same result as the untimed one.
  if (points != reference.points.size() * static_cast<std::size_t>(state.iterations()))
    state.SkipWithError("results differ between repetitions");
}

void BM_Union(benchmark::State& state) { run(state, PolygonClipper::Union); }
void BM_Difference(benchmark::State& state) { run(state, PolygonClipper::Difference); }

BENCHMARK(BM_Union)->Arg(200)->Arg(2000);
BENCHMARK(BM_Difference)->Arg(200)->Arg(2000);

}  // namespace
