// glimshape — tests/quarl
// Purpose: tests of the element-wise arithmetic, comparison and logical operators of
// vorn::Image<T>, against a plain per-element reference for every element type.
#include "quarl/image.h"

#include <gtest/gtest.h>

#include "common/images.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using glimtest::filled;
using vorn::Image;

namespace {

template <class T>
std::vector<double> elements(const Image<T>& im) {
  std::vector<double> v;
  for (int i = 0; i < im.width * im.height * im.nchannels; ++i) v.push_back(double(im[i]));
  return v;
}

// ---- Reference arithmetic, written from the rules rather than from the library -------

template <class T>
constexpr bool isFloat = std::is_floating_point_v<T>;

// The integer v stored in an unsigned element: v modulo 2^bits, as a non-negative value.
template <class T>
T refWrap(long long v) {
  const long long m = (long long)std::numeric_limits<T>::max() + 1;
  long long r = v % m;
  if (r < 0) r += m;
  return T(r);
}

// A double result stored in T: floating types round, unsigned types truncate then wrap.
template <class T>
T refStore(double d) {
  if constexpr (isFloat<T>) return T(d);
  else return refWrap<T>((long long)std::trunc(d));
}

// int-scalar and image arithmetic: in T for floating elements, exact integers wrapped for
// unsigned ones.
template <class T>
T refAddInt(T a, long long b) {
  if constexpr (isFloat<T>) return T(a + T(b));
  else return refWrap<T>((long long)a + b);
}
template <class T>
T refMulInt(T a, long long b) {
  if constexpr (isFloat<T>) return T(T(b) * a);
  // Products of two 32-bit values fit in unsigned 64 bits; wrap from there.
  else return T((unsigned long long)a * (unsigned long long)refWrap<std::uint32_t>(b) %
                ((unsigned long long)std::numeric_limits<T>::max() + 1));
}

template <class T>
std::uint32_t refBits(T v) {
  if constexpr (isFloat<T>) {
    if (std::isnan(double(v)) || v <= 0) return 0;
    if (double(v) >= 4294967295.0) return 4294967295u;
    return std::uint32_t(v);
  } else {
    return v;
  }
}

template <class T>
Image<T> randomImage(std::mt19937& rng, int w, int h, int c, bool withNaN = false) {
  Image<T> im(w, h, c);
  std::uniform_real_distribution<double> real(-100.0, 100.0);
  unsigned long long top = 0;
  if constexpr (!isFloat<T>) top = std::numeric_limits<T>::max();
  std::uniform_int_distribution<unsigned long long> whole(0, top);
  std::uniform_int_distribution<int> small(0, 3);
  for (int i = 0; i < w * h * c; ++i) {
    if constexpr (isFloat<T>) {
      im[i] = T(real(rng));
      // Exact zeros and repeated values exercise !, & and ties of the comparisons.
      if (small(rng) == 0) im[i] = T(0);
      if (small(rng) == 0) im[i] = T(std::round(real(rng) / 20));
      if (withNaN && i % 7 == 3) im[i] = std::numeric_limits<T>::quiet_NaN();
    } else {
      im[i] = T(whole(rng));
      if (small(rng) == 0) im[i] = T(small(rng));
    }
  }
  return im;
}

// Two element values are the same result: equal, or both NaN.
template <class T>
bool sameElement(T a, T b) {
  if constexpr (isFloat<T>) {
    if (std::isnan(double(a)) && std::isnan(double(b))) return true;
  }
  return a == b;
}

template <class T>
::testing::AssertionResult sameImage(const Image<T>& got, const Image<T>& a,
                                     const std::function<T(int)>& expected) {
  if (got.width != a.width || got.height != a.height || got.nchannels != a.nchannels)
    return ::testing::AssertionFailure() << "result has other sizes";
  for (int i = 0; i < a.width * a.height * a.nchannels; ++i) {
    const T e = expected(i);
    if (!sameElement(got[i], e))
      return ::testing::AssertionFailure() << "element " << i << ": got " << double(got[i])
                                           << ", expected " << double(e) << " (input "
                                           << double(a[i]) << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

// ---- Listed cases ---------------------------------------------------------------------

TEST(ImageArith, UnsignedCharWrapsAndTruncates) {
  const Image<unsigned char> a = filled<unsigned char>(1, 1, 1, {200});
  EXPECT_EQ((a + 100)[0], 44);
  EXPECT_EQ((a * 1.5)[0], 44);  // 300 truncated, then wrapped
  EXPECT_EQ((a - 201)[0], 255);
  EXPECT_EQ((a + 0.99)[0], 200);
  EXPECT_EQ((a - 200.5)[0], 0);  // -0.5 truncates toward zero
  EXPECT_EQ((a - 201.5)[0], 255);
  EXPECT_EQ((a / 3.0)[0], 66);
  // Results without an integer part are defined, as in the element conversions: infinity
  // is pinned to the largest 64-bit integer (low bits all ones) and NaN gives 0.
  EXPECT_EQ((a / 0.0)[0], 255);
  EXPECT_EQ((a / -0.0)[0], 0);
  EXPECT_EQ((a * std::numeric_limits<double>::quiet_NaN())[0], 0);
}

TEST(ImageArith, UnsignedIntWrapsModulo32Bits) {
  Image<unsigned int> a = filled<unsigned int>(2, 1, 1, {4294967295.0, 3});
  const Image<unsigned int> b = a + 1;
  EXPECT_EQ(b[0], 0u);
  EXPECT_EQ(b[1], 4u);
  EXPECT_EQ((a - 4)[1], 4294967295u);
  EXPECT_EQ((a * 2)[0], 4294967294u);
  a *= -1;
  EXPECT_EQ(a[1], 4294967293u);
}

TEST(ImageArith, CompoundFormsWriteThroughSharers) {
  Image<float> a = filled<float>(2, 1, 1, {1, 2});
  const Image<float> shared = a;
  a += 1;
  a *= 2.0;
  a -= 0.5;
  a /= 2.0;
  EXPECT_FLOAT_EQ(shared[0], 1.75f);
  EXPECT_FLOAT_EQ(shared[1], 2.75f);
  const Image<float> sum = a + 1;
  EXPECT_NE(sum.data, a.data);  // non-compound forms return a fresh buffer
  EXPECT_FLOAT_EQ(a[0], 1.75f);
}

TEST(ImageArith, ScalingByAOneChannelImage) {
  Image<float> a(3, 2, 3);
  Image<float> s(3, 2, 1);
  for (int i = 0; i < 18; ++i) a[i] = float(i + 1);
  for (int i = 0; i < 6; ++i) s[i] = float(i) * 0.5f;
  const Image<float> p = a * s;
  ASSERT_EQ(p.nchannels, 3);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(p(x, y, c), a(x, y, c) * s(x, y, 0));
  EXPECT_THROW(a * Image<float>(2, 2, 1), Image<float>::size_mismatch);
  // A channel count that is neither 1 nor this image's cannot be paired and is refused.
  EXPECT_THROW(a * Image<float>(3, 2, 2), Image<float>::size_mismatch);
  const Image<float> same = a * a;
  EXPECT_FLOAT_EQ(same(2, 1, 2), 18.0f * 18.0f);
}

TEST(ImageArith, MismatchMessagesShowThisImageFirst) {
  const Image<float> a(4, 3, 1), b(4, 3, 3);
  auto message = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const Image<float>::size_mismatch& e) {
      return e.what();
    }
    return "no exception";
  };
  EXPECT_EQ(message([&] { return a + b; }), "Dimension mismatch exception: 4x3x1 != 4x3x3");
  EXPECT_EQ(message([&] { return b - a; }), "Dimension mismatch exception: 4x3x3 != 4x3x1");
  EXPECT_EQ(message([&] { return a & b; }), "Dimension mismatch exception: 4x3x1 != 4x3x3");
  EXPECT_EQ(message([&] { return a | b; }), "Dimension mismatch exception: 4x3x1 != 4x3x3");
  EXPECT_EQ(message([&] { return Image<float>(5, 3, 1) * a; }),
            "Dimension mismatch exception: 5x3x1 != 4x3x1");
  // Comparisons check sizes too: a smaller other image would be read past its end.
  EXPECT_EQ(message([&] { return b > a; }), "Dimension mismatch exception: 4x3x3 != 4x3x1");
  Image<float> c(4, 3, 3);
  EXPECT_EQ(message([&] { c += a; }), "Dimension mismatch exception: 4x3x3 != 4x3x1");
  EXPECT_EQ(message([&] { a &= b; }), "Dimension mismatch exception: 4x3x1 != 4x3x3");
}

TEST(ImageArith, MasksAndLogic) {
  const Image<float> f = filled<float>(4, 1, 1, {0.2, 0.5, 0.7, -1});
  const Image<float> m = f > 0.5;
  EXPECT_EQ(elements(m), (std::vector<double>{0, 0, 1, 0}));
  EXPECT_EQ(elements(f >= 0.5), (std::vector<double>{0, 1, 1, 0}));

  const Image<unsigned char> a = filled<unsigned char>(3, 1, 1, {0, 2, 3});
  const Image<unsigned char> b = filled<unsigned char>(3, 1, 1, {1, 0, 5});
  EXPECT_EQ(elements(a & b), (std::vector<double>{0, 0, 1}));
  a &= b;  // in place, through a const image
  EXPECT_EQ(elements(a), (std::vector<double>{0, 0, 1}));
  const Image<unsigned char> one = filled<unsigned char>(1, 1, 1, {1});
  const Image<unsigned char> two = filled<unsigned char>(1, 1, 1, {2});
  EXPECT_EQ((one | two)[0], 3);
  EXPECT_EQ(elements(!filled<unsigned char>(2, 1, 1, {0, 7})), (std::vector<double>{1, 0}));
}

TEST(ImageArith, FloatingOrAndNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Image<double> a = filled<double>(4, 1, 1, {5.7, 1e12, -3, nan});
  const Image<double> b = filled<double>(4, 1, 1, {2.2, 1, 8, 4});
  EXPECT_EQ(elements(a | b), (std::vector<double>{7, 4294967295.0, 8, 4}));
  EXPECT_EQ(elements(a != 5.7), (std::vector<double>{0, 1, 1, 1}));
  EXPECT_EQ(elements(a <= 1e12), (std::vector<double>{1, 1, 1, 0}));
  EXPECT_EQ(elements(!a), (std::vector<double>{0, 0, 0, 0}));
}

TEST(ImageArith, EmptyImagesStayEmpty) {
  const Image<float> e(0, 5, 2);
  const Image<float> r = (e + 1) * 2.0;
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 5);
  EXPECT_EQ(r.data, nullptr);
  EXPECT_NO_THROW(e + e);
}

