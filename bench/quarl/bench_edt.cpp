// glimshape — bench/quarl
// Purpose: the distance transforms edt_8sed and edt on unions of discs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "quarl/image.h"

namespace {

// About twenty discs of radius up to a tenth of the side, some overlapping.
vorn::Image<unsigned char> discs(int side) {
  vorn::Image<unsigned char> im(side, side, 1);
  std::fill(im.data, im.data + size_t(side) * side, static_cast<unsigned char>(0));
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> pos(0, side - 1), radius(side / 40, side / 10);
  for (int k = 0; k < 20; ++k) {
    const int cx = pos(rng), cy = pos(rng), r = radius(rng);
    for (int y = std::max(0, cy - r); y <= std::min(side - 1, cy + r); ++y)
      for (int x = std::max(0, cx - r); x <= std::min(side - 1, cx + r); ++x)
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) im(x, y, 0) = 255;
  }
  return im;
}

void BM_Edt8sed(benchmark::State& state) {
  const auto mask = discs(int(state.range(0)));
  for (auto _ : state) {
    vorn::Image<float> d = mask.edt_8sed(0);
    benchmark::DoNotOptimize(d.data);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_Edt8sed)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

// edt prints two progress lines per call; they are sent to /dev/null while timing.
void BM_Edt(benchmark::State& state) {
  const auto mask = discs(int(state.range(0)));
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  for (auto _ : state) {
    vorn::Image<float> d = mask.edt(0);
    benchmark::DoNotOptimize(d.data);
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_Edt)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace
