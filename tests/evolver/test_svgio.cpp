// glimshape — tests/evolver
// Purpose: ZazizEvozuEvolver's SVG input and output with real shapes: loading the example,
// saving and loading back, a canvas that is not square, unreadable files and a load while
// the worker runs.
#include "evolver/evolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "lomvet/progress.h"
#include "settings/glimshapesettings.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string example = std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg";

// Bounding box of the pixels above 0, as {x0, y0, x1, y1} (inclusive); x0 > x1 when empty.
std::array<int, 4> box(const vorn::Image<unsigned char>& image) {
  std::array<int, 4> b{{image.width, image.height, -1, -1}};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image(x, y, 0) == 0) continue;
      b[0] = std::min(b[0], x), b[1] = std::min(b[1], y);
      b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
    }
  }
  return b;
}

// Area enclosed by the shape's outline polygons and its centre (shoelace; holes count
// negative).
struct Region {
  double area = 0.0, x = 0.0, y = 0.0;
};
Region region(ZazizEvozuBase& shape) {
  shape.updatePolygons();
  Region r;
  for (const std::vector<int>& loop : shape.polygons) {
    for (std::size_t k = 0; k < loop.size(); ++k) {
      const auto& p = shape.points[loop[k]];
      const auto& q = shape.points[loop[(k + 1) % loop.size()]];
      const double cross = p.x * q.y - q.x * p.y;
      r.area += 0.5 * cross, r.x += (p.x + q.x) * cross / 6, r.y += (p.y + q.y) * cross / 6;
    }
  }
  r.x /= r.area, r.y /= r.area, r.area = std::fabs(r.area);
  return r;
}

bool quietLoad(ZazizEvozuEvolver& evolver, const std::string& fileName) {
  CaptureStdout();
  const bool loaded = evolver.loadSVG(fileName);
  GetCapturedStdout();
  return loaded;
}

class SvgIo : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgressLines(false);
    GlimShapeSettings& settings = GlimShapeSettings::instance();
    savedWidth = settings.width;
    savedHeight = settings.height;
  }
  void TearDown() override {
    GlimShapeSettings& settings = GlimShapeSettings::instance();
    settings.width = savedWidth;
    settings.height = savedHeight;
    setProgressLines(true);
  }
  std::string temporary(const std::string& name) const { return testing::TempDir() + name; }

  int savedWidth = 128, savedHeight = 128;
};

}  // namespace

TEST_F(SvgIo, ExampleLoadsWithItsColours) {
  ZazizEvozuEvolver evolver;
  CaptureStdout();
  ASSERT_TRUE(evolver.loadSVG(example));
  const std::string output = GetCapturedStdout();
  ASSERT_EQ(evolver.shapes.size(), 16u);
  EXPECT_EQ(output.find("Got an invalid shape."), std::string::npos);
  EXPECT_NE(output.find("Scale: 0.5,0.5\nSize: 128,128\n"), std::string::npos) << output;
  // The first outline is the sun, #f5a623, with no style: black line of width 0.
  ZazizEvozuBase& sun = *evolver.shapes[0];
  EXPECT_NEAR(sun.fillColor[0], 0xf5 / 255.0f, 1e-4);
  EXPECT_NEAR(sun.fillColor[1], 0xa6 / 255.0f, 1e-4);
  EXPECT_NEAR(sun.fillColor[2], 0x23 / 255.0f, 1e-4);
  EXPECT_FLOAT_EQ(sun.lineColor[0], 0.0f);
  EXPECT_DOUBLE_EQ(sun.lineWidth, 0.0);
  // The mask is rebuilt: taken where a shape is, free elsewhere.
  ASSERT_EQ(evolver.mask.width, 128);
  const auto sunBox = box(sun.getBinaryImage());
  EXPECT_EQ(evolver.mask((sunBox[0] + sunBox[2]) / 2, (sunBox[1] + sunBox[3]) / 2, 0), 0);
  EXPECT_EQ(evolver.mask(2, 2, 0), 1);
}

TEST_F(SvgIo, SavedDrawingWithOutlinesLoadsBackAndSavesAgainUnchanged) {
  // The example's shapes have no holes; each gets an outline of its own colour and width.
  ZazizEvozuEvolver original;
  ASSERT_TRUE(quietLoad(original, example));
  for (std::size_t i = 0; i < original.shapes.size(); ++i) {
    ZazizEvozuBase& shape = *original.shapes[i];
    shape.lineWidth = 1.0 + 0.25 * (i % 5);
    for (int c = 0; c < 3; ++c) shape.lineColor[c] = 0.2f * c + 0.05f * (i % 4);
  }
  // Saved, loaded, saved and loaded again: each generation keeps the shapes, their places
  // (centres within 0.15 pixels), areas (each within 2 %, down to the smallest of 28
  // square pixels), fill and line colours and line widths of the one before.
  ZazizEvozuEvolver generations[2];
  const ZazizEvozuEvolver* before = &original;
  for (ZazizEvozuEvolver& next : generations) {
    const std::string file = temporary("svgio_roundtrip.svg");
    ASSERT_TRUE(const_cast<ZazizEvozuEvolver*>(before)->saveSVG(file));
    ASSERT_TRUE(quietLoad(next, file));
    ASSERT_EQ(next.shapes.size(), before->shapes.size());
    double areaBefore = 0.0, areaAfter = 0.0;
    for (std::size_t i = 0; i < next.shapes.size(); ++i) {
      ZazizEvozuBase& a = *before->shapes[i];
      ZazizEvozuBase& b = *next.shapes[i];
      const vorn::Image<unsigned char> ma = a.getBinaryImage(), mb = b.getBinaryImage();
      const auto boxA = box(ma), boxB = box(mb);
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(boxB[k], boxA[k], 1) << "shape " << i;
      const Region ra = region(a), rb = region(b);
      EXPECT_NEAR(rb.area, ra.area, 0.02 * ra.area) << "shape " << i;
      EXPECT_NEAR(rb.x, ra.x, 0.15) << "shape " << i;
      EXPECT_NEAR(rb.y, ra.y, 0.15) << "shape " << i;
      areaBefore += ra.area;
      areaAfter += rb.area;
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(b.fillColor[c], a.fillColor[c], 1.0 / 255) << "shape " << i;
        EXPECT_NEAR(b.lineColor[c], a.lineColor[c], 1.0 / 255) << "shape " << i;
      }
      EXPECT_NEAR(b.lineWidth, a.lineWidth, 0.5) << "shape " << i;
    }
    EXPECT_NEAR(areaAfter, areaBefore, 0.02 * areaBefore);
    before = &next;
  }
}

