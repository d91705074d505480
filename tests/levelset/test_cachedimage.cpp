// glimshape — tests/levelset
// Purpose: CachedImage: window look-up, extension and re-reading of a real RFI file, bad files.
#include "levelset/cachedimage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Pixel (x, y) channel c of the test image: every value tells where it came from.
float fileValue(int x, int y, int c) { return float(x + 100 * y) + 0.5f * float(c); }

vorn::Image<float> testImage(int w, int h, int channels, float sign = 1.0f) {
  vorn::Image<float> im(w, h, channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) im(x, y, c) = sign * fileValue(x, y, c);
  return im;
}

class CachedImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    name = ::testing::TempDir() + "cachedimage-" + info->name() + ".rfi";
    std::remove(name.c_str());
  }
  void TearDown() override { std::remove(name.c_str()); }

  void writeFile(const vorn::Image<float>& im) { ASSERT_TRUE(im.save(name.c_str())); }

  // A 10..20 × 10..20 window of a 30 × 25 image whose cached pixels are the negated file
  // values, so that a sample shows whether it came from the cache or from the file.
  CachedImage windowed(const std::string& file) {
    return CachedImage(file, 3, 30, 25, 10, 10, 20, 20,
                       testImage(30, 25, 2, -1.0f).subimage(10, 10, 10, 10));
  }

  std::string name;
};

TEST_F(CachedImageTest, SampleInsideTheWindowReadsTheCache) {
  writeFile(testImage(30, 25, 2));
  const CachedImage cache = windowed(name);
  EXPECT_EQ(cache.sample(12, 12), -fileValue(12, 12, 0));
  EXPECT_EQ(cache.sample(10, 10), -fileValue(10, 10, 0));
  EXPECT_EQ(cache.sample(19, 19), -fileValue(19, 19, 0));
  EXPECT_EQ(cache.getX0(), 10);
  EXPECT_EQ(cache.getX1(), 20);
}

TEST_F(CachedImageTest, SampleRightOfTheWindowExtendsItAndRereads) {
  writeFile(testImage(30, 25, 2));
  const CachedImage cache = windowed(name);
  EXPECT_EQ(cache.sample(25, 12), fileValue(25, 12, 0));
  EXPECT_EQ(cache.getX0(), 10);
  EXPECT_EQ(cache.getY0(), 10);
  EXPECT_EQ(cache.getX1(), 29);
  EXPECT_EQ(cache.getY1(), 20);
  ASSERT_EQ(cache.getWindow().width, 19);
  ASSERT_EQ(cache.getWindow().height, 10);
  ASSERT_EQ(cache.getWindow().nchannels, 2);
  EXPECT_EQ(cache.getWindow()(0, 0, 1), fileValue(10, 10, 1));
  // The whole window came from the file.
  EXPECT_EQ(cache.sample(12, 12), fileValue(12, 12, 0));
  EXPECT_EQ(cache.sample(28, 19), fileValue(28, 19, 0));
}

TEST_F(CachedImageTest, ExtensionIsClippedToTheImage) {
  writeFile(testImage(30, 25, 1));
  const CachedImage cache = windowed(name);
  // Up and left: the margin would reach row -1; the window stops at row 0.
  EXPECT_EQ(cache.sample(8, 2), fileValue(8, 2, 0));
  EXPECT_EQ(cache.getX0(), 5);
  EXPECT_EQ(cache.getY0(), 0);
  EXPECT_EQ(cache.getX1(), 20);
  EXPECT_EQ(cache.getY1(), 20);
  // Down and right: 28 + 3 + 1 is clipped to the width 30, 23 + 4 to the height 25.
  EXPECT_EQ(cache.sample(28, 23), fileValue(28, 23, 0));
  EXPECT_EQ(cache.getX1(), 30);
  EXPECT_EQ(cache.getY1(), 25);
}

