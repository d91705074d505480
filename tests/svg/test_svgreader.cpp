// glimshape — tests/svg
// Purpose: the SVG document reader: scales and image sizes, placement with the margin,
// colours, styles, polygons, transforms, stroke statistics, hostile XML and the corpus.
#include "svg/svgreader.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

#include "common/svg_corpus.h"
#include "svg/fullreader.h"
#include "svg/raster.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Vec2d = vorn::Vec2<double>;

// What a read produced: the elements received and everything printed.
struct Reading {
  std::vector<SvgElement> elements;
  std::string output;
  bool loaded = false;
};

Reading readText(SvgReader& reader, const std::string& text, int width = 128,
                 int height = 128) {
  Reading reading;
  CaptureStdout();
  const SvgDocument document(text, "test.svg");
  reading.loaded = document.isValid();
  if (reading.loaded) {
    reader.read(document, width, height, [&](const SvgElement& element) {
      reading.elements.push_back(element);
      return true;
    });
  }
  reading.output = GetCapturedStdout();
  return reading;
}

Reading readText(const std::string& text, int width = 128, int height = 128) {
  SvgReader reader;
  return readText(reader, text, width, height);
}

std::string svg(const std::string& body, const std::string& size = "width=\"128\" height=\"128\"") {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" " + size + ">" + body + "</svg>";
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void expectColor(const std::array<float, 3>& color, float r, float g, float b) {
  EXPECT_FLOAT_EQ(color[0], r);
  EXPECT_FLOAT_EQ(color[1], g);
  EXPECT_FLOAT_EQ(color[2], b);
}

void expectPoint(const Vec2d& p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

const char* square = "<path d=\"M 0 0 L 128 0 L 128 128 L 0 128 Z\"/>";

}  // namespace

TEST(SvgReader, DocumentSizeSetsScaleAndImageSize) {
  {
    SvgReader reader;
    const Reading wide = readText(reader, svg(square, "width=\"200\" height=\"100\""));
    EXPECT_NE(wide.output.find("Scale: 0.64,0.64\nSize: 128,64\n"), std::string::npos) << wide.output;
    EXPECT_DOUBLE_EQ(reader.scaleWidth, 0.64);
    EXPECT_EQ(reader.imageWidth, 128);
    EXPECT_EQ(reader.imageHeight, 64);
    ASSERT_EQ(wide.elements.size(), 1u);
    EXPECT_EQ(wide.elements[0].mask.width, 128);
    EXPECT_EQ(wide.elements[0].mask.height, 64);
  }
  {
    SvgReader reader;
    const Reading tall = readText(reader, svg(square, "width=\"100\" height=\"200\""), 128, 256);
    EXPECT_NE(tall.output.find("Scale: 1.28,1.28\nSize: 128,256\n"), std::string::npos) << tall.output;
  }
  {
    // Units after the number are dropped: 210mm reads as 210.
    SvgReader reader;
    const Reading units = readText(reader, svg(square, "width=\"210mm\" height=\"297mm\""));
    EXPECT_DOUBLE_EQ(reader.scaleWidth, 128.0 / 297.0);
    EXPECT_EQ(reader.imageWidth, static_cast<int>(128 * (210.0 / 297.0)));
  }
}

TEST(SvgReader, ScaleStartsFreshAtEveryLoad) {
  // A document without sizes reads its factors from 1 × 1, whatever came before: both
  // factors become the canvas height and the outline falls outside the raster.
  const std::string triangle = "<path d=\"M 10 10 L 50 10 L 50 50 Z\"/>";
  SvgReader reader;
  for (const char* before : {"", "width=\"200\" height=\"100\""}) {
    readText(reader, svg(triangle, before));
    const Reading fresh = readText(reader, svg(triangle, ""));
    EXPECT_NE(fresh.output.find("Scale: 128,128\nSize: 128,128\n"), std::string::npos) << fresh.output;
    EXPECT_TRUE(fresh.elements.empty());
    EXPECT_EQ(count(fresh.output, "Got an invalid shape.\n"), 1);
  }
  // Only the height given: the width is 1, the aspect 1/400.
  const Reading half = readText(reader, svg(triangle, "height=\"400\""));
  EXPECT_NE(half.output.find("Scale: 0.32,0.32\nSize: 0,128\n"), std::string::npos) << half.output;
  // Sizes that are no positive number count as missing instead of dividing by zero.
  const Reading zero = readText(reader, svg(triangle, "width=\"0\" height=\"auto\""));
  EXPECT_EQ(count(zero.output, "Ignoring the svg"), 2) << zero.output;
  EXPECT_NE(zero.output.find("Scale: 128,128\nSize: 128,128\n"), std::string::npos) << zero.output;
}

TEST(SvgReader, OutlinesGetMarginOnCanvas) {
  const Reading reading = readText(svg(square));
  ASSERT_EQ(reading.elements.size(), 1u);
  const SvgElement& element = reading.elements[0];
  ASSERT_EQ(element.path.nodes.size(), 5u);
  expectPoint(element.path.nodes[0].points[0], 6, 6);
  expectPoint(element.path.nodes[2].points[0], 122, 122);
  // The mask is the square of pixels 6..121, the polygon its flattened outline.
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const bool inside = x >= 6 && x < 122 && y >= 6 && y < 122;
      ASSERT_EQ(element.mask(x, y, 0), inside ? 255 : 0) << x << "," << y;
    }
  }
  ASSERT_EQ(element.polygon.loops.size(), 1u);
  EXPECT_EQ(element.polygon.points.size(), 7u);
  expectPoint(element.polygon.points[1], 64, 6);
  EXPECT_NE(reading.output.find("Returning contour: 7, 1.\n"), std::string::npos);
  EXPECT_NE(reading.output.find("Num strokes:0,1\n"), std::string::npos) << reading.output;
  // The margin is 6 pixels on every side of any raster, the drawing keeping its aspect:
  // on 512 × 512 the square spans 6 … 506, on 256 × 128 (200 × 100) it is centred.
  const Reading large = readText(svg(square, "width=\"128\" height=\"128\""), 512, 512);
  ASSERT_EQ(large.elements.size(), 1u);
  expectPoint(large.elements[0].path.nodes[0].points[0], 6, 6);
  expectPoint(large.elements[0].path.nodes[2].points[0], 506, 506);
  const Reading wide = readText(svg(square, "width=\"256\" height=\"128\""), 256, 256);
  ASSERT_EQ(wide.elements.size(), 1u);
  expectPoint(wide.elements[0].path.nodes[0].points[0], 12, 6);
  expectPoint(wide.elements[0].path.nodes[2].points[0], 128, 122);
  // Radii scale by the mean factor and the margin; arc angles stay.
  const Reading arc = readText(svg("<path d=\"M 64 64 A 20 20 0 1 1 0 0\"/>", "width=\"256\" height=\"256\""));
  ASSERT_EQ(arc.elements.size(), 1u);
  EXPECT_DOUBLE_EQ(arc.elements[0].path.nodes[1].radius, 20 * 0.5 * 0.90625);
  EXPECT_DOUBLE_EQ(arc.elements[0].path.nodes[1].endAngle, 360.0);
}

