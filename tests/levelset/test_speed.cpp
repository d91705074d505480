// glimshape — tests/levelset
// Purpose: speed kernels by hand, binding, the update steps of the three kinds and their agreement.
#include "levelset/speed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/levelset_shapes.h"

namespace {

using glimtest::denseFrom;
using glimtest::discMask;

constexpr double kPi = 3.14159265358979323846;

FullLevelSet constant(double v) {
  return denseFrom<FullLevelSet>(8, 8, [v](int, int) { return v; });
}

// A stiffness cache over an in-memory image (the window covers it all, so no file is read).
CachedImage stiffnessOf(float value, int channels = 1) {
  vorn::Image<float> im(8, 8, channels);
  if (channels > 0) im = double(value);
  return CachedImage("unused.rfi", 3, im);
}

// `move` at one cell of constant grids: phi, phi0, psi, stiffness k, sample s.
double originalAt(double phi, double phi0, double psi, double k, float s, double* step) {
  FullLevelSet ls = constant(phi), initial = constant(phi0);
  FullLevelSet2D obstacles = constant(psi);
  const CachedImage stiff = stiffnessOf(s);
  return move<FullLevelSet, CachedImage>(nullptr, &obstacles, &initial, &stiff, k, &ls, 3, 4,
                                         step);
}

TEST(SmoothStep, ValuesAndDerivative) {
  EXPECT_EQ(smoothStep(-3.0), 1.0);
  EXPECT_EQ(smoothStep(-100.0), 1.0);
  EXPECT_EQ(smoothStep(3.0), 0.0);
  EXPECT_NEAR(smoothStep(0.0), 0.5, 1e-15);
  // (1 - sin(pi/12)) / 2 at t = 0.5.
  EXPECT_NEAR(smoothStep(0.5), (1.0 - 0.25881904510252074) / 2.0, 1e-15);
  EXPECT_EQ(smoothStepDerivative(-3.0), 0.0);
  EXPECT_EQ(smoothStepDerivative(3.0), 0.0);
  EXPECT_NEAR(smoothStepDerivative(0.0), -0.5 * 0.5235987755982988, 1e-15);
  for (double t = -2.9; t < 2.9; t += 0.37) {
    const double h = 1e-6;
    EXPECT_NEAR(smoothStepDerivative(t), (smoothStep(t + h) - smoothStep(t - h)) / (2 * h), 1e-8)
        << t;
    EXPECT_LE(smoothStepDerivative(t), 0.0);
  }
}

TEST(SpeedKernels, UnstoredCellHasNoSpeed) {
  vorn::Image<unsigned char> mask(40, 40, 1);
  mask = 0;
  std::unique_ptr<RectLevelSet> ls(createLevelSetFromImage<RectLevelSet>(mask));
  const FullLevelSet2D obstacles = constant(5.0);
  const CachedImage stiff = stiffnessOf(0.5f);
  ASSERT_FALSE(ls->have(0, 0));
  double step = 0;
  EXPECT_EQ((move<RectLevelSet, CachedImage>(nullptr, &obstacles, ls.get(), &stiff, 0.2,
                                             ls.get(), 0, 0, &step)),
            0.0);
  EXPECT_EQ(step, 1.25);
  EXPECT_EQ((move_speed_based<RectLevelSet, CachedImage>(nullptr, &obstacles, ls.get(), &stiff,
                                                         0.2, ls.get(), 0, 0, &step)),
            0.0);
  EXPECT_EQ(step, 0.25);

  SparseLevelSet2D sparse(10, 10);
  ASSERT_FALSE(sparse.have(4, 4));
  EXPECT_EQ((move<SparseLevelSet2D, CachedImage>(nullptr, &obstacles, &sparse, &stiff, 0.2,
                                                 &sparse, 4, 4, &step)),
            0.0);
  EXPECT_EQ(step, 1.25);
}

TEST(SpeedKernels, OriginalByHand) {
  double step = 0;
  // phi = phi0 far from the outline and from other shapes: nothing moves.
  EXPECT_EQ(originalAt(4.0, 4.0, 3.0, 0.2, 0.7f, &step), 0.0);
  EXPECT_EQ(step, 1.25);
  EXPECT_EQ(originalAt(3.0, 3.0, 1e10, 0.3, 0.1f, &step), 0.0);

  // Far from the outline only the pull towards phi0 acts: d = 2, -2 k s d / sqrt(4.5).
  EXPECT_NEAR(originalAt(6.0, 4.0, 10.0, 0.2, 0.5f, &step), -2 * 0.2 * 0.5 * 2 / std::sqrt(4.5),
              1e-15);

  // Near the outline: phi = 0.5, phi0 = -0.5 (d = 1), psi = 2, k = 0.2, s = 0.5.
  const double hPhi = (1 - 0.25881904510252074) / 2;  // sin(pi/12)
  const double hPsi = (1 - 0.8660254037844386) / 2;   // sin(pi/3)
  const double dhPhi = 0.9659258262890683 * -0.5 * kPi / 6;  // cos(pi/12)
  const double p = std::pow(2.0, 0.05);
  const double expected = -2 * 0.2 * 0.5 * 1 / std::sqrt(1.5) + dhPhi * 2 * p * (hPhi - hPsi);
  EXPECT_NEAR(originalAt(0.5, -0.5, 2.0, 0.2, 0.5f, &step), expected, 1e-14);
  // Deeper inside the others than in this shape: the outline is pushed inward (speed > 0).
  EXPECT_GT(originalAt(0.5, 0.5, -2.0, 0.2, 0.5f, &step), 0.0);
  // psi below 1 counts as 1 in the power: p = 1.
  const double hPsiNeg = (1 - std::sin(kPi * 1.0 / 6 - kPi / 2)) / 2;
  EXPECT_NEAR(originalAt(0.5, 0.5, -2.0, 0.2, 0.5f, &step), dhPhi * 2 * (hPhi - hPsiNeg), 1e-15);
}

// Where H′(φ) is 0 the kernel leaves the obstacle term out and does not read ψ: the result
// is the pull alone, to the bit (a zero pull, φ = φ0, gives −0), whatever ψ holds, NaN and
// infinities included.
TEST(SpeedKernels, OriginalFarFromTheOutlineIsThePullAlone) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int negativeZeros = 0;
  for (double phi : {-1e10, -4.0, -3.0, 3.0, 4.0, 1e10})
    for (double d : {0.0, 0.75})
      for (double psi : {-inf, -5.0, -0.5, 0.0, 2.5, 2.999, 3.0, 7.0, 1e10, inf, nan}) {
        const double phi0 = phi - d, dd = phi - phi0, k = 0.3;
        const float sample = 0.6f;
        const double expected =
            -2.0 * k * static_cast<double>(sample) * dd / std::sqrt(dd * dd + 0.5);
        const double got = originalAt(phi, phi0, psi, k, sample, nullptr);
        EXPECT_TRUE(got == expected && std::signbit(got) == std::signbit(expected))
            << phi << " " << d << " " << psi << ": " << got << " vs " << expected;
        negativeZeros += got == 0.0 && std::signbit(got);
      }
  EXPECT_GT(negativeZeros, 0) << "no case reached the sign of zero";
}

