// glimshape — tests
// Purpose: draw order, reference agreement and ranges of the noise and stiffness fields.
#include "noise/perlin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/images.h"
#include "noise/draw_counter.h"

namespace {

using glimtest::sameImage;

using vorn::Image;

long elements(const Image<float>& img) {
  return static_cast<long>(img.width) * img.height * img.nchannels;
}

// A plain one-channel field in double precision for the reference computations.
struct Field {
  int w, h;
  std::vector<double> v;
  Field(int w_, int h_) : w(w_), h(h_), v(static_cast<size_t>(w_) * h_, 0.0) {}
  double& at(int x, int y) { return v[static_cast<size_t>(x + y * w)]; }
  double at(int x, int y) const { return v[static_cast<size_t>(x + y * w)]; }
};

// Enlargement with aligned corners: target (i, j) samples the grid at (i × n / w, j × n / h)
// bilinearly, clamped at the last row and column.
Field enlarge(const Field& g, int w, int h) {
  Field out(w, h);
  const double sx = static_cast<double>(g.w) / w, sy = static_cast<double>(g.h) / h;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const double x = std::min(i * sx, g.w - 1.0), y = std::min(j * sy, g.h - 1.0);
      const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
      const int x1 = std::min(x0 + 1, g.w - 1), y1 = std::min(y0 + 1, g.h - 1);
      const double fx = x - x0, fy = y - y0;
      out.at(i, j) = (1 - fx) * (1 - fy) * g.at(x0, y0) + fx * (1 - fy) * g.at(x1, y0) +
                     fx * fy * g.at(x1, y1) + (1 - fx) * fy * g.at(x0, y1);
    }
  return out;
}

// Mean over the (2r + 1)² window clipped to the field, by brute force.
Field boxMean(const Field& f, int r) {
  Field out(f.w, f.h);
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      double sum = 0.0;
      int count = 0;
      for (int yy = std::max(0, y - r); yy <= std::min(f.h - 1, y + r); ++yy)
        for (int xx = std::max(0, x - r); xx <= std::min(f.w - 1, x + r); ++xx) {
          sum += f.at(xx, yy);
          ++count;
        }
      out.at(x, y) = sum / count;
    }
  return out;
}

Field referenceNormalize(Field f) {
  const auto [lo, hi] = std::minmax_element(f.v.begin(), f.v.end());
  const double low = *lo, range = *hi - *lo;
  for (double& e : f.v) e = (e - low) / range;
  f = boxMean(f, 3);
  for (double& e : f.v) e = (e - low) / range;
  return f;
}

// Value noise written out from the description, drawing from drand48() in the same order.
Field referencePerlin(int w, int h, double persistence) {
  Field acc(w, h);
  for (int k = 3; k <= 9; ++k) {
    Field grid(2 * k, 2 * k);
    for (int y = 0; y < grid.h; ++y)
      for (int x = 0; x < grid.w; ++x) grid.at(x, y) = static_cast<float>(drand48());
    const Field big = enlarge(grid, w, h);
    const double amplitude = std::pow(persistence, k - 3);
    for (size_t i = 0; i < acc.v.size(); ++i) acc.v[i] += amplitude * big.v[i];
  }
  return referenceNormalize(acc);
}

Image<float> imageOf(const Field& f) {
  Image<float> img(f.w, f.h, 1);
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) img(x, y, 0) = static_cast<float>(f.at(x, y));
  return img;
}

void expectNear(const Image<float>& img, const Field& ref, double tolerance) {
  ASSERT_EQ(img.width, ref.w);
  ASSERT_EQ(img.height, ref.h);
  ASSERT_EQ(img.nchannels, 1);
  for (int y = 0; y < ref.h; ++y)
    for (int x = 0; x < ref.w; ++x)
      ASSERT_NEAR(img(x, y, 0), ref.at(x, y), tolerance) << "at " << x << ", " << y;
}

}  // namespace

