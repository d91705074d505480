// glimshape — bench
// Purpose: measures what the canvas commands do to a drawing: overlap, uncovered area and
// vanished shapes after Evolve, Fill, Closer and Occupy on the bundled drawing (as the window
// and as glimshape-batch run them), how much of a 2-pixel gap Closer closes, and the longest
// wait of the worker's stop() with 400 shapes; for each level-set kind.
//
// Usage: measure_commands [geometry|gap|stop]... (all three when none is named). Run it in a
// scratch directory: the shapes write their stiffness images below "temp".
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "clip/polygonclipper.h"
#include "evolver/canvas_shapes.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"
#include "settings/glimshapesettings.h"

namespace {

using Points = std::vector<vorn::Vec2<double>>;
using Loops = std::vector<std::vector<int>>;

struct Region {
  Points points;
  Loops loops;
};

const char* const kinds[] = {"RectLevelSet", "SparseLevelSet", "FullLevelSet"};

std::FILE* out = stdout;

// The region of an even-odd polygon set, normalised by the clipper (outer loops counter-
// clockwise, holes clockwise), so that its area is the sum of the loops' signed areas.
double area(const Region& r) {
  Region n = r;
  if (!PolygonClipper::clip(n.points, n.loops, {}, {}, PolygonClipper::Union)) return NAN;
  double sum = 0.0;
  for (const auto& loop : n.loops)
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto& a = n.points[static_cast<std::size_t>(loop[k])];
      const auto& b = n.points[static_cast<std::size_t>(loop[(k + 1) % loop.size()])];
      sum += a.x * b.y - b.x * a.y;
    }
  return 0.5 * sum;
}

Region minus(Region a, const Region& b) {
  PolygonClipper::clip(a.points, a.loops, b.points, b.loops, PolygonClipper::Difference);
  return a;
}

Region plus(Region a, const Region& b) {
  PolygonClipper::clip(a.points, a.loops, b.points, b.loops, PolygonClipper::Union);
  return a;
}

Region box(double x0, double y0, double x1, double y1) {
  return Region{{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, {{0, 1, 2, 3}}};
}

// A shape's polygons as drawing and saving show them: recomputed from the level set unless
// frozen. The shape itself is left as it was, so that measuring does not do a paint's work
// for the commands that follow.
Region drawn(ZazizEvozuBase& shape) {
  if (shape.polygonsFrozen) return Region{shape.points, shape.polygons};
  const Points points = shape.points;
  const ContourEdges edges = shape.edges;
  const Loops loops = shape.polygons;
  shape.updatePolygons();
  Region r{shape.points, shape.polygons};
  shape.points = points;
  shape.edges = edges;
  shape.polygons = loops;
  return r;
}

// Areas in canvas pixels², from the polygons: overlap sums the common area of every pair of
// shapes, uncovered is what no shape covers, lost counts shapes enclosing no area.
struct Geometry {
  std::size_t shapes = 0;
  double overlap = 0.0;
  int overlapPairs = 0;
  double uncovered = 0.0;
  int lost = 0;
  std::vector<double> areas;
};

Geometry measure(ZazizEvozuEvolver& evolver) {
  Geometry g;
  std::vector<Region> regions;
  std::lock_guard<std::mutex> lock(evolver.mutex);
  for (const auto& s : evolver.shapes) regions.push_back(drawn(*s));
  g.shapes = regions.size();
  Region all;
  for (const Region& r : regions) {
    g.areas.push_back(area(r));
    g.lost += !(g.areas.back() > 1e-6);
    all = plus(all, r);
  }
  for (std::size_t i = 0; i < regions.size(); ++i)
    for (std::size_t j = i + 1; j < regions.size(); ++j) {
      const double common = g.areas[i] - area(minus(regions[i], regions[j]));
      if (common > 1e-6) {
        g.overlap += common;
        ++g.overlapPairs;
      }
    }
  // Polygon vertices lie on pixel centres, so the outlines can reach [0, W-1] × [0, H-1].
  const int w = evolver.shapes.empty() ? 0 : evolver.shapes.front()->getWidth();
  const int h = evolver.shapes.empty() ? 0 : evolver.shapes.front()->getHeight();
  g.uncovered = area(minus(box(0, 0, w - 1, h - 1), all));
  return g;
}

void printRow(const char* path, const char* kind, const char* step, const Geometry& g,
              const Geometry* before = nullptr) {
  std::fprintf(out, "%-6s %-14s %-8s shapes %3zu  overlap %9.2f px² (%3d pairs)  uncovered %8.1f px²"
                    "  lost %d",
               path, kind, step, g.shapes, g.overlap, g.overlapPairs, g.uncovered, g.lost);
  if (before) {
    int shrank = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < before->areas.size() && i < g.areas.size(); ++i) {
      const double loss = before->areas[i] - g.areas[i];
      if (loss > 1.0) ++shrank;
      worst = std::max(worst, loss);
    }
    std::fprintf(out, "  shrank >1px² %d (largest loss %.2f px²)", shrank, worst);
  }
  std::fprintf(out, "\n");
  std::fflush(out);
}

// The same random numbers for every run, so that the paths start from the same drawing.
void seedAlike() {
  unsigned short state[3] = {0x330e, 0xabcd, 0x1234};
  seed48(state);
  ZazizEvozuBase::s_zazizEvozuIndex = 0;
}

// A paint of the view: every shape not frozen recomputes its polygons under the mutex.
void paint(ZazizEvozuEvolver& evolver) {
  std::lock_guard<std::mutex> lock(evolver.mutex);
  for (const auto& s : evolver.shapes)
    if (!s->polygonsFrozen) s->updatePolygons();
}

