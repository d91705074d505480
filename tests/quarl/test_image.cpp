// glimshape — tests/quarl
// Purpose: tests of vorn::Image<T>: sharing, conversions, access, channels and regions.
#include "quarl/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/images.h"

using vorn::Image;

namespace {

using glimtest::filled;

template <class D, class S>
D convertOne(S s) {
  Image<S> a(1, 1, 1);
  a[0] = s;
  Image<D> b;
  b = a;
  return b[0];
}

int count(const Image<unsigned char>& a) { return a.refcount ? int(*a.refcount) : 0; }

// The plain recursive flood fill the explicit-stack version must agree with.
void referenceFill(Image<unsigned char>& im, int x, int y, int from, int to, int depth,
                   int& budget) {
  if (depth > im.width) return;
  if (im(x, y, 0) != from) return;
  im(x, y, 0) = static_cast<unsigned char>(to);
  if (--budget <= 0) return;
  if (x > 0) referenceFill(im, x - 1, y, from, to, depth + 1, budget);
  if (y > 0) referenceFill(im, x, y - 1, from, to, depth + 1, budget);
  if (x < im.width - 1) referenceFill(im, x + 1, y, from, to, depth + 1, budget);
  if (y < im.height - 1) referenceFill(im, x, y + 1, from, to, depth + 1, budget);
}

}  // namespace

// ---- Sharing and release ----------------------------------------------------------------

TEST(Image, SharingCopyAndRelease) {
  Image<unsigned char> a(4, 3, 2);
  a = 5;
  EXPECT_EQ(count(a), 1);
  {
    Image<unsigned char> b(a);
    EXPECT_EQ(count(a), 2);
    EXPECT_EQ(b.data, a.data);
    b(3, 2, 1) = 77;
    EXPECT_EQ(a(3, 2, 1), 77);

    Image<unsigned char> c;
    c = a;
    EXPECT_EQ(count(a), 3);
    c = c;  // self-assignment keeps the count
    EXPECT_EQ(count(a), 3);
    c = b;  // a sharer assigned from another sharer
    EXPECT_EQ(count(a), 3);

    Image<unsigned char> d = a.copy();
    EXPECT_NE(d.data, a.data);
    EXPECT_EQ(count(d), 1);
    EXPECT_EQ(d(3, 2, 1), 77);
    d(0, 0, 0) = 9;
    EXPECT_EQ(a(0, 0, 0), 5);

    Image<unsigned char> m(std::move(c));
    EXPECT_EQ(c.data, nullptr);
    EXPECT_EQ(c.refcount, nullptr);
    EXPECT_EQ(count(a), 3);
    m = std::move(b);
    EXPECT_EQ(count(a), 2);
  }
  EXPECT_EQ(count(a), 1);
  a.release();
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.refcount, nullptr);
}

TEST(Image, AssignToCopyOfItselfKeepsCountTwo) {
  Image<float> a(2, 2, 1);
  Image<float> b(a);
  b = a;
  EXPECT_EQ(int(*a.refcount), 2);
  EXPECT_EQ(b.data, a.data);
}

TEST(Image, EmptyImagesOwnNoBuffer) {
  Image<float> a(0, 0, 3);
  EXPECT_EQ(a.getDataPtr(), nullptr);
  EXPECT_EQ(a.refcount, nullptr);
  EXPECT_EQ(a.nchannels, 3);
  Image<float> b(a), c;
  c = a;
  c = a.copy();
  EXPECT_EQ(c.data, nullptr);
  double lo, hi;
  a.getRange(lo, hi);
  EXPECT_EQ(lo, 1e11);
  EXPECT_EQ(hi, -1e11);
  Image<unsigned char> u;
  u = a;
  EXPECT_EQ(u.data, nullptr);
  EXPECT_EQ(u.nchannels, 3);

  Image<float> neg(-3, -4, 2);  // negative sizes give an empty image
  EXPECT_EQ(neg.data, nullptr);
  EXPECT_EQ(neg.width, 0);
  EXPECT_EQ(neg.height, 0);

  Image<float> missing("/nonexistent/file.tga");
  EXPECT_EQ(missing.data, nullptr);
  EXPECT_EQ(missing.width, 0);
}

