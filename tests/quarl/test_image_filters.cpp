// glimshape — tests/quarl
// Purpose: tests of resampling, box filter, gradient, correlation, Harris corners and the
// rotations of vorn::Image<T>, against brute-force references.
#include "quarl/image.h"

#include <gtest/gtest.h>

#include "common/images.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using glimtest::filled;
using vorn::Image;

namespace {

template <class T>
Image<T> constant(int w, int h, int c, double v) {
  Image<T> im(w, h, c);
  for (int i = 0; i < w * h * c; ++i) im[i] = static_cast<T>(v);
  return im;
}

template <class T>
Image<T> randomImage(std::mt19937& rng, int w, int h, int c) {
  Image<T> im(w, h, c);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double top = std::is_floating_point_v<T> ? 1.0 : double(std::numeric_limits<T>::max());
  for (int i = 0; i < w * h * c; ++i) im[i] = static_cast<T>(std::floor(u(rng) * top * 0.999));
  if constexpr (std::is_floating_point_v<T>)
    for (int i = 0; i < w * h * c; ++i) im[i] = static_cast<T>(u(rng));
  return im;
}

// Relative closeness for floating results, exact equality for integer ones.
template <class T>
::testing::AssertionResult near(double got, double want) {
  const double tol = std::is_floating_point_v<T> ? 1e-5 * std::max(1.0, std::fabs(want)) : 0.0;
  if (std::fabs(got - want) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << want;
}

// Brute-force bilinear sample with the weights written out.
double referenceBilinear(const Image<double>& im, double x, double y, int c) {
  x = std::clamp(x, 0.0, im.width - 1.0);
  y = std::clamp(y, 0.0, im.height - 1.0);
  const int x0 = int(x), y0 = int(y);
  const int x1 = std::min(x0 + 1, im.width - 1), y1 = std::min(y0 + 1, im.height - 1);
  const double fx = x - x0, fy = y - y0;
  return (1 - fx) * (1 - fy) * im(x0, y0, c) + fx * (1 - fy) * im(x1, y0, c) +
         fx * fy * im(x1, y1, c) + (1 - fx) * fy * im(x0, y1, c);
}

// Brute-force area average: every source pixel weighted by the area it shares with the
// target pixel's footprint [i·sx, (i + 1)·sx) × [j·sy, (j + 1)·sy).
double referenceArea(const Image<double>& im, int w, int h, int i, int j, int c) {
  const double sx = double(im.width) / w, sy = double(im.height) / h;
  double s = 0, wsum = 0;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      const double ox = std::min(x + 1.0, (i + 1) * sx) - std::max(double(x), i * sx);
      const double oy = std::min(y + 1.0, (j + 1) * sy) - std::max(double(y), j * sy);
      if (ox <= 0 || oy <= 0) continue;
      s += ox * oy * im(x, y, c);
      wsum += ox * oy;
    }
  return s / wsum;
}

// One pass of the box filter written the slow way: the mean of the clipped window,
// stored in T.
template <class T>
Image<T> referenceBoxPass(const Image<T>& im, int r, bool horizontal) {
  Image<T> out(im.width, im.height, im.nchannels);
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x)
      for (int c = 0; c < im.nchannels; ++c) {
        double s = 0;
        int n = 0;
        for (int d = -r; d <= r; ++d) {
          const int xx = horizontal ? x + d : x, yy = horizontal ? y : y + d;
          if (!im.inBounds(xx, yy, c)) continue;
          s += double(im(xx, yy, c));
          ++n;
        }
        out(x, y, c) = static_cast<T>(s / n);
      }
  return out;
}

}  // namespace

// ---- Bilinear sampling ------------------------------------------------------------------