// Waits for the worker's run to end while the view repaints every 150 ms (painting = true)
// or without any painting.
void waitForRun(ZazizEvozuEvolver& evolver, bool painting) {
  while (evolver.running() && !evolver.isRunComplete()) {
    if (painting) paint(evolver);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  if (painting) paint(evolver);
}

const std::string drawing = std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg";

// The window: Evolve checked for a full run, then Fill, Closer and Occupy pressed in turn;
// the view repaints throughout.
void windowPath(const char* kind) {
  seedAlike();
  ZazizEvozuEvolver evolver;
  evolver.loadSVG(drawing);
  printRow("window", kind, "Load", measure(evolver));
  evolver.start();  // Evolve checked
  waitForRun(evolver, true);
  printRow("window", kind, "Evolve", measure(evolver));
  evolver.fillCommand(ZazizEvozuEvolver::WorkerAfter::Resumed);  // Evolve is still checked
  waitForRun(evolver, true);
  printRow("window", kind, "Fill", measure(evolver));
  evolver.stop();  // Closer unchecks Evolve
  evolver.closerCommand();
  paint(evolver);
  const Geometry closer = measure(evolver);
  printRow("window", kind, "Closer", closer);
  evolver.stop();
  evolver.occupyCommand();
  paint(evolver);
  printRow("window", kind, "Occupy", measure(evolver), &closer);
}

void evolveRun(ZazizEvozuEvolver& evolver) {
  evolver.start();
  waitForRun(evolver, false);
  evolver.stop();
}

// glimshape-batch -n 1 --passes 150 --fill --occupy: a first load checks the drawing, then
// the iteration's own; nothing paints.
void batchPath(const char* kind) {
  seedAlike();
  ZazizEvozuEvolver{}.loadSVG(drawing);
  ZazizEvozuBase::s_zazizEvozuIndex = 0;
  ZazizEvozuEvolver evolver;
  evolver.loadSVG(drawing);
  evolveRun(evolver);
  printRow("batch", kind, "Evolve", measure(evolver));
  evolver.fillCommand(ZazizEvozuEvolver::WorkerAfter::Stopped);
  evolveRun(evolver);
  const Geometry fill = measure(evolver);
  printRow("batch", kind, "Fill", fill);
  evolver.occupyCommand();
  printRow("batch", kind, "Occupy", measure(evolver), &fill);
}

// Two boxes whose facing outlines lie at x = 29.5 and 31.5 along rows 20 … 107, a third box
// beside them; the share of the gap's area the Closer command covers.
void gap(const char* kind) {
  seedAlike();
  ZazizEvozuEvolver evolver;
  evolver.setShapes({glimtest::boxShape(128, 128, 10, 20, 29, 107),
                     glimtest::boxShape(128, 128, 32, 20, 51, 107),
                     glimtest::boxShape(128, 128, 70, 30, 100, 60)});
  const Region strip = box(29.5, 20.0, 31.5, 107.0);
  auto open = [&] {
    Region taken;
    for (const auto& s : evolver.shapes) taken = plus(taken, drawn(*s));
    return area(minus(strip, taken));
  };
  const double before = open();
  evolver.closerCommand();
  const double after = open();
  std::fprintf(out, "gap    %-14s open %.2f px² before, %.2f px² after Closer: %.1f %% closed\n", kind,
               before, after, 100.0 * (1.0 - after / before));
  std::fflush(out);
}

// 400 small shapes on 128 × 128; the worker is stopped at random moments of its passes.
void stopLatency(const char* kind) {
  seedAlike();
  ZazizEvozuEvolver evolver;
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (int j = 0; j < 20; ++j)
    for (int i = 0; i < 20; ++i) {
      const double cx = 3.2 + 6.4 * i, cy = 3.2 + 6.4 * j;
      shapes.push_back(ZazizEvozuBase::create(Polygon(), glimtest::maskOf(128, 128, [=](int x, int y) {
        return std::hypot(x - cx, y - cy) <= 2.0;
      })));
    }
  evolver.setShapes(shapes);
  evolver.updateMask(-1);
  evolver.iterations = 1000000;
  double longest = 0.0, total = 0.0;
  const int stops = 8;
  evolver.start();
  for (int k = 0; k < stops; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200 + std::rand() % 1800));
    const auto t0 = std::chrono::steady_clock::now();
    evolver.stop();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    longest = std::max(longest, s);
    total += s;
    evolver.resume();
  }
  evolver.stop();
  // A stop noticed only between passes waited up to a whole pass.
  const auto t0 = std::chrono::steady_clock::now();
  evolver.evolvePass();
  const double pass = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(out, "stop   %-14s 400 shapes: longest stop() %.3f s, mean %.3f s over %d stops;"
                    " one pass %.2f s\n", kind, longest, total / stops, stops, pass);
  std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
  // The libraries print progress lines and warnings on both streams; the table goes to a
  // copy of standard output.
  out = fdopen(dup(1), "w");
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  setProgressLines(false);
  ::mkdir("temp", 0755);
  std::vector<std::string> what(argv + 1, argv + argc);
  if (what.empty()) what = {"geometry", "gap", "stop"};
  for (const std::string& w : what)
    for (const char* kind : kinds) {
      // KIND=<level-set kind> measures that kind alone.
      if (std::getenv("KIND") && std::string(std::getenv("KIND")) != kind) continue;
      GlimShapeSettings::instance().levelSetType = kind;
      if (w == "geometry") {
        windowPath(kind);
        batchPath(kind);
      } else if (w == "gap") {
        gap(kind);
      } else if (w == "stop") {
        stopLatency(kind);
      }
    }
  return 0;
}
