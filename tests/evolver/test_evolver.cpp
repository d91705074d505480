// glimshape — tests/evolver
// Purpose: tests of ZazizEvozuEvolver: worker lifecycle, mask rebuild, picking, text form,
// whole-list operations and threads, driven through stand-in disc shapes.
#include "evolver/evolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "evolver/disc_shape.h"
#include "lomvet/progress.h"

namespace {

using glimtest::DiscShape;

constexpr int W = 48;
constexpr int H = 40;

std::shared_ptr<DiscShape> disc(double cx, double cy, double r, int w = W, int h = H) {
  return std::make_shared<DiscShape>(w, h, cx, cy, r);
}

template <class... S>
std::vector<std::shared_ptr<ZazizEvozuBase>> list(const S&... s) {
  return {s...};
}

// Polls until the condition holds; gives up after two minutes so that a broken worker
// fails the test instead of hanging it.
template <class Pred>
bool waitFor(Pred pred) {
  for (int i = 0; i < 120000; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return pred();
}

// World coordinate whose pixel (under hit's mapping) is column c of a canvas n wide.
double world(int c, int n) { return (c + 0.5) * 2.0 / n - 1.0; }

class Evolver : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgressLines(false);
    DiscShape::overlapped = false;
  }
  void TearDown() override {
    setProgressLines(true);
    EXPECT_FALSE(DiscShape::overlapped) << "two moves or a move and a draw overlapped";
  }
};

TEST_F(Evolver, StartsEmptyWithItsInitialState) {
  ZazizEvozuEvolver e;
  EXPECT_TRUE(e.shapes.empty());
  ASSERT_EQ(e.obstacleGrid.getWidth(), 1);
  ASSERT_EQ(e.obstacleGrid.getHeight(), 1);
  EXPECT_EQ(e.obstacleGrid.get(0, 0), 0.0);
  EXPECT_EQ(e.obstacleGrid.getXSpace(), 1.0);
  EXPECT_EQ(e.mask.getWidth(), 0);
  EXPECT_EQ(e.mask.getHeight(), 0);
  EXPECT_EQ(e.iterations, 150);
  EXPECT_FALSE(e.running());
  EXPECT_EQ(e.getPassCount(), 0);
  EXPECT_FALSE(e.isRunComplete());
}

TEST_F(Evolver, WorkerWithoutShapesAnnouncesItselfAndEnds) {
  ZazizEvozuEvolver e;
  testing::internal::CaptureStderr();
  e.start();
  ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
  e.stop();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Created thread.\n");
  EXPECT_EQ(e.getPassCount(), 150);
}

TEST_F(Evolver, StopWithoutWorkerAndTwiceIsHarmless) {
  ZazizEvozuEvolver e;
  e.stop();
  e.stop();
  EXPECT_FALSE(e.running());
  auto a = disc(10, 10, 4);
  e.setShapes(list(a));
  e.iterations = 1000000;
  testing::internal::CaptureStderr();
  e.start();
  ASSERT_TRUE(waitFor([&] { return a->moves >= 2; }));
  e.stop();
  e.stop();
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(e.running());
  EXPECT_FALSE(e.isRunComplete());
  const int moved = a->moves;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(a->moves, moved) << "the worker went on after stop";
}

// A run that ends by itself leaves running() true; each shape moved once per pass; a stop
// and a start (Evolve off and on) make a new run of the same length.
TEST_F(Evolver, RunEndsByItselfAndAFreshStartRunsAgain) {
  ZazizEvozuEvolver e;
  auto a = disc(10, 10, 4), b = disc(30, 20, 5), c = disc(40, 32, 3);
  e.setShapes(list(a, b, c));
  e.iterations = 4;
  testing::internal::CaptureStderr();
  e.start();
  ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
  EXPECT_TRUE(e.running());
  EXPECT_EQ(e.getPassCount(), 4);
  EXPECT_EQ(a->moves, 4);
  EXPECT_EQ(b->moves, 4);
  EXPECT_EQ(c->moves, 4);
  e.stop();
  EXPECT_FALSE(e.running());
  e.start();
  EXPECT_TRUE(e.running());
  ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
  e.stop();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Created thread.\nCreated thread.\n");
  EXPECT_EQ(a->moves, 8);
  EXPECT_EQ(c->moves, 8);
  EXPECT_FALSE(a->badCanvas);
}