TEST(SpeedKernels, OriginalNegativeOrMissingSampleCountsAsOne) {
  double step = 0;
  const double one = originalAt(0.5, -1.0, 2.0, 0.25, 1.0f, &step);
  EXPECT_EQ(originalAt(0.5, -1.0, 2.0, 0.25, -0.7f, &step), one);
  EXPECT_EQ(originalAt(0.5, -1.0, 2.0, 0.25, std::numeric_limits<float>::quiet_NaN(), &step),
            one);
  EXPECT_NE(originalAt(0.5, -1.0, 2.0, 0.25, 0.5f, &step), one);

  // A stiffness image without channels (noise type other than "perlin") samples 1.0.
  FullLevelSet ls = constant(0.5), initial = constant(-1.0);
  FullLevelSet2D obstacles = constant(2.0);
  vorn::Image<float> none(8, 8, 0);
  const CachedImage stiff("unused.rfi", 3, none);
  EXPECT_EQ((move<FullLevelSet, CachedImage>(nullptr, &obstacles, &initial, &stiff, 0.25, &ls, 3,
                                             4, &step)),
            one);
}

TEST(SpeedKernels, SpeedBasedByHand) {
  FullLevelSet ls = constant(1.5), initial = constant(0.5);
  FullLevelSet2D obstacles = constant(5.0);
  const CachedImage stiff = stiffnessOf(0.5f);
  double step = 0;
  auto at = [&](const FullLevelSet2D& o) {
    return move_speed_based<FullLevelSet, CachedImage>(nullptr, &o, &initial, &stiff, 0.1, &ls,
                                                       2, 6, &step);
  };
  // Outside the initial shape and the others: -s - k.
  EXPECT_DOUBLE_EQ(at(obstacles), -0.6);
  EXPECT_EQ(step, 0.25);
  // Inside another shape: relax towards phi0, d = 1.
  EXPECT_DOUBLE_EQ(at(constant(0.0)), -0.2 / std::sqrt(1.5));
  EXPECT_DOUBLE_EQ(at(constant(-4.0)), -0.2 / std::sqrt(1.5));
  // Inside the initial shape: the same relaxation, d = 1.5 - (-0.5) = 2.
  initial = constant(-0.5);
  EXPECT_DOUBLE_EQ(at(obstacles), -0.2 * 2 / std::sqrt(4.5));
  // phi0 = 0 is not inside the initial shape.
  initial = constant(0.0);
  EXPECT_DOUBLE_EQ(at(obstacles), -0.6);
}