TEST(ImageFilters, BilinearMatchesFormulaAndClamps) {
  std::mt19937 rng(3);
  const Image<double> im = randomImage<double>(rng, 5, 4, 2);
  const double points[][2] = {{0, 0}, {1.25, 2.5}, {3.999, 2.001}, {4, 3}, {-7, 1.5}, {2.5, 99}};
  for (const auto& p : points) {
    double out[2];
    im.bilinear(p[0], p[1], out, -1);
    for (int c = 0; c < 2; ++c) {
      // The weighted sum and the nested blend round differently.
      EXPECT_NEAR(out[c], referenceBilinear(im, p[0], p[1], c), 1e-14);
      EXPECT_DOUBLE_EQ(im.bilinear(p[0], p[1], c), out[c]);
    }
  }
  // Integer images truncate: halfway between 0 and 255 is 127.
  const Image<unsigned char> bytes = filled<unsigned char>(2, 1, 1, {0, 255});
  EXPECT_EQ(bytes.bilinear(0.5, 0, 0), 127);
}

TEST(ImageFilters, BilinearOutsideTheDomainReadsNothingOutside) {
  const Image<float> im = filled<float>(2, 2, 1, {1, 2, 3, 4});
  EXPECT_FLOAT_EQ(im.bilinear(std::numeric_limits<double>::quiet_NaN(), 5.0, 0), 3.0f);
  EXPECT_FLOAT_EQ(im.bilinear(1e300, -1e300, 0), 2.0f);
  EXPECT_EQ(im.bilinear(0.5, 0.5, 1), 0.0f);   // no such channel
  EXPECT_EQ(im.bilinear(0.5, 0.5, -1), 0.0f);
  float out[3] = {9, 9, 9};
  im.bilinear(0, 0, out, 3);  // channels beyond the image's are written as 0
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], 0.0f);
  EXPECT_EQ(Image<float>().bilinear(0, 0, 0), 0.0f);
}

// ---- Resize -------------------------------------------------------------------------

TEST(ImageFilters, ResizeCopiesShrinksEnlargesAndMixes) {
  {
    const Image<float> a = constant<float>(3, 2, 1, 4);
    const Image<float> b = a.resize(3, 2);
    EXPECT_NE(b.data, a.data);  // an unshared copy
    EXPECT_EQ(b[5], 4.0f);
  }
  {
    testing::internal::CaptureStdout();
    const Image<unsigned char> r = constant<unsigned char>(4, 4, 1, 10).resize(2, 2);
    const Image<float> r2 = constant<float>(3, 3, 1, 10).resize(2, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(r[i], 10);
      EXPECT_EQ(r2[i], 10.0f);
    }
  }
  {
    const Image<float> e = filled<float>(2, 1, 1, {0, 100}).resize(4, 1);
    ASSERT_EQ(e.width, 4);
    EXPECT_FLOAT_EQ(e[0], 0);
    EXPECT_FLOAT_EQ(e[1], 50);
    EXPECT_FLOAT_EQ(e[2], 100);
    EXPECT_FLOAT_EQ(e[3], 100);
  }
  {
    std::mt19937 rng(5);
    const Image<float> a = randomImage<float>(rng, 100, 10, 2);
    const Image<float> mixed = a.resize(50, 20);
    const Image<float> twoSteps = a.resize(50, 10).resize(50, 20);
    ASSERT_EQ(mixed.width, 50);
    ASSERT_EQ(mixed.height, 20);
    for (int i = 0; i < 50 * 20 * 2; ++i) ASSERT_EQ(mixed[i], twoSteps[i]);
    const Image<float> other = a.resize(120, 4);  // enlarging x, shrinking y
    const Image<float> other2 = a.resize(100, 4).resize(120, 4);
    for (int i = 0; i < 120 * 4 * 2; ++i) ASSERT_EQ(other[i], other2[i]);
  }
}

