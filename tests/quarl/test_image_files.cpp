// glimshape — tests/quarl
// Purpose: tests of the native image files: TGA, PPM/PGM and RFI reading and writing.
#include "quarl/image.h"
#include "quarl/impl/image_codecs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/images.h"

using vorn::Image;
using Bytes = std::vector<unsigned char>;
namespace detail = vorn::detail;

namespace {

using glimtest::sameImage;

class ImageFiles : public ::testing::Test {
 protected:
  std::string path(const std::string& leaf) const {
    return ::testing::TempDir() + "quarl_files_" + std::to_string(getpid()) + "_" + leaf;
  }
  void TearDown() override {
    for (const auto& f : made) std::remove(f.c_str());
  }
  // A file name that is removed when the test ends.
  std::string file(const std::string& leaf) {
    made.push_back(path(leaf));
    return made.back();
  }

 private:
  std::vector<std::string> made;
};

Bytes slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spill(const std::string& name, const Bytes& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool exists(const std::string& name) { return std::ifstream(name).good(); }

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An 18-byte TGA header.
Bytes tgaHeader(int type, int width, int height, int depth, int descriptor, int idLength = 0,
                int colorMap = 0, int xOrigin = 0) {
  return {static_cast<unsigned char>(idLength), static_cast<unsigned char>(colorMap),
          static_cast<unsigned char>(type), 0, 0, 0, 0, 0,
          static_cast<unsigned char>(xOrigin), 0, 0, 0,
          static_cast<unsigned char>(width & 255), static_cast<unsigned char>(width >> 8),
          static_cast<unsigned char>(height & 255), static_cast<unsigned char>(height >> 8),
          static_cast<unsigned char>(depth), static_cast<unsigned char>(descriptor)};
}

Bytes rfiHeader(int32_t w, int32_t h, int32_t c) {
  Bytes b(16, 0);
  for (int i = 0; i < 4; ++i) {
    b[i] = static_cast<unsigned char>(uint32_t(w) >> (8 * i));
    b[4 + i] = static_cast<unsigned char>(uint32_t(h) >> (8 * i));
    b[8 + i] = static_cast<unsigned char>(uint32_t(c) >> (8 * i));
  }
  return b;
}

template <class T>
Image<T> pattern(int w, int h, int c, int seed = 0) {
  Image<T> im(w, h, c);
  for (int i = 0; i < w * h * c; ++i) {
    const int k = (i * 37 + seed * 11 + 5) % 256;
    if constexpr (std::is_floating_point_v<T>)
      im[i] = static_cast<T>(k / 255.0);
    else
      im[i] = static_cast<T>(k * (T(vorn::Image<T>::representationMax()) / 255));
  }
  return im;
}

template <class T>
Image<T> convert(const Image<unsigned char>& bytes) {
  Image<T> out;
  out = bytes;
  return out;
}

template <class F>
std::string stdoutOf(F f) {
  ::testing::internal::CaptureStdout();
  f();
  return ::testing::internal::GetCapturedStdout();
}

bool decodeTGA(const Bytes& b, Image<unsigned char>& out) {
  detail::MemorySource in(b.data(), b.size());
  return detail::decodeTGA(in, out);
}
bool decodePPM(const Bytes& b, Image<unsigned char>& out) {
  detail::MemorySource in(b.data(), b.size());
  return detail::decodePPM(in, out);
}
bool decodeRFI(const Bytes& b, Image<float>& out) {
  detail::MemorySource in(b.data(), b.size());
  return detail::decodeRFI(in, out);
}

}  // namespace

// ---- Round trips -----------------------------------------------------------------------

template <class T>
class FileRoundTrip : public ImageFiles {};
using ElementTypes = ::testing::Types<unsigned char, unsigned short, unsigned int, float, double>;
TYPED_TEST_SUITE(FileRoundTrip, ElementTypes);

// TGA and PPM store bytes: what comes back is the image's unsigned char form, converted.
TYPED_TEST(FileRoundTrip, TgaEveryChannelCount) {
  for (int c = 1; c <= 4; ++c) {
    SCOPED_TRACE(c);
    const Image<TypeParam> a = pattern<TypeParam>(5, 3, c, c);
    Image<unsigned char> bytes;
    bytes = a;
    const std::string name = this->file("rt.tga");
    testing::internal::CaptureStdout();
    EXPECT_EQ(a.save(name.c_str()), 18 + 5 * 3 * c);
    Image<TypeParam> b;
    EXPECT_EQ(b.read(name.c_str()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(sameImage(b, convert<TypeParam>(bytes)));
  }
}

TYPED_TEST(FileRoundTrip, PpmOneAndThreeChannels) {
  for (int c : {1, 3}) {
    for (const char* ext : {"rt.ppm", "rt.pgm"}) {
      SCOPED_TRACE(std::string(ext) + " " + std::to_string(c));
      const Image<TypeParam> a = pattern<TypeParam>(4, 6, c, c);
      Image<unsigned char> bytes;
      bytes = a;
      const std::string name = this->file(ext);
      EXPECT_EQ(a.save(name.c_str()), 1);
      const std::string header = std::string(c == 3 ? "P6" : "P5") + "\n4 6\n255\n";
      const Bytes raw = slurp(name);
      ASSERT_EQ(raw.size(), header.size() + 4 * 6 * c);
      EXPECT_EQ(std::string(raw.begin(), raw.begin() + header.size()), header);
      Image<TypeParam> b;
      const std::string out = stdoutOf([&] { EXPECT_EQ(b.read(name.c_str()), 1); });
      EXPECT_EQ(out, "reading image P" + std::to_string(c == 3 ? 6 : 5) +
                         ", max=255,width=4,height=6\n");
      EXPECT_TRUE(sameImage(b, convert<TypeParam>(bytes)));
    }
  }
}

// RFI stores floats: types whose values a float holds exactly come back unchanged.
TYPED_TEST(FileRoundTrip, RfiEveryChannelCount) {
  for (int c = 1; c <= 5; ++c) {
    SCOPED_TRACE(c);
    const Image<TypeParam> a = pattern<TypeParam>(3, 4, c, c);
    Image<float> values;
    values = a;
    const std::string name = this->file("rt.rfi");
    EXPECT_EQ(a.save(name.c_str()), 1);
    EXPECT_EQ(slurp(name).size(), 16u + 4u * 3 * 4 * c);
    Image<TypeParam> b;
    EXPECT_EQ(b.read(name.c_str()), 1);
    Image<TypeParam> expected;
    expected = values;
    EXPECT_TRUE(sameImage(b, expected));
    if constexpr (std::is_same_v<TypeParam, float>) {
      EXPECT_TRUE(sameImage(b, a));
    }
  }
}

TEST_F(ImageFiles, RfiLayoutAndFloatBits) {
  Image<float> a(3, 2, 1);
  const float values[] = {0.0f, -1.5f, 1e-30f, 3.25f, -0.0f, 7.0f};
  for (int i = 0; i < 6; ++i) a[i] = values[i];
  const std::string name = file("layout.RFI");
  ASSERT_EQ(a.save(name.c_str()), 1);
  const Bytes raw = slurp(name);
  ASSERT_EQ(raw.size(), 40u);  // 16-byte header + 3 × 2 × 1 floats
  EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 16), rfiHeader(3, 2, 1));
  for (int i = 0; i < 6; ++i) {
    float f;
    std::memcpy(&f, &raw[16 + 4 * i], 4);  // the test machine is little-endian
    EXPECT_EQ(std::memcmp(&f, &values[i], 4), 0) << i;
  }
}

TEST_F(ImageFiles, RfiOfBytesStoresUnitRange) {
  Image<unsigned char> a(2, 1, 1);
  a[0] = 0;
  a[1] = 255;
  const std::string name = file("bytes.rfi");
  ASSERT_EQ(a.save(name.c_str()), 1);
  const Bytes raw = slurp(name);
  ASSERT_EQ(raw.size(), 24u);
  float f[2];
  std::memcpy(f, &raw[16], 8);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_EQ(f[1], 1.0f);
  Image<unsigned char> b;
  ASSERT_EQ(b.read(name.c_str()), 1);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 255);
}

