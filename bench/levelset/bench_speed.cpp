// glimshape — bench/levelset
// Purpose: time one shape step (speeds at every stored cell, re-initialisation) per level-set kind.
//
// The sparse kind prints its progress lines on stdout at every step; run with
// --benchmark_out=<file> and stdout sent to /dev/null to keep the table readable.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "levelset/levelset.h"

namespace {

constexpr int canvas = 128;

vorn::Image<unsigned char> blobMask(double cx, double cy, double r) {
  vorn::Image<unsigned char> m(canvas, canvas, 1);
  for (int y = 0; y < canvas; ++y)
    for (int x = 0; x < canvas; ++x) {
      const bool in = std::hypot(x - cx, y - cy) <= r ||
                      std::hypot(x - cx - 0.6 * r, y - cy + 0.4 * r) <= 0.6 * r;
      m(x, y, 0) = in ? 255 : 0;
    }
  return m;
}

// What every kind shares: the shape's mask, the other shapes' distance and the stiffness.
struct Scene {
  vorn::Image<unsigned char> mask = blobMask(55.0, 64.0, 30.0);
  std::unique_ptr<FullLevelSet2D> obstacles{
      createLevelSetFromImage<FullLevelSet2D>(blobMask(104.0, 70.0, 16.0))};
  std::string file = "bench-speed-stiffness.rfi";
  CachedImage stiffness;

  Scene() {
    vorn::Image<float> noise(canvas, canvas, 1);
    for (int y = 0; y < canvas; ++y)
      for (int x = 0; x < canvas; ++x)
        noise(x, y, 0) = float(0.5 + 0.4 * std::sin(x / 7.0) * std::cos(y / 11.0));
    noise.save(file.c_str());
    stiffness = CachedImage(file, CachedImage::defaultMargin, noise);
  }
  ~Scene() { std::remove(file.c_str()); }
};

template <class LevelSetT>
std::unique_ptr<LevelSetT> make(const Scene& scene);
template <>
std::unique_ptr<FullLevelSet> make<FullLevelSet>(const Scene& scene) {
  return std::unique_ptr<FullLevelSet>(createLevelSetFromImage<FullLevelSet>(scene.mask));
}
template <>
std::unique_ptr<RectLevelSet> make<RectLevelSet>(const Scene& scene) {
  return std::unique_ptr<RectLevelSet>(createLevelSetFromImage<RectLevelSet>(scene.mask));
}
template <>
std::unique_ptr<SparseLevelSet2D> make<SparseLevelSet2D>(const Scene& scene) {
  return std::unique_ptr<SparseLevelSet2D>(createLevelSetFromImage<SparseLevelSet2D>(scene.mask));
}

template <class LevelSetT>
SpeedKernel<LevelSetT, CachedImage> kernel(int which) {
  return which == 0 ? &move<LevelSetT, CachedImage> : &move_speed_based<LevelSetT, CachedImage>;
}

// Speeds of the three kinds must agree on the cells all three store before any timing.
bool kindsAgree(const Scene& scene, int which) {
  auto dense = make<FullLevelSet>(scene), denseInitial = make<FullLevelSet>(scene);
  auto rect = make<RectLevelSet>(scene), rectInitial = make<RectLevelSet>(scene);
  auto sparse = make<SparseLevelSet2D>(scene), sparseInitial = make<SparseLevelSet2D>(scene);
  updateStep(*dense, bindSpeed(kernel<FullLevelSet>(which), &scene.mask, scene.obstacles.get(),
                               denseInitial.get(), &scene.stiffness, 0.2));
  updateStep(*rect, bindSpeed(kernel<RectLevelSet>(which), &scene.mask, scene.obstacles.get(),
                              rectInitial.get(), &scene.stiffness, 0.2));
  updateStep(*sparse, bindSpeed(kernel<SparseLevelSet2D>(which), &scene.mask,
                                scene.obstacles.get(), sparseInitial.get(), &scene.stiffness,
                                0.2));
  for (int y = 0; y < canvas; ++y)
    for (int x = 0; x < canvas; ++x) {
      if (rect->have(x, y) && rect->get(x, y) != dense->get(x, y)) return false;
      if (rect->have(x, y) && sparse->have(x, y) &&
          std::fabs(sparse->get(x, y) - dense->get(x, y)) > 1e-12)
        return false;
    }
  return true;
}

// One step as the shape's motion loop runs it: bind, update, re-initialise.
template <class LevelSetT>
void BM_ShapeStep(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const Scene scene;
  if (!kindsAgree(scene, which)) {
    state.SkipWithError("the three kinds disagree after one update step");
    return;
  }
  const auto initial = make<LevelSetT>(scene);
  auto current = make<LevelSetT>(scene);
  for (auto _ : state) {
    state.PauseTiming();
    *current = *initial;
    state.ResumeTiming();
    updateStep(*current, bindSpeed(kernel<LevelSetT>(which), &scene.mask,
                                   scene.obstacles.get(), initial.get(), &scene.stiffness, 0.2));
    current->ensureSignedDistanceFMM();
    benchmark::ClobberMemory();
  }
  state.SetLabel(which == 0 ? "original" : "speed-based");
}

}  // namespace

BENCHMARK_TEMPLATE(BM_ShapeStep, FullLevelSet)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ShapeStep, RectLevelSet)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ShapeStep, SparseLevelSet2D)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