TEST(ImageFilters, ShrinkingAConstantKeepsItForAnyRatio) {
  const int sizes[][4] = {{37, 29, 10, 7},  {1024, 1024, 300, 300}, {5, 3, 3, 2},
                          {13, 11, 12, 10}, {100, 7, 33, 7},        {9, 9, 1, 1}};
  testing::internal::CaptureStdout();
  for (const auto& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]);
    const Image<unsigned char> a = constant<unsigned char>(s[0], s[1], 2, 173).resize(s[2], s[3]);
    const Image<float> b = constant<float>(s[0], s[1], 1, 0.1).resize(s[2], s[3]);
    const Image<unsigned int> c =
        constant<unsigned int>(s[0], s[1], 1, 4294967295.0).resize(s[2], s[3]);
    for (int i = 0; i < s[2] * s[3]; ++i) {
      ASSERT_EQ(a[2 * i], 173);
      ASSERT_EQ(a[2 * i + 1], 173);
      ASSERT_EQ(b[i], 0.1f);
      ASSERT_EQ(c[i], 4294967295u);
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ImageFilters, ShrinkIsTheAreaAverage) {
  std::mt19937 rng(11);
  const Image<double> a = randomImage<double>(rng, 17, 13, 2);
  // 17 -> 10 covers three source columns for some targets (a 1.7-wide footprint that
  // starts late in a column): every one of them must count.
  for (const auto& wh : std::vector<std::pair<int, int>>{{10, 6}, {5, 13}, {17, 4}, {3, 3}}) {
    const Image<double> r = a.resize(wh.first, wh.second);
    for (int j = 0; j < wh.second; ++j)
      for (int i = 0; i < wh.first; ++i)
        for (int c = 0; c < 2; ++c)
          ASSERT_NEAR(r(i, j, c), referenceArea(a, wh.first, wh.second, i, j, c), 1e-12)
              << i << "," << j << " of " << wh.first << "x" << wh.second;
  }
  // Integer images: the truncated exact mean.
  Image<unsigned char> b(4, 1, 1);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(i * 3 + 1);  // 1 4 7 10
  const Image<unsigned char> half = b.resize(2, 1);
  EXPECT_EQ(half[0], 2);  // 2.5
  EXPECT_EQ(half[1], 8);  // 8.5
}

TEST(ImageFilters, EnlargeSamplesBilinearlyWithAlignedCorners) {
  std::mt19937 rng(13);
  const Image<float> a = randomImage<float>(rng, 18, 18, 1);
  const Image<float> r = a.resize(128, 128);
  for (int j = 0; j < 128; ++j)
    for (int i = 0; i < 128; ++i)
      ASSERT_EQ(r(i, j, 0), a.bilinear(i * (18.0 / 128), j * (18.0 / 128), 0));
  EXPECT_EQ(r(0, 0, 0), a(0, 0, 0));
  const Image<unsigned char> b = randomImage<unsigned char>(rng, 5, 3, 3);
  const Image<unsigned char> rb = b.resize(11, 7);
  for (int j = 0; j < 7; ++j)
    for (int i = 0; i < 11; ++i) {
      unsigned char px[3];
      b.bilinear(i * (5.0 / 11), j * (3.0 / 7), px, -1);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(rb(i, j, c), px[c]);
    }
}