TEST_F(ImageFiles, RfiSameSizesOverwriteSharedBuffer) {
  Image<float> stored(2, 2, 1);
  stored = 0.75;
  const std::string name = file("inplace.rfi");
  ASSERT_EQ(stored.save(name.c_str()), 1);

  Image<float> a(2, 2, 1);
  a = 0.0;
  Image<float> sharer = a;
  ASSERT_EQ(a.read(name.c_str()), 1);
  EXPECT_EQ(a.data, sharer.data);
  EXPECT_EQ(sharer[3], 0.75f);

  Image<float> c(3, 2, 1);
  c = 0.0;
  Image<float> other = c;
  ASSERT_EQ(c.read(name.c_str()), 1);
  EXPECT_NE(c.data, other.data);
  EXPECT_EQ(c.width, 2);
  EXPECT_EQ(other.width, 3);
  EXPECT_EQ(other[0], 0.0f);
}

TEST_F(ImageFiles, EmptyImagesRoundTrip) {
  Image<float> empty(0, 0, 2);
  const std::string rfi = file("empty.rfi"), tga = file("empty.tga");
  ASSERT_EQ(empty.save(rfi.c_str()), 1);
  EXPECT_EQ(slurp(rfi).size(), 16u);
  Image<float> back(1, 1, 1);
  ASSERT_EQ(back.read(rfi.c_str()), 1);
  EXPECT_EQ(back.width, 0);
  EXPECT_EQ(back.nchannels, 2);

  ASSERT_EQ(Image<unsigned char>(0, 0, 3).save(tga.c_str()), 18);
  Image<unsigned char> t(1, 1, 1);
  ASSERT_EQ(t.read(tga.c_str()), 1);
  EXPECT_EQ(t.width, 0);
  EXPECT_EQ(t.nchannels, 3);
}

