// glimshape — bench/evolver
// Purpose: time one evolver pass (every shape: the obstacles of the others, then its motion)
// over generated drawings per level-set kind and canvas size, the bundled drawing's pass
// with the obstacle part and the shapes' own steps timed apart, and a whole run of it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "common/blob_drawing.h"
#include "common/example_drawing.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"
#include "shapes/zazizevozu.h"

namespace {

constexpr int canvas = 128;

// One pass per iteration, progress lines off, after a few passes so that the shapes have
// left their initial outlines (the first passes re-frame every rectangle). With plain set,
// the mask and the grid are allocated anew for every step, as before they were reused.
void passOfBlobs(benchmark::State& state, const char* kind, bool plain = false) {
  setProgressLines(false);
  const int n = static_cast<int>(state.range(0));
  ZazizEvozuEvolver e;
  e.reuseMaskBuffers = !plain;
  e.setShapes(glimtest::blobDrawing(glimtest::blobLayout(n, canvas), canvas, kind));
  for (int i = 0; i < 3; ++i) e.evolvePass();
  for (auto _ : state) e.evolvePass();
  state.counters["shapes"] = static_cast<double>(e.shapes.size());
}

BENCHMARK_CAPTURE(passOfBlobs, RectLevelSet, "RectLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, RectLevelSetPlain, "RectLevelSet", true)
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, FullLevelSet, "FullLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfBlobs, SparseLevelSet, "SparseLevelSet")
    ->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

// The level sets, speeds and stiffnesses of a drawing, put back before every iteration, so
// that each iteration times the same passes from the same state (left alone, shapes on a
// large canvas keep growing, and so does the time of a pass).
class Snapshot {
 public:
  explicit Snapshot(ZazizEvozuEvolver& e) : e(e) {
    for (const auto& shape : e.shapes) {
      save(shape.get(), rects);
      save(shape.get(), sparses);
      save(shape.get(), denses);
      motion.push_back({shape->speed, shape->stiffness});
    }
  }
  // Also brings the worker's record up to date for the first shape, so that the
  // whole-canvas rebuild of the record after the restore is not timed.
  void restore() {
    std::size_t r = 0, s = 0, d = 0;
    for (std::size_t i = 0; i < e.shapes.size(); ++i) {
      ZazizEvozuBase* shape = e.shapes[i].get();
      // One of the three kinds.
      const bool restored = load(shape, rects, r) || load(shape, sparses, s) || load(shape, denses, d);
      benchmark::DoNotOptimize(restored);
      e.shapes[i]->speed = motion[i].first;
      e.shapes[i]->stiffness = motion[i].second;
    }
    e.invalidateObstacles();
    if (e.useObstacleField) e.obstacleField.update(e.shapes, 0);
  }

 private:
  template <class L>
  static void save(ZazizEvozuBase* shape, std::vector<L>& into) {
    if (auto* s = dynamic_cast<ZazizEvozu<L>*>(shape)) into.push_back(*s->levelSet);
  }
  template <class L>
  static bool load(ZazizEvozuBase* shape, const std::vector<L>& from, std::size_t& next) {
    auto* s = dynamic_cast<ZazizEvozu<L>*>(shape);
    if (s) *s->levelSet = from[next++];
    return s != nullptr;
  }
  ZazizEvozuEvolver& e;
  std::vector<RectLevelSet> rects;
  std::vector<SparseLevelSet2D> sparses;
  std::vector<FullLevelSet> denses;
  std::vector<std::pair<double, double>> motion;
};

// Passes timed per iteration of the drawings below; the time of one pass is the iteration's
// divided by this (the counter "pass" gives it).
constexpr int timedPasses = 4;

void countPasses(benchmark::State& state) {
  state.counters["pass"] = benchmark::Counter(
      timedPasses, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Ten blobs of radius 9 pixels at the same pixel positions (four to a row, 30 pixels apart,
// in the top left 128 × 128 pixels) on a canvas of the size given, each moving 6 steps a
// pass with stiffness 0.2: the shapes are the same, only the empty canvas around them grows.
// Two passes in, then four passes per iteration from there.
void passOfTenBlobs(benchmark::State& state, const char* kind) {
  setProgressLines(false);
  const int size = static_cast<int>(state.range(0));
  std::vector<glimtest::Blob> blobs;
  for (int k = 0; k < 10; ++k) blobs.push_back({20.0 + 30 * (k % 4), 20.0 + 30 * (k / 4), 9.0});
  ZazizEvozuEvolver e;
  e.setShapes(glimtest::blobDrawing(blobs, size, kind));
  for (const auto& shape : e.shapes) {
    shape->speed = 6.0;
    shape->stiffness = 0.2;
  }
  for (int i = 0; i < 2; ++i) e.evolvePass();
  Snapshot snapshot(e);
  for (auto _ : state) {
    state.PauseTiming();
    snapshot.restore();
    state.ResumeTiming();
    for (int pass = 0; pass < timedPasses; ++pass) e.evolvePass();
  }
  countPasses(state);
}

BENCHMARK_CAPTURE(passOfTenBlobs, RectLevelSet, "RectLevelSet")
    ->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passOfTenBlobs, SparseLevelSet, "SparseLevelSet")
    ->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

enum class Part { Whole, Obstacles, OwnSteps };

// Reads ψ at the cells the shape stores within 3 pixels of its outline (its rectangle's or
// its band's cells, not the canvas's).
void readNearOutline(ZazizEvozuBase& shape, const FullLevelSet2D& grid) {
  const auto read = [&](int x, int y, double phi) {
    if (std::fabs(phi) < 3.0) benchmark::DoNotOptimize(grid.get(x, y));
  };
  if (auto* rect = dynamic_cast<ZazizEvozu<RectLevelSet>*>(&shape)) {
    const FullLevelSet2D& g = rect->levelSet->getGrid();
    for (int j = 0; j < g.getHeight(); ++j)
      for (int i = 0; i < g.getWidth(); ++i)
        read(i + rect->levelSet->getX0(), j + rect->levelSet->getY0(), g.get(i, j));
  } else if (auto* sparse = dynamic_cast<ZazizEvozu<SparseLevelSet2D>*>(&shape)) {
    const auto& rows = sparse->levelSet->getRows();
    for (std::size_t y = 0; y < rows.size(); ++y)
      for (const auto& cell : rows[y]) read(cell.first, static_cast<int>(y), cell.second);
  } else {
    for (int y = 0; y < shape.getHeight(); ++y)
      for (int x = 0; x < shape.getWidth(); ++x) read(x, y, shape.get(x, y));
  }
}

// Four passes of the bundled drawing (three passes in), stepped here as the worker steps
// them, with only a part timed: the obstacles (the record brought up to date and ψ read at
// every cell within 3 pixels of the moving outline, which is what the step's kernel reads
// first) or the shapes' own steps (their moves, which then find most of ψ read already).
// Both do the same work; Whole times all of it. With field 0 the obstacles are the
// whole-canvas rebuild the worker made before.
void drawingPass(benchmark::State& state, const char* kind, Part part) {
  setProgressLines(false);
  const int size = static_cast<int>(state.range(0));
  const bool field = state.range(1) != 0;
  ZazizEvozuEvolver e;
  e.useObstacleField = field;
  {
    glimtest::QuietStdout quiet;
    GlimShapeSettings::instance().levelSetType = kind;
    std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
    for (const glimtest::DrawingShape& d : glimtest::exampleDrawing(size))
      shapes.push_back(ZazizEvozuBase::create(d.polygon, d.mask));
    e.setShapes(shapes);
  }
  for (int i = 0; i < 3; ++i) e.evolvePass();
  Snapshot snapshot(e);
  for (auto _ : state) {
    state.PauseTiming();
    snapshot.restore();
    if (part != Part::OwnSteps) state.ResumeTiming();
    for (int pass = 0; pass < timedPasses; ++pass)
      for (std::size_t i = 0; i < e.shapes.size(); ++i) {
        ZazizEvozuBase& shape = *e.shapes[i];
        const FullLevelSet2D* grid = &e.obstacleGrid;
        const vorn::Image<unsigned char>* mask = &e.mask;
        if (field) {
          e.obstacleField.update(e.shapes, static_cast<int>(i));
          grid = &e.obstacleField.getGrid();
          mask = &e.obstacleField.getMask();
          readNearOutline(shape, *grid);
        } else {
          e.updateMask(static_cast<int>(i));
        }
        if (part == Part::OwnSteps) state.ResumeTiming();
        if (part == Part::Obstacles) state.PauseTiming();
        shape.move(*mask, *grid, shape.speed >= 1.0 ? static_cast<int>(shape.speed) : 0, 1);
        if (part == Part::Obstacles) state.ResumeTiming();
        if (part == Part::OwnSteps) state.PauseTiming();
      }
    if (part == Part::OwnSteps) state.ResumeTiming();
  }
  countPasses(state);
  state.counters["shapes"] = static_cast<double>(e.shapes.size());
}

void drawingArgs(benchmark::internal::Benchmark* b) {
  for (int field : {1, 0})
    for (int size : {128, 256, 512}) b->Args({size, field});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(drawingPass, Rect, "RectLevelSet", Part::Whole)->Apply(drawingArgs);
BENCHMARK_CAPTURE(drawingPass, RectObstacles, "RectLevelSet", Part::Obstacles)->Apply(drawingArgs);
BENCHMARK_CAPTURE(drawingPass, RectOwnSteps, "RectLevelSet", Part::OwnSteps)->Apply(drawingArgs);
BENCHMARK_CAPTURE(drawingPass, Sparse, "SparseLevelSet", Part::Whole)->Apply(drawingArgs);
BENCHMARK_CAPTURE(drawingPass, SparseObstacles, "SparseLevelSet", Part::Obstacles)
    ->Apply(drawingArgs);
BENCHMARK_CAPTURE(drawingPass, SparseOwnSteps, "SparseLevelSet", Part::OwnSteps)
    ->Apply(drawingArgs);

// The mask rebuild alone (all shapes but the first marked, then re-initialised): the part of
// a shape step that grows with the number of shapes.
void maskRebuild(benchmark::State& state) {
  setProgressLines(false);
  const int n = static_cast<int>(state.range(0));
  ZazizEvozuEvolver e;
  e.setShapes(glimtest::blobDrawing(glimtest::blobLayout(n, canvas), canvas, "RectLevelSet"));
  for (int i = 0; i < 3; ++i) e.evolvePass();
  for (auto _ : state) e.updateMask(0);
}

BENCHMARK(maskRebuild)->Arg(10)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

// The bundled example drawing on the 128 × 128 canvas, as shapes of one kind, made from the
// random generator's unseeded state (so every build draws the same motion models).
std::vector<std::shared_ptr<ZazizEvozuBase>> exampleShapes(const char* kind) {
  glimtest::QuietStdout quiet;
  GlimShapeSettings::instance().levelSetType = kind;
  unsigned short unseeded[3] = {0x330e, 0xabcd, 0x1234};
  seed48(unseeded);
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (const glimtest::DrawingShape& d : glimtest::exampleDrawing(canvas))
    shapes.push_back(ZazizEvozuBase::create(d.polygon, d.mask));
  return shapes;
}

// A whole worker run's passes (150), from the freshly loaded drawing, without the sleeps.
// The counter "area" is the outline area of all shapes at the end (pixels²), to compare the
// results of builds.
void exampleRun(benchmark::State& state, const char* kind) {
  setProgressLines(false);
  for (auto _ : state) {
    state.PauseTiming();
    ZazizEvozuEvolver e;
    e.setShapes(exampleShapes(kind));
    state.ResumeTiming();
    for (int pass = 0; pass < e.iterations; ++pass) e.evolvePass();
    state.PauseTiming();
    double area = 0.0;
    for (const auto& shape : e.shapes) {
      shape->updatePolygons();
      double twice = 0.0;
      for (const auto& loop : shape->polygons)
        for (std::size_t k = 0; k < loop.size(); ++k) {
          const auto& p = shape->points[static_cast<std::size_t>(loop[k])];
          const auto& q = shape->points[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
          twice += p.x * q.y - q.x * p.y;
        }
      area += std::fabs(twice) / 2.0;
    }
    state.counters["area"] = area;
    state.counters["shapes"] = static_cast<double>(e.shapes.size());
    state.ResumeTiming();
  }
}

BENCHMARK_CAPTURE(exampleRun, RectLevelSet, "RectLevelSet")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(exampleRun, SparseLevelSet, "SparseLevelSet")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(exampleRun, FullLevelSet, "FullLevelSet")
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
