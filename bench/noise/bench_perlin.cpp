// glimshape — bench
// Purpose: cost of one stiffness field and of the image operations that dominate it.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "noise/perlin.h"

namespace {

void reseed() {
  unsigned short state[3] = {0x330e, 0x1234, 0xabcd};
  seed48(state);
}

// One "perlin" stiffness field: five value noises (35 enlargements), seven
// normalisations and four further box filters.
void BM_GeneratePerlinStiffness(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  reseed();
  for (auto _ : state) benchmark::DoNotOptimize(generate_perlin_stiffness(n, n).data);
}
BENCHMARK(BM_GeneratePerlinStiffness)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_Perlin(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  reseed();
  for (auto _ : state) benchmark::DoNotOptimize(perlin(n, n, 0.25).data);
}
BENCHMARK(BM_Perlin)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);

// The two library calls a field repeats: an enlargement of a 12 × 12 grid (35 per field)
// and a 7 × 7 box filter (7 per field, plus 4 smaller ones).
void BM_EnlargeGrid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  vorn::Image<float> grid(12, 12, 1);
  reseed();
  for (int i = 0; i < 144; ++i) grid.data[i] = static_cast<float>(drand48());
  for (auto _ : state) benchmark::DoNotOptimize(grid.resize(n, n).data);
}
BENCHMARK(BM_EnlargeGrid)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);

void BM_BoxFilter3(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  vorn::Image<float> img(n, n, 1);
  reseed();
  for (long i = 0; i < static_cast<long>(n) * n; ++i) img.data[i] = static_cast<float>(drand48());
  for (auto _ : state) benchmark::DoNotOptimize(img.boxFilter(3).data);
}
BENCHMARK(BM_BoxFilter3)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);

}  // namespace