// ---- TGA files built byte by byte ------------------------------------------------------

TEST_F(ImageFiles, TgaBottomUpIsFlippedAndStoredTopDown) {
  // 2 × 2, 24 bits, bit 5 clear: the first file row is the bottom row. Pixels as B, G, R.
  const Bytes file1 = cat(tgaHeader(2, 2, 2, 24, 0x00),
                          {1, 2, 3, 4, 5, 6,        // bottom row
                           7, 8, 9, 10, 11, 12});   // top row
  const std::string name = file("bottomup.tga");
  spill(name, file1);
  Image<unsigned char> a;
  const std::string out = stdoutOf([&] { EXPECT_EQ(a.read(name.c_str()), 1); });
  EXPECT_EQ(out, "flipping y\n");
  ASSERT_EQ(a.nchannels, 3);
  const unsigned char expected[] = {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(a[i], expected[i]) << i;

  const std::string again = file("topdown.tga");
  ASSERT_EQ(a.writeTGA(again.c_str()), 18 + 12);
  const Bytes raw = slurp(again);
  EXPECT_EQ(raw[2], 2);
  EXPECT_EQ(raw[16], 24);
  EXPECT_EQ(raw[17], 0x20);
  EXPECT_EQ(Bytes(raw.begin() + 18, raw.end()), Bytes({7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
  Image<unsigned char> b;
  EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(b.readTGA(again.c_str()), 1); }), "");
  EXPECT_TRUE(sameImage(a, b));
}

TEST_F(ImageFiles, TgaHeaderFields) {
  Image<unsigned char> four = pattern<unsigned char>(300, 2, 4);
  const std::string name = file("four.tga");
  ASSERT_EQ(four.save(name.c_str()), 18 + 300 * 2 * 4);
  const Bytes raw = slurp(name);
  EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 18), tgaHeader(2, 300, 2, 32, 0x28));
  // B, G, R, A in the file.
  EXPECT_EQ(raw[18], four[2]);
  EXPECT_EQ(raw[20], four[0]);
  EXPECT_EQ(raw[21], four[3]);

  Image<unsigned char> two = pattern<unsigned char>(2, 2, 2);
  ASSERT_EQ(two.save(name.c_str()), 18 + 8);
  const Bytes raw2 = slurp(name);
  EXPECT_EQ(Bytes(raw2.begin(), raw2.begin() + 18), tgaHeader(3, 2, 2, 16, 0x20));
  EXPECT_EQ(Bytes(raw2.begin() + 18, raw2.end()), Bytes(two.data, two.data + 8));
}

TEST_F(ImageFiles, TgaRleRunAcrossRowEndIsCut) {
  // 3 × 2 grey: a run of 5 sevens crosses the end of row 0 and loses its last two
  // pixels; a raw packet fills row 1.
  const Bytes bytes = cat(tgaHeader(11, 3, 2, 8, 0x20), {0x84, 7, 0x02, 1, 2, 3});
  Image<unsigned char> a;
  const std::string out = stdoutOf([&] { EXPECT_TRUE(decodeTGA(bytes, a)); });
  EXPECT_EQ(out,
            "got RLE image 3x2\n"
            "j=2, rep=5\n"
            "warning: RLE packets are not supposed to carry over scanlines\n");
  EXPECT_TRUE(sameImage(a, [] {
    Image<unsigned char> e(3, 2, 1);
    const unsigned char v[] = {7, 7, 7, 1, 2, 3};
    for (int i = 0; i < 6; ++i) e[i] = v[i];
    return e;
  }()));

  // The same in the last row: the run is cut at the last pixel, not refused, and
  // nothing is written beyond the buffer.
  const Bytes last = cat(tgaHeader(11, 2, 2, 8, 0x20), {0x02, 1, 2, 3, 0x81, 4});
  Image<unsigned char> b;
  const std::string lastOut = stdoutOf([&] { EXPECT_TRUE(decodeTGA(last, b)); });
  EXPECT_EQ(lastOut,
            "got RLE image 2x2\n"
            "j=0, rep=2\n"
            "warning: RLE packets are not supposed to carry over scanlines\n");
  EXPECT_TRUE(sameImage(b, glimtest::filled<unsigned char>(2, 2, 1, {1, 2, 3, 4})));
}