TEST(Image, ReleasedImageIsHarmless) {
  Image<float> a(3, 2, 3);
  a = 0.5;
  Image<float> sharer(a);
  a.release();  // a still shared buffer stays with its other user
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(int(*sharer.refcount), 1);
  EXPECT_EQ(sharer[17], 0.5f);
  EXPECT_EQ(a.copy().data, nullptr);
  EXPECT_EQ(a.getChannel(1).data, nullptr);
  EXPECT_EQ(a.convertToGrayscale().data, nullptr);
  EXPECT_EQ(a.convertToRgba().data, nullptr);
  EXPECT_EQ(a.subimage(0, 0, 2, 2).data, nullptr);
  EXPECT_EQ(a.maximum().data, nullptr);
  Image<unsigned char> u;
  u = a;
  EXPECT_EQ(u.data, nullptr);
  EXPECT_EQ(u.width, 0);
  Image<float> b(3, 2, 3);
  EXPECT_THROW(b.setChannel(0, a, 0), Image<float>::size_mismatch);
}

TEST(Image, SizesBeyondIndexRangeAreRefused) {
  EXPECT_THROW(Image<unsigned char>(65536, 65536, 1), std::bad_alloc);
  EXPECT_THROW(Image<float>(46341, 46341, 1), std::bad_alloc);
}

TEST(Image, AtomicCountAcrossThreads) {
  Image<unsigned char> a(8, 8, 1);
  auto churn = [&a] {
    for (int i = 0; i < 100000; ++i) {
      Image<unsigned char> b(a);
      Image<unsigned char> c;
      c = b;
    }
  };
  std::thread t1(churn), t2(churn);
  t1.join();
  t2.join();
  EXPECT_EQ(count(a), 1);
}

TEST(Image, IteratorWalksRowsOnChannelZero) {
  Image<unsigned short> a(3, 2, 2);
  for (int i = 0; i < 12; ++i) a[i] = static_cast<unsigned short>(i);
  std::vector<int> seen;
  for (auto it = a.begin(); it != a.end(); ++it) seen.push_back(*it);
  EXPECT_EQ(seen, (std::vector<int>{0, 2, 4, 6, 8, 10}));
  Image<unsigned short> other = a.copy();
  EXPECT_FALSE(a.begin() == other.begin());
  Image<unsigned short> thin(0, 4, 1);
  EXPECT_TRUE(thin.begin() == thin.end());
}

// ---- Element conversions ---------------------------------------------------------------

template <class S>
void expectZeroToZero() {
  EXPECT_EQ((convertOne<unsigned char, S>(S(0))), 0);
  EXPECT_EQ((convertOne<unsigned short, S>(S(0))), 0);
  EXPECT_EQ((convertOne<unsigned int, S>(S(0))), 0u);
  EXPECT_EQ((convertOne<float, S>(S(0))), 0.0f);
  EXPECT_EQ((convertOne<double, S>(S(0))), 0.0);
}

TEST(Image, ConversionKeepsZero) {
  expectZeroToZero<unsigned char>();
  expectZeroToZero<unsigned short>();
  expectZeroToZero<unsigned int>();
  expectZeroToZero<float>();
  expectZeroToZero<double>();
}

TEST(Image, ConversionFromUnsignedChar) {
  EXPECT_EQ((convertOne<unsigned short, unsigned char>(0)), 0);
  EXPECT_EQ((convertOne<unsigned short, unsigned char>(255)), 65280);
  EXPECT_EQ((convertOne<unsigned int, unsigned char>(1)), 16777216u);
  EXPECT_EQ((convertOne<unsigned int, unsigned char>(255)), 4278190080u);
  EXPECT_EQ((convertOne<float, unsigned char>(255)), 1.0f);
  EXPECT_EQ((convertOne<float, unsigned char>(0)), 0.0f);
  EXPECT_EQ((convertOne<float, unsigned char>(51)), 51.0f / 255.0f);
  EXPECT_EQ((convertOne<double, unsigned char>(255)), 1.0);
  EXPECT_EQ((convertOne<double, unsigned char>(51)), 51.0 / 255.0);
}