// A stop (or a start) waits for the shape step under way, not for the rest of the pass.
// Resuming goes on at the next shape with the pass count kept; a finished run is not resumed.
TEST_F(Evolver, StopWaitsForOneStepAndResumeGoesOnWithThePass) {
  ZazizEvozuEvolver e;
  std::vector<std::shared_ptr<ZazizEvozuBase>> all;
  std::vector<int> twoPasses(16);
  for (int i = 0; i < 8; ++i) {
    auto s = disc(3 + 6 * i, 20, 2);
    s->moveSleep = std::chrono::milliseconds(i == 2 ? 500 : 1);
    all.push_back(s);
    twoPasses[i] = twoPasses[i + 8] = s->id;
  }
  e.setShapes(all);
  e.iterations = 2;
  EXPECT_FALSE(e.resume());
  DiscShape::sequence().clear();
  auto moves = [] { return DiscShape::sequence().get().size(); };
  testing::internal::CaptureStderr();
  e.start();
  ASSERT_TRUE(waitFor([&] { return moves() >= 3; }));  // shape 2's long step is under way
  e.stop();  // (one step more only if this thread was held up for all of that step)
  EXPECT_LE(moves(), 4u);
  EXPECT_TRUE(e.resume());
  ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
  EXPECT_EQ(e.getPassCount(), 2);
  EXPECT_EQ(DiscShape::sequence().get(), twoPasses);
  e.stop();
  EXPECT_FALSE(e.resume());
  EXPECT_TRUE(e.running() && e.isRunComplete()) << "the finished run is not held again";
  e.iterations = 1000000;
  e.start();
  ASSERT_TRUE(waitFor([&] { return moves() >= 19; }));
  e.start();
  EXPECT_LE(moves(), 20u);
  e.stop();
  testing::internal::GetCapturedStderr();
}

TEST_F(Evolver, SpeedIsTruncatedAndBelowOneMakesNoSteps) {
  ZazizEvozuEvolver e;
  const double speeds[] = {0.99, 0.0, -2.5, std::numeric_limits<double>::quiet_NaN(),
                           1.0,  2.99, 7.5, 1e300};
  const int expected[] = {0, 0, 0, 0, 1, 2, 7, std::numeric_limits<int>::max()};
  std::vector<std::shared_ptr<DiscShape>> d;
  std::vector<std::shared_ptr<ZazizEvozuBase>> all;
  for (double s : speeds) {
    d.push_back(disc(24, 20, 3));
    d.back()->speed = s;
    all.push_back(d.back());
  }
  e.setShapes(all);
  e.iterations = 2;
  testing::internal::CaptureStderr();
  e.start();
  ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
  e.stop();
  testing::internal::GetCapturedStderr();
  for (std::size_t i = 0; i < d.size(); ++i)
    EXPECT_EQ(d[i]->steps(), std::vector<int>(2, expected[i])) << "speed " << speeds[i];
}

TEST_F(Evolver, NoPassesWhenIterationsIsNotPositive) {
  for (int iterations : {0, -3}) {
    ZazizEvozuEvolver e;
    auto a = disc(10, 10, 4);
    e.setShapes(list(a));
    e.iterations = iterations;
    testing::internal::CaptureStderr();
    e.start();
    ASSERT_TRUE(waitFor([&] { return e.isRunComplete(); }));
    e.stop();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(a->moves, 0);
    EXPECT_EQ(e.getPassCount(), 0);
  }
}

// The destructor and setShapes stop the worker: afterwards the old shapes are never
// moved again (they outlive the evolver through the test's pointers).
TEST_F(Evolver, DestructorAndSetShapesStopTheWorker) {
  auto a = disc(10, 10, 4);
  testing::internal::CaptureStderr();
  {
    ZazizEvozuEvolver e;
    e.setShapes(list(a));
    e.iterations = 1000000;
    e.start();
    ASSERT_TRUE(waitFor([&] { return a->moves >= 3; }));
  }
  int moved = a->moves;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(a->moves, moved);

  ZazizEvozuEvolver e;
  auto b = disc(10, 10, 4), c = disc(30, 30, 4);
  e.setShapes(list(b));
  e.iterations = 1000000;
  e.start();
  ASSERT_TRUE(waitFor([&] { return b->moves >= 3; }));
  e.setShapes(list(c));
  EXPECT_FALSE(e.running());
  moved = b->moves;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(b->moves, moved);
  EXPECT_EQ(c->moves, 0);
  ASSERT_EQ(e.shapes.size(), 1u);
  EXPECT_EQ(e.shapes[0], c);
  testing::internal::GetCapturedStderr();
}