TEST(ImageFilters, ResizeDegenerateSizes) {
  const Image<float> a = constant<float>(4, 4, 2, 1);
  const Image<float> z = a.resize(0, 3);
  EXPECT_EQ(z.width, 0);
  EXPECT_EQ(z.height, 3);
  EXPECT_EQ(z.data, nullptr);
  const Image<float> n = a.resize(-5, -2);
  EXPECT_EQ(n.width, 0);
  EXPECT_EQ(n.height, 0);
  EXPECT_EQ(n.data, nullptr);
  // An image without pixels has nothing to sample: the result is zero.
  const Image<float> fromEmpty = Image<float>(0, 0, 2).resize(3, 2);
  ASSERT_NE(fromEmpty.data, nullptr);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(fromEmpty[i], 0.0f);
  const Image<float> one = constant<float>(1, 1, 1, 7).resize(3, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(one[i], 7.0f);
}

// ---- Box filter ---------------------------------------------------------------------

TEST(ImageFilters, BoxFilterOfASinglePeak) {
  Image<float> a(5, 3, 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) a(x, y, 0) = x == 2 ? 9.0f : 0.0f;
  const Image<float> b = a.boxFilter(1);
  const float want[] = {0, 3, 3, 3, 0};
  for (int x = 0; x < 5; ++x) EXPECT_FLOAT_EQ(b(x, 1, 0), want[x]);
}

template <class T>
class ImageFiltersTyped : public ::testing::Test {};
using ElementTypes = ::testing::Types<unsigned char, unsigned short, unsigned int, float, double>;
TYPED_TEST_SUITE(ImageFiltersTyped, ElementTypes);

TYPED_TEST(ImageFiltersTyped, BoxFilterMatchesBruteForce) {
  using T = TypeParam;
  std::mt19937 rng(17);
  // Sizes include images narrower or shorter than the window: windows clip on both sides.
  const int sizes[][3] = {{23, 19, 1}, {9, 12, 3}, {4, 3, 2}, {1, 6, 1}, {7, 1, 1}};
  for (const auto& s : sizes)
    for (int r = 0; r <= 4; ++r) {
      SCOPED_TRACE(::testing::Message() << s[0] << "x" << s[1] << "x" << s[2] << " r=" << r);
      const Image<T> a = randomImage<T>(rng, s[0], s[1], s[2]);
      const Image<T> got = a.boxFilter(r);
      const Image<T> want = referenceBoxPass(referenceBoxPass(a, r, true), r, false);
      for (int i = 0; i < s[0] * s[1] * s[2]; ++i)
        ASSERT_TRUE(near<T>(double(got[i]), double(want[i]))) << "element " << i;
    }
}

TYPED_TEST(ImageFiltersTyped, BoxFilterWideWindowsMatchBruteForce) {
  // Wide windows take the running-sum paths (and, for the integer types, the wider sums
  // past r = 30 and r = 127); the result must not depend on the path.
  using T = TypeParam;
  std::mt19937 rng(29);
  for (int r : {9, 31, 130}) {
    SCOPED_TRACE(::testing::Message() << "r=" << r);
    const Image<T> a = randomImage<T>(rng, 300, 5, 2);
    const Image<T> got = a.boxFilter(r);
    const Image<T> want = referenceBoxPass(referenceBoxPass(a, r, true), r, false);
    for (int i = 0; i < 300 * 5 * 2; ++i)
      ASSERT_TRUE(near<T>(double(got[i]), double(want[i]))) << "element " << i;
  }
}

TEST(ImageFilters, BoxFilterTruncatesAfterEachPass) {
  // Row means 1/3 each truncate to 0 before the vertical pass sees them.
  Image<unsigned char> a(3, 3, 1);
  for (int i = 0; i < 9; ++i) a[i] = 0;
  a(1, 0, 0) = 1;
  a(1, 1, 0) = 1;
  a(1, 2, 0) = 1;
  const Image<unsigned char> b = a.boxFilter(1);
  EXPECT_EQ(b(1, 1, 0), 0);
  // A negative radius keeps every pixel.
  const Image<unsigned char> c = a.boxFilter(-2);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c[i], a[i]);
  EXPECT_EQ(Image<float>(0, 4, 1).boxFilter(2).data, nullptr);
}

// ---- Gradient -----------------------------------------------------------------------