TEST(Image, ConversionFromUnsignedShort) {
  EXPECT_EQ((convertOne<unsigned char, unsigned short>(65535)), 255);
  EXPECT_EQ((convertOne<unsigned char, unsigned short>(257)), 1);
  EXPECT_EQ((convertOne<unsigned char, unsigned short>(256)), 0);  // 0.996 truncates
  EXPECT_EQ((convertOne<unsigned int, unsigned short>(65535)), 4294901760u);
  // Divides by 65536, so full intensity lands just below 1.
  EXPECT_EQ((convertOne<float, unsigned short>(65535)), 65535.0f / 65536.0f);
  EXPECT_EQ((convertOne<double, unsigned short>(65535)), 65535.0 / 65536.0);
  EXPECT_EQ((convertOne<double, unsigned short>(32768)), 0.5);
}

TEST(Image, ConversionFromUnsignedInt) {
  EXPECT_EQ((convertOne<unsigned char, unsigned int>(4294967295u)), 255);
  EXPECT_EQ((convertOne<unsigned char, unsigned int>(16843009u)), 1);  // 0x01010101
  EXPECT_EQ((convertOne<unsigned short, unsigned int>(4294967295u)), 65535);
  EXPECT_EQ((convertOne<unsigned short, unsigned int>(65535u)), 0);
  EXPECT_EQ((convertOne<float, unsigned int>(4294967295u)), 1.0f);
  EXPECT_EQ((convertOne<float, unsigned int>(0u)), 0.0f);
  EXPECT_EQ((convertOne<double, unsigned int>(4294967295u)), 1.0);
}

TEST(Image, ConversionFromFloatWraps) {
  EXPECT_EQ((convertOne<unsigned char, float>(0.0f)), 0);
  EXPECT_EQ((convertOne<unsigned char, float>(0.5f)), 127);
  EXPECT_EQ((convertOne<unsigned char, float>(1.0f)), 255);
  EXPECT_EQ((convertOne<unsigned char, float>(1.5f)), 126);  // 382 wraps
  EXPECT_EQ((convertOne<unsigned char, float>(-1.0f / 255.0f)), 255);  // -1 wraps
  EXPECT_EQ((convertOne<unsigned char, float>(NAN)), 0);
  EXPECT_EQ((convertOne<unsigned char, float>(1e30f)), 0);
  EXPECT_EQ((convertOne<unsigned short, float>(1.0f)), 65535);
  EXPECT_EQ((convertOne<unsigned short, float>(2.0f)), 65534);  // 131070 wraps
  EXPECT_EQ((convertOne<unsigned int, float>(1.0f)), 4294967295u);  // clamped
  EXPECT_EQ((convertOne<unsigned int, float>(0.5f)), 2147483648u);
  EXPECT_EQ((convertOne<unsigned int, float>(-0.5f)), 0u);
  EXPECT_EQ((convertOne<unsigned int, float>(7.0f)), 4294967295u);
  EXPECT_EQ((convertOne<unsigned int, float>(NAN)), 0u);
  EXPECT_EQ((convertOne<double, float>(0.1f)), double(0.1f));
}

TEST(Image, ConversionFromDoubleWraps) {
  EXPECT_EQ((convertOne<unsigned char, double>(1.0)), 255);
  EXPECT_EQ((convertOne<unsigned char, double>(0.5)), 127);
  EXPECT_EQ((convertOne<unsigned char, double>(1.5)), 126);
  EXPECT_EQ((convertOne<unsigned short, double>(1.0)), 65535);
  EXPECT_EQ((convertOne<unsigned short, double>(2.0)), 65534);
  EXPECT_EQ((convertOne<unsigned int, double>(1.0)), 4294967295u);
  EXPECT_EQ((convertOne<unsigned int, double>(0.5)), 2147483647u);  // 2147483647.5
  EXPECT_EQ((convertOne<unsigned int, double>(-2.0)), 0u);
  EXPECT_EQ((convertOne<unsigned int, double>(3.0)), 4294967295u);
  EXPECT_EQ((convertOne<float, double>(0.1)), 0.1f);
}