TEST_F(ImageFiles, TgaRleColourAndLongRawPackets) {
  // 24-bit RLE: a run of 2 pixels (B, G, R = 1, 2, 3), then a raw packet of 2.
  const Bytes rgb = cat(tgaHeader(10, 2, 2, 24, 0x20), {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
  Image<unsigned char> a;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(decodeTGA(rgb, a));
  testing::internal::GetCapturedStdout();
  const unsigned char expected[] = {3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(a[i], expected[i]) << i;

  // A raw packet of 5 pixels in a 1-pixel-wide image spans five rows.
  const Bytes narrow = cat(tgaHeader(11, 1, 6, 8, 0x20), {0x04, 10, 11, 12, 13, 14, 0x80, 15});
  Image<unsigned char> b;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(decodeTGA(narrow, b));
  testing::internal::GetCapturedStdout();
  for (int y = 0; y < 6; ++y) EXPECT_EQ(b(0, y, 0), 10 + y);
}

TEST_F(ImageFiles, TgaRefusals) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"id length", cat(tgaHeader(2, 1, 1, 8, 0x20, 5), {1, 2, 3, 4, 5, 9}),
       "don't know how to read in the header\ncan not read TGA\n"},
      {"colour map", cat(tgaHeader(1, 1, 1, 8, 0x20, 0, 1), {9}),
       "don't know how to read in color mapped images\ncan not read TGA\n"},
      {"type", cat(tgaHeader(9, 1, 1, 8, 0x20), {9}), "unknown image type\ncan not read tga\n"},
      {"short header", Bytes(17, 0), "can not read TGA\n"},
      {"depth 15", cat(tgaHeader(2, 1, 1, 15, 0x20), {9, 9}),
       "TGA <memory>: pixel depth of 15 bits is not supported (8, 16, 24 or 32)\n"},
      {"huge", cat(tgaHeader(2, 65535, 65535, 32, 0x20), Bytes(22, 0)),
       "TGA <memory>: 65535x65535 pixels of 4 bytes are too many\n"},
      {"larger than file", cat(tgaHeader(2, 4000, 4000, 24, 0x20), Bytes(22, 0)),
       "TGA <memory>: 4000x4000 pixels of 3 bytes need 48000000 bytes of pixel data, the "
       "file holds 22\n"},
      {"rle larger than file", cat(tgaHeader(10, 4000, 4000, 24, 0x20), Bytes(22, 0)),
       "TGA <memory>: 4000x4000 pixels of 3 bytes need at least 500000 bytes of pixel data, "
       "the file holds 22\n"},
      {"zero with data", cat(tgaHeader(2, 0, 3, 8, 0x20), {1, 2, 3}),
       "TGA <memory>: size 0x3 holds no pixels but pixel data follows\n"},
      {"raw past end", cat(tgaHeader(11, 2, 2, 8, 0x20), {0x01, 1, 2, 0x02, 4, 5, 6}),
       "got RLE image 2x2\nTGA <memory>: RLE packet of 3 pixels at 0 1 runs past the last "
       "pixel\n"},
      {"rle short run", cat(tgaHeader(10, 2, 1, 24, 0x20), {0x00, 1, 2, 3, 0x80, 9}),
       "got RLE image 2x1\nproblem reading in RLE tga at 1 0\n"},
      {"rle short raw", cat(tgaHeader(11, 4, 1, 8, 0x20), {0x01, 1, 2, 0x01, 3}),
       "got RLE image 4x1\nproblem reading in RLE tga at 2x0\nread 1, should have read 2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image<unsigned char> a(1, 1, 1);
    a[0] = 42;
    unsigned char* before = a.data;
    const std::string out = stdoutOf([&] { EXPECT_FALSE(decodeTGA(c.bytes, a)); });
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(a.data, before);
    EXPECT_EQ(a.width, 1);
    EXPECT_EQ(a[0], 42);
  }
}

TEST_F(ImageFiles, TgaOriginIsReportedAndIgnored) {
  Image<unsigned char> a;
  const Bytes bytes = cat(tgaHeader(3, 1, 1, 8, 0x20, 0, 0, 7), {200});
  EXPECT_EQ(stdoutOf([&] { EXPECT_TRUE(decodeTGA(bytes, a)); }), "ignoring non-zero origin\n");
  EXPECT_EQ(a[0], 200);
}

TEST_F(ImageFiles, TgaWriteRefusesWhatTheHeaderCannotHold) {
  const std::string name = file("wide.tga");
  Image<unsigned char> five(2, 2, 5);
  five = 1;
  EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(five.save(name.c_str()), 0); }),
            "TGA " + name + ": 5 channels cannot be stored (1 to 4)\n");
  Image<unsigned char> wide(70000, 1, 1);
  wide = 1;
  testing::internal::CaptureStdout();
  EXPECT_EQ(wide.save(name.c_str()), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(exists(name));
}

// ---- PPM / PGM ----------------------------------------------------------------------------