TEST(Perlin, ConsumesTheSameNumberOfDrawsAtEverySize) {
  EXPECT_EQ(36 + 64 + 100 + 144 + 196 + 256 + 324, 1120);
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{
           {128, 128}, {40, 24}, {7, 7}, {1, 1}, {0, 0}, {-3, 5}}) {
    Image<float> img;
    EXPECT_EQ(testing_draws::countDraws([&] { img = perlin(w, h, 0.25); }), 1120)
        << w << " x " << h;
    EXPECT_EQ(img.width, std::max(w, 0) * (h > 0));
    EXPECT_EQ(img.height, std::max(h, 0) * (w > 0));
  }
}

TEST(Perlin, SameGeneratorStateGivesTheSameImage) {
  testing_draws::setState(5, 6, 7);
  const Image<float> a = perlin(64, 48, 0.5);
  testing_draws::setState(5, 6, 7);
  const Image<float> b = perlin(64, 48, 0.5);
  EXPECT_TRUE(sameImage(a, b));

  const Image<float> c = perlin(64, 48, 0.5);  // the generator has moved on
  long differing = 0;
  for (long i = 0; i < elements(a); ++i) differing += a.data[i] != c.data[i];
  EXPECT_GT(differing, elements(a) / 2);
}

TEST(Perlin, AgreesWithAPlainReference) {
  for (double persistence : {0.25, 0.5, 0.2}) {
    testing_draws::setState(0x1111, 0x2222, 0x3333);
    const Field ref = referencePerlin(40, 24, persistence);
    testing_draws::setState(0x1111, 0x2222, 0x3333);
    expectNear(perlin(40, 24, persistence), ref, 1e-4);
  }
}

TEST(NormalizeImage, SecondStretchReusesTheFirstRange) {
  // A horizontal ramp 2 + x / 2 over nine columns: lo = 2, hi = 6. After the first stretch
  // the row reads x / 8; the clipped 7-wide mean keeps the three middle columns and pulls
  // the edges inwards; the second stretch maps each value v to (v − 2) / 4.
  Image<float> img(9, 7, 1);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) img(x, y, 0) = 2.0f + 0.5f * x;
  const double blurred[9] = {1.5, 2, 2.5, 3, 4, 5, 5.5, 6, 6.5};

  const Image<float> out = normalize_image(img);
  ASSERT_EQ(out.width, 9);
  ASSERT_EQ(out.height, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      EXPECT_NEAR(img(x, y, 0), blurred[x] / 8, 1e-6) << "input keeps the blurred state";
      EXPECT_NEAR(out(x, y, 0), (blurred[x] / 8 - 2) / 4, 1e-6) << x << ", " << y;
    }

  // The ramp x / 16 has lo = 0 and hi = 0.5: the second stretch doubles the blurred
  // values, and the right edge ends above 1.
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) img(x, y, 0) = x / 16.0f;
  const Image<float> narrow = normalize_image(img);
  for (int x = 0; x < 9; ++x) EXPECT_NEAR(narrow(x, 3, 0), blurred[x] / 4, 1e-6);
  EXPECT_GT(narrow(8, 0, 0), 1.0f);
}

TEST(NormalizeImage, UnitRangeIsStretchedOnlyOnce) {
  testing_draws::setState(9, 9, 9);
  Field f(20, 16);
  for (double& e : f.v) e = static_cast<float>(drand48());
  f.at(0, 0) = 0.0;
  f.at(19, 15) = 1.0;
  Image<float> img = imageOf(f);
  expectNear(normalize_image(img), boxMean(f, 3), 1e-6);
}

TEST(NormalizeImage, FlatImageGivesZeros) {
  for (const auto& [w, h, c] : std::vector<std::tuple<int, int, int>>{
           {10, 10, 1}, {1, 1, 1}, {8, 9, 3}, {3, 2, 1}}) {
    Image<float> img(w, h, c);
    img = 0.7;
    const Image<float> out = normalize_image(img);
    ASSERT_EQ(out.width, w);
    ASSERT_EQ(out.height, h);
    ASSERT_EQ(out.nchannels, c);
    for (long i = 0; i < elements(out); ++i) {
      ASSERT_EQ(out.data[i], 0.0f);
      ASSERT_EQ(img.data[i], 0.0f);
    }
  }
}

TEST(NormalizeImage, EmptyImageStaysEmpty) {
  Image<float> img;
  const Image<float> out = normalize_image(img);
  EXPECT_EQ(elements(out), 0);
}