TEST(Image, ConvertingAssignmentMakesFreshImage) {
  Image<unsigned char> a = filled<unsigned char>(2, 1, 3, {0, 51, 102, 153, 204, 255});
  Image<float> f(9, 9, 1);
  Image<float> f2(f);  // f's old buffer must survive in its sharer
  f = a;
  EXPECT_EQ(f.width, 2);
  EXPECT_EQ(f.height, 1);
  EXPECT_EQ(f.nchannels, 3);
  EXPECT_EQ(int(*f.refcount), 1);
  EXPECT_EQ(int(*f2.refcount), 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f[i], float(a[i]) / 255.0f);
  Image<float> g(a);  // converting constructor
  EXPECT_EQ(g[5], 1.0f);
  // The application converts masks to float and back: every byte value survives.
  Image<unsigned char> ramp(256, 1, 1);
  for (int i = 0; i < 256; ++i) ramp[i] = static_cast<unsigned char>(i);
  Image<float> rampF(ramp);
  Image<unsigned char> back;
  back = rampF;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(back[i], i);
}

TEST(Image, AssignScalarAndRepresentationMax) {
  Image<unsigned char> a(2, 2, 2);
  Image<unsigned char> b(a);
  a = 300;  // wraps
  EXPECT_EQ(b[7], 44);
  a = 2.9;
  EXPECT_EQ(b[0], 2);
  Image<float> f(1, 1, 2);
  f = 0.25;
  EXPECT_EQ(f[1], 0.25f);
  EXPECT_EQ(Image<unsigned char>::representationMax(), 255);
  EXPECT_EQ(Image<unsigned short>::representationMax(), 65535);
  EXPECT_EQ(Image<unsigned int>::representationMax(), 4294967295u);
  EXPECT_EQ(Image<float>::representationMax(), 1.0f);
  EXPECT_EQ(Image<double>::representationMax(), 1.0);
}

// ---- Parts and channels ----------------------------------------------------------------

TEST(Image, SubimageClamps) {
  Image<unsigned short> a(5, 4, 2);
  for (int i = 0; i < 40; ++i) a[i] = static_cast<unsigned short>(i);
  {
    Image<unsigned short> s = a.subimage(-5, -5, 0, 0);
    EXPECT_EQ(s.width, 1);
    EXPECT_EQ(s.height, 1);
    EXPECT_EQ(s(0, 0, 0), a(0, 0, 0));
    EXPECT_EQ(s(0, 0, 1), a(0, 0, 1));
  }
  {
    Image<unsigned short> s = a.subimage(4, 3, 2, 2);  // moved back inside
    EXPECT_EQ(s.width, 2);
    EXPECT_EQ(s(0, 0, 1), a(3, 2, 1));
    EXPECT_EQ(s(1, 1, 0), a(4, 3, 0));
  }
  {
    Image<unsigned short> s = a.subimage(1, 1, 50, 50);  // shrunk to the image
    EXPECT_EQ(s.width, 5);
    EXPECT_EQ(s.height, 4);
    EXPECT_EQ(s(4, 3, 1), a(4, 3, 1));
    EXPECT_NE(s.data, a.data);
  }
}

TEST(Image, SetSubimageErrors) {
  Image<double> a(4, 4, 1);
  a = 0.0;
  Image<double> s(2, 2, 1);
  s = 1.0;
  EXPECT_THROW(a.setSubimage(0, 0, Image<double>(2, 2, 3)), Image<double>::size_mismatch);
  try {
    a.setSubimage(0, 0, Image<double>(1, 1, 2));
  } catch (const Image<double>::size_mismatch& e) {
    EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
  }
  EXPECT_THROW(a.setSubimage(3, 0, s), Image<double>::index_error);
  EXPECT_THROW(a.setSubimage(0, 3, s), Image<double>::index_error);
  a.setSubimage(-7, 2, s);  // x becomes 0
  EXPECT_EQ(a(0, 2, 0), 1.0);
  EXPECT_EQ(a(1, 3, 0), 1.0);
  EXPECT_EQ(a(2, 2, 0), 0.0);
  EXPECT_EQ(a(0, 1, 0), 0.0);
  try {
    a.setSubimage(3, 3, s);
  } catch (const Image<double>::index_error& e) {
    EXPECT_STREQ(e.what(), "Index error exception.");
  }
}