TEST_F(ImageFiles, PpmAsciiWithComments) {
  const Bytes p2 = text("P2\n# made by hand\n# twice\n3 2\n255\n 10 20 30\n40 50 300\n");
  Image<unsigned char> a;
  EXPECT_EQ(stdoutOf([&] { EXPECT_TRUE(decodePPM(p2, a)); }),
            "reading image P2, max=255,width=3,height=2\n[10]\n");
  ASSERT_EQ(a.nchannels, 1);
  const unsigned char v[] = {10, 20, 30, 40, 50, 300 & 255};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], v[i]);

  const Bytes p3 = text("P3\n1 2\n15\n1 2 3\n4 5 6");
  Image<unsigned char> b;
  EXPECT_EQ(stdoutOf([&] { EXPECT_TRUE(decodePPM(p3, b)); }),
            "reading image P3, max=15,width=1,height=2\n");
  ASSERT_EQ(b.nchannels, 3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[i], i + 1);
}

TEST_F(ImageFiles, PpmBinary) {
  const Bytes p6 = cat(text("P6\n2 1\n255\n"), {1, 2, 3, 4, 5, 6});
  Image<unsigned char> a;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(decodePPM(p6, a));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(a.width, 2);
  EXPECT_EQ(a.nchannels, 3);
  EXPECT_EQ(a[5], 6);
  // Sample bytes that look like line ends stay samples.
  const Bytes p5 = cat(text("P5\n3 1\n255\n"), {'\n', '#', 0});
  testing::internal::CaptureStdout();
  ASSERT_TRUE(decodePPM(p5, a));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(a[0], '\n');
  EXPECT_EQ(a[1], '#');
}

// A maximum of 256 to 65535 used to end the process; now the read fails.
TEST_F(ImageFiles, PpmWideMaximumFailsWithoutExit) {
  Image<unsigned char> a(1, 1, 1);
  a[0] = 9;
  for (const char* max : {"256", "65535"}) {
    const Bytes p6 = cat(text(std::string("P6\n1 1\n") + max + "\n"), {0, 1, 0, 2, 0, 3});
    EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(decodePPM(p6, a)); }),
              "ppm with max>255 not handled\n");
  }
  const Bytes huge = cat(text("P5\n1 1\n70000\n"), {0, 0});
  EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(decodePPM(huge, a)); }),
            "PPM <memory>: maximum value 70000 is above 65535\n");
  EXPECT_EQ(a[0], 9);
}

TEST_F(ImageFiles, PpmRefusals) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string out;
  };
  const std::string head = "reading image P";
  const std::vector<Case> cases = {
      {"P1", "P1\n1 1\n1\n", head + "1, max=1,width=1,height=1\nnot handled yet\n"},
      {"P4", "P4\n1 1\n255\nx", head + "4, max=255,width=1,height=1\nunknown magic number 4"},
      {"no magic", "Q6\n1 1\n255\nabc",
       "PPM <memory>: no magic number (P and a digit) on the first line\n"},
      {"short P6", "P6\n2 2\n255\nabcdef",
       head + "6, max=255,width=2,height=2\nunexpected EOF 6!=12\n"},
      {"short P5", "P5\n2 2\n255\nabc",
       head + "5, max=255,width=2,height=2\nunexpected EOF 3!=4\n"},
      {"negative", "P5\n-2 2\n255\nabcd",
       head + "5, max=255,width=-2,height=2\nPPM <memory>: size -2x2 with 1 channels is "
              "negative or too large\n"},
      {"overflow", "P6\n65536 65536\n255\nabc",
       head + "6, max=255,width=65536,height=65536\nPPM <memory>: size 65536x65536 with 3 "
              "channels is negative or too large\n"},
      {"absurd", "P6\n20000 20000\n255\nabc",
       head + "6, max=255,width=20000,height=20000\nunexpected EOF 3!=1200000000\n"},
      {"zero with data", "P5\n0 4\n255\nabcd",
       head + "5, max=255,width=0,height=4\nPPM <memory>: size 0x4 holds no pixels but samples "
              "follow\n"},
      {"ascii absurd", "P2\n1000 1000\n255\n1 2 3",
       head + "2, max=255,width=1000,height=1000\nPPM <memory>: 1000000 samples need at least "
              "1999999 bytes, the file holds 5\n"},
      {"ascii garbage", "P2\n2 1\n255\n1 x 7 7",
       head + "2, max=255,width=2,height=1\nPPM <memory>: sample 2 of 2 is missing or not a "
              "number\n"},
      {"no size", "P5\n# only\n", "PPM <memory>: the file ends before the size line\n"},
      {"bad size", "P5\nab\n255\n", "PPM <memory>: no width and height on the size line\n"},
      {"no max", "P5\n1 1\n", "PPM <memory>: the file ends before the maximum value\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image<unsigned char> a(1, 1, 1);
    a[0] = 42;
    const std::string out = stdoutOf([&] { EXPECT_FALSE(decodePPM(text(c.bytes), a)); });
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(a.width, 1);
    EXPECT_EQ(a[0], 42);
  }
}