// Off its band a sparse initial level set reads the band edge on the dense one's side: a ring
// along the left edge (rows beginning inside), the background round a disc (empty rows).
TEST(SpeedKernels, SparseInitialValueOffTheBandIsTheBandEdgeOnItsSide) {
  for (const double cx : {2.0, -1.0}) {
    vorn::Image<unsigned char> mask(60, 50, 1);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 60; ++x)
        mask(x, y, 0) = 255 * (cx > 0 ? std::abs(std::hypot(x - cx, y - 25) - 16) < 10
                                      : std::hypot(x - 30, y - 25) > 5);
    const std::unique_ptr<FullLevelSet2D> dense(createLevelSetFromImage<FullLevelSet2D>(mask));
    const std::unique_ptr<SparseLevelSet2D> sparse(createLevelSetFromImage<SparseLevelSet2D>(mask));
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 60; ++x)
        ASSERT_EQ(initialValue(*sparse, x, y),
                  sparse->have(x, y) ? dense->get(x, y) : dense->get(x, y) < 0 ? -5.0 : 5.0)
            << x << "," << y;
  }
}

TEST(SpeedKernels, BindingForwardsAndRefusesNulls) {
  FullLevelSet ls = constant(0.5), initial = constant(-1.0);
  FullLevelSet2D obstacles = constant(2.0);
  const CachedImage stiff = stiffnessOf(0.4f);
  const SpeedFunction f =
      bindSpeed<FullLevelSet, CachedImage>(&move<FullLevelSet, CachedImage>, nullptr, &obstacles,
                                           &initial, &stiff, 0.3);
  double step = 0, direct = 0;
  EXPECT_EQ(f(&ls, 3, 3, &step),
            (move<FullLevelSet, CachedImage>(nullptr, &obstacles, &initial, &stiff, 0.3, &ls, 3, 3,
                                             &direct)));
  EXPECT_EQ(step, direct);
  EXPECT_THROW((bindSpeed<FullLevelSet, CachedImage>(&move<FullLevelSet, CachedImage>, nullptr,
                                                     nullptr, &initial, &stiff, 0.3)),
               std::invalid_argument);
  EXPECT_THROW((bindSpeed<FullLevelSet, CachedImage>(nullptr, nullptr, &obstacles, &initial,
                                                     &stiff, 0.3)),
               std::invalid_argument);
}