TEST(SvgReader, ParseColorForms) {
  expectColor(parseColor("#ff8000"), 1.0f, 128.0f / 255.0f, 0.0f);
  expectColor(parseColor("#FF8000"), 1.0f, 128.0f / 255.0f, 0.0f);
  expectColor(parseColor("rgb(50%,0%,100%)"), 0.5f, 0.0f, 1.0f);
  expectColor(parseColor("rgb( 18.039216%, 20.5%,21%)"), 0.18039216f, 0.205f, 0.21f);
  // The CSS forms: short hexadecimal forms repeat each digit, alpha digits are dropped,
  // integers are clamped to 0 … 255, names read in any case.
  const struct {
    const char* text;
    int r, g, b;
  } css[] = {{"#f80", 255, 136, 0},        {"#FFF", 255, 255, 255},
             {"#f808", 255, 136, 0},       {"#ff800080", 255, 128, 0},
             {"rgb(255, 128,0)", 255, 128, 0}, {"rgb( 300 ,-5, 7 )", 255, 0, 7},
             {"red", 255, 0, 0},           {"RebeccaPurple", 0x66, 0x33, 0x99},
             {"lightgoldenrodyellow", 0xfa, 0xfa, 0xd2}, {"#12345", 0x01, 0x23, 0x45}};
  for (const auto& c : css) {
    SCOPED_TRACE(c.text);
    expectColor(parseColor(c.text), c.r / 255.0f, c.g / 255.0f, c.b / 255.0f);
  }
  // Everything else is black: none, paint servers, stray spaces, fractions, unknown names.
  for (const char* text : {"none", "", "url(#gradient)", "rgb(50% ,0%,100%)", "currentColor",
                           "rgb(nan%,0%,0%)", "rgb(1.5,0,0)", "rgb(1,2)", "reddish", "#xyz"}) {
    SCOPED_TRACE(text);
    expectColor(parseColor(text), 0.0f, 0.0f, 0.0f);
  }
}