TEST_F(ImageFiles, PpmMissingFileAndTwoChannelSave) {
  Image<unsigned char> a;
  const std::string missing = path("missing.ppm");
  EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(a.read(missing.c_str()), 0); }),
            "Error opening " + missing + "\n");
  const std::string name = file("two.ppm");
  EXPECT_EQ(pattern<unsigned char>(2, 2, 2).save(name.c_str()), 1);
  EXPECT_TRUE(exists(name));
  EXPECT_EQ(slurp(name).size(), 0u);
}

TEST_F(ImageFiles, FreeWritePpmFlipsRows) {
  unsigned char rows[] = {1, 2, 3, 4, 5, 6};
  const std::string name = file("flip.pgm");
  ASSERT_EQ(vorn::writePPM(rows, 2, 3, name.c_str(), 1, 1), 1);
  EXPECT_EQ(slurp(name), cat(text("P5\n2 3\n255\n"), {5, 6, 3, 4, 1, 2}));
  ASSERT_EQ(vorn::writePPM(rows, 1, 2, name.c_str(), 3, 0), 1);
  EXPECT_EQ(slurp(name), cat(text("P6\n1 2\n255\n"), {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(vorn::writePPM(rows, 1, 1, path("no/such/dir.ppm").c_str(), 3, 0), 0);
}

// ---- RFI refusals ---------------------------------------------------------------------

TEST_F(ImageFiles, RfiRefusals) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"short header", Bytes(15, 0), "RFI <memory>: the file ends inside the 16-byte header\n"},
      {"negative", cat(rfiHeader(-1, 2, 1), Bytes(8, 0)),
       "RFI <memory>: size -1x2x1 is negative or too large\n"},
      {"overflow", cat(rfiHeader(1 << 30, 1 << 30, 4), Bytes(24, 0)),
       "RFI <memory>: size 1073741824x1073741824x4 is negative or too large\n"},
      // The pixels fit an int, the elements do not.
      {"elements overflow", cat(rfiHeader(40000, 40000, 3), Bytes(24, 0)),
       "RFI <memory>: size 40000x40000x3 is negative or too large\n"},
      // No channels: once a valid image of no elements whose pixels lay outside its buffer.
      {"no channels", rfiHeader(2000000000, 2000000000, 0),
       "RFI <memory>: 0 channels, at least 1 is needed\n"},
      {"larger than file", cat(rfiHeader(10000, 10000, 3), Bytes(24, 0)),
       "RFI <memory>: 10000x10000x3 needs 1200000000 bytes of elements, the file holds 24\n"},
      {"one float short", cat(rfiHeader(3, 2, 1), Bytes(20, 0)),
       "RFI <memory>: 3x2x1 needs 24 bytes of elements, the file holds 20\n"},
      {"zero with data", cat(rfiHeader(0, 5, 1), Bytes(20, 0)),
       "RFI <memory>: size 0x5x1 holds no elements but data follows\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image<float> a(1, 1, 1);
    a[0] = 0.5f;
    const std::string out = stdoutOf([&] { EXPECT_FALSE(decodeRFI(c.bytes, a)); });
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(a.width, 1);
    EXPECT_EQ(a[0], 0.5f);
  }
}

// ---- Truncated and corrupted files ---------------------------------------------------

namespace {

Bytes encoded(const Image<unsigned char>& im, bool tga) {
  Bytes b;
  detail::MemorySink sink(b);
  if (tga)
    detail::encodeTGA(im, sink);
  else
    detail::encodePPM(im.data, im.width, im.height, im.nchannels, 0, sink);
  return b;
}

}  // namespace

// Every cut of a valid file fails, prints something and leaves the target alone.
TEST_F(ImageFiles, EveryTruncationFails) {
  const Image<unsigned char> rgb = pattern<unsigned char>(5, 4, 3);
  Bytes rfi;
  {
    detail::MemorySink sink(rfi);
    detail::encodeRFI(pattern<float>(5, 4, 2), sink);
  }
  const Bytes rle = cat(tgaHeader(10, 4, 3, 24, 0x00), {0x83, 1, 2, 3,                    //
                                                         0x03, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4,
                                                         5, 6,                              //
                                                         0x83, 9, 9, 9});
  const std::vector<std::pair<const char*, Bytes>> files = {
      {"tga", encoded(rgb, true)},
      {"rle", rle},
      {"ppm", encoded(rgb, false)},
      {"pgm", encoded(pattern<unsigned char>(5, 4, 1), false)},
      {"rfi", rfi}};
  for (const auto& [what, whole] : files) {
    Image<unsigned char> sanity;
    Image<float> fsanity;
    testing::internal::CaptureStdout();
    if (std::string(what) == "rfi")
      EXPECT_TRUE(decodeRFI(whole, fsanity)) << what;
    else if (std::string(what) == "tga" || std::string(what) == "rle")
      EXPECT_TRUE(decodeTGA(whole, sanity)) << what;
    else
      EXPECT_TRUE(decodePPM(whole, sanity)) << what;
    testing::internal::GetCapturedStdout();
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      SCOPED_TRACE(std::string(what) + " cut at " + std::to_string(cut));
      const Bytes part(whole.begin(), whole.begin() + long(cut));
      Image<unsigned char> a(1, 1, 1);
      a[0] = 42;
      Image<float> f(1, 1, 1);
      f[0] = 0.5f;
      testing::internal::CaptureStdout();
      if (std::string(what) == "rfi")
        EXPECT_FALSE(decodeRFI(part, f));
      else if (std::string(what) == "tga" || std::string(what) == "rle")
        EXPECT_FALSE(decodeTGA(part, a));
      else
        EXPECT_FALSE(decodePPM(part, a));
      EXPECT_NE(testing::internal::GetCapturedStdout(), "");
      EXPECT_EQ(a.width, 1);
      EXPECT_EQ(a[0], 42);
      EXPECT_EQ(f[0], 0.5f);
    }
  }
}

