// glimshape — tests/evolver
// Purpose: pictures of the drawing: the scales a canvas allows, the picture's size and
// background, and files that are replaced only when asked.
#include "evolver/picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/quiet_stdout.h"
#include "evolver/evolver.h"
#include "lomvet/progress.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Picture, LargestScaleKeepsEverySideWithin16384Pixels) {
  const struct {
    int width, height, scale;
  } cases[] = {{128, 128, 16}, {1024, 1, 16}, {1025, 1, 15}, {1, 4096, 4},
               {5000, 300, 3}, {16384, 16, 1}, {16385, 1, 0}, {0, 10, 0}, {10, -1, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(largestPictureScale(c.width, c.height), c.scale) << c.width << "x" << c.height;
}

TEST(Picture, ScaledWhitePictureOfTheCanvasThatReplacesOnlyWhenAsked) {
  setProgressLines(false);
  ZazizEvozuEvolver evolver;
  {
    glimtest::QuietStdout quiet;
    ASSERT_TRUE(evolver.loadSVG(std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg"));
  }
  std::string png, error;
  for (int scale : {0, 17}) {
    EXPECT_FALSE(renderPicture(evolver, scale, png, error)) << scale;
    EXPECT_NE(error.find("1 to 16 times"), std::string::npos) << error;
  }
  ASSERT_TRUE(renderPicture(evolver, 3, png, error)) << error;
  // IHDR: 384 × 384, 8-bit RGB (the background is opaque).
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png.substr(12, 12), std::string("IHDR\0\0\1\x80\0\0\1\x80", 12));
  EXPECT_EQ(png[25], 2);

  const std::string file = testing::TempDir() + "picture.png";
  std::remove(file.c_str());
  std::ofstream(file) << "keep";
  EXPECT_FALSE(writePicture(evolver, 3, file, false, error));
  EXPECT_NE(error.find("exists already"), std::string::npos) << error;
  EXPECT_EQ(readFile(file), "keep");
  ASSERT_TRUE(writePicture(evolver, 3, file, true, error)) << error;
  EXPECT_EQ(readFile(file), png);
  std::remove(file.c_str());
  setProgressLines(true);
}

}  // namespace