// ---- Randomised comparison against the reference, every element type -----------------

template <class T>
class ImageArithTyped : public ::testing::Test {};
using ElementTypes = ::testing::Types<unsigned char, unsigned short, unsigned int, float, double>;
TYPED_TEST_SUITE(ImageArithTyped, ElementTypes);

TYPED_TEST(ImageArithTyped, ScalarOperatorsMatchReference) {
  using T = TypeParam;
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> ints(-300, 300);
  std::uniform_real_distribution<double> reals(-3.0, 3.0);
  for (int round = 0; round < 4; ++round) {
    const Image<T> a = randomImage<T>(rng, 7, 5, 1 + round % 3, true);
    const int k = round == 3 ? 2147483647 : ints(rng);
    const double d = reals(rng);
    auto e = [&](int i) { return a[i]; };
    SCOPED_TRACE(::testing::Message() << "k=" << k << " d=" << d);
    EXPECT_TRUE(sameImage<T>(a + k, a, [&](int i) { return refAddInt(e(i), k); }));
    EXPECT_TRUE(sameImage<T>(a - k, a, [&](int i) { return refAddInt(e(i), -(long long)k); }));
    EXPECT_TRUE(sameImage<T>(a * k, a, [&](int i) { return refMulInt(e(i), k); }));
    EXPECT_TRUE(sameImage<T>(a + d, a, [&](int i) { return refStore<T>(double(e(i)) + d); }));
    EXPECT_TRUE(sameImage<T>(a - d, a, [&](int i) { return refStore<T>(double(e(i)) - d); }));
    EXPECT_TRUE(sameImage<T>(a * d, a, [&](int i) { return refStore<T>(d * double(e(i))); }));
    EXPECT_TRUE(sameImage<T>(a / d, a, [&](int i) { return refStore<T>(double(e(i)) / d); }));
    const double t = double(a[3]);  // a value that occurs, so ties are exercised
    auto mask = [](bool b) { return T(b ? 1 : 0); };
    EXPECT_TRUE(sameImage<T>(a > t, a, [&](int i) { return mask(double(e(i)) > t); }));
    EXPECT_TRUE(sameImage<T>(a >= t, a, [&](int i) { return mask(double(e(i)) >= t); }));
    EXPECT_TRUE(sameImage<T>(a < t, a, [&](int i) { return mask(double(e(i)) < t); }));
    EXPECT_TRUE(sameImage<T>(a <= t, a, [&](int i) { return mask(double(e(i)) <= t); }));
    EXPECT_TRUE(sameImage<T>(a != t, a, [&](int i) { return mask(double(e(i)) != t); }));
    EXPECT_TRUE(sameImage<T>(!a, a, [&](int i) { return mask(e(i) == T(0)); }));

    // The compound forms give the same elements in place.
    auto inPlace = [&](auto op) {
      Image<T> c = a.copy();
      op(c);
      return c;
    };
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c += k; }), a, [&](int i) { return refAddInt(e(i), k); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c -= k; }), a, [&](int i) { return refAddInt(e(i), -(long long)k); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c *= k; }), a, [&](int i) { return refMulInt(e(i), k); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c += d; }), a, [&](int i) { return refStore<T>(double(e(i)) + d); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c -= d; }), a, [&](int i) { return refStore<T>(double(e(i)) - d); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c *= d; }), a, [&](int i) { return refStore<T>(d * double(e(i))); }));
    EXPECT_TRUE(sameImage<T>(inPlace([&](Image<T>& c) { c /= d; }), a, [&](int i) { return refStore<T>(double(e(i)) / d); }));
  }
}