TEST(ImageFilters, GradientOfRampsAndBorders) {
  Image<unsigned char> ramp(6, 4, 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      ramp(x, y, 0) = static_cast<unsigned char>(x);
      ramp(x, y, 1) = static_cast<unsigned char>(y * y * 3);
    }
  const Image<float> g = ramp.gradient(0);
  ASSERT_EQ(g.nchannels, 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(g(x, y, 0), 1.0f);
      EXPECT_EQ(g(x, y, 1), 0.0f);
    }
  // Quadratic in y: one-sided at the top and bottom rows, central (halved) inside, and
  // odd central differences keep their half.
  const Image<float> q = ramp.gradient(1);
  const float wantY[] = {3, 6, 12, 15};  // rows 0 3 12 27
  for (int y = 0; y < 4; ++y) EXPECT_EQ(q(2, y, 1), wantY[y]);
  const Image<unsigned char> odd = filled<unsigned char>(3, 2, 1, {0, 5, 9, 0, 5, 9});
  EXPECT_EQ(odd.gradient(0)(1, 0, 0), 4.5f);
  EXPECT_EQ(odd.gradient(0)(0, 0, 0), 5.0f);
  EXPECT_EQ(odd.gradient(0)(2, 1, 0), 4.0f);
  // Unsigned differences may be negative.
  const Image<unsigned int> big = filled<unsigned int>(2, 2, 1, {4294967295.0, 0, 0, 0});
  EXPECT_EQ(big.gradient(0)(0, 0, 0), -4294967295.0f);
}

TEST(ImageFilters, GradientOfTinyImagesIsZeroAlongTheMissingAxis) {
  const Image<float> column = filled<float>(1, 3, 1, {1, 4, 9});
  const Image<float> g = column.gradient(0);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(g(0, y, 0), 0.0f);
  EXPECT_EQ(g(0, 1, 1), 4.0f);
  const Image<float> none = column.gradient(3);  // no such channel
  for (int i = 0; i < 6; ++i) EXPECT_EQ(none[i], 0.0f);
}

// ---- Correlation --------------------------------------------------------------------