TEST(Image, Channels) {
  Image<unsigned int> a(2, 2, 3);
  for (int i = 0; i < 12; ++i) a[i] = unsigned(i);
  Image<unsigned int> c1 = a.getChannel(1);
  EXPECT_EQ(c1.nchannels, 1);
  EXPECT_EQ(c1(1, 1, 0), 10u);
  EXPECT_THROW(a.getChannel(3), Image<unsigned int>::index_error);
  Image<unsigned int> none(3, 3, 0);
  Image<unsigned int> n = none.getChannel(0);
  EXPECT_EQ(n.width, 0);
  EXPECT_EQ(n.nchannels, 0);

  a.setChannel(2, 7);
  EXPECT_EQ(a(1, 0, 2), 7u);
  a.setChannel(0, 3.9);
  EXPECT_EQ(a(1, 1, 0), 3u);
  Image<unsigned int> src(3, 3, 2);
  for (int i = 0; i < 18; ++i) src[i] = unsigned(100 + i);
  a.setChannel(1, src, 1);
  EXPECT_EQ(a(1, 1, 1), src(1, 1, 1));
  EXPECT_THROW(a.setChannel(1, Image<unsigned int>(1, 1, 1), 0),
               Image<unsigned int>::size_mismatch);
  a.setToChannel(1);
  EXPECT_EQ(a(1, 1, 0), src(1, 1, 1));
  EXPECT_EQ(a(1, 1, 2), src(1, 1, 1));
}

TEST(Image, GreyAndRgba) {
  Image<unsigned char> rgb = filled<unsigned char>(1, 1, 4, {10, 20, 31, 200});
  EXPECT_EQ(rgb.convertToGrayscale()[0], 20);  // 61 / 3 truncated; alpha ignored
  Image<float> f = filled<float>(1, 1, 3, {0.1, 0.2, 0.6});
  EXPECT_FLOAT_EQ(f.convertToGrayscale()[0], 0.3f);
  Image<unsigned char> grey = filled<unsigned char>(1, 1, 1, {7});
  Image<unsigned char> g2 = grey.convertToGrayscale();
  EXPECT_NE(g2.data, grey.data);
  Image<unsigned char> rgba = grey.convertToRgba();
  EXPECT_EQ(std::string(rgba), "(7 7 7 255 )\n");
  Image<unsigned short> us = filled<unsigned short>(1, 1, 3, {1, 2, 3});
  EXPECT_EQ(std::string(us.convertToRgba()), "(1 2 3 65535 )\n");
  EXPECT_EQ(us.nchannels, 3);
  try {
    Image<float>(1, 1, 2).convertToGrayscale();
    FAIL();
  } catch (const Image<float>::invalid_operation& e) {
    EXPECT_STREQ(e.what(), "Cannot convert 2 channels to grayscale.\n");
  }
  EXPECT_THROW(Image<float>(1, 1, 5).convertToGrayscale(), Image<float>::invalid_operation);
  try {
    Image<double>(1, 1, 2).convertToRgba();
    FAIL();
  } catch (const Image<double>::invalid_operation& e) {
    EXPECT_STREQ(e.what(), "Cannot add alpha channel to image with 2 channels.\n");
  }
}

// ---- Queries and in-place operations ---------------------------------------------------

TEST(Image, RangeNormalizeMaximumLen) {
  Image<double> d = filled<double>(3, 1, 1, {3.0, 2.0, -1.0});  // falling: both bounds move
  double lo, hi;
  d.getRange(lo, hi);
  EXPECT_EQ(lo, -1.0);
  EXPECT_EQ(hi, 3.0);
  Image<float> n = d.getNormalizedImage();
  EXPECT_FLOAT_EQ(n[0], 1.0f);
  EXPECT_FLOAT_EQ(n[1], 0.75f);
  EXPECT_FLOAT_EQ(n[2], 0.0f);
  Image<float> f = filled<float>(2, 1, 1, {2.0, 4.0});
  Image<float> nf = f.getNormalizedImage();
  EXPECT_EQ(f[0], 2.0f);  // the source is untouched
  EXPECT_EQ(nf[1], 1.0f);
  Image<unsigned char> u = filled<unsigned char>(3, 1, 1, {10, 20, 30});
  Image<float> nu = u.getNormalizedImage();
  EXPECT_FLOAT_EQ(nu[1], 0.5f);
  Image<float> flat = filled<float>(2, 1, 1, {5.0, 5.0}).getNormalizedImage();
  EXPECT_EQ(flat[0], 0.0f);

  Image<float> m = filled<float>(2, 1, 2, {-1.0, -2.0, 0.5, 0.25}).maximum();
  EXPECT_EQ(m[0], 0.0f);
  EXPECT_EQ(m[1], 0.5f);
  Image<unsigned char> l = filled<unsigned char>(1, 1, 2, {3, 4}).len();
  EXPECT_EQ(l[0], 5);
  const double th[2] = {5.0, 5.0};
  Image<unsigned char> t = filled<unsigned char>(3, 1, 2, {1, 4, 5, 1, 4, 7}).threshLess(th);
  EXPECT_EQ(t[0], 1);
  EXPECT_EQ(t[1], 0);
  EXPECT_EQ(t[2], 0);
}

