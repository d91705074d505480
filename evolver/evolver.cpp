// glimshape — evolver
// Purpose: the evolver's worker thread, the free-space mask rebuild, the whole-list
// operations, drawing, picking and the text form.
#include "evolver/evolver.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

#include "lomvet/progress.h"

namespace {

// Far from every shape: the obstacle grid's value before any shape is marked.
constexpr double farAway = 1e10;

// A double truncated toward zero into an int, saturating at the ends of the range (NaN
// gives INT_MIN), so that no input makes the conversion undefined.
int truncateToInt(double v) {
  if (std::isnan(v)) return INT_MIN;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

// Steps a shape makes per pass: its speed truncated, and 0 for anything below 1.
int stepCount(double speed) {
  if (!(speed >= 1.0)) return 0;
  return truncateToInt(speed);
}

}  // namespace

ZazizEvozuEvolver::ZazizEvozuEvolver() : obstacleGrid(1, 1) {}

ZazizEvozuEvolver::~ZazizEvozuEvolver() { stop(); }

void ZazizEvozuEvolver::start() {
  std::lock_guard<std::mutex> lock(workerMutex);
  runFlag.store(false);
  if (worker.joinable()) worker.join();
  passCount.store(0);
  runComplete.store(false);
  runPass = 0;
  runShape = 0;
  runInterrupted = false;
  runFinishedAtStop = false;
  invalidateObstacles();
  // Set before the thread exists, so its first check cannot read it as cleared.
  runFlag.store(true);
  worker = std::thread(s_moveShapes, this);
}

void ZazizEvozuEvolver::stop() {
  std::lock_guard<std::mutex> lock(workerMutex);
  const bool held = runFlag.exchange(false);
  if (worker.joinable()) worker.join();
  if (held) runFinishedAtStop = runComplete.load() && !runInterrupted;
}

bool ZazizEvozuEvolver::resume() {
  std::lock_guard<std::mutex> lock(workerMutex);
  // The flag is cleared only here under the lock, by stop and start, which join the worker
  // before they let go: while it is clear no worker writes the run's position.
  if (runFlag.load()) return false;
  if (runFinishedAtStop) {
    // Nothing to go on with: the finished run is held again, as it was before the stop.
    runFinishedAtStop = false;
    runFlag.store(true);
    return false;
  }
  if (!runInterrupted) return false;
  if (worker.joinable()) worker.join();
  runInterrupted = false;
  runComplete.store(false);
  // Whatever the caller did between the stop and now is taken in whole.
  invalidateObstacles();
  runFlag.store(true);
  worker = std::thread(s_moveShapes, this);
  return true;
}

bool ZazizEvozuEvolver::running() const { return runFlag.load(); }

int ZazizEvozuEvolver::getPassCount() const { return passCount.load(); }

bool ZazizEvozuEvolver::isRunComplete() const { return runComplete.load(); }

void* ZazizEvozuEvolver::s_moveShapes(void* evolver) {
  std::fputs("Created thread.\n", stderr);
  static_cast<ZazizEvozuEvolver*>(evolver)->moveShapes();
  return nullptr;
}

void ZazizEvozuEvolver::moveShapes() {
  int pass = runPass;
  std::size_t i = runShape;
  for (;;) {
    // The bound is read again for every pass.
    if (pass >= iterations) {
      runComplete.store(true);
      return;
    }
    // The list's size is read again after every step. The stop request is looked at before
    // every step, so that a stop (which every canvas command begins with) waits for one
    // shape step rather than the rest of a pass.
    for (;; ++i) {
      if (!runFlag.load()) {
        runPass = pass;
        runShape = i;
        runInterrupted = true;
        return;
      }
      if (!stepShape(i)) break;
      // Lets a paint waiting for the mutex in between steps.
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    passCount.store(pass + 1);
    ++pass;
    i = 0;
    PassHook hook;
    {
      std::lock_guard<std::mutex> lock(hookMutex);
      hook = passHook;
    }
    // Called with no lock held, so that it may read the shapes under `mutex` while the
    // GUI paints in between.
    if (hook) hook(pass, pass >= iterations || !runFlag.load());
  }
}

void ZazizEvozuEvolver::setPassHook(PassHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex);
  passHook = std::move(hook);
}

void ZazizEvozuEvolver::evolvePass() {
  for (std::size_t i = 0; stepShape(i); ++i) {
  }
}

bool ZazizEvozuEvolver::stepShape(std::size_t i) {
  std::lock_guard<std::mutex> lock(mutex);
  if (i >= shapes.size()) return false;
  ZazizEvozuBase& shape = *shapes[i];
  if (!useObstacleField) {
    updateMask(static_cast<int>(i));
    shape.move(mask, obstacleGrid, stepCount(shape.speed), 1);
    return true;
  }
  // The line of the whole-canvas rebuild this replaces, which progress readers know.
  if (progressLinesEnabled()) std::printf("initting mask.\n");
  obstacleField.update(shapes, static_cast<int>(i));
  shape.move(obstacleField.getMask(), obstacleField.getGrid(), stepCount(shape.speed), 1);
  return true;
}

void ZazizEvozuEvolver::invalidateObstacles() { obstacleField.invalidate(); }

void ZazizEvozuEvolver::updateMask(int exclude) {
  if (shapes.empty()) return;
  const int width = shapes.front()->getWidth();
  const int height = shapes.front()->getHeight();
  // The rebuild runs before every shape step; fresh canvas-sized buffers cost an allocation
  // and a zero fill each time, so the last ones are refilled when nobody else shares them.
  const bool reuse = reuseMaskBuffers && mask.getWidth() == width &&
                     mask.getHeight() == height && mask.nchannels == 1 && mask.refcount &&
                     mask.refcount->load() == 1 && obstacleGrid.getWidth() == width &&
                     obstacleGrid.getHeight() == height;
  if (reuse) {
    obstacleGrid.xSpace = 1.0;
    obstacleGrid.ySpace = 1.0;
  } else {
    mask = vorn::Image<unsigned char>(width, height, 1);
    obstacleGrid = FullLevelSet2D(width, height);
  }
  std::fill(obstacleGrid.values.begin(), obstacleGrid.values.end(), farAway);
  mask = 1;
  if (progressLinesEnabled()) std::printf("initting mask.\n");
  for (std::size_t i = 0; i < shapes.size(); ++i)
    if (static_cast<int>(i) != exclude) shapes[i]->markInsidePixels(mask, obstacleGrid);
  obstacleGrid.ensureSignedDistanceFMM();
}

void ZazizEvozuEvolver::reset() {
  std::lock_guard<std::mutex> lock(mutex);
  for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes) shape->reset();
  invalidateObstacles();
}