TEST_F(Evolver, MaskRebuildWithoutShapesChangesNothing) {
  ZazizEvozuEvolver e;
  setProgressLines(true);
  testing::internal::CaptureStdout();
  e.updateMask(-1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(e.obstacleGrid.getWidth(), 1);
  EXPECT_EQ(e.obstacleGrid.get(0, 0), 0.0);
  EXPECT_EQ(e.mask.getWidth(), 0);
}

TEST_F(Evolver, MaskRebuildOfASingleExcludedShapeIsAllFree) {
  ZazizEvozuEvolver e;
  e.setShapes(list(disc(20, 20, 6)));
  e.updateMask(0);
  ASSERT_EQ(e.mask.getWidth(), W);
  ASSERT_EQ(e.mask.getHeight(), H);
  ASSERT_EQ(e.obstacleGrid.getWidth(), W);
  ASSERT_EQ(e.obstacleGrid.getHeight(), H);
  EXPECT_EQ(e.obstacleGrid.getXSpace(), 1.0);
  EXPECT_EQ(e.obstacleGrid.getYSpace(), 1.0);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      ASSERT_EQ(e.mask(x, y, 0), 1) << x << "," << y;
      ASSERT_EQ(e.obstacleGrid.get(x, y), 1e10) << x << "," << y;
    }
}

// Two shapes, the first excluded: the mask and the grid describe the second alone. Its
// cells just outside are marked too, so near it the grid (rebuilt, and the worker's
// record) is the distance to its circle within the chords' sag, not to its inside cells.
TEST_F(Evolver, MaskRebuildMarksTheOtherShapesAndDistancesToThem) {
  ZazizEvozuEvolver e;
  auto a = disc(12, 12, 6), b = disc(31, 23, 7.3);
  e.setShapes(list(a, b));
  e.updateMask(0);
  e.obstacleField.update(e.shapes, 0);
  const FullLevelSet2D* grids[] = {&e.obstacleGrid, &e.obstacleField.getGrid()};
  for (const FullLevelSet2D* grid : grids)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const double exact = std::hypot(x - 31, y - 23) - 7.3, g = grid->get(x, y);
        ASSERT_EQ(e.mask(x, y, 0), exact < 0.0 ? 0 : 1) << x << "," << y;
        ASSERT_EQ(g < 0.0, exact < 0.0) << x << "," << y;
        ASSERT_TRUE(std::fabs(exact) >= 3.0 || std::fabs(g - exact) < 0.03) << x << "," << y;
      }

  e.updateMask(-1);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool in = a->get(x, y) < 0.0 || b->get(x, y) < 0.0;
      ASSERT_EQ(e.mask(x, y, 0), in ? 0 : 1) << x << "," << y;
      ASSERT_EQ(e.obstacleGrid.get(x, y) < 0.0, in) << x << "," << y;
    }
}