TEST(Image, AbsAndFabs) {
  Image<float> f = filled<float>(3, 1, 1, {-2.5, 1.75, -0.5});
  Image<float> g = f.copy();
  f.abs();
  EXPECT_EQ(f[0], 2.0f);
  EXPECT_EQ(f[1], 1.0f);
  EXPECT_EQ(f[2], 0.0f);
  g.fabs();
  EXPECT_EQ(g[0], 2.5f);
  Image<unsigned int> u = filled<unsigned int>(3, 1, 1, {5, 4294967295.0, 2147483648.0});
  Image<unsigned int> v = u.copy();
  u.abs();
  EXPECT_EQ(u[0], 5u);
  EXPECT_EQ(u[1], 1u);
  EXPECT_EQ(u[2], 2147483648u);
  v.fabs();
  EXPECT_EQ(v[1], 4294967295u);
  Image<unsigned char> c = filled<unsigned char>(1, 1, 1, {200});
  c.abs();
  EXPECT_EQ(c[0], 200);
}

TEST(Image, MapThroughLabels) {
  Image<unsigned short> a = filled<unsigned short>(3, 1, 2, {1, 2, 3, 4, 5, 6});
  Image<unsigned int> labels = filled<unsigned int>(3, 1, 1, {2, 2, 0});
  Image<unsigned short> m = a.map(labels);
  EXPECT_EQ(std::string(m), "(5 6 )(5 6 )(1 2 )\n");
  testing::internal::CaptureStdout();
  Image<unsigned short> bad = a.map(Image<unsigned int>(2, 2, 1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Image::map inconsistent sizes for map 3x1!=2x2\n");
  EXPECT_EQ(bad.width, 3);
  Image<unsigned int> outside = filled<unsigned int>(3, 1, 1, {0, 3, 0});
  EXPECT_THROW(a.map(outside), Image<unsigned short>::index_error);
}

TEST(Image, PrintTexts) {
  Image<unsigned char> a = filled<unsigned char>(2, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  testing::internal::CaptureStdout();
  a.print("%3d");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "channel 0\n  1  3\n  5  7\nchannel 1\n  2  4\n  6  8\n");
  Image<float> f = filled<float>(2, 1, 1, {0.5, 1.25});
  testing::internal::CaptureStdout();
  f.print("%.2f ");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "channel 0\n0.50 1.25 \n");
  Image<unsigned int> u = filled<unsigned int>(1, 1, 1, {4294967295.0});
  testing::internal::CaptureStdout();
  u.print("%u");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "channel 0\n4294967295\n");
  EXPECT_EQ(std::string(a), "(1 2 )(3 4 )\n(5 6 )(7 8 )\n");
  EXPECT_EQ(std::string(f), "(0.5 )(1.25 )\n");
}

// ---- Exceptions ------------------------------------------------------------------------

TEST(Image, SizeMismatchKeepsItsOwnText) {
  Image<float>::size_mismatch first(Image<float>(4, 3, 1), Image<float>(5, 3, 1));
  Image<float>::size_mismatch second(7, 8, 9, 10, 11, 12);
  Image<float>::size_mismatch plain;
  EXPECT_STREQ(first.what(), "Dimension mismatch exception: 4x3x1 != 5x3x1");
  EXPECT_STREQ(second.what(), "Dimension mismatch exception: 7x8x9 != 10x11x12");
  EXPECT_STREQ(plain.what(), "Dimension mismatch exception.");
  EXPECT_TRUE(first.haveSizes);
  EXPECT_FALSE(plain.haveSizes);
  EXPECT_EQ(first.width2, 5);
  Image<float>::size_mismatch copied(second);
  EXPECT_STREQ(copied.what(), second.what());
}