void ZazizEvozuEvolver::setPolygonFreeze(bool frozen) {
  std::lock_guard<std::mutex> lock(mutex);
  for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes) {
    // A shape's polygons are otherwise refreshed only when it is drawn: frozen unrefreshed,
    // they would keep an outline long gone, or none at all.
    if (frozen && !shape->polygonsFrozen) shape->updatePolygons();
    shape->polygonsFrozen = frozen;
  }
}

void ZazizEvozuEvolver::setShapes(std::vector<std::shared_ptr<ZazizEvozuBase>> newShapes) {
  stop();
  {
    // A run of the old drawing does not go on over the new one.
    std::lock_guard<std::mutex> lock(workerMutex);
    runInterrupted = false;
    runFinishedAtStop = false;
  }
  std::lock_guard<std::mutex> lock(mutex);
  shapes.swap(newShapes);
  invalidateObstacles();
}

bool ZazizEvozuEvolver::fillCommand(WorkerAfter after) {
  stop();
  fillHoles(30, 2);
  fillHoles(10, 1);
  fillHoles(5, 1);
  return after == WorkerAfter::Resumed && resume();
}

bool ZazizEvozuEvolver::resetCommand(WorkerAfter after) {
  stop();
  reset();
  return after == WorkerAfter::Resumed && resume();
}

void ZazizEvozuEvolver::closerCommand() {
  stop();
  setPolygonFreeze(true);
  moveExplicit();
  moveExplicit();
}

void ZazizEvozuEvolver::occupyCommand() {
  stop();
  setPolygonFreeze(true);
  occupySpace();
}

void ZazizEvozuEvolver::unfreezeCommand() { setPolygonFreeze(false); }

void ZazizEvozuEvolver::drawGL() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  std::lock_guard<std::mutex> lock(mutex);
  for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes) shape->drawGL();
}

int ZazizEvozuEvolver::hit(double x, double y) {
  std::lock_guard<std::mutex> lock(mutex);
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const ZazizEvozuBase& shape = *shapes[i];
    const int c = truncateToInt(shape.getWidth() * (x + 1.0) * 0.5);
    const int r = truncateToInt(shape.getHeight() * (y + 1.0) * 0.5);
    if (progressLinesEnabled()) std::printf("%d %d\n", c, r);
    if (shape.isInside(c, r)) return static_cast<int>(i);
  }
  return -1;
}

std::string ZazizEvozuEvolver::getSimpleTextRepresentation() {
  std::lock_guard<std::mutex> lock(mutex);
  if (shapes.empty()) return std::string();
  std::string text = "properties " + std::to_string(shapes.front()->getWidth()) + " " +
                     std::to_string(shapes.front()->getHeight()) + "\n";
  for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes)
    text += shape->getSimpleTextRepresentation() + "\n";
  return text;
}