TEST_F(CachedImageTest, WholeImageNeverRereadsAndClampsOutsideSamples) {
  const vorn::Image<float> image = testImage(30, 25, 1);
  const CachedImage cache(name, 3, image);  // no file at all: a re-read would fail
  EXPECT_EQ(cache.getX1(), 30);
  EXPECT_EQ(cache.getY1(), 25);
  // The cache holds its own copy of the pixels.
  image(4, 5, 0) = -1.0f;
  EXPECT_EQ(cache.sample(4, 5), fileValue(4, 5, 0));
  testing::internal::CaptureStderr();
  EXPECT_EQ(cache.sample(-5, 3), fileValue(0, 3, 0));
  EXPECT_EQ(cache.sample(40, 30), fileValue(29, 24, 0));
  EXPECT_EQ(cache.sample(-2147483647 - 1, 2147483647), fileValue(0, 24, 0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(CachedImageTest, MissingFileLeavesTheWindowAndSamplesOne) {
  const CachedImage cache = windowed(name);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cache.sample(25, 12), 1.0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("CachedImage: cannot read " + name), std::string::npos) << err;
  EXPECT_EQ(cache.getX0(), 10);
  EXPECT_EQ(cache.getX1(), 20);
  EXPECT_EQ(cache.sample(12, 12), -fileValue(12, 12, 0));
}

TEST_F(CachedImageTest, ShortFileLeavesTheWindowAndSamplesOne) {
  writeFile(testImage(30, 25, 2));
  std::vector<char> bytes;
  {
    std::ifstream in(name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 100u);
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size() / 2));
  }
  const CachedImage cache = windowed(name);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(cache.sample(25, 12), 1.0);
  testing::internal::GetCapturedStdout();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read"), std::string::npos);
  EXPECT_EQ(cache.getX1(), 20);
  EXPECT_EQ(cache.sample(15, 15), -fileValue(15, 15, 0));
}

TEST_F(CachedImageTest, SmallerFileThanRecordedStaysInBounds) {
  writeFile(testImage(20, 15, 1));
  const CachedImage cache = windowed(name);
  testing::internal::CaptureStderr();
  // The file lacks columns 20.. and rows 15..: the sample has no pixel to read.
  EXPECT_EQ(cache.sample(25, 12), 1.0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("holds 20x15 pixels, expected 30x25"),
            std::string::npos);
  // The window is what the file gave: inside it, the file's pixels.
  EXPECT_LE(cache.getX1(), 20);
  EXPECT_LE(cache.getY1(), 15);
  EXPECT_EQ(cache.getX1() - cache.getX0(), cache.getWindow().width);
  EXPECT_EQ(cache.getY1() - cache.getY0(), cache.getWindow().height);
  EXPECT_EQ(cache.sample(15, 12), fileValue(15, 12, 0));
}

TEST_F(CachedImageTest, ImageWithoutChannelsSamplesOne) {
  const vorn::Image<float> none(30, 25, 0);
  const CachedImage cache(name, 3, none);
  EXPECT_EQ(cache.getWidth(), 30);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cache.sample(0, 0), 1.0);
  EXPECT_EQ(cache.sample(29, 24), 1.0);
  EXPECT_EQ(cache.sample(-3, 100), 1.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const CachedImage empty;
  EXPECT_EQ(empty.sample(0, 0), 1.0);
  EXPECT_EQ(empty.sample(5, 5), 1.0);
  EXPECT_EQ(empty.getX1(), 1);
}

TEST_F(CachedImageTest, CopiesDoNotSeeEachOthersRereads) {
  writeFile(testImage(30, 25, 1));
  const CachedImage first = windowed(name);
  const CachedImage second = first;
  EXPECT_EQ(first.sample(25, 12), fileValue(25, 12, 0));
  EXPECT_EQ(second.getX1(), 20);
  EXPECT_EQ(second.sample(12, 12), -fileValue(12, 12, 0));
}

}  // namespace
