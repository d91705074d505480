// glimshape — bench/levelset
// Purpose: time the sparse fast-marching re-initialisation beside the dense one on the same shapes.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <vector>

#include "levelset/levelset.h"

namespace {

using Mask = vorn::Image<unsigned char>;

Mask discMask() {
  Mask m(128, 128, 1);
  m = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x)
      if (std::hypot(x - 63.5, y - 64.0) <= 40.0) m(x, y, 0) = 255;
  return m;
}

// Five overlapping discs with wavy outlines on a 256 × 256 canvas, from a fixed seed.
Mask blobbyMask() {
  const int n = 256;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  struct Blob {
    double cx, cy, r, a3, a5, ph;
  };
  std::vector<Blob> blobs;
  for (int i = 0; i < 5; ++i)
    blobs.push_back({n * (0.2 + 0.6 * u(rng)), n * (0.2 + 0.6 * u(rng)), n * (0.08 + 0.12 * u(rng)),
                     0.25 * u(rng), 0.15 * u(rng), 6.28 * u(rng)});
  Mask m(n, n, 1);
  m = 0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      for (const Blob& b : blobs) {
        const double dx = x - b.cx, dy = y - b.cy, th = std::atan2(dy, dx);
        if (std::hypot(dx, dy) <= b.r * (1 + b.a3 * std::sin(3 * th + b.ph) + b.a5 * std::cos(5 * th)))
          m(x, y, 0) = 255;
      }
  return m;
}

// The re-initialisation prints progress lines; they go to /dev/null while timing so that
// the report stays readable.
class QuietStdout {
 public:
  QuietStdout() {
    std::cout.flush();
    std::fflush(stdout);
    saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~QuietStdout() {
    std::cout.flush();
    std::fflush(stdout);
    if (saved >= 0) {
      dup2(saved, 1);
      close(saved);
    }
  }

 private:
  int saved = -1;
};

// The band a shape keeps between motion steps: the mask's sparse level set after one
// re-initialisation. Items are stored cells.
void sparseReinit(benchmark::State& state, const Mask& mask) {
  QuietStdout quiet;
  std::unique_ptr<SparseLevelSet2D> base(createLevelSetFromImage<SparseLevelSet2D>(mask));
  base->ensureSignedDistanceFMM();
  const int cells = base->getCellCount();
  // Agreement with the dense re-initialisation of the same mask, within 3 px of the contour.
  const std::unique_ptr<FullLevelSet2D> dense(createLevelSetFromImage<FullLevelSet2D>(mask));
  double maxDiff = 0.0;
  for (int y = 0; y < dense->getHeight(); ++y)
    for (int x = 0; x < dense->getWidth(); ++x)
      if (std::fabs(dense->get(x, y)) <= 3.0)
        maxDiff = std::max(maxDiff, base->have(x, y) ? std::fabs(base->get(x, y) - dense->get(x, y))
                                                     : 1e9);
  state.counters["max_diff_3px"] = maxDiff;
  for (auto _ : state) {
    state.PauseTiming();
    SparseLevelSet2D s = *base;
    state.ResumeTiming();
    s.ensureSignedDistanceFMM();
    benchmark::DoNotOptimize(s.getRows().data());
  }
  state.SetItemsProcessed(state.iterations() * cells);
  state.counters["cells"] = cells;
}

// The dense grid of the same canvas re-initialised from the same band values (far cells
// keep their magnitude); items are grid cells.
void denseReinit(benchmark::State& state, const Mask& mask) {
  const std::unique_ptr<FullLevelSet2D> base(createLevelSetFromImage<FullLevelSet2D>(mask));
  const int cells = base->getWidth() * base->getHeight();
  for (auto _ : state) {
    state.PauseTiming();
    FullLevelSet2D g = *base;
    state.ResumeTiming();
    g.ensureSignedDistanceFMM();
    benchmark::DoNotOptimize(g.values.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cells));
  state.counters["cells"] = cells;
}

void BM_SparseReinitDisc40(benchmark::State& state) { sparseReinit(state, discMask()); }
void BM_DenseReinitDisc40(benchmark::State& state) { denseReinit(state, discMask()); }
void BM_SparseReinitBlobby256(benchmark::State& state) { sparseReinit(state, blobbyMask()); }
void BM_DenseReinitBlobby256(benchmark::State& state) { denseReinit(state, blobbyMask()); }

}  // namespace

BENCHMARK(BM_SparseReinitDisc40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DenseReinitDisc40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SparseReinitBlobby256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DenseReinitBlobby256)->Unit(benchmark::kMicrosecond);
