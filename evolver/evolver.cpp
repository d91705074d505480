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
  invalidateObstacles();
  // Set before the thread exists, so its first check cannot read it as cleared.
  runFlag.store(true);
  worker = std::thread(s_moveShapes, this);
}

void ZazizEvozuEvolver::stop() {
  std::lock_guard<std::mutex> lock(workerMutex);
  runFlag.store(false);
  if (worker.joinable()) worker.join();
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
  int bound = iterations;
  if (!runFlag.load()) return;
  if (bound <= 0) {
    runComplete.store(true);
    return;
  }
  for (int pass = 0;; ++pass) {
    // The list's size is read again after every step.
    for (std::size_t i = 0; stepShape(i); ++i) {
      // Lets a paint waiting for the mutex in between steps.
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    passCount.store(pass + 1);
    bound = iterations;
    if (pass + 1 >= bound) {
      runComplete.store(true);
      return;
    }
    if (!runFlag.load()) return;
  }
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
  for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes) shape->polygonsFrozen = frozen;
}

void ZazizEvozuEvolver::setShapes(std::vector<std::shared_ptr<ZazizEvozuBase>> newShapes) {
  stop();
  std::lock_guard<std::mutex> lock(mutex);
  shapes.swap(newShapes);
  invalidateObstacles();
}

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
    if (shape.have(c, r) && shape.get(c, r) < 0.0) return static_cast<int>(i);
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