TEST(SvgReader, FillAndStyle) {
  const Reading reading = readText(svg(
      "<path d=\"M 10 10 L 100 10 L 100 100 Z\" style=\"fill:#00ff00;stroke:#0000ff;stroke-width:3px\"/>"
      "<path d=\"M 10 10 L 100 10 L 100 100 Z\" fill=\"#ff0000\" style=\"opacity:0.5\"/>"
      "<path d=\"M 10 10 L 100 10 L 100 100 Z\" style=\" stroke-width : 1.5 ;;junk;a:b:c\" fill=\"rgb(50%,0%,100%)\"/>"
      "<path d=\"M 10 10 L 100 10 L 100 100 Z\" fill=\"#ff0000\" style=\"fill:#0000ff;stroke-width:0.5\"/>"
      "<path d=\"M 10 10 L 100 10 L 100 100 Z\" style=\"fill:#0000ff\" fill=\"#ff0000\"/>"));
  ASSERT_EQ(reading.elements.size(), 5u);
  // An outline whose fill is none paints no shape; a later fill undoes the none.
  const Reading none = readText(svg("<path d=\"M 0 0 H 50 V 50 Z\" fill=\"none\" style=\"stroke:red\"/>"
                                    "<path d=\"M 0 0 H 50 V 50 Z\" style=\"fill:none\" fill=\"red\"/>"));
  ASSERT_EQ(none.elements.size(), 1u);
  EXPECT_EQ(count(none.output, "fill is none"), 1);
  expectColor(reading.elements[0].fillColor, 0, 1, 0);
  expectColor(reading.elements[0].strokeColor, 0, 0, 1);
  EXPECT_DOUBLE_EQ(reading.elements[0].strokeWidth, 3.0);
  expectColor(reading.elements[1].fillColor, 1, 0, 0);
  expectColor(reading.elements[1].strokeColor, 0, 0, 0);
  EXPECT_DOUBLE_EQ(reading.elements[1].strokeWidth, 0.0);
  // Decimal stroke widths stay decimal.
  EXPECT_DOUBLE_EQ(reading.elements[2].strokeWidth, 1.5);
  expectColor(reading.elements[2].fillColor, 0.5, 0, 1);
  EXPECT_DOUBLE_EQ(reading.elements[3].strokeWidth, 0.5);
  // The later of attribute and style entry wins.
  expectColor(reading.elements[3].fillColor, 0, 0, 1);
  expectColor(reading.elements[4].fillColor, 1, 0, 0);
  // One line per unknown key; pieces without exactly one colon are skipped silently.
  EXPECT_EQ(count(reading.output, "ignoring: "), 1) << reading.output;
  EXPECT_NE(reading.output.find("ignoring: opacity=0.5\n"), std::string::npos);
}