TEST_F(Evolver, MaskRebuildPrintsItsLineOnlyWhileProgressLinesAreOn) {
  ZazizEvozuEvolver e;
  e.setShapes(list(disc(20, 20, 6), disc(35, 25, 4)));
  setProgressLines(true);
  testing::internal::CaptureStdout();
  e.updateMask(1);
  e.updateMask(-1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "initting mask.\ninitting mask.\n");
  setProgressLines(false);
  testing::internal::CaptureStdout();
  e.updateMask(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(Evolver, HitTakesTheFirstShapeInListOrder) {
  ZazizEvozuEvolver e;
  setProgressLines(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(e.hit(0.0, 0.0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no shapes, nothing printed";

  auto big = disc(20, 20, 10), small = disc(24, 20, 3), far = disc(40, 8, 3);
  e.setShapes(list(big, small, far));
  setProgressLines(false);
  EXPECT_EQ(e.hit(world(24, W), world(20, H)), 0);
  EXPECT_EQ(e.hit(world(40, W), world(8, H)), 2);
  EXPECT_EQ(e.hit(world(2, W), world(37, H)), -1);
  e.setShapes(list(small, big, far));
  EXPECT_EQ(e.hit(world(24, W), world(20, H)), 0);
  EXPECT_EQ(e.hit(world(14, W), world(20, H)), 1);

  // One line per shape tested, the pixel under world (0, 0) being (W/2, H/2) truncated.
  ZazizEvozuEvolver odd;
  odd.setShapes(list(disc(5, 5, 3, 49, 41), disc(24, 20, 4, 49, 41)));
  setProgressLines(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(odd.hit(0.0, 0.0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "24 20\n24 20\n");
}

// Beyond the canvas a dense grid reads mirrored values (negative here, as the disc sits in
// the corner), yet it stores nothing there, so the shape is not hit.
TEST_F(Evolver, HitOutsideTheCanvasSkipsShapesThatStoreNothingThere) {
  ZazizEvozuEvolver e;
  auto corner = disc(0, 0, 6);
  e.setShapes(list(corner));
  ASSERT_LT(corner->get(-2, -2), 0.0);
  ASSERT_FALSE(corner->have(-2, -2));
  setProgressLines(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(e.hit(-1.1, -1.1), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "-2 -2\n");
  setProgressLines(false);
  EXPECT_EQ(e.hit(world(1, W), world(1, H)), 0);
  EXPECT_EQ(e.hit(std::numeric_limits<double>::quiet_NaN(), 0.0), -1);
  EXPECT_EQ(e.hit(1e300, -1e300), -1);
}

TEST_F(Evolver, TextFormIsThePropertiesLineAndOneLinePerShape) {
  ZazizEvozuEvolver e;
  EXPECT_EQ(e.getSimpleTextRepresentation(), "");
  auto a = disc(10, 10, 4), b = disc(30, 20, 5);
  a->points = {{0, 0}, {10, 0}, {0, 10}};
  a->polygons = {{0, 1, 2}};
  a->fillColor[0] = 1.0f;
  e.setShapes(list(a, b));
  const std::string ta = a->getSimpleTextRepresentation();
  const std::string tb = b->getSimpleTextRepresentation();
  ASSERT_EQ(ta.rfind("poly 3 0 2 0 0 2 0 ", 0), 0u) << ta;
  EXPECT_EQ(e.getSimpleTextRepresentation(),
            "properties " + std::to_string(W) + " " + std::to_string(H) + "\n" + ta + "\n" +
                tb + "\n");
}

TEST_F(Evolver, ResetAndFreezeReachEveryShape) {
  ZazizEvozuEvolver e;
  auto a = disc(10, 10, 4), b = disc(30, 20, 5);
  e.setShapes(list(a, b));
  e.setPolygonFreeze(true);
  EXPECT_TRUE(a->polygonsFrozen && b->polygonsFrozen);
  a->grid(10, 10) = 99.0;
  a->selected = true;
  e.reset();
  EXPECT_EQ(a->resets, 1);
  EXPECT_EQ(b->resets, 1);
  EXPECT_EQ(a->get(10, 10), -4.0);
  EXPECT_FALSE(a->polygonsFrozen || b->polygonsFrozen || a->selected);
  e.setPolygonFreeze(true);
  e.setPolygonFreeze(false);
  EXPECT_FALSE(a->polygonsFrozen || b->polygonsFrozen);
}

// Starts, stops, list swaps and resets from one thread; painting (the view's drawing under
// the mutex), freezing, picking, the text form and the pass counter from another, while a
// worker runs. Nothing may overlap a shape step; under ThreadSanitizer nothing may race.
TEST_F(Evolver, StressFromTwoThreadsWhileTheWorkerRuns) {
  ZazizEvozuEvolver e;
  std::vector<std::shared_ptr<DiscShape>> d;
  for (int i = 0; i < 4; ++i) {
    d.push_back(disc(6 + 11 * i, 8 + 8 * i, 4));
    d.back()->growth = 1e-4;
  }
  e.setShapes(list(d[0], d[1], d[2], d[3]));
  e.iterations = 1000000;
  std::atomic<bool> done{false};
  // Standard error is left alone (each worker writes its "Created thread." line there), so
  // that a ThreadSanitizer report shows in the test's output.

  std::thread control([&] {
    for (int round = 0; round < 200; ++round) {
      e.start();
      std::this_thread::sleep_for(std::chrono::microseconds(300 * (round % 5)));
      if (round % 3 == 0) e.stop();
      if (round % 10 == 5) e.setShapes(list(d[3], d[2], d[1], d[0]));
      if (round % 10 == 9) e.setShapes(list(d[0], d[1], d[2], d[3]));
      if (round % 7 == 0) e.reset();
    }
    e.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    done = true;
  });
  std::thread view([&] {
    bool frozen = false;
    int lastPass = 0;
    while (!done) {
      {
        std::lock_guard<std::mutex> lock(e.mutex);
        for (const auto& s : e.shapes) s->drawGL();
      }
      frozen = !frozen;
      e.setPolygonFreeze(frozen);
      e.hit(world(6, W), world(8, H));
      e.getSimpleTextRepresentation();
      lastPass = e.getPassCount() + (e.running() ? 0 : 1) + (e.isRunComplete() ? 1 : 0);
      std::this_thread::yield();
    }
    EXPECT_GE(lastPass, 0);
  });
  control.join();
  view.join();
  e.stop();
  int moves = 0, draws = 0;
  for (const auto& s : d) {
    moves += s->moves;
    draws += s->draws;
    EXPECT_FALSE(s->badCanvas);
  }
  EXPECT_GT(moves, 0);
  EXPECT_GT(draws, 0);
}

}  // namespace
