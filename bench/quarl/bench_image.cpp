// glimshape — bench/quarl
// Purpose: speed of the element-type conversions of vorn::Image<T> on a 1024 × 1024 × 3 image.
#include "quarl/image.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kSize = 1024;
constexpr int kChannels = 3;

vorn::Image<unsigned char> makeBytes() {
  vorn::Image<unsigned char> im(kSize, kSize, kChannels);
  const int n = kSize * kSize * kChannels;
  for (int i = 0; i < n; ++i) im[i] = static_cast<unsigned char>((i * 37) ^ (i >> 7));
  return im;
}

// The timed loop must agree with the element table; checked once before timing.
bool agrees(const vorn::Image<unsigned char>& bytes, const vorn::Image<float>& floats) {
  const int n = kSize * kSize * kChannels;
  for (int i = 0; i < n; ++i)
    if (floats[i] != static_cast<float>(bytes[i]) / 255.0f) return false;
  return true;
}

void BM_UnsignedCharToFloat(benchmark::State& state) {
  const vorn::Image<unsigned char> src = makeBytes();
  vorn::Image<float> dst;
  dst = src;
  if (!agrees(src, dst)) {
    state.SkipWithError("conversion disagrees with the element table");
    return;
  }
  for (auto _ : state) {
    dst = src;
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * kChannels);
}
BENCHMARK(BM_UnsignedCharToFloat)->Unit(benchmark::kMicrosecond);

void BM_FloatToUnsignedChar(benchmark::State& state) {
  const vorn::Image<unsigned char> bytes = makeBytes();
  vorn::Image<float> src;
  src = bytes;
  vorn::Image<unsigned char> dst;
  dst = src;
  const int n = kSize * kSize * kChannels;
  for (int i = 0; i < n; ++i) {
    if (dst[i] != static_cast<unsigned char>(static_cast<int>(255.0f * src[i]))) {
      state.SkipWithError("conversion disagrees with the element table");
      return;
    }
  }
  for (auto _ : state) {
    dst = src;
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n);
}
BENCHMARK(BM_FloatToUnsignedChar)->Unit(benchmark::kMicrosecond);

}  // namespace