TEST(UpdateStep, AllSpeedsBeforeAnyValueAndSmallestStep) {
  // The speed reads the right neighbour; applying speeds as they are computed would feed
  // new values into later speeds.
  FullLevelSet ls = denseFrom<FullLevelSet>(5, 4, [](int x, int y) { return x + 10.0 * y; });
  const FullLevelSet before = ls;
  const SpeedFunction f = [](LevelSet2D* l, int x, int y, double* step) {
    *step = (x == 2 && y == 1) ? 0.5 : 2.0;
    return l->get(x + 1, y);
  };
  updateStep(ls, f);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(ls.get(x, y), before.get(x, y) + 0.5 * before.get(x + 1, y)) << x << "," << y;

  // The rectangle kind passes canvas coordinates and changes only its own cells.
  std::unique_ptr<RectLevelSet> rect(
      createLevelSetFromImage<RectLevelSet>(discMask(40, 30, 20.0, 15.0, 4.0)));
  const RectLevelSet rectBefore = *rect;
  std::vector<int> seen(40 * 30, 0);
  updateStep(*rect, [&seen](LevelSet2D* l, int x, int y, double* step) {
    ++seen[x + 40 * y];
    *step = 1.0;
    return l->have(x, y) ? 0.25 * x : 100.0;
  });
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(seen[x + 40 * y], rect->have(x, y) ? 1 : 0) << x << "," << y;
      if (rect->have(x, y)) {
        EXPECT_EQ(rect->get(x, y), rectBefore.get(x, y) + 0.25 * x);
      }
    }
}

TEST(UpdateStep, SparseMovesStoredCellsOnly) {
  FullLevelSet2D dense = denseFrom<FullLevelSet>(12, 9, [](int x, int) { return x - 5.5; });
  testing::internal::CaptureStdout();
  SparseLevelSet2D sparse(dense);
  testing::internal::GetCapturedStdout();
  const SparseLevelSet2D before = sparse;
  std::vector<std::pair<int, int>> calls;
  const SpeedFunction f = [&calls](LevelSet2D* l, int x, int y, double* step) {
    calls.emplace_back(x, y);
    *step = x == 3 ? 0.75 : 1.0;
    return l->get(x + 1, y) + y;
  };
  testing::internal::CaptureStdout();
  sparse.moveWithCurvature(f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "move with curvature.\ndone curvature.\n");
  ASSERT_EQ(sparse.getCellCount(), before.getCellCount());
  std::size_t i = 0;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      ASSERT_EQ(sparse.have(x, y), before.have(x, y));
      if (!before.have(x, y)) continue;
      // Rows ascending, columns ascending, each stored cell once.
      ASSERT_LT(i, calls.size());
      EXPECT_EQ(calls[i], std::make_pair(x, y));
      ++i;
      EXPECT_EQ(sparse.get(x, y), before.get(x, y) + 0.75 * (before.get(x + 1, y) + y));
    }
  EXPECT_EQ(i, calls.size());

  // Without stored cells nothing is evaluated and nothing changes; the lines still appear.
  SparseLevelSet2D empty(5, 5);
  calls.clear();
  testing::internal::CaptureStdout();
  empty.moveWithCurvature(f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "move with curvature.\ndone curvature.\n");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(empty.getCellCount(), 0);
}

