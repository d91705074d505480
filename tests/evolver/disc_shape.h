// glimshape — tests/evolver
// Purpose: DiscShape, a stand-in shape over a dense disc that records how the evolver
// drives it, for lifecycle, mask, picking and thread tests without the real kinds.
#ifndef TESTS_EVOLVER_DISC_SHAPE_H
#define TESTS_EVOLVER_DISC_SHAPE_H

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lomvet/levelset2d.h"
#include "shapes/zazizevozubase.h"

namespace glimtest {

/// @brief A shape whose level set is the exact signed distance to a disc, on a dense grid.
///
/// `move` records its step count and the thread it ran on, shrinks every value by
/// `growth` × steps (the disc grows) and may sleep, so that a pass takes a while. `drawGL`
/// reads every value, standing in for the real drawing's reads. Counters are atomic so
/// the test thread may read them while a worker runs.
class DiscShape : public ZazizEvozuBase {
 public:
  /// @param width, height canvas size (cells); @param cx, cy, radius the disc (pixels).
  DiscShape(int width, int height, double cx, double cy, double radius)
      : grid(width, height), start(width, height), id(nextId++) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        start(x, y) = std::hypot(x - cx, y - cy) - radius;
    grid = start;
    speed = 1.0;
  }

  vorn::Image<float> getTextureImage() override { return vorn::Image<float>(); }
  void updateStiffMask() override {}
  void drawPolygonsGL(unsigned int, const std::vector<vorn::Vec2<double>>&,
                      const std::vector<std::vector<int>>&) override {}
  void drawPointsGL() override {}
  void updatePolygons() override {}
  void subdividePolygons() override {}
  void fixStiffShape(double) override {}
  void drawGL() override {
    if (++activeDraws > 1 || activeMoves > 0) overlapped = true;
    double sum = 0.0;
    for (double v : grid.values) sum += v;
    drawSum = sum;
    ++draws;
    --activeDraws;
  }
  void drawCairo(cairo_t*) override {}
  void move(const vorn::Image<unsigned char>& mask, const FullLevelSet2D& obstacles, int steps,
            int reinitPeriod) override {
    if (++activeMoves > 1 || activeDraws > 0) overlapped = true;
    if (mask.getWidth() != getWidth() || mask.getHeight() != getHeight() ||
        obstacles.getWidth() != getWidth() || obstacles.getHeight() != getHeight())
      badCanvas = true;
    sequence().push(id);
    {
      std::lock_guard<std::mutex> lock(logMutex);
      stepLog.push_back(steps);
      threadLog.push_back(std::this_thread::get_id());
    }
    for (double& v : grid.values) v -= growth * steps;
    if (moveSleep.count() > 0) std::this_thread::sleep_for(moveSleep);
    ++moves;
    --activeMoves;
  }
  int getWidth() const override { return grid.getWidth(); }
  int getHeight() const override { return grid.getHeight(); }
  vorn::Image<unsigned char> getBinaryImage() override {
    vorn::Image<unsigned char> out(getWidth(), getHeight(), 1);
    for (int y = 0; y < getHeight(); ++y)
      for (int x = 0; x < getWidth(); ++x) out(x, y, 0) = grid.get(x, y) <= 0.0 ? 255 : 0;
    return out;
  }
  double get(int x, int y) const override { return grid.get(x, y); }
  bool have(int x, int y) const override { return grid.have(x, y); }
  void reset() override {
    grid = start;
    polygonsFrozen = false;
    selected = false;
    ++resets;
  }
  void markInsidePixels(vorn::Image<unsigned char>& mask, FullLevelSet2D& obstacles) override {
    for (int y = 0; y < getHeight(); ++y)
      for (int x = 0; x < getWidth(); ++x) {
        const double v = grid.get(x, y);
        if (v < markedBelow) obstacles(x, y) = std::min(obstacles(x, y), v);
        if (v < 0.0) mask(x, y, 0) = 0;
      }
  }

  /// Step counts and threads of every `move`, in call order.
  std::vector<int> steps() const {
    std::lock_guard<std::mutex> lock(logMutex);
    return stepLog;
  }
  std::vector<std::thread::id> threads() const {
    std::lock_guard<std::mutex> lock(logMutex);
    return threadLog;
  }

  /// The ids of all DiscShapes' moves, in the order they happened.
  class Sequence {
   public:
    void push(int id) {
      std::lock_guard<std::mutex> lock(m);
      ids.push_back(id);
    }
    std::vector<int> get() const {
      std::lock_guard<std::mutex> lock(m);
      return ids;
    }
    void clear() {
      std::lock_guard<std::mutex> lock(m);
      ids.clear();
    }

   private:
    mutable std::mutex m;
    std::vector<int> ids;
  };
  static Sequence& sequence() {
    static Sequence s;
    return s;
  }

  FullLevelSet2D grid;
  FullLevelSet2D start;
  /// Distinct for every DiscShape made in the process.
  const int id;
  /// Value decrease per step (pixels).
  double growth = 0.0;
  /// Time each `move` sleeps, so that a pass is slow enough to be caught in the middle.
  std::chrono::microseconds moveSleep{0};
  std::atomic<int> moves{0};
  std::atomic<int> draws{0};
  std::atomic<int> resets{0};
  std::atomic<bool> badCanvas{false};
  /// Moves and draws in progress over all DiscShapes; set when two ever overlap.
  static inline std::atomic<int> activeMoves{0};
  static inline std::atomic<int> activeDraws{0};
  static inline std::atomic<bool> overlapped{false};
  static inline std::atomic<int> nextId{0};
  double drawSum = 0.0;

 private:
  mutable std::mutex logMutex;
  std::vector<int> stepLog;
  std::vector<std::thread::id> threadLog;
};

}  // namespace glimtest

#endif
