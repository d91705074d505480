// glimshape — bench/quarl
// Purpose: timings of the box filter and of resizing (bilinear enlarge, area shrink).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "quarl/image.h"

using vorn::Image;

namespace {

// A smooth pattern plus noise, in [0, 255] (bytes) or [0, 1] (floating).
template <class T>
Image<T> pattern(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(-0.5, 0.5);
  Image<T> im(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double v = 127.5 + 60 * std::sin(x * 0.05) * std::cos(y * 0.031) + 60 * noise(rng);
      if constexpr (std::is_floating_point_v<T>)
        im(x, y, 0) = T(v / 255.0);
      else
        im(x, y, 0) = T(v);
    }
  return im;
}

template <class T>
void BM_BoxFilter(benchmark::State& state) {
  const Image<T> src = pattern<T>(1024, 1024, 7);
  const int r = int(state.range(0));
  for (auto _ : state) {
    Image<T> out = src.boxFilter(r);
    benchmark::DoNotOptimize(out.data);
  }
}

template <class T>
void BM_Resize(benchmark::State& state) {
  const Image<T> src = pattern<T>(int(state.range(0)), int(state.range(0)), 11);
  const int to = int(state.range(1));
  for (auto _ : state) {
    Image<T> out = src.resize(to, to);
    benchmark::DoNotOptimize(out.data);
  }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_BoxFilter, float)->Name("BoxFilter_1024_float")->Arg(1)->Arg(3)->Arg(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_BoxFilter, unsigned char)->Name("BoxFilter_1024_uchar")->Arg(1)->Arg(3)
    ->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Resize, float)->Name("Enlarge_float")->Args({18, 128})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Resize, unsigned char)->Name("Enlarge_uchar")->Args({18, 128})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Resize, float)->Name("Shrink_float")->Args({1024, 300})
    ->Unit(benchmark::kMillisecond);
