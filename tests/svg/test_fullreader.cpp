// glimshape — tests/svg
// Purpose: the full reader: a drawing within the basic reader's subset lands on the same
// pixels in both readers; real drawings' features; hostile documents.
#include "svg/fullreader.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct Shapes {
  std::vector<SvgElement> elements;
  LoadSummary summary;
};

template <class Reader>
Shapes readWith(Reader& reader, const std::string& text, int width = 128, int height = 128) {
  Shapes shapes;
  CaptureStdout();
  const SvgDocument document(text, "test.svg");
  reader.read(document, width, height, [&](const SvgElement& element) {
    shapes.elements.push_back(element);
    return true;
  });
  GetCapturedStdout();
  shapes.summary = reader.summary;
  return shapes;
}

// Pixels' worth of a mask (255 a pixel), and its centre of mass.
struct Moments {
  double area = 0, x = 0, y = 0;
};
Moments moments(const vorn::Image<unsigned char>& mask) {
  Moments m;
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const double v = mask(x, y, 0) / 255.0;
      m.area += v, m.x += v * (x + 0.5), m.y += v * (y + 0.5);
    }
  }
  if (m.area > 0) m.x /= m.area, m.y /= m.area;
  return m;
}

void expectColor(const std::array<float, 3>& color, double r, double g, double b, double tolerance) {
  EXPECT_NEAR(color[0], r, tolerance);
  EXPECT_NEAR(color[1], g, tolerance);
  EXPECT_NEAR(color[2], b, tolerance);
}

}  // namespace

TEST(FullReader, SubsetDrawingLandsOnTheSamePixelsInBothReaders) {
  // Bare width and height, no viewBox, no group transform: both readers place it alike.
  const std::string text =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
      "<path d=\"M 10 10 L 90 20 L 60 90 Z\" fill=\"#3366cc\"/>"
      "<path d=\"M 120 50 C 120 20 180 20 180 50 C 180 80 120 80 120 50 Z\" style=\"fill:#ff8000\"/>"
      "<polygon points=\"100,5 195,5 195,15 100,15\" fill=\"#00aa00\"/></svg>";
  for (const int side : {128, 512}) {
    SCOPED_TRACE(side);
    SvgReader basicReader;
    FullSvgReader fullReader;
    const Shapes basic = readWith(basicReader, text, side, side);
    const Shapes full = readWith(fullReader, text, side, side);
    ASSERT_EQ(basic.elements.size(), 3u);
    ASSERT_EQ(full.elements.size(), 3u);
    EXPECT_EQ(fullReader.imageWidth, basicReader.imageWidth);
    EXPECT_EQ(fullReader.imageHeight, basicReader.imageHeight);
    for (std::size_t i = 0; i < 3; ++i) {
      const vorn::Image<unsigned char>& a = basic.elements[i].mask;
      const vorn::Image<unsigned char>& b = full.elements[i].mask;
      // Where one reader's shape is, the other's is too, up to a pixel at the edges.
      for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
          if ((a(x, y, 0) > 127) == (b(x, y, 0) > 127)) continue;
          bool near = false;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int nx = std::clamp(x + dx, 0, a.width - 1), ny = std::clamp(y + dy, 0, a.height - 1);
              near = near || (b(nx, ny, 0) > 127) == (a(x, y, 0) > 127);
            }
          ASSERT_TRUE(near) << "shape " << i << " at " << x << "," << y;
        }
      }
      const Moments ma = moments(a), mb = moments(b);
      EXPECT_NEAR(mb.area, ma.area, 0.01 * ma.area) << i;
      EXPECT_NEAR(mb.x, ma.x, 0.1) << i;
      EXPECT_NEAR(mb.y, ma.y, 0.1) << i;
      expectColor(full.elements[i].fillColor, basic.elements[i].fillColor[0],
                  basic.elements[i].fillColor[1], basic.elements[i].fillColor[2], 1.0 / 255);
    }
  }
}