// The members leave the image unchanged when the file is cut, whatever the element type.
TEST_F(ImageFiles, TruncatedFilesLeaveImageUnchanged) {
  const Image<unsigned char> rgb = pattern<unsigned char>(5, 4, 3);
  const std::string tga = file("cut.tga"), ppm = file("cut.ppm"), rfi = file("cut.rfi");
  ASSERT_NE(rgb.save(tga.c_str()), 0);
  ASSERT_NE(rgb.save(ppm.c_str()), 0);
  ASSERT_NE(rgb.save(rfi.c_str()), 0);
  for (const auto& name : {tga, ppm, rfi}) {
    const Bytes whole = slurp(name);
    for (size_t cut : {size_t(0), size_t(10), whole.size() / 2, whole.size() - 1}) {
      SCOPED_TRACE(name + " " + std::to_string(cut));
      spill(name, Bytes(whole.begin(), whole.begin() + long(cut)));
      Image<float> f(2, 2, 3);
      f = 0.25;
      float* before = f.data;
      Image<double> d(2, 2, 3);
      d = 0.25;
      testing::internal::CaptureStdout();
      EXPECT_EQ(f.read(name.c_str()), 0);
      EXPECT_EQ(d.read(name.c_str()), 0);
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(f.data, before);
      EXPECT_EQ(f.width, 2);
      EXPECT_EQ(f[11], 0.25f);
      EXPECT_EQ(d.width, 2);
      EXPECT_EQ(d[0], 0.25);
    }
  }
}

// Random byte changes (fixed seed) never crash; a successful read is self-consistent.
TEST_F(ImageFiles, CorruptedBytesAreSurvived) {
  std::mt19937 rng(42);
  const Image<unsigned char> grey = pattern<unsigned char>(6, 5, 1);
  Bytes rfi;
  {
    detail::MemorySink sink(rfi);
    detail::encodeRFI(pattern<float>(6, 5, 1), sink);
  }
  const Bytes rle =
      cat(tgaHeader(11, 6, 5, 8, 0x20), {0x85, 1, 0x85, 2, 0x85, 3, 0x85, 4, 0x85, 5});
  std::string samples;
  for (int i = 0; i < 30; ++i) samples += "7 ";
  const std::vector<Bytes> files = {encoded(grey, true), encoded(grey, false), rfi, rle,
                                    text("P2\n6 5\n255\n" + samples)};
  for (int round = 0; round < 4000; ++round) {
    Bytes b = files[round % files.size()];
    const int changes = 1 + int(rng() % 4);
    for (int k = 0; k < changes; ++k) {
      const size_t at = rng() % std::min<size_t>(b.size(), 24);
      b[at] = static_cast<unsigned char>(rng());
    }
    Image<unsigned char> a;
    Image<float> f;
    testing::internal::CaptureStdout();
    const bool ok = (round % files.size() == 2) ? decodeRFI(b, f)
                    : (round % files.size() == 1 || round % files.size() == 4)
                        ? decodePPM(b, a)
                        : decodeTGA(b, a);
    testing::internal::GetCapturedStdout();
    if (ok) {
      // Touch every element, so a buffer smaller than its sizes shows up under ASan.
      double sum = 0;
      const long long n = detail::elementCount(a.width, a.height, a.nchannels);
      const long long m = detail::elementCount(f.width, f.height, f.nchannels);
      ASSERT_GE(n, 0);
      ASSERT_GE(m, 0);
      for (long long i = 0; i < n; ++i) sum += a[int(i)];
      for (long long i = 0; i < m; ++i) sum += f[int(i)] == f[int(i)];
      EXPECT_GE(sum, 0.0);
    }
  }
}

// ---- Extensions and the plug-in path ---------------------------------------------------