TEST(SvgReader, PolygonPoints) {
  // A 128 document on a 128 canvas: x -> 0.90625 x + 6.
  const Reading reading = readText(svg(
      "<polygon points=\"10,10 50,10 50,50\"/>"
      "<polygon points=\" 10 10, 50 10,50,50 70 \"/>"
      "<polygon points=\"\"/>"));
  ASSERT_EQ(reading.elements.size(), 2u);
  for (const SvgElement& element : reading.elements) {
    const auto& nodes = element.path.nodes;
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].type, Path::Node::MoveTo);
    EXPECT_EQ(nodes[1].type, Path::Node::LineTo);
    EXPECT_EQ(nodes[2].type, Path::Node::LineTo);
    EXPECT_EQ(nodes[3].type, Path::Node::ClosePath);
    const double a = 10 * 0.90625 + 6, b = 50 * 0.90625 + 6;
    expectPoint(nodes[0].points[0], a, a);
    expectPoint(nodes[1].points[0], b, a);
    expectPoint(nodes[2].points[0], b, b);
  }
  EXPECT_EQ(count(reading.output, "Got an invalid shape.\n"), 1);
}

TEST(SvgReader, GroupTransformIgnoredOwnTransformApplied) {
  const std::string triangle = "d=\"M 10 10 L 50 10 L 50 50 Z\"";
  const Reading plain = readText(svg("<path " + triangle + "/>"));
  const Reading grouped = readText(
      svg("<g transform=\"translate(50,50) scale(3)\"><g><path " + triangle + "/></g></g>"));
  ASSERT_EQ(plain.elements.size(), 1u);
  ASSERT_EQ(grouped.elements.size(), 1u);
  EXPECT_EQ(plain.elements[0].polygon.points.size(), grouped.elements[0].polygon.points.size());
  expectPoint(grouped.elements[0].path.nodes[1].points[0], 50 * 0.90625 + 6, 10 * 0.90625 + 6);
  // The element's own transform: scale 2 then move by (4, -2), and the SVG matrix form.
  for (const char* transform : {"translate(4,-2) scale(2)", "matrix(2 0 0 2 4 -2)",
                                "translate(4 -2),scale(2,2)"}) {
    const Reading own = readText(svg("<path transform=\"" + std::string(transform) + "\" " + triangle + "/>"));
    ASSERT_EQ(own.elements.size(), 1u) << transform;
    expectPoint(own.elements[0].path.nodes[1].points[0], 104 * 0.90625 + 6, 18 * 0.90625 + 6);
  }
  const Reading turned = readText(svg("<path transform=\"rotate(90 30 30)\" " + triangle + "/>"));
  ASSERT_EQ(turned.elements.size(), 1u);
  expectPoint(turned.elements[0].path.nodes[1].points[0], 50 * 0.90625 + 6, 50 * 0.90625 + 6);
  const Reading odd = readText(svg("<path transform=\"perspective(3)\" " + triangle + "/>"));
  ASSERT_EQ(odd.elements.size(), 1u);
  EXPECT_NE(odd.output.find("Ignoring the transform \"perspective(3)\""), std::string::npos);
  expectPoint(odd.elements[0].path.nodes[1].points[0], 50 * 0.90625 + 6, 10 * 0.90625 + 6);
}

TEST(SvgReader, StrokeStatisticsMatchByHand) {
  const std::vector<Path> paths{
      Path("M 0 0 L 10 0 L 10 10 Z"),       // a
      Path("M 0 0 L 10 0"),                 // b: its line ends where a's first one does
      Path("M 30 30 A 5 5 0 1 1 0 0"),      // c: no line or curve, a stroke of every path
      Path("M 0 0 C 1 1 2 2 3 3"),          // d
      Path("M 7 7 C 9 9 2 2 8 8 L 3 3"),    // e: second control point as d's
      Path("M 3 3 C 5 5 6 6 7 7"),          // f
      Path("M 0 0 L 10.00005 0"),           // g: within 0.0001 of b's and a's line end
      Path("M 0 0 L 10.0002 0")};           // h: just too far
  // By hand: b->a, b->g, g->a, g->b, d->e (control point (2, 2)) and c->each of the seven
  // others. e is no stroke of d: its line (3, 3) matches no node's first point of d.
  CaptureStdout();
  const int strokes = countStrokes(paths);
  const std::string output = GetCapturedStdout();
  EXPECT_EQ(strokes, 12);
  EXPECT_EQ(count(output, "Found a stroke.\n"), 12);
  EXPECT_EQ(countStrokes({}), 0);
}