TEST(FullReader, TransformsBasicShapesViewBoxGradientsOpacityAndConditions) {
  // A viewBox of 100 × 50 only: a 128 × 64 image, 6 pixels of margin top and bottom, so a
  // user unit is 1.28 × 0.8125 = 1.04 pixels and the origin lands at (12, 6).
  const std::string text = R"svg(<svg xmlns="http://www.w3.org/2000/svg"
      xmlns:xlink="http://www.w3.org/1999/xlink" viewBox="0 0 100 50">
    <style>.blue { fill: #0000ff; stroke: #ffff00; stroke-width: 2 }</style>
    <defs><linearGradient id="g"><stop offset="0" stop-color="red"/>
      <stop offset="1" stop-color="blue"/></linearGradient>
      <rect id="hidden" width="100" height="50"/>
      <symbol id="s"><rect width="5" height="5" fill="#00ff00"/></symbol></defs>
    <g transform="translate(10 5) scale(2)"><rect width="10" height="5" fill="#ff0000"/></g>
    <circle cx="60" cy="25" r="10" fill="url(#g)"/>
    <line x1="0" y1="45" x2="100" y2="45" stroke="#008000" stroke-width="2"/>
    <g opacity="0.4"><ellipse cx="85" cy="12" rx="8" ry="4" fill="#000000"/></g>
    <rect x="40" y="2" width="10" height="10" fill="#000000" fill-opacity="0.1"/>
    <use xlink:href="#s" x="2" y="38"/>
    <switch><rect systemLanguage="de" x="2" y="2" width="6" height="6" fill="#ff0000"/>
      <rect systemLanguage="fr, en-GB" x="2" y="2" width="6" height="6" fill="#00ffff"/></switch>
    <rect class="blue" x="70" y="28" width="20" height="10"/>
    <rect x="70" y="28" width="20" height="10" fill="none" stroke="#000000"/>
    <rect x="20" y="30" width="10" height="10" style="display:none"/>
  </svg>)svg";
  // The language a renderer tests `systemLanguage` against is fixed, whatever the locale.
  setenv("LANGUAGE", "de", 1);
  FullSvgReader reader;
  const Shapes shapes = readWith(reader, text);
  unsetenv("LANGUAGE");
  EXPECT_EQ(reader.imageWidth, 128);
  EXPECT_EQ(reader.imageHeight, 64);
  ASSERT_EQ(shapes.elements.size(), 7u);
  EXPECT_EQ(shapes.summary.line(), "7 shapes; 1 element paints nothing; 1 faint");
  const auto at = [](double ux, double uy) { return std::pair<double, double>(12 + 1.04 * ux, 6 + 1.04 * uy); };
  const struct {
    double x, y, area;  // user units
    std::array<double, 3> color;
  } expected[] = {{20, 10, 200, {1, 0, 0}},
                  {60, 25, M_PI * 100, {0.5, 0, 0.5}},
                  {50, 45, 200, {0, 128 / 255.0, 0}},
                  {85, 12, M_PI * 32, {0, 0, 0}},
                  {4.5, 40.5, 25, {0, 1, 0}},
                  {5, 5, 36, {0, 1, 1}},
                  {80, 33, 200, {0, 0, 1}}};
  for (std::size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    const Moments m = moments(shapes.elements[i].mask);
    const auto [x, y] = at(expected[i].x, expected[i].y);
    EXPECT_NEAR(m.x, x, 0.3);
    EXPECT_NEAR(m.y, y, 0.3);
    EXPECT_NEAR(m.area, expected[i].area * 1.04 * 1.04, 0.06 * expected[i].area * 1.04 * 1.04);
    expectColor(shapes.elements[i].fillColor, expected[i].color[0], expected[i].color[1],
                expected[i].color[2], 0.03);
  }
  // Filled and stroked: a yellow line of 2 user units; the stroke-only rectangle that
  // retraces it right after replaces that with black of 1 unit.
  expectColor(shapes.elements[6].strokeColor, 0, 0, 0, 0.03);
  EXPECT_NEAR(shapes.elements[6].strokeWidth, 1.04, 0.5);
  EXPECT_DOUBLE_EQ(shapes.elements[0].strokeWidth, 0.0);
  // Neither size nor viewBox: the extent of what is drawn (30 × 10) takes their place, on
  // a 128 × 42 image whose height leaves a factor of 30 / 42 for the margin.
  const Shapes bare = readWith(reader, "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect x=\"10\" "
                                       "y=\"20\" width=\"30\" height=\"10\"/></svg>");
  ASSERT_EQ(bare.elements.size(), 1u);
  EXPECT_EQ(reader.imageHeight, 42);
  const Moments m = moments(bare.elements[0].mask);
  EXPECT_NEAR(m.x, 64, 0.3);
  EXPECT_NEAR(m.y, 6 + 5 * 128 / 30.0 * 30 / 42, 0.3);
  EXPECT_NEAR(m.area, 300 * std::pow(128 / 30.0 * 30 / 42, 2), 20);
  const Shapes stroked = readWith(reader, R"svg(<svg xmlns="http://www.w3.org/2000/svg"
      width="100" height="100"><rect x="20" y="20" width="60" height="40" fill="#0000ff"
      stroke="#ffff00" stroke-width="6"/></svg>)svg");
  ASSERT_EQ(stroked.elements.size(), 1u);
  expectColor(stroked.elements[0].strokeColor, 1, 1, 0, 0.03);
  EXPECT_NEAR(stroked.elements[0].strokeWidth, 6 * 1.16, 0.5);
}

