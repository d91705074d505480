// glimshape — tests/svg
// Purpose: the SVG writer: page size, reading its output back, and failed saves that leave
// existing files alone.
#include "svg/svgwriter.h"

#include <cairo.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "svg/raster.h"
#include "svg/svgreader.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string slurp(const std::string& fileName) {
  std::ifstream in(fileName);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Files in the test's own directory, so that stray temporary files can be counted.
std::string freshDirectory(const std::string& name) {
  const std::string dir = testing::TempDir() + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir + "/";
}

int filesIn(const std::string& dir) {
  int n = 0;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return -1;
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] != '.') ++n;
  }
  closedir(listing);
  return n;
}

// One filled and stroked outline in canvas pixels, as a shape draws itself.
SvgDrawing outline(const std::string& data) {
  return [data](cairo_t* cr) {
    Path(data).apply(cr);
    cairo_set_source_rgb(cr, 1.0, 0.5, 0.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.0, 0.0, 1.0);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  };
}

}  // namespace

TEST(SvgWriter, EmptyDrawingIsValidPage) {
  const std::string dir = freshDirectory("svgwriter_empty");
  const std::string file = dir + "empty.svg";
  ASSERT_TRUE(writeSvgFile(file, 128, 128, SvgDrawing()));
  const std::string text = slurp(file);
  EXPECT_TRUE(SvgDocument(text, file).isValid());
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* width=\"256pt\" height=\"256pt\"")))
      << text;
  SvgReader reader;
  CaptureStdout();
  EXPECT_TRUE(reader.load(file, 128, 128, [](const SvgElement&) { return true; }));
  const std::string output = GetCapturedStdout();
  EXPECT_NE(output.find("Scale: 0.5,0.5\nSize: 128,128\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Num strokes:0,0\n"), std::string::npos) << output;
  EXPECT_EQ(filesIn(dir), 1);
}

TEST(SvgWriter, WideCanvasIsSavedWholeAndReadsBack) {
  // The page follows the canvas: 200 x 100 pixels become 400 x 200 points, and an outline
  // reaching the far corner is inside the page and reads back over the whole canvas. (An
  // outline covering the page exactly would be written as a painted page.)
  const std::string file = freshDirectory("svgwriter_wide") + "wide.svg";
  ASSERT_TRUE(writeSvgFile(file, 200, 100, outline("M 1 1 L 199 1 L 199 99 L 1 99 Z")));
  const std::string text = slurp(file);
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* width=\"400pt\" height=\"200pt\"")))
      << text;
  SvgReader reader;
  std::vector<SvgElement> elements;
  CaptureStdout();
  ASSERT_TRUE(reader.load(file, 200, 100, [&](const SvgElement& element) {
    elements.push_back(element);
    return true;
  }));
  GetCapturedStdout();
  ASSERT_EQ(elements.size(), 1u);
  const SvgElement& element = elements[0];
  ASSERT_EQ(element.mask.width, 200);
  ASSERT_EQ(element.mask.height, 100);
  // The root records the canvas, so the page maps back onto it without a margin: every
  // pixel comes back where it was.
  EXPECT_TRUE(std::regex_search(text, std::regex("<svg[^>]* glimshape:canvas=\"200 100\"")));
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool inside = x >= 1 && x < 199 && y >= 1 && y < 99;
      ASSERT_EQ(element.mask(x, y, 0), inside ? 255 : 0) << x << "," << y;
    }
  }
  // Colours and line width come back from the style cairo writes.
  EXPECT_FLOAT_EQ(element.fillColor[0], 1.0f);
  EXPECT_FLOAT_EQ(element.fillColor[1], 0.5f);
  EXPECT_FLOAT_EQ(element.strokeColor[2], 1.0f);
  EXPECT_DOUBLE_EQ(element.strokeWidth, 1.5);
}

TEST(SvgWriter, FailedSaveKeepsExistingFile) {
  const std::string dir = freshDirectory("svgwriter_fail");
  const std::string file = dir + "drawing.svg";
  std::ofstream(file) << "previous contents";

  // The drawing puts cairo into an error state: nothing replaces the file.
  CaptureStdout();
  EXPECT_FALSE(writeSvgFile(file, 128, 128, [](cairo_t* cr) { cairo_restore(cr); }));
  const std::string output = GetCapturedStdout();
  EXPECT_NE(output.find("Could not write SVG file " + file), std::string::npos) << output;
  EXPECT_EQ(slurp(file), "previous contents");
  EXPECT_EQ(filesIn(dir), 1);

  // A directory that does not exist.
  const std::string missing = dir + "no/such/dir/drawing.svg";
  CaptureStdout();
  EXPECT_FALSE(writeSvgFile(missing, 128, 128, SvgDrawing()));
  EXPECT_NE(GetCapturedStdout().find("Could not write SVG file " + missing), std::string::npos);

  // A successful save replaces the file.
  EXPECT_TRUE(writeSvgFile(file, 64, 32, outline("M 1 1 L 9 1 L 9 9 Z")));
  EXPECT_NE(slurp(file).find("width=\"128pt\" height=\"64pt\""), std::string::npos);
  EXPECT_EQ(filesIn(dir), 1);
}