namespace {

// The stroke rule pair by pair, as it reads: the reference for the indexed count.
bool nearPoint(const Vec2d& a, const Vec2d& b) {
  return std::hypot(a.x - b.x, a.y - b.y) <= 0.0001;
}

int bruteForceStrokes(const std::vector<Path>& paths) {
  int pairs = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    for (std::size_t j = 0; j < paths.size(); ++j) {
      if (i == j) continue;
      bool stroke = true;
      for (const Path::Node& n : paths[i].nodes) {
        if (n.type != Path::Node::LineTo && n.type != Path::Node::CurveTo) continue;
        bool found = false;
        for (const Path::Node& c : paths[j].nodes) {
          found = found || nearPoint(c.points[0], n.points[0]) ||
                  (n.type == Path::Node::CurveTo && c.type == Path::Node::CurveTo &&
                   (nearPoint(c.points[1], n.points[1]) || nearPoint(c.points[0], n.points[2])));
        }
        stroke = stroke && found;
      }
      pairs += stroke ? 1 : 0;
    }
  }
  return pairs;
}

}  // namespace

TEST(SvgReader, StrokeStatisticsAgreeWithPairByPairAndStayBounded) {
  // Random paths over a coarse grid of points, nudged by less or more than 0.0001, so that
  // many nodes match: the indexed count must equal the pair-by-pair rule (seed 42).
  std::srand(42);
  const auto coordinate = [] {
    const double nudge[] = {0.0, 0.00004, -0.00007, 0.00015, 1e-12};
    return (std::rand() % 3) * 5.0 + nudge[std::rand() % 5];
  };
  int matchedPairs = 0;
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<Path> paths(2 + trial % 7);
    for (Path& path : paths) {
      const int nodes = std::rand() % 4;
      std::ostringstream d;
      d.precision(17);
      d << "M " << coordinate() << " " << coordinate();
      for (int k = 0; k < nodes; ++k) {
        if (std::rand() % 2) {
          d << " L " << coordinate() << " " << coordinate();
        } else {
          d << " C " << coordinate() << " " << coordinate() << " " << coordinate() << " "
            << coordinate() << " " << coordinate() << " " << coordinate();
        }
      }
      if (nodes == 0 && std::rand() % 2) d << " A 2 2 0 1 1 3 3";
      path = Path(d.str());
    }
    CaptureStdout();
    const int strokes = countStrokes(paths);
    GetCapturedStdout();
    EXPECT_EQ(strokes, bruteForceStrokes(paths)) << "trial " << trial;
    matchedPairs += strokes;
  }
  EXPECT_GT(matchedPairs, 20);

  // Many distinct outlines are compared only where they share points: no pair at all.
  std::vector<Path> squares;
  for (int k = 0; k < 20000; ++k) {
    std::ostringstream d;
    d << "M " << k % 200 << " " << k / 200 << " h 0.5 v 0.5 h -0.5 z";
    squares.emplace_back(d.str());
  }
  CaptureStdout();
  EXPECT_EQ(countStrokes(squares), 0);
  EXPECT_EQ(GetCapturedStdout(), "");

  // 6000 equal outlines make 6000 × 5999 pairs: the count stops at its limit and says so.
  const std::vector<Path> equal(6000, Path("M 0 0 L 9 0 L 9 9 Z"));
  CaptureStdout();
  const int stopped = countStrokes(equal);
  const std::string output = GetCapturedStdout();
  EXPECT_GT(stopped, 0);
  EXPECT_LT(stopped, 6000 * 5999);
  EXPECT_EQ(count(output, "Found a stroke.\n"), 10000);
  EXPECT_NE(output.find("Found " + std::to_string(stopped - 10000) + " more strokes.\n"),
            std::string::npos);
  EXPECT_NE(output.find("Stroke statistics stopped after " + std::to_string(stopped) +
                        " pairs: the 6000 outlines"),
            std::string::npos);
}