// A long flat drawing keeps its elements' order, places and inherited fills; strokes come
// from the element, an ancestor or the `use` that shows an element; a style sheet that
// picks elements by where they stand still picks them.
TEST(FullReader, StrokesFromAncestorsAndUsesAndStructuralStyleSheets) {
  const std::string open = R"(<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" )";
  std::string flat = open + R"(fill="#00ff00">)";
  for (int k = 0; k < 40; ++k) {
    flat += "<rect x=\"" + std::to_string(3 * k) + "\" y=\"" + std::to_string(k % 7 * 16) +
            "\" width=\"3\" height=\"12\"" + (k == 25 ? " stroke=\"#ff0000\"" : "") + "/>";
  }
  FullSvgReader reader;
  const Shapes shapes = readWith(reader, flat + "</svg>");
  ASSERT_EQ(shapes.elements.size(), 40u);
  for (int k = 0; k < 40; ++k) {
    SCOPED_TRACE(k);
    const Moments m = moments(shapes.elements[k].mask);
    EXPECT_NEAR(m.x, 6 + (3 * k + 1.5) * 116 / 128.0, 0.3);
    EXPECT_NEAR(m.y, 6 + (k % 7 * 16 + 6) * 116 / 128.0, 0.3);
    expectColor(shapes.elements[k].fillColor, 0, 1, 0, 0.03);
    EXPECT_EQ(shapes.elements[k].strokeWidth > 0, k == 25);
  }
  expectColor(shapes.elements[25].strokeColor, 1, 0, 0, 0.03);

  const Shapes strokes = readWith(reader, open + R"(xmlns:xlink="http://www.w3.org/1999/xlink">
      <rect id="r" x="10" y="10" width="30" height="30" fill="#ff0000"/>
      <use xlink:href="#r" y="50" stroke="#0000ff" stroke-width="4"/>
      <g stroke="#0000ff" stroke-width="4"><rect x="60" y="10" width="30" height="30"/></g>
    </svg>)");
  ASSERT_EQ(strokes.elements.size(), 3u);
  EXPECT_DOUBLE_EQ(strokes.elements[0].strokeWidth, 0.0);
  for (const std::size_t i : {1u, 2u}) {
    expectColor(strokes.elements[i].strokeColor, 0, 0, 1, 0.03);
    EXPECT_NEAR(strokes.elements[i].strokeWidth, 4 * 116 / 128.0, 0.5) << i;
  }

  std::string styled = open + "><style>svg > rect { fill: #0000ff }</style>";
  for (int k = 0; k < 20; ++k) styled += "<rect x=\"" + std::to_string(6 * k) + "\" width=\"4\" height=\"4\"/>";
  const Shapes blue = readWith(reader, styled + "</svg>");
  ASSERT_EQ(blue.elements.size(), 20u);
  for (const SvgElement& element : blue.elements) expectColor(element.fillColor, 0, 0, 1, 0.03);
}

TEST(FullReader, HostileDocumentsGiveNoShapeOrABoundedOne) {
  // (Entity bombs are refused by the XML parser the two readers share.)
  // A PNG beside the test: no document may make librsvg load it.
  const std::string png = testing::TempDir() + "fullreader_secret.png";
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(surface);
  cairo_paint(cr);
  cairo_destroy(cr);
  ASSERT_EQ(cairo_surface_write_to_png(surface, png.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(surface);
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "<g transform=\"scale(3)\">";
  deep += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < 200; ++i) deep += "</g>";
  const std::string open = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";
  const std::string rect = "<rect width=\"10\" height=\"10\"/></svg>";
  const std::string cases[] = {
      open + "width=\"0\" height=\"0\">" + rect,
      open + "viewBox=\"0 0 0 0\">" + rect,
      open + "width=\"1e308\" height=\"1e-308\">" + rect,
      open + "viewBox=\"0 0 nan inf\" width=\"-5\">" + rect,
      open + "width=\"10\" height=\"10\"><image width=\"10\" height=\"10\" xlink:href=\"file://" +
          png + "\"/><image width=\"10\" height=\"10\" xlink:href=\"" + png + "\"/></svg>",
      open + "width=\"10\" height=\"10\"><style>@import url(file://" + png + ");</style>"
             "<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"" + png +
          "\" parse=\"text\"/></svg>",
      open + "width=\"10\" height=\"10\"><rect width=\"10\" height=\"10\" "
             "transform=\"scale(1e300)\"/><rect width=\"1e308\" height=\"1e308\" x=\"-1e308\" "
             "stroke=\"red\" stroke-width=\"1e308\"/></svg>",
      open + "width=\"10\" height=\"10\">" + deep + "</svg>",
      "<html><svg xmlns=\"http://www.w3.org/2000/svg\">" + rect + "</html>",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 160));
    FullSvgReader reader;
    reader.outlineLimit = 3;
    const Shapes shapes = readWith(reader, text);
    EXPECT_LE(shapes.elements.size(), 3u);
    for (const SvgElement& element : shapes.elements)
      EXPECT_EQ(element.mask.width * element.mask.height, reader.imageWidth * reader.imageHeight);
    if (text.find(png) != std::string::npos) {
      EXPECT_TRUE(shapes.elements.empty());
    }
  }
}