TEST_F(ImageFiles, ExtensionRule) {
  using detail::NativeFormat;
  EXPECT_EQ(detail::nativeFormatOf("image.tga"), NativeFormat::TGA);
  EXPECT_EQ(detail::nativeFormatOf("image.TGA"), NativeFormat::TGA);
  EXPECT_EQ(detail::nativeFormatOf("image.Tga"), NativeFormat::None);
  EXPECT_EQ(detail::nativeFormatOf("image.tga.tga"), NativeFormat::None);
  EXPECT_EQ(detail::nativeFormatOf("dir.tga/image.ppm"), NativeFormat::PPM);
  EXPECT_EQ(detail::nativeFormatOf("image.pgm"), NativeFormat::PPM);
  EXPECT_EQ(detail::nativeFormatOf("image.PPM"), NativeFormat::None);
  EXPECT_EQ(detail::nativeFormatOf("image.rfi"), NativeFormat::RFI);
  EXPECT_EQ(detail::nativeFormatOf("image.RFI"), NativeFormat::RFI);
  EXPECT_EQ(detail::nativeFormatOf("image.rfi?x=1"), NativeFormat::None);
  EXPECT_EQ(detail::nativeFormatOf("image.tgax"), NativeFormat::None);

  // Names the native formats do not claim fail without touching a file or the image.
  const Image<unsigned char> a = pattern<unsigned char>(2, 2, 3);
  for (const char* leaf : {"x.Tga", "x.tga.tga", "x.xyz"}) {
    SCOPED_TRACE(leaf);
    const std::string name = file(leaf);
    testing::internal::CaptureStdout();
    EXPECT_EQ(a.save(name.c_str()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(exists(name));
    spill(name, encoded(a, true));
    Image<unsigned char> b(1, 1, 1);
    b[0] = 3;
    testing::internal::CaptureStdout();
    EXPECT_EQ(b.read(name.c_str()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(b.width, 1);
    EXPECT_EQ(b[0], 3);
  }
  const std::string upper = file("x.TGA");
  EXPECT_EQ(a.save(upper.c_str()), 18 + 12);
  Image<unsigned char> c;
  EXPECT_EQ(c.load(upper.c_str()), 1);
  EXPECT_TRUE(sameImage(a, c));
  EXPECT_EQ(Image<unsigned char>(upper.c_str()).width, 2);
  EXPECT_EQ(Image<unsigned char>(path("absent.tga").c_str()).width, 0);
}

// ---- Faults found in review ----------------------------------------------------------

// Images whose buffer was released, images without channels, and the bilinear enlargement
// of a constant.
TEST_F(ImageFiles, ReviewReleasedChannelLessAndConstantImages) {
  {
    // A released image keeps its sizes but has no pixels: saving fails in every format
    // without leaving a file (TGA and JPEG once read the null buffer), and the distance
    // transforms give empty images.
    Image<unsigned char> bytes = pattern<unsigned char>(5, 4, 3);
    Image<float> floats = pattern<float>(5, 4, 1);
    bytes.release();
    floats.release();
    for (const std::string ext : {"tga", "jpg", "png", "ppm", "rfi"}) {
      SCOPED_TRACE(ext);
      const std::string a = file("released_bytes." + ext), b = file("released_floats." + ext);
      testing::internal::CaptureStderr();
      stdoutOf([&] {
        EXPECT_EQ(bytes.save(a.c_str()), 0);
        EXPECT_EQ(floats.save(b.c_str()), 0);
      });
      testing::internal::GetCapturedStderr();
      EXPECT_FALSE(exists(a));
      EXPECT_FALSE(exists(b));
    }
    const Image<float> d = bytes.edt(0), s = bytes.edt_8sed(0);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.width, 0);
  }
  {
    // Width × height is bounded whatever the channel count.
    EXPECT_EQ(detail::elementCount(2000000000, 2000000000, 0), -1);
    EXPECT_EQ(detail::elementCount(46341, 46341, 0), -1);  // 2147488281 pixels
    EXPECT_EQ(detail::elementCount(46340, 46340, 0), 0);
    EXPECT_EQ(detail::elementCount(40000, 40000, 1), 1600000000);
    EXPECT_THROW(Image<float>(2000000000, 2000000000, 0), std::bad_alloc);
  }
  {
    // Enlarging a constant gives that constant exactly: the four bilinear weights once
    // summed to a little less than 1, and 255 truncated to 254.
    auto constantAfterEnlarging = [](auto value) {
      using T = decltype(value);
      Image<T> c(7, 5, 2);
      c = double(value);
      int wrong = 0;
      for (int w = 8; w <= 80; w += 3)
        for (int h = 6; h <= 80; h += 5) {
          const Image<T> r = c.resize(w, h);
          for (int i = 0; i < w * h * 2; ++i) wrong += r[i] != value;
        }
      return wrong;
    };
    EXPECT_EQ(constantAfterEnlarging((unsigned char)255), 0);
    EXPECT_EQ(constantAfterEnlarging((unsigned short)65535), 0);
    EXPECT_EQ(constantAfterEnlarging(4294967295u), 0);
    EXPECT_EQ(constantAfterEnlarging(1.0f), 0);
    EXPECT_EQ(constantAfterEnlarging(0.3), 0);
  }
}
