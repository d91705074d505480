// glimshape — bench/levelset
// Purpose: time seeding a dense level set from a mask (seeds plus re-initialisation).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "levelset/levelset.h"

namespace {

void BM_CreateFullLevelSetFromMask(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  vorn::Image<unsigned char> mask(n, n, 1);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double a = std::hypot(x - 0.4 * n, y - 0.45 * n) - 0.25 * n;
      const double b = std::hypot(x - 0.75 * n, y - 0.7 * n) - 0.15 * n;
      mask(x, y, 0) = std::min(a, b) <= 0 ? 255 : 0;
    }
  for (auto _ : state) {
    std::unique_ptr<FullLevelSet> ls(createLevelSetFromImage<FullLevelSet>(mask));
    benchmark::DoNotOptimize(ls->values.data());
  }
}

}  // namespace

BENCHMARK(BM_CreateFullLevelSetFromMask)->Arg(128)->Unit(benchmark::kMillisecond);