TEST_F(SvgIo, WideCanvasSavedAndLoadedBackCoversWholeDrawing) {
  GlimShapeSettings::instance().width = 200;
  GlimShapeSettings::instance().height = 100;
  const std::string source = temporary("svgio_wide_source.svg");
  std::ofstream(source) << "<svg width=\"200\" height=\"100\">"
                           "<path d=\"M 2 4 L 40 4 L 40 90 L 2 90 Z\" fill=\"#ff0000\"/>"
                           "<path d=\"M 80 30 C 100 10 120 10 120 50 C 120 80 90 90 80 30 Z\"/>"
                           "<polygon points=\"160,10 198,10 198,96 150,96\" fill=\"#0000ff\"/>"
                           "<path d=\"M 50 50 H 76 V 90 H 50 Z M 56 56 V 84 H 70 V 56 Z\"/>"
                           "<path d=\"M 60 66 L 66 66 L 66 74 L 60 74 Z\"/>"  // in the hole
                           "</svg>";
  ZazizEvozuEvolver first;
  ASSERT_TRUE(quietLoad(first, source));
  ASSERT_EQ(first.shapes.size(), 5u);
  EXPECT_EQ(first.shapes[0]->getWidth(), 200);
  EXPECT_EQ(first.shapes[0]->getHeight(), 100);
  const std::string saved = temporary("svgio_wide_saved.svg");
  ASSERT_TRUE(first.saveSVG(saved));

  ZazizEvozuEvolver second;
  ASSERT_TRUE(quietLoad(second, saved));
  ASSERT_EQ(second.shapes.size(), 5u);
  // Each shape comes back where it was: the saved page records its canvas, and is read
  // without a margin (within the outline tracing of a pixel), by both readers; the square
  // in the frame's hole stays a shape of its own and the hole stays open.
  for (const char* reader : {"full", "basic"}) {
    GlimShapeSettings::instance().svgReader = reader;
    ASSERT_TRUE(quietLoad(second, saved));
    ASSERT_EQ(second.shapes.size(), 5u) << reader;
    EXPECT_EQ(second.shapes[3]->getBinaryImage()(63, 69, 0), 0) << reader;
    for (std::size_t i = 0; i < 5; ++i) {
      const auto before = box(first.shapes[i]->getBinaryImage());
      const auto after = box(second.shapes[i]->getBinaryImage());
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(after[k], before[k], 1.0) << reader << " " << i;
    }
  }
  GlimShapeSettings::instance().svgReader = "full";
  // The right-hand shape lies beyond the 128 pixels a fixed 256-point page would show.
  EXPECT_GT(box(second.shapes[2]->getBinaryImage())[0], 128);
}

TEST_F(SvgIo, UnreadableFileKeepsShapes) {
  ZazizEvozuEvolver evolver;
  ASSERT_TRUE(quietLoad(evolver, example));
  const std::vector<std::shared_ptr<ZazizEvozuBase>> before = evolver.shapes;
  const std::string broken = temporary("svgio_broken.svg");
  std::ofstream(broken) << "<svg><path d=\"M 0 0 L 9 9\"></svg>";
  CaptureStdout();
  EXPECT_FALSE(evolver.loadSVG("/nonexistent/drawing.svg"));
  EXPECT_FALSE(evolver.loadSVG(broken));
  const std::string output = GetCapturedStdout();
  EXPECT_NE(output.find("Could not read SVG file /nonexistent/drawing.svg."), std::string::npos);
  EXPECT_EQ(evolver.shapes, before);
  // A readable file without valid outlines empties the drawing and its mask.
  const std::string empty = temporary("svgio_empty_drawing.svg");
  std::ofstream(empty) << "<svg width=\"10\" height=\"10\"><path d=\"M 1 1 L 5 5\"/></svg>";
  ASSERT_TRUE(quietLoad(evolver, empty));
  EXPECT_TRUE(evolver.shapes.empty());
  EXPECT_EQ(evolver.mask.width, 0);
}

TEST_F(SvgIo, LoadWhileWorkerRunsStopsItFirst) {
  ZazizEvozuEvolver evolver;
  ASSERT_TRUE(quietLoad(evolver, example));
  CaptureStdout();
  evolver.start();
  for (int i = 0; i < 600000 && evolver.getPassCount() < 1; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  const bool loaded = evolver.loadSVG(example);
  // Saving while a run goes on waits for the step in progress.
  evolver.start();
  const bool saved = evolver.saveSVG(temporary("svgio_running.svg"));
  evolver.stop();
  GetCapturedStdout();
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(saved);
  EXPECT_FALSE(evolver.running());
  EXPECT_EQ(evolver.shapes.size(), 16u);
}