TYPED_TEST(ImageArithTyped, ImageOperatorsMatchReference) {
  using T = TypeParam;
  std::mt19937 rng(7);
  for (int round = 0; round < 4; ++round) {
    const int nc = 1 + round % 3;
    const Image<T> a = randomImage<T>(rng, 6, 4, nc, round == 1);
    Image<T> b = randomImage<T>(rng, 6, 4, nc, round == 2);
    if (round == 3) b = a.copy();  // all ties
    auto A = [&](int i) { return a[i]; };
    auto B = [&](int i) { return b[i]; };
    auto mask = [](bool v) { return T(v ? 1 : 0); };
    std::function<T(int)> sum, diff, prod;
    if constexpr (isFloat<T>) {
      sum = [&](int i) { return T(A(i) + B(i)); };
      diff = [&](int i) { return T(A(i) - B(i)); };
      prod = [&](int i) { return T(A(i) * B(i)); };
    } else {
      sum = [&](int i) { return refWrap<T>((long long)A(i) + B(i)); };
      diff = [&](int i) { return refWrap<T>((long long)A(i) - B(i)); };
      prod = [&](int i) { return refMulInt(A(i), (long long)B(i)); };
    }
    EXPECT_TRUE(sameImage<T>(a + b, a, sum));
    EXPECT_TRUE(sameImage<T>(a - b, a, diff));
    EXPECT_TRUE(sameImage<T>(a * b, a, prod));
    EXPECT_TRUE(sameImage<T>(a & b, a, [&](int i) { return mask(A(i) != T(0) && B(i) != T(0)); }));
    EXPECT_TRUE(sameImage<T>(a | b, a, [&](int i) { return T(refBits(A(i)) | refBits(B(i))); }));
    EXPECT_TRUE(sameImage<T>(a > b, a, [&](int i) { return mask(A(i) > B(i)); }));
    EXPECT_TRUE(sameImage<T>(a >= b, a, [&](int i) { return mask(A(i) >= B(i)); }));
    EXPECT_TRUE(sameImage<T>(a < b, a, [&](int i) { return mask(A(i) < B(i)); }));
    EXPECT_TRUE(sameImage<T>(a <= b, a, [&](int i) { return mask(A(i) <= B(i)); }));

    Image<T> c = a.copy();
    c += b;
    EXPECT_TRUE(sameImage<T>(c, a, sum));
    c = a.copy();
    c -= b;
    EXPECT_TRUE(sameImage<T>(c, a, diff));
    c = a.copy();
    c &= b;
    EXPECT_TRUE(sameImage<T>(c, a, [&](int i) { return mask(A(i) != T(0) && B(i) != T(0)); }));

    // Per-pixel scaling by a one-channel image.
    const Image<T> s = randomImage<T>(rng, 6, 4, 1);
    EXPECT_TRUE(sameImage<T>(a * s, a, [&](int i) {
      const T f = s[i / nc];
      if constexpr (isFloat<T>) return T(A(i) * f);
      else return refMulInt(A(i), (long long)f);
    }));
  }
}