// ---- Region operations -----------------------------------------------------------------

TEST(Image, VisitCountsRegion) {
  // 1 1 0 1
  // 0 1 0 1
  // 1 1 1 1
  Image<unsigned char> a = filled<unsigned char>(4, 3, 1, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1});
  Image<unsigned char> marks(4, 3, 1);
  marks = 0;
  EXPECT_EQ(a.visit(marks, 0, 0, 1), 9);
  EXPECT_EQ(marks(2, 0, 0), 0);
  EXPECT_EQ(marks(3, 0, 0), 1);
  EXPECT_EQ(a.visit(marks, 0, 1, 0), 1);  // the seed itself is not tested
  EXPECT_EQ(a.visit(marks, 2, 0, 0), 2);  // (2, 0) and (2, 1); (0, 1) is marked already
}

TEST(Image, CleanRemovesSmallRegions) {
  // An isolated pair and a region of three, on a 6 x 4 mask.
  const char* rows[] = {"110000", "000000", "000111", "000000"};
  Image<unsigned char> a(6, 4, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) a(x, y, 0) = rows[y][x] == '1';
  a.clean(3, 1);
  EXPECT_EQ(a(0, 0, 0), 0);
  EXPECT_EQ(a(1, 0, 0), 0);
  EXPECT_EQ(a(3, 2, 0), 1);
  EXPECT_EQ(a(5, 2, 0), 1);
  // Holes of 0 inside a field of 1 fill up when value is 0.
  Image<unsigned char> b(5, 5, 1);
  b = 1;
  b(2, 2, 0) = 0;
  b.clean(2, 0);
  EXPECT_EQ(b(2, 2, 0), 1);
}

TEST(Image, FillFollowsRecursiveOrder) {
  srand48(7);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 1 + int(drand48() * 12), h = 1 + int(drand48() * 12);
    Image<unsigned char> a(w, h, 1);
    for (int i = 0; i < w * h; ++i) a[i] = drand48() < 0.7;
    Image<unsigned char> b = a.copy();
    const int x = int(drand48() * w), y = int(drand48() * h);
    const int depth = int(drand48() * 6) - 3;
    const int budget0 = int(drand48() * (w * h + 4)) - 2;
    int b1 = budget0, b2 = budget0;
    a.fill(x, y, 1, 0, depth, b1);
    referenceFill(b, x, y, 1, 0, depth, b2);
    ASSERT_EQ(b1, b2) << "trial " << trial;
    ASSERT_EQ(std::string(a), std::string(b)) << "trial " << trial;
  }
}

TEST(Image, FillOfHugeRegionDoesNotOverflowTheStack) {
  Image<unsigned char> a(2000, 2000, 1);
  a = 1;
  int budget = INT_MAX;
  a.fill(0, 0, 1, 0, 0, budget);
  EXPECT_EQ(a(0, 0, 0), 0);
  // A single row wider than any call stack could recurse: every pixel is reached.
  Image<unsigned char> row(2000000, 1, 1);
  row = 1;
  budget = INT_MAX;
  row.fill(0, 0, 1, 0, 0, budget);
  EXPECT_EQ(budget, INT_MAX - 2000000);
  EXPECT_EQ(row(1999999, 0, 0), 0);
}

// The shared image check that many tests lean on must itself see differences.
TEST(ImageTestHelpers, SameImageSeesSizesValuesAndNaN) {
  const Image<float> a = filled<float>(2, 1, 1, {1.0, 2.0});
  EXPECT_TRUE(glimtest::sameImage(a, filled<float>(2, 1, 1, {1.0, 2.0})));
  EXPECT_FALSE(glimtest::sameImage(a, filled<float>(1, 2, 1, {1.0, 2.0})));
  EXPECT_FALSE(glimtest::sameImage(a, filled<float>(2, 1, 1, {1.0, 2.5})));
  EXPECT_TRUE(glimtest::sameImage(a, filled<float>(2, 1, 1, {1.0, 2.5}), 0.5));
  const Image<float> nan = filled<float>(2, 1, 1, {1.0, std::nan("")});
  EXPECT_FALSE(glimtest::sameImage(nan, nan));
}