TEST(SvgReader, OutlinesOfTooManyNodesAreSkipped) {
  // A zigzag whose edges all cross: 10,000 nodes are read, one more is refused before
  // rasterising, with a line naming the count.
  const auto zigzag = [](int lines) {
    std::string d = "M 0 0";
    for (int k = 0; k < lines; ++k) d += k % 2 ? " L 0 128" : " L 128 " + std::to_string(k % 128);
    return "<path d=\"" + d + "\"/>";
  };
  const Reading limit = readText(svg(zigzag(9998) + "<path d=\"M 0 0 L 9 0 L 9 9 Z\"/>"));
  EXPECT_EQ(limit.elements.size(), 2u);
  const Reading over = readText(svg(zigzag(10000) + "<path d=\"M 0 0 L 9 0 L 9 9 Z\"/>"));
  EXPECT_EQ(over.elements.size(), 1u);
  EXPECT_NE(over.output.find("Skipping an outline of 10001 nodes: at most 10000 are read.\n"),
            std::string::npos);
}

TEST(SvgReader, OutlinesBeyondTheLimitAreCountedNotRead) {
  // 20,000 small squares (a large drawing, kept small enough for a test): the first 2000
  // are taken in document order, the rest only counted.
  std::string body;
  for (int k = 0; k < 20000; ++k) {
    body += "<path d=\"M " + std::to_string(k % 100) + " " + std::to_string(k / 100 % 100) +
            " h 20 v 20 h -20 z\"/>";
  }
  SvgReader reader;
  reader.outlineLimit = 2000;
  const Reading many = readText(reader, svg(body));
  ASSERT_EQ(many.elements.size(), 2000u);
  expectPoint(many.elements[1999].path.nodes[0].points[0], 99 * 0.90625 + 6, 19 * 0.90625 + 6);
  EXPECT_NE(many.output.find("Only the first 2000 outlines are read; 18000 more are left out.\n"),
            std::string::npos);
  EXPECT_NE(many.output.find("Num strokes:0,2000\n"), std::string::npos);
  // Invalid outlines do not use up the limit.
  reader.outlineLimit = 1;
  const Reading one = readText(reader, svg("<path d=\"M 0 0\"/><path d=\"M 0 0 h 9 v 9 z\"/>"));
  EXPECT_EQ(one.elements.size(), 1u);
  EXPECT_EQ(one.output.find("left out"), std::string::npos);
}

TEST(SvgReader, MissingAndMalformedFilesAreRefused) {
  SvgReader reader;
  int calls = 0;
  const auto receive = [&](const SvgElement&) { return ++calls > 0; };
  EXPECT_FALSE(reader.load("/nonexistent/drawing.svg", 128, 128, receive));
  EXPECT_FALSE(SvgDocument("<svg><path d=\"M 0 0\"></svg>", "broken.svg").isValid());
  EXPECT_FALSE(SvgDocument("", "empty.svg").isValid());
  EXPECT_EQ(calls, 0);
}