TEST(GeneratePerlinStiffness, DrawsInTheStatedOrder) {
  const int w = 40, h = 24;
  EXPECT_EQ(testing_draws::countDraws([&] { generate_perlin_stiffness(w, h); }),
            3 * (1 + 1120 + 1) + 2240);
  EXPECT_EQ(testing_draws::countDraws([&] { generate_perlin_stiffness_hard(w, h); }),
            3 * (1 + 1120 + 1) + 2240);
  EXPECT_EQ(testing_draws::countDraws([&] { generate_perlin_stiffness(0, 0); }),
            3 * (1 + 1120 + 1) + 2240);

  // Replay: threshold, noise, radius three times, then the offset and the modulation.
  testing_draws::setState(0x0abc, 0x0def, 0x0123);
  Image<float> acc(w, h, 1);
  acc = 0.0;
  for (int i = 3; i >= 1; --i) {
    const double threshold = drand48() / i;
    const Image<float> noise = perlin(w, h, 0.25);
    const int r = static_cast<int>(1 + 4 * drand48());
    ASSERT_GE(r, 1);
    ASSERT_LE(r, 4);
    acc += (noise > threshold).boxFilter(r);
  }
  const Image<float> a = perlin(w, h, 0.5);
  const Image<float> b = perlin(w, h, 0.2);
  Image<float> result = normalize_image(acc) * b + a;
  const Image<float> expected = normalize_image(result).boxFilter(2);

  testing_draws::setState(0x0abc, 0x0def, 0x0123);
  EXPECT_TRUE(sameImage(generate_perlin_stiffness(w, h), expected));
}

TEST(GeneratePerlinStiffness, SameGeneratorStateGivesTheSameField) {
  testing_draws::setState(3, 1, 4);
  const Image<float> a = generate_perlin_stiffness(32, 32);
  testing_draws::setState(3, 1, 4);
  EXPECT_TRUE(sameImage(generate_perlin_stiffness(32, 32), a));
  EXPECT_EQ(a.nchannels, 1);
}

TEST(GeneratePerlinStiffnessHard, FoldsIntoTheUnitRange) {
  int seeded = 0, folded = 0;
  for (unsigned short s = 1; s <= 8; ++s) {
    testing_draws::setState(s, 0x5555, 0x0001);
    const Image<float> soft = generate_perlin_stiffness(48, 40);
    testing_draws::setState(s, 0x5555, 0x0001);
    const Image<float> hard = generate_perlin_stiffness_hard(48, 40);
    ASSERT_EQ(elements(hard), elements(soft));
    bool outside = false;
    for (long i = 0; i < elements(soft); ++i) {
      const float v = soft.data[i];
      ASSERT_GT(v, -1.0f);
      ASSERT_LT(v, 2.0f);
      outside = outside || v < 0.0f || v > 1.0f;
      const float expected = v > 1.0f ? v - 1.0f : (v < 0.0f ? v + 1.0f : v);
      ASSERT_EQ(hard.data[i], expected) << "element " << i;
      ASSERT_GE(hard.data[i], 0.0f);
      ASSERT_LE(hard.data[i], 1.0f);
    }
    ++seeded;
    folded += outside;
  }
  // The check above must have seen seams, not only values already in range.
  EXPECT_GT(folded, 0) << "of " << seeded << " fields";
}

TEST(GeneratePerlinStiffness, SmallAndEmptyCanvases) {
  // Tiny canvases are narrower than the 7 × 7 blur and often flat (a 1 × 1 noise always
  // is): the fields must still come out finite and of the canvas size.
  for (const auto& [w, h] :
       std::vector<std::pair<int, int>>{{1, 1}, {3, 3}, {3, 5}, {7, 2}, {0, 4}, {4, -1}}) {
    const Image<float> img = generate_perlin_stiffness_hard(w, h);
    if (w <= 0 || h <= 0) {
      EXPECT_EQ(elements(img), 0);
      continue;
    }
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    ASSERT_EQ(img.nchannels, 1);
    for (long i = 0; i < elements(img); ++i)
      EXPECT_TRUE(std::isfinite(img.data[i])) << w << " x " << h << ", element " << i;
  }
}
