// glimshape — bench/lomvet
// Purpose: time re-initialisation of dense grids and report its accuracy near the contour.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "common/lomvet_shapes.h"
#include "lomvet/lomvet.h"

namespace {

// Accuracy is measured once, outside the timed loop, against the exact distance to the
// extracted segments (cells within 5 px); max_err and rms_err are in pixels.
void reinit(benchmark::State& state, FullLevelSet2D (*make)(int), double radius) {
  const int n = static_cast<int>(state.range(0));
  const FullLevelSet2D input = make(n);
  FullLevelSet2D check = input;
  ensureSignedDistance(check, {}, radius);
  const auto s = lomvettest::score(input, check, 0);
  // The copy of the input back into the grid (a memcpy) is timed too; pausing the
  // timer costs more than it.
  FullLevelSet2D g = input;
  for (auto _ : state) {
    std::copy(input.values.begin(), input.values.end(), g.values.begin());
    ensureSignedDistance(g, {}, radius);
    benchmark::DoNotOptimize(g.values.data());
  }
  state.counters["max_err_5px"] = s.maxErr;
  state.counters["rms_err_5px"] = s.rms;
  state.counters["sign_flips"] = s.signFlips;
}

FullLevelSet2D discUnion(int n) { return lomvettest::discs(n, lomvettest::discSet(n)); }

void BM_ReinitBlobby(benchmark::State& state) { reinit(state, lomvettest::blobby, 5.0); }
void BM_ReinitDiscs(benchmark::State& state) { reinit(state, discUnion, 5.0); }
void BM_ReinitMasked(benchmark::State& state) { reinit(state, lomvettest::masked, 5.0); }
void BM_ReinitObstacle(benchmark::State& state) { reinit(state, lomvettest::obstacle, 5.0); }
// Without the exact band: the sweeps alone, for comparison.
void BM_ReinitBlobbySweepsOnly(benchmark::State& state) { reinit(state, lomvettest::blobby, 0.0); }

}  // namespace

BENCHMARK(BM_ReinitBlobby)->Arg(128)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReinitDiscs)->Arg(128)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReinitMasked)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReinitObstacle)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReinitBlobbySweepsOnly)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