TEST(SvgReader, HostileXml) {
  // Billion laughs: ten levels of ten references, in content and in an attribute.
  std::string dtd = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY l0 \"lol\">";
  for (int level = 1; level <= 10; ++level) {
    dtd += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int k = 0; k < 10; ++k) dtd += "&l" + std::to_string(level - 1) + ";";
    dtd += "\">";
  }
  dtd += "]>";
  EXPECT_FALSE(SvgDocument(dtd + "<svg><g>&l10;</g></svg>", "laughs.svg").isValid());
  EXPECT_FALSE(SvgDocument(dtd + "<svg><path fill=\"&l10;\" d=\"M 0 0\"/></svg>", "laughs.svg").isValid());

  // One large entity referenced many times: libxml2 keeps the references, and reading the
  // attribute stops at the reader's limit instead of building gigabytes.
  const std::string big(100000, '1');
  std::string refs;
  for (int k = 0; k < 5000; ++k) refs += "&big;";
  const Reading wide = readText("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY big \"" + big +
                                "\">]>" + svg("<path style=\"stroke-width:" + refs + "\" d=\"M 0 0 L 9 0 L 9 9 Z\"/>"));
  ASSERT_TRUE(wide.loaded);
  ASSERT_EQ(wide.elements.size(), 1u);
  EXPECT_NE(wide.output.find("Entities expand to more than 16 MiB"), std::string::npos);

  // References to empty texts cost their own length, so fanning out cannot go on either.
  std::string fan;
  for (int k = 0; k < 1000; ++k) fan += "&e;";
  std::string fans;
  for (int k = 0; k < 20000; ++k) fans += "&f;";
  const Reading empty = readText("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e \"\"><!ENTITY f \"" +
                                 fan + "\">]>" + svg("<path style=\"" + fans + "\" d=\"M 0 0 L 9 0 L 9 9 Z\"/>"));
  ASSERT_TRUE(empty.loaded);
  EXPECT_NE(empty.output.find("Entities expand to more than 16 MiB"), std::string::npos);

  // An external entity is never loaded: its file holds an outline that would be read.
  const std::string outside = testing::TempDir() + "outside_entity.xml";
  std::ofstream(outside) << "<path d=\"M 0 0 L 100 0 L 100 100 Z\"/>";
  const Reading external = readText("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY x SYSTEM \"file://" +
                                    outside + "\">]>" + svg("<g>&x;</g>"));
  EXPECT_TRUE(external.elements.empty());

  // Internal entities inside attribute values are expanded, also in the middle of a style.
  const Reading inner = readText(
      "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY f \"#00ff00\"><!ENTITY s \"&f;\">]>" +
      svg("<path style=\"fill:&f;;stroke:&s;;stroke-width:2\" d=\"M 0 0 L 9 0 L 9 9 Z\"/>"));
  ASSERT_EQ(inner.elements.size(), 1u);
  expectColor(inner.elements[0].fillColor, 0, 1, 0);
  expectColor(inner.elements[0].strokeColor, 0, 1, 0);
  EXPECT_DOUBLE_EQ(inner.elements[0].strokeWidth, 2.0);
}

TEST(SvgReader, EveryCorpusFileReads) {
  // Outline elements per file (path + polygon), counted independently of this reader.
  const std::map<std::string, int> outlines = {
      {"oc-signalflag_3.svg", 4}, {"oc-watermelon_simple.svg", 18},
      {"oc-profilo_della_citta.svg", 493}, {"oc-pattern-diamond-cubes-2.svg", 17},
      {"oc-hand_dennis_rutjes_01.svg", 3}, {"oc-mobile_phone_01.svg", 45},
      {"adwaita-format-justify-fill-symbolic.svg", 1}, {"adwaita-selection-mode-symbolic.svg", 2},
      {"flag-hn-squared.svg", 5}, {"tango-gnome-other.svg", 5}, {"bootstrap-heart-pulse.svg", 2},
      {"w3c-paths-data-01-t.svg", 8}, {"sugar-female-6.svg", 14}};
  const std::string dir = glimtest::sharedSvgCorpusDir();
  DIR* listing = dir.empty() ? nullptr : opendir(dir.c_str());
  if (listing == nullptr) GTEST_SKIP() << "no corpus beside " << GLIM_SOURCE_DIR;
  int files = 0;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".svg") continue;
    ++files;
    SvgReader reader;
    int taken = 0;
    CaptureStdout();
    const bool loaded = reader.load(dir + name, 128, 128, [&](const SvgElement& element) {
      EXPECT_TRUE(isValidRaster(element.mask)) << name;
      EXPECT_EQ(element.mask.width, reader.imageWidth) << name;
      EXPECT_FALSE(element.polygon.points.empty()) << name;
      return ++taken > 0;
    });
    const std::string output = GetCapturedStdout();
    EXPECT_TRUE(loaded) << name;
    ASSERT_EQ(outlines.count(name), 1u) << "unlisted corpus file " << name;
    EXPECT_EQ(taken + count(output, "Got an invalid shape.\n") + count(output, "fill is none"),
              outlines.at(name))
        << name;
    EXPECT_NE(output.find("Num strokes:"), std::string::npos) << name;
    // Every file a renderer draws gives shapes through the full reader.
    FullSvgReader full;
    const SvgDocument document(dir + name);
    CaptureStdout();
    EXPECT_GT(full.read(document, 128, 128, [](const SvgElement&) { return true; }), 0) << name;
    GetCapturedStdout();
  }
  closedir(listing);
  EXPECT_EQ(files, 13);
}
