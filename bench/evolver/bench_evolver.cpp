// glimshape — bench/evolver
// Purpose: time one evolver pass (every shape: mask rebuild from the others, then its
// motion) over generated drawings per level-set kind, and a whole run of the example drawing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/blob_drawing.h"
#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"
#include "svg/path.h"

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

// The bundled example drawing on the 128 × 128 canvas: every path and polygon flattened and
// filled even-odd at the pixel centres (the reader's cairo rasterising is not needed to
// time the evolution).
std::vector<std::shared_ptr<ZazizEvozuBase>> exampleDrawing() {
  std::ifstream in(GLIM_SOURCE_DIR "/examples/drawing.svg");
  std::stringstream text;
  text << in.rdbuf();
  const std::string svg = text.str();
  std::vector<Polygon> outlines;
  {
    glimtest::QuietStdout quiet;
    const std::regex pathData("<path[^>]*\\sd=\"([^\"]*)\"");
    for (std::sregex_iterator it(svg.begin(), svg.end(), pathData), end; it != end; ++it)
      outlines.push_back(Path((*it)[1]).getPolygon(0.2));
    const std::regex pointList("<polygon[^>]*\\spoints=\"([^\"]*)\"");
    for (std::sregex_iterator it(svg.begin(), svg.end(), pointList), end; it != end; ++it) {
      std::string list = (*it)[1];
      for (char& c : list)
        if (c == ',') c = ' ';
      std::istringstream numbers(list);
      Polygon p;
      p.loops.emplace_back();
      double x, y;
      while (numbers >> x >> y) {
        p.loops.back().push_back(static_cast<int>(p.points.size()));
        p.points.push_back({x, y});
      }
      outlines.push_back(p);
    }
  }
  const double scale = canvas / 256.0;  // the example is 256 × 256
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  glimtest::QuietStdout quiet;
  GlimShapeSettings::instance().levelSetType = "RectLevelSet";
  for (const Polygon& p : outlines) {
    vorn::Image<unsigned char> mask(canvas, canvas, 1);
    for (int y = 0; y < canvas; ++y)
      for (int x = 0; x < canvas; ++x) {
        const double px = (x + 0.5) / scale, py = (y + 0.5) / scale;
        bool inside = false;
        for (const auto& loop : p.loops)
          for (std::size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
            const auto& a = p.points[loop[i]];
            const auto& b = p.points[loop[j]];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x)
              inside = !inside;
          }
        mask(x, y, 0) = inside ? 255 : 0;
      }
    Polygon scaled = p;
    for (auto& q : scaled.points) q = {q.x * scale, q.y * scale};
    shapes.push_back(ZazizEvozuBase::create(scaled, mask));
  }
  return shapes;
}

// A whole worker run's passes (150), from the freshly loaded drawing, without the sleeps.
void exampleRun(benchmark::State& state) {
  setProgressLines(false);
  for (auto _ : state) {
    state.PauseTiming();
    ZazizEvozuEvolver e;
    e.setShapes(exampleDrawing());
    state.ResumeTiming();
    for (int pass = 0; pass < e.iterations; ++pass) e.evolvePass();
    state.counters["shapes"] = static_cast<double>(e.shapes.size());
  }
}

BENCHMARK(exampleRun)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