// The same shape, obstacles and stiffness through the three kinds: every cell that all
// three store gets the same value from one update step.
template <class Kernel>
void expectKindsAgree(Kernel kernelFor, const char* what) {
  SCOPED_TRACE(what);
  const int w = 64, h = 56;
  const auto mask = discMask(w, h, 27.5, 26.0, 11.0);
  const auto otherMask = discMask(w, h, 45.0, 30.0, 8.0);
  std::unique_ptr<FullLevelSet2D> seed(createLevelSetFromImage<FullLevelSet2D>(mask));
  std::unique_ptr<FullLevelSet2D> obstacles(createLevelSetFromImage<FullLevelSet2D>(otherMask));

  vorn::Image<float> noise(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      noise(x, y, 0) = float(0.5 + 0.45 * std::sin(x / 3.0) * std::cos(y / 5.0) - 0.1);
  const std::string file = ::testing::TempDir() + "speed-kinds.rfi";
  ASSERT_TRUE(noise.save(file.c_str()));
  const CachedImage stiff(file, 3, noise);
  const double k = 0.17;

  std::unique_ptr<FullLevelSet> dense(createLevelSetFromImage<FullLevelSet>(mask));
  std::unique_ptr<FullLevelSet> denseInitial(createLevelSetFromImage<FullLevelSet>(mask));
  std::unique_ptr<RectLevelSet> rect(createLevelSetFromImage<RectLevelSet>(mask));
  std::unique_ptr<RectLevelSet> rectInitial(createLevelSetFromImage<RectLevelSet>(mask));
  testing::internal::CaptureStdout();
  std::unique_ptr<SparseLevelSet2D> sparse(createLevelSetFromImage<SparseLevelSet2D>(mask));
  std::unique_ptr<SparseLevelSet2D> sparseInitial(createLevelSetFromImage<SparseLevelSet2D>(mask));

  updateStep(*dense, bindSpeed<FullLevelSet, CachedImage>(kernelFor(FullLevelSet()), nullptr,
                                                          obstacles.get(), denseInitial.get(),
                                                          &stiff, k));
  updateStep(*rect, bindSpeed<RectLevelSet, CachedImage>(kernelFor(RectLevelSet()), nullptr,
                                                         obstacles.get(), rectInitial.get(),
                                                         &stiff, k));
  updateStep(*sparse, bindSpeed<SparseLevelSet2D, CachedImage>(
                          kernelFor(SparseLevelSet2D(0, 0)), nullptr, obstacles.get(),
                          sparseInitial.get(), &stiff, k));
  testing::internal::GetCapturedStdout();
  std::remove(file.c_str());

  int shared = 0, moved = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (rect->have(x, y)) {
        ASSERT_EQ(rect->get(x, y), dense->get(x, y)) << x << "," << y;
        if (rect->get(x, y) != seed->get(x, y)) ++moved;
      }
      if (rect->have(x, y) && sparse->have(x, y)) {
        ++shared;
        EXPECT_NEAR(sparse->get(x, y), dense->get(x, y), 1e-12) << x << "," << y;
      }
    }
  EXPECT_GT(shared, 300);
  EXPECT_GT(moved, 100);
}

TEST(UpdateStep, DenseRectangleAndSparseAgree) {
  expectKindsAgree(
      [](auto kind) { return &move<decltype(kind), CachedImage>; }, "original");
  expectKindsAgree(
      [](auto kind) { return &move_speed_based<decltype(kind), CachedImage>; }, "speed-based");
}

}  // namespace

// The speed-based kernel takes the sample as it is, except where there is none: an image
// without channels (a noise type other than "perlin" and "perlin_hard") and a sample that
// is not a number both count as 1.0, as in the original kernel.
TEST(SpeedKernels, SpeedBasedSampleWithoutChannelsOrNotANumberCountsAsOne) {
  FullLevelSet ls = constant(1.5), initial = constant(0.5);
  FullLevelSet2D obstacles = constant(5.0);
  double step = 0;
  auto at = [&](const CachedImage& stiff) {
    return move_speed_based<FullLevelSet, CachedImage>(nullptr, &obstacles, &initial, &stiff,
                                                       0.1, &ls, 2, 6, &step);
  };
  EXPECT_DOUBLE_EQ(at(stiffnessOf(0.0f, 0)), -1.1);
  EXPECT_EQ(step, 0.25);
  EXPECT_DOUBLE_EQ(at(stiffnessOf(std::numeric_limits<float>::quiet_NaN())), -1.1);
  // A negative sample is not replaced here: the outline retreats at rate −s − k.
  EXPECT_DOUBLE_EQ(at(stiffnessOf(-0.25f)), 0.25 - 0.1);
}