TEST(ImageFilters, ConvolveChecksTheFilterAndCorrelates) {
  std::mt19937 rng(19);
  const Image<float> a = randomImage<float>(rng, 9, 8, 2);
  testing::internal::CaptureStdout();
  const Image<float> bad = a.convolve(Image<float>(2, 2, 1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "filter is not proper dimension 2 2");
  for (int i = 0; i < 9 * 8 * 2; ++i) ASSERT_EQ(bad[i], 0.0f);

  const Image<float> f = filled<float>(3, 5, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  testing::internal::CaptureStdout();
  const Image<float> r = a.convolve(f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 9; ++x)
      for (int c = 0; c < 2; ++c) {
        if (x < 1 || x > 7 || y < 2 || y > 5) {
          ASSERT_EQ(r(x, y, c), 0.0f);
          continue;
        }
        double s = 0;  // not mirrored: filter (0, 0) meets the window's top-left pixel
        for (int k = 0; k < 5; ++k)
          for (int l = 0; l < 3; ++l) s += double(a(x - 1 + l, y - 2 + k, c)) * f(l, k, 0);
        ASSERT_FLOAT_EQ(r(x, y, c), float(s));
      }
  // An even × odd filter is accepted and stays inside the image.
  const Image<float> wide = a.convolve(constant<float>(4, 1, 1, 1));
  EXPECT_FLOAT_EQ(wide(2, 0, 0), a(0, 0, 0) + a(1, 0, 0) + a(2, 0, 0) + a(3, 0, 0));
  EXPECT_EQ(wide(7, 0, 0), 0.0f);
  // A filter larger than the image leaves only the zero border.
  const Image<float> huge = a.convolve(constant<float>(11, 1, 1, 1));
  for (int i = 0; i < 9 * 8 * 2; ++i) ASSERT_EQ(huge[i], 0.0f);
}

// ---- Harris corners -----------------------------------------------------------------

TEST(ImageFilters, HarrisFindsTheInnerCornersOfACheckerboard) {
  const int cell = 12, cells = 5, size = cell * cells;
  Image<unsigned char> board(size, size, 1);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      board(x, y, 0) = ((x / cell + y / cell) % 2) ? 255 : 0;
  std::vector<std::pair<float, float>> inner;
  for (int j = 1; j < cells; ++j)
    for (int i = 1; i < cells; ++i) inner.push_back({i * cell - 0.5f, j * cell - 0.5f});

  for (int subpixel = 0; subpixel <= 1; ++subpixel) {
    const auto found = board.harris(100, subpixel);
    ASSERT_GE(found.size(), inner.size());
    auto distance = [](std::pair<float, float> a, std::pair<float, float> b) {
      return std::hypot(double(a.first - b.first), double(a.second - b.second));
    };
    for (const auto& c : inner) {
      double best = 1e9;
      for (const auto& f : found) best = std::min(best, distance(c, f));
      EXPECT_LT(best, subpixel ? 0.1 : 0.75) << c.first << "," << c.second;
    }
    for (const auto& f : found) {
      double best = 1e9;
      for (const auto& c : inner) best = std::min(best, distance(c, f));
      EXPECT_LT(best, 1.0) << "spurious corner " << f.first << "," << f.second;
    }
  }
  EXPECT_EQ(board.harris(3, 0).size(), 3u);
  EXPECT_TRUE(board.harris(0, 1).empty());
  EXPECT_TRUE(Image<unsigned char>(2, 2, 1).harris(5, 1).empty());
}

TEST(ImageFilters, HarrisPutsTheStrongestFirst) {
  // A bright square and a faint one: the four corners of the bright one come first.
  Image<unsigned char> im(80, 40, 3);
  for (int i = 0; i < 80 * 40 * 3; ++i) im[i] = 0;
  for (int y = 12; y < 28; ++y)
    for (int x = 0; x < 80; ++x) {
      const unsigned char v = (x >= 10 && x < 30) ? 255 : (x >= 50 && x < 70) ? 51 : 0;
      for (int c = 0; c < 3; ++c) im(x, y, c) = v;
    }
  const auto found = im.harris(4, 0);
  ASSERT_EQ(found.size(), 4u);
  for (const auto& f : found) EXPECT_LT(f.first, 40.0f);
  // The float version warns, converts to bytes and gives the same corners.
  Image<float> f;
  f = im;
  testing::internal::CaptureStdout();
  const auto fromFloat = f.harris(4, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Warning: Harris only implemented for unsigned char");
  EXPECT_EQ(fromFloat, found);
}

// ---- Rotations and mirrors ----------------------------------------------------------

TYPED_TEST(ImageFiltersTyped, RotationsFollowTheIndexFormulas) {
  using T = TypeParam;
  std::mt19937 rng(23);
  const int W = 5, H = 3, C = 2;
  const Image<T> a = randomImage<T>(rng, W, H, C);
  struct Case {
    Image<T> got;
    int w, h;
    std::function<std::pair<int, int>(int, int)> from;
  };
  const Case cases[] = {
      {a.rotateCW(), H, W, [&](int x, int y) { return std::make_pair(y, H - 1 - x); }},
      {a.rotateCCW(), H, W, [&](int x, int y) { return std::make_pair(W - 1 - y, x); }},
      {a.rotate180(), W, H, [&](int x, int y) { return std::make_pair(W - 1 - x, H - 1 - y); }},
      {a.flip(), W, H, [&](int x, int y) { return std::make_pair(x, H - 1 - y); }},
      {a.flop(), W, H, [&](int x, int y) { return std::make_pair(W - 1 - x, y); }},
  };
  for (const Case& k : cases) {
    ASSERT_EQ(k.got.width, k.w);
    ASSERT_EQ(k.got.height, k.h);
    ASSERT_EQ(k.got.nchannels, C);
    for (int y = 0; y < k.h; ++y)
      for (int x = 0; x < k.w; ++x)
        for (int c = 0; c < C; ++c) {
          const auto s = k.from(x, y);
          ASSERT_EQ(k.got(x, y, c), a(s.first, s.second, c));
        }
  }
  // rotateCW of a 3 × 2 image: 2 × 3, top-left pixel from the source's bottom-left.
  const Image<T> small = randomImage<T>(rng, 3, 2, 1);
  const Image<T> cw = small.rotateCW();
  EXPECT_EQ(cw.width, 2);
  EXPECT_EQ(cw.height, 3);
  EXPECT_EQ(cw(0, 0, 0), small(0, 1, 0));
  EXPECT_EQ(Image<T>(0, 4, 1).rotateCW().width, 4);
}
