// glimshape — tests/svg
// Purpose: path-data parsing, node evaluation and flattening against hand-computed values.
#include "svg/path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/svg_corpus.h"

namespace {

using Vec2d = vorn::Vec2<double>;
using Node = Path::Node;

// Runs f with standard output captured and returns what it printed.
template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

Path parsed(const std::string& data) {
  Path path;
  captured([&] { path = Path(data); });
  return path;
}

Polygon flattened(const Path& path, double tolerance = 0.2) {
  Polygon polygon;
  captured([&] { polygon = path.getPolygon(tolerance); });
  return polygon;
}

testing::AssertionResult near(const Vec2d& got, const Vec2d& want, double eps = 1e-9) {
  if (std::fabs(got.x - want.x) <= eps && std::fabs(got.y - want.y) <= eps) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "(" << got.x << ", " << got.y << ") is not within "
                                     << eps << " of (" << want.x << ", " << want.y << ")";
}

testing::AssertionResult isNode(const Node& node, int type, const Vec2d& p = Vec2d()) {
  if (node.type != type) {
    return testing::AssertionFailure() << "node type " << node.type << ", expected " << type;
  }
  const int at = type == Node::CurveTo ? 2 : type == Node::Arc ? 1 : 0;
  if (type == Node::ClosePath) return testing::AssertionSuccess();
  return near(node.points[at], p, 1e-12);
}

bool allFinite(const Polygon& polygon) {
  for (const Vec2d& p : polygon.points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  }
  return true;
}

bool loopsValid(const Polygon& polygon) {
  for (const auto& loop : polygon.loops) {
    for (int i : loop) {
      if (i < 0 || i >= static_cast<int>(polygon.points.size())) return false;
    }
  }
  return true;
}

Node makeNode(int type, Vec2d p0 = Vec2d(), Vec2d p1 = Vec2d(), Vec2d p2 = Vec2d()) {
  Node node;
  node.type = type;
  node.points[0] = p0;
  node.points[1] = p1;
  node.points[2] = p2;
  return node;
}

double distanceToSegment(const Vec2d& p, const Vec2d& a, const Vec2d& b) {
  const Vec2d d = b - a;
  const double len2 = d.dot(d);
  double s = len2 > 0.0 ? (p - a).dot(d) / len2 : 0.0;
  s = std::min(1.0, std::max(0.0, s));
  const Vec2d q = a + d * s - p;
  return std::sqrt(q.dot(q));
}

// Records every command it receives as one line of text.
class RecordingSink : public PathSink {
public:
  void moveTo(const Vec2d& p) override { out << "M " << p.x << " " << p.y << "\n"; }
  void lineTo(const Vec2d& p) override { out << "L " << p.x << " " << p.y << "\n"; }
  void curveTo(const Vec2d& a, const Vec2d& b, const Vec2d& p) override {
    out << "C " << a.x << " " << a.y << " " << b.x << " " << b.y << " " << p.x << " " << p.y
        << "\n";
  }
  void arc(const Vec2d& p, double r, double a0, double a1) override {
    out << "A " << p.x << " " << p.y << " " << r << " " << a0 << " " << a1 << "\n";
  }
  void closePath() override { out << "Z\n"; }
  std::ostringstream out;
};

}  // namespace

// --- Parser -------------------------------------------------------------------------

TEST(PathParser, AbsoluteCommands) {
  const Path path = parsed("M 10,20 L 30,40 Z");
  ASSERT_EQ(path.nodes.size(), 3u);
  EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(10, 20)));
  EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(30, 40)));
  EXPECT_TRUE(isNode(path.nodes[2], Node::ClosePath));
}

TEST(PathParser, RepetitionRules) {
  {
    const Path path = parsed("M10 20 30 40 50 60");
    ASSERT_EQ(path.nodes.size(), 3u);
    EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(10, 20)));
    EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(30, 40)));
    EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(50, 60)));
  }
  {
    const Path path = parsed("L 1 2 3 4");
    ASSERT_EQ(path.nodes.size(), 1u);
    EXPECT_TRUE(isNode(path.nodes[0], Node::LineTo, Vec2d(1, 2)));
  }
  {  // each further pair after m is relative to the end of the previous pair
    const Path path = parsed("m 1 1 2 2 3 3");
    ASSERT_EQ(path.nodes.size(), 3u);
    EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(1, 1)));
    EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(3, 3)));
    EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(6, 6)));
  }
  {  // a half pair is still appended, its missing number counting as 0
    const Path path = parsed("M 10 20 30");
    ASSERT_EQ(path.nodes.size(), 2u);
    EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(30, 0)));
  }
  {  // a bare c makes nothing
    const Path path = parsed("M 1 1 c");
    ASSERT_EQ(path.nodes.size(), 1u);
  }
}

TEST(PathParser, RelativeCommands) {
  const Path path = parsed("m 5 5 l 10 0 v 10 h -10 z");
  ASSERT_EQ(path.nodes.size(), 5u);
  EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(5, 5)));
  EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(15, 5)));
  EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(15, 15)));
  EXPECT_TRUE(isNode(path.nodes[3], Node::LineTo, Vec2d(5, 15)));
  EXPECT_TRUE(isNode(path.nodes[4], Node::ClosePath));
}

TEST(PathParser, RelativeCurvesChainFromEachGroupStart) {
  const Path path = parsed("M 10 10 c 1 1 2 2 3 3 1 1 2 2 3 3");
  ASSERT_EQ(path.nodes.size(), 3u);
  const Node& a = path.nodes[1];
  const Node& b = path.nodes[2];
  ASSERT_EQ(a.type, Node::CurveTo);
  ASSERT_EQ(b.type, Node::CurveTo);
  EXPECT_TRUE(near(a.points[0], Vec2d(11, 11)));
  EXPECT_TRUE(near(a.points[1], Vec2d(12, 12)));
  EXPECT_TRUE(near(a.points[2], Vec2d(13, 13)));
  EXPECT_TRUE(near(b.points[0], Vec2d(14, 14)));
  EXPECT_TRUE(near(b.points[1], Vec2d(15, 15)));
  EXPECT_TRUE(near(b.points[2], Vec2d(16, 16)));
}

TEST(PathParser, ArcKeepsRadiusAndWrittenEnd) {
  const Path path = parsed("A 5 5 0 1 1 20 10 l 1 1");
  ASSERT_EQ(path.nodes.size(), 2u);
  const Node& arc = path.nodes[0];
  ASSERT_EQ(arc.type, Node::Arc);
  EXPECT_TRUE(near(arc.points[1], Vec2d(20, 10)));
  EXPECT_EQ(arc.radius, 5.0);
  EXPECT_EQ(arc.startAngle, 0.0);
  EXPECT_EQ(arc.endAngle, 360.0);
  EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(21, 11)));
}

TEST(PathParser, HorizontalAndVerticalAreSinglePrecision) {
  const Path path = parsed("M 0 0.1 H 0.1 V 0.3");
  ASSERT_EQ(path.nodes.size(), 3u);
  EXPECT_EQ(path.nodes[1].points[0].x, static_cast<double>(0.1f));
  EXPECT_EQ(path.nodes[1].points[0].y, 0.1);  // the unchanged y keeps its double
  EXPECT_EQ(path.nodes[2].points[0].y, static_cast<double>(0.3f));
}

TEST(PathParser, UnknownCommandsAreReportedAndSkipped) {
  Path path;
  std::string out = captured([&] { path = Path("Q 1 2 3 4"); });
  EXPECT_EQ(out, "Unknown mode: 81 'Q'\n");
  EXPECT_TRUE(path.nodes.empty());

  out = captured([&] { path = Path("M 0 0 S 1 2 3 4 a 1 1 0 0 1 5 5 t 1 1 L 2 2"); });
  EXPECT_EQ(out, "Unknown mode: 83 'S'\nUnknown mode: 97 'a'\nUnknown mode: 116 't'\n");
  ASSERT_EQ(path.nodes.size(), 2u);
  EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(2, 2)));
}

TEST(PathParser, NumbersAndSeparators) {
  {  // e belongs to a number, and so does the minus sign of an exponent
    const Path path = parsed("M 1e2 5 L 1e-5 2E-3 L1.5e+1-3");
    ASSERT_EQ(path.nodes.size(), 3u);
    EXPECT_EQ(path.nodes[0].points[0].x, 100.0);
    EXPECT_EQ(path.nodes[1].points[0].x, 0.00001);
    EXPECT_EQ(path.nodes[1].points[0].y, 0.002);
    EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(15, -3)));
  }
  {  // a minus sign separates numbers; letters need no spaces around them
    const Path path = parsed("M10-20L30,40l-5-5z");
    ASSERT_EQ(path.nodes.size(), 4u);
    EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(10, -20)));
    EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(30, 40)));
    EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(25, 35)));
  }
  {  // an out-of-range number is not read: its field stays 0 and the pairs stop
    const Path path = parsed("M 1e999 5 6 7 L 1 1 H 1e39");
    ASSERT_EQ(path.nodes.size(), 3u);
    EXPECT_TRUE(isNode(path.nodes[0], Node::MoveTo, Vec2d(0, 0)));
    EXPECT_TRUE(isNode(path.nodes[2], Node::LineTo, Vec2d(0, 1)));
  }
  EXPECT_TRUE(parsed("").nodes.empty());
  EXPECT_TRUE(parsed("  12 34,, -5 ").nodes.empty());
}

TEST(PathParser, CloseReturnsToSubpathStart) {
  const Path path = parsed("M 10 10 l 5 0 l 0 5 z l 1 1 m 2 2 z z l 1 0");
  ASSERT_EQ(path.nodes.size(), 9u);
  EXPECT_TRUE(isNode(path.nodes[4], Node::LineTo, Vec2d(11, 11)));
  EXPECT_TRUE(isNode(path.nodes[5], Node::MoveTo, Vec2d(13, 13)));
  EXPECT_TRUE(isNode(path.nodes[8], Node::LineTo, Vec2d(14, 13)));
}

TEST(PathParser, SinkSeesAbsoluteCommandsAndFeedReplaysThem) {
  RecordingSink direct;
  parsePathData("m 1 2 c 1 0 1 1 0 1 A 3 4 0 0 1 9 8 h 2 z", direct);
  EXPECT_EQ(direct.out.str(), "M 1 2\nC 2 2 2 3 1 3\nA 9 8 3 0 360\nL 11 8\nZ\n");

  RecordingSink replay;
  parsed("m 1 2 c 1 0 1 1 0 1 A 3 4 0 0 1 9 8 h 2 z").feed(replay);
  EXPECT_EQ(replay.out.str(), direct.out.str());
}

// --- Evaluation and subdivision -----------------------------------------------------

TEST(PathNode, EvaluateByKind) {
  const Vec2d s(2, 4);
  EXPECT_TRUE(near(makeNode(Node::MoveTo, Vec2d(9, 9)).evaluate(s, 0.7), s));
  EXPECT_TRUE(near(makeNode(Node::LineTo, Vec2d(6, 0)).evaluate(s, 0.25), Vec2d(3, 3)));
  // cubic (0,0) (0,4) (4,4) (4,0) at t = 0.5: (0 + 0 + 1.5 + 0.5, 0 + 1.5 + 1.5 + 0)
  const Node curve = makeNode(Node::CurveTo, Vec2d(0, 4), Vec2d(4, 4), Vec2d(4, 0));
  EXPECT_TRUE(near(curve.evaluate(Vec2d(0, 0), 0.5), Vec2d(2, 3)));
  EXPECT_TRUE(near(curve.evaluate(Vec2d(0, 0), 1.0), Vec2d(4, 0)));
  EXPECT_TRUE(near(makeNode(Node::ClosePath).evaluate(s, 0.5), Vec2d(0, 0)));
  EXPECT_THROW(curve.evaluate(s, 1.5), std::out_of_range);
  EXPECT_THROW(curve.evaluate(s, std::nan("")), std::out_of_range);
}

TEST(PathNode, ArcIsAHalfCircleOnTheSideOfTheWrittenEnd) {
  Node left = makeNode(Node::Arc, Vec2d(), Vec2d(0, 10));
  left.radius = 10;
  const Vec2d s(20, 10);
  EXPECT_TRUE(near(left.evaluate(s, 0.0), Vec2d(20, 10)));
  EXPECT_TRUE(near(left.evaluate(s, 0.5), Vec2d(10, 20)));
  EXPECT_TRUE(near(left.evaluate(s, 1.0), Vec2d(0, 10)));

  Node right = left;
  right.points[1] = Vec2d(40, 10);
  EXPECT_TRUE(near(right.evaluate(s, 0.0), Vec2d(20, 10)));
  EXPECT_TRUE(near(right.evaluate(s, 0.5), Vec2d(30, 0)));
  EXPECT_TRUE(near(right.evaluate(s, 1.0), Vec2d(40, 10)));

  // An end straight below (or above) the start is not to the left: the half circle runs
  // to the right, through (30, 0).
  Node below = left;
  below.points[1] = Vec2d(20, 30);
  EXPECT_TRUE(near(below.evaluate(s, 0.5), Vec2d(30, 0)));
  EXPECT_TRUE(near(below.evaluate(s, 1.0), Vec2d(40, 10)));

  Polygon polygon = flattened(Path(), 0.2);
  Path path;
  path.nodes = {makeNode(Node::MoveTo, Vec2d(20, 10)), left};
  polygon = flattened(path, 0.2);
  ASSERT_GE(polygon.points.size(), 3u);
  EXPECT_TRUE(near(polygon.points.front(), Vec2d(20, 10)));
  EXPECT_TRUE(near(polygon.points.back(), Vec2d(0, 10)));
  for (const Vec2d& p : polygon.points) {  // every point on the lower half circle
    EXPECT_NEAR(std::hypot(p.x - 10, p.y - 10), 10.0, 1e-9);
    EXPECT_GE(p.y, 10.0 - 1e-9);
  }
}

TEST(PathNode, RecursiveSplitOfALine) {
  const Node line = makeNode(Node::LineTo, Vec2d(10, 0));
  std::vector<double> ts = {42.0};
  line.recursiveSplit(Vec2d(0, 0), ts, 0.2, 0.0, 1.0, false, true);
  EXPECT_EQ(ts, (std::vector<double>{0.5, 1.0}));
  line.recursiveSplit(Vec2d(0, 0), ts, 0.2, 0.0, 1.0, true, true);
  EXPECT_EQ(ts, (std::vector<double>{0.0, 0.5, 1.0}));
  line.recursiveSplit(Vec2d(0, 0), ts, 0.2, 0.25, 0.5, true, false);
  EXPECT_EQ(ts, (std::vector<double>{0.25}));
}

TEST(PathNode, RecursiveSplitOfABentCurve) {
  // A quarter-circle-like cubic of radius 100: pieces are halved until the midpoint
  // lies closer than the tolerance to the chord; the result is strictly increasing,
  // ends at 1 and every piece is a dyadic fraction.
  const Node curve = makeNode(Node::CurveTo, Vec2d(55.2, 0), Vec2d(100, 44.8), Vec2d(100, 100));
  std::vector<double> ts;
  curve.recursiveSplit(Vec2d(0, 0), ts, 0.2, 0.0, 1.0, false, true);
  ASSERT_GE(ts.size(), 8u);
  EXPECT_EQ(ts.back(), 1.0);
  double previous = 0.0;
  for (double t : ts) {
    EXPECT_GT(t, previous);
    EXPECT_EQ(std::ldexp(t, 16), std::floor(std::ldexp(t, 16)));
    previous = t;
  }
}

TEST(PathNode, NonPositiveToleranceStillEnds) {
  const Node curve = makeNode(Node::CurveTo, Vec2d(0, 10), Vec2d(10, 10), Vec2d(10, 0));
  std::vector<double> atMinimum, atZero, atNegative, atNan;
  curve.recursiveSplit(Vec2d(0, 0), atMinimum, Path::minTolerance, 0, 1, false, true);
  curve.recursiveSplit(Vec2d(0, 0), atZero, 0.0, 0, 1, false, true);
  curve.recursiveSplit(Vec2d(0, 0), atNegative, -3.0, 0, 1, false, true);
  curve.recursiveSplit(Vec2d(0, 0), atNan, std::nan(""), 0, 1, false, true);
  EXPECT_EQ(atZero, atMinimum);
  EXPECT_EQ(atNegative, atMinimum);
  EXPECT_EQ(atNan, atMinimum);
  EXPECT_LE(atMinimum.size(), std::size_t{1} << Path::maxSplitDepth);
}

TEST(PathNode, HugeCurveSplitsIntoABoundedNumberOfPieces) {
  // Regression: without a depth limit this curve needs millions of pieces, and one
  // with coordinates near 1e300 about 10^150.
  const double big = 1e12;
  const Node curve = makeNode(Node::CurveTo, Vec2d(big, -big), Vec2d(-big, big), Vec2d(big, big));
  std::vector<double> ts;
  curve.recursiveSplit(Vec2d(-big, -big), ts, 0.2, 0.0, 1.0, false, true);
  EXPECT_LE(ts.size(), std::size_t{1} << Path::maxSplitDepth);
  EXPECT_GT(ts.size(), std::size_t{1} << (Path::maxSplitDepth - 1));
  EXPECT_EQ(ts.back(), 1.0);

  // Near the largest doubles the second differences of the control points overflow; the
  // bend allowance must not, or it would switch the sampled test off.
  const double top = 1e308;
  const Node edge = makeNode(Node::CurveTo, Vec2d(top, top), Vec2d(-top, top), Vec2d(top, 0));
  edge.recursiveSplit(Vec2d(-top, 0), ts, 0.2, 0.0, 1.0, false, true);
  EXPECT_LE(ts.size(), std::size_t{1} << Path::maxSplitDepth);
  EXPECT_GT(ts.size(), std::size_t{1} << (Path::maxSplitDepth - 1));
}

// --- Polygons -----------------------------------------------------------------------

TEST(PathPolygon, SquareCornerExample) {
  Path path;
  path.nodes = {makeNode(Node::MoveTo, Vec2d(0, 0)), makeNode(Node::LineTo, Vec2d(10, 0)),
                makeNode(Node::LineTo, Vec2d(10, 10)), makeNode(Node::ClosePath)};
  Polygon polygon;
  const std::string out = captured([&] { polygon = path.getPolygon(0.2); });
  EXPECT_EQ(out, "Returning contour: 5, 1.\n");
  const std::vector<Vec2d> want = {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}};
  ASSERT_EQ(polygon.points.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(near(polygon.points[i], want[i]));
  ASSERT_EQ(polygon.loops.size(), 1u);
  EXPECT_EQ(polygon.loops[0], (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(PathPolygon, LoopStructure) {
  {  // no close: one loop, appended at the end
    const Polygon p = flattened(parsed("M 0 0 L 4 0 L 4 4"));
    ASSERT_EQ(p.loops.size(), 1u);
    EXPECT_EQ(p.loops[0], (std::vector<int>{0, 1, 2, 3, 4}));
  }
  {  // two closed subpaths: two loops, each beginning with its own move point
    const Polygon p = flattened(parsed("M 0 0 L 4 0 Z M 10 10 L 14 10 Z"));
    ASSERT_EQ(p.loops.size(), 2u);
    ASSERT_EQ(p.loops[1].size(), 3u);
    EXPECT_TRUE(near(p.points[p.loops[0][0]], Vec2d(0, 0)));
    EXPECT_TRUE(near(p.points[p.loops[1][0]], Vec2d(10, 10)));
    EXPECT_TRUE(near(p.points[p.loops[1][1]], Vec2d(12, 10)));
  }
  {  // moves only: nothing
    const Path moves = parsed("M 1 1 M 2 2 m 3 3");
    Polygon p;
    const std::string out = captured([&] { p = moves.getPolygon(0.2); });
    EXPECT_EQ(out, "Returning contour: 0, 0.\n");
    EXPECT_TRUE(p.points.empty());
    EXPECT_TRUE(p.loops.empty());
  }
  {  // a close after a close appends an empty loop
    const Polygon p = flattened(parsed("M 0 0 L 4 0 Z Z"));
    ASSERT_EQ(p.loops.size(), 2u);
    EXPECT_TRUE(p.loops[1].empty());
  }
  {  // a move inside an open loop continues it, without the moved-to point
    const Polygon p = flattened(parsed("M 0 0 L 2 0 M 10 10 L 12 10 Z"));
    ASSERT_EQ(p.loops.size(), 1u);
    EXPECT_EQ(p.loops[0].size(), 5u);
    EXPECT_TRUE(near(p.points[3], Vec2d(11, 10)));
  }
  {  // after a close the next segment starts from the start of the closed subpath
    const Polygon p = flattened(parsed("M 0 0 L 10 0 L 10 10 Z L 0 10 Z"));
    ASSERT_EQ(p.loops.size(), 2u);
    ASSERT_EQ(p.loops[1].size(), 3u);
    EXPECT_TRUE(near(p.points[p.loops[1][0]], Vec2d(0, 0)));
    EXPECT_TRUE(near(p.points[p.loops[1][1]], Vec2d(0, 5)));
  }
}

TEST(PathPolygon, DegenerateNodesEnd) {
  {  // a cubic whose four control points coincide gives its end point twice
    const Polygon p = flattened(parsed("M 3 3 C 3 3 3 3 3 3"));
    ASSERT_EQ(p.points.size(), 3u);
    EXPECT_TRUE(near(p.points[1], Vec2d(3, 3)));
    EXPECT_TRUE(near(p.points[2], Vec2d(3, 3)));
  }
  {  // an arc of radius 0 stays at its start
    const Polygon p = flattened(parsed("M 3 3 A 0 0 0 0 0 9 9"));
    ASSERT_EQ(p.points.size(), 3u);
    EXPECT_TRUE(near(p.points[2], Vec2d(3, 3)));
  }
}

// --- Robustness ---------------------------------------------------------------------

TEST(PathRobustness, NonFiniteCoordinatesAreDropped) {
  Path path;
  // relative steps that run past the double range: the second pair is dropped
  std::string out = captured([&] { path = Path("m 1e308 0 1e308 0 L 1 1"); });
  EXPECT_EQ(out, "Skipping path command 'm': a coordinate is not finite.\n");
  ASSERT_EQ(path.nodes.size(), 2u);
  EXPECT_TRUE(isNode(path.nodes[1], Node::LineTo, Vec2d(1, 1)));

  // nan and inf are letters to the tokeniser, so they never become numbers
  out = captured([&] { path = Path("M nan 1 L inf -inf"); });
  EXPECT_EQ(out.find("Unknown mode: 110 'n'"), 0u);
  for (const Node& node : path.nodes) {
    for (const Vec2d& p : node.points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  }

  // nodes built directly (as the document reader does) are checked while flattening
  const double inf = std::numeric_limits<double>::infinity();
  path.nodes = {makeNode(Node::MoveTo, Vec2d(0, 0)), makeNode(Node::LineTo, Vec2d(inf, 0)),
                makeNode(Node::LineTo, Vec2d(-1e308, 0)), makeNode(Node::LineTo, Vec2d(1e308, 0)),
                makeNode(Node::MoveTo, Vec2d(std::nan(""), 0)),
                makeNode(Node::MoveTo, Vec2d(1, 0)), makeNode(Node::LineTo, Vec2d(4, 0))};
  Polygon polygon;
  out = captured([&] { polygon = path.getPolygon(0.2); });
  EXPECT_EQ(out,
            "Skipping path node 1: its coordinates are not finite.\n"
            "Skipping path node 3: its coordinates are not finite.\n"
            "Skipping path node 4: its coordinates are not finite.\n"
            "Returning contour: 5, 1.\n");
  EXPECT_TRUE(allFinite(polygon));
  EXPECT_TRUE(near(polygon.points.back(), Vec2d(4, 0)));

  // Overflowing nodes are dropped without being subdivided, so many of them end soon.
  path.nodes.assign(1, makeNode(Node::MoveTo, Vec2d(0, 0)));
  for (int i = 0; i < 20000; ++i) {
    const double s = i % 2 ? 1.0 : -1.0;
    path.nodes.push_back(makeNode(Node::LineTo, Vec2d(1e308 * s, 0)));
    path.nodes.push_back(makeNode(Node::CurveTo, Vec2d(1e308 * s, 1e308), Vec2d(-1e308 * s, -1e308),
                                  Vec2d(1e308 * s, 1e308)));
  }
  captured([&] { polygon = path.getPolygon(0.2); });
  EXPECT_TRUE(allFinite(polygon));
}

TEST(PathRobustness, TooManyPointsGiveNoContour) {
  Path path;
  const double big = 1e300;
  path.nodes.push_back(makeNode(Node::MoveTo, Vec2d(-big, -big)));
  for (int i = 0; i < 20; ++i) {
    const double s = i % 2 ? -1.0 : 1.0;
    path.nodes.push_back(
        makeNode(Node::CurveTo, Vec2d(big, -big * s), Vec2d(-big, big * s), Vec2d(big * s, big)));
  }
  Polygon polygon;
  const std::string out = captured([&] { polygon = path.getPolygon(0.2); });
  EXPECT_EQ(out,
            "Path too detailed: more than 1048576 points; it gives no contour.\n"
            "Returning contour: 0, 0.\n");
  EXPECT_TRUE(polygon.points.empty());
  EXPECT_TRUE(polygon.loops.empty());
}

TEST(PathRobustness, AdversarialText) {
  const std::vector<std::string> inputs = {
      "M 1e308 1e308 C -1e308 1e308 1e308 -1e308 -1e308 -1e308 z",
      "M 1e999 -1e999 L 5 5 H 1e39 V -1e39",
      "M 1e", "M 1.", "M -", "M 1e- 2", "M .e5 .", "M 5 5 L", "C 1 2 3", "A", "A 1e308 0 0 0 0 -1e308 0",
      "M 0 0 h 99999999999999999999 v -1e38 c 1e300 1e300 -1e300 0 0 1e300",
      std::string("M 1 2 \xc3\xa9\xff\x80 L 3 4 \xe2\x82\xac"), std::string("M\0 1 2", 6),
      "M 1 2 A 99999999999999999999 5 0 99999999999 1 3 4", "zzzz", "------", "eeee 1 2",
  };
  for (const std::string& text : inputs) {
    SCOPED_TRACE(text);
    const Polygon polygon = flattened(parsed(text));
    EXPECT_TRUE(allFinite(polygon));
    EXPECT_TRUE(loopsValid(polygon));
  }

  std::string many = "M 0 0";
  for (int i = 0; i < 5000; ++i) many += " c 1 1 2 -1 3 0 l 0 1";
  const Polygon polygon = flattened(parsed(many));
  EXPECT_TRUE(allFinite(polygon));
  EXPECT_NEAR(polygon.points.back().x, 15000.0, 1e-6);
  EXPECT_NEAR(polygon.points.back().y, 5000.0, 1e-6);
}

TEST(PathRobustness, RandomText) {
  const std::string alphabet = "MmLlHhVvCcAaZzQSTqe.-+,   0123456789\t\n\xc3\xa9\xff";
  std::mt19937 random(42);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 120);
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    const int n = length(random);
    for (int i = 0; i < n; ++i) text += alphabet[pick(random)];
    SCOPED_TRACE(text);
    const Path path = parsed(text);
    for (const Node& node : path.nodes) {
      for (const Vec2d& p : node.points) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      ASSERT_TRUE(std::isfinite(node.radius));
    }
    const Polygon polygon = flattened(path);
    ASSERT_TRUE(allFinite(polygon));
    ASSERT_TRUE(loopsValid(polygon));
  }
}

// --- Flattening accuracy ------------------------------------------------------------

// The farthest point of the curve between two cuts from the chord joining them, sampled
// 32 times as densely as the splitter samples a piece.
double worstChordDistance(const Node& curve, const Vec2d& s, const std::vector<double>& ts) {
  double worst = 0.0;
  for (std::size_t i = 0; i + 1 < ts.size(); ++i) {
    const Vec2d a = curve.evaluate(s, ts[i]);
    const Vec2d b = curve.evaluate(s, ts[i + 1]);
    for (int k = 1; k < 256; ++k) {
      const double t = ts[i] + (ts[i + 1] - ts[i]) * k / 256.0;
      worst = std::max(worst, distanceToSegment(curve.evaluate(s, t), a, b));
    }
  }
  return worst;
}

TEST(PathAccuracy, RandomCubicChordsStayWithinTheTolerance) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(0.0, 128.0);
  for (double tolerance : {0.2, 1.0}) {
    for (int round = 0; round < 300; ++round) {
      Vec2d v[4];
      for (Vec2d& p : v) {
        p.x = coordinate(random);
        p.y = coordinate(random);
      }
      const Node curve = makeNode(Node::CurveTo, v[1], v[2], v[3]);
      std::vector<double> ts;
      curve.recursiveSplit(v[0], ts, tolerance, 0.0, 1.0, true, true);
      ASSERT_LE(worstChordDistance(curve, v[0], ts), tolerance)
          << "round " << round << " tolerance " << tolerance;
    }
  }
}

TEST(PathAccuracy, SymmetricSCurvePieceIsSplit) {
  // Regression: on [0, 0.5] this curve is an S through (45, 0) with bulges of about
  // 8.7 pixels on either side; its midpoint lies on the chord (0, 0)-(90, 0), so a test
  // of the midpoint alone accepted the whole half as one straight edge.
  const Node curve = makeNode(Node::CurveTo, Vec2d(60, 60), Vec2d(120, -240), Vec2d(180, 540));
  EXPECT_TRUE(near(curve.evaluate(Vec2d(0, 0), 0.25), Vec2d(45, 0)));
  EXPECT_TRUE(near(curve.evaluate(Vec2d(0, 0), 0.5), Vec2d(90, 0)));
  std::vector<double> ts;
  curve.recursiveSplit(Vec2d(0, 0), ts, 0.2, 0.0, 1.0, true, true);
  ASSERT_GE(ts.size(), 3u);
  EXPECT_LT(ts[1], 0.25);
  EXPECT_LE(worstChordDistance(curve, Vec2d(0, 0), ts), 0.2);
}

TEST(PathAccuracy, CurveBetweenSamplesStaysWithinTheTolerance) {
  // Regression: every eighth of one piece of this curve lay within 0.2 of its chord, yet
  // the curve between two of them strayed to 0.223; the bend allowance splits it.
  const Node curve = makeNode(Node::CurveTo, Vec2d(74, 95), Vec2d(53, 44), Vec2d(54, 48));
  std::vector<double> ts;
  curve.recursiveSplit(Vec2d(107, 126), ts, 0.2, 0.0, 1.0, true, true);
  EXPECT_LE(worstChordDistance(curve, Vec2d(107, 126), ts), 0.2);
  // A curve that needs the whole allowance: with half of it a piece strays to 0.202.
  const Node tight = makeNode(Node::CurveTo, Vec2d(20, 0), Vec2d(23, 32), Vec2d(3, 1));
  tight.recursiveSplit(Vec2d(20, 3), ts, 0.2, 0.0, 1.0, true, true);
  EXPECT_LE(worstChordDistance(tight, Vec2d(20, 3), ts), 0.2);
}

// --- Real drawings ------------------------------------------------------------------

namespace {

using glimtest::corpusPaths;
using glimtest::fitToCanvas;


bool hasArc(const Path& path) {
  for (const Node& node : path.nodes) {
    if (node.type == Node::Arc) return true;
  }
  return false;
}

bool hasMoveInsideLoop(const Path& path) {
  bool drawing = false;
  for (const Node& node : path.nodes) {
    if (node.type == Node::MoveTo && drawing) return true;
    if (node.type == Node::ClosePath) drawing = false;
    if (node.type == Node::LineTo || node.type == Node::CurveTo || node.type == Node::Arc) {
      drawing = true;
    }
  }
  return false;
}

// The polygon built with a fixed number of pieces per node, as a reference.
Polygon uniformPolygon(const Path& path, int pieces) {
  Polygon polygon;
  std::vector<int> loop;
  Vec2d current, subpathStart;
  for (const Node& node : path.nodes) {
    if (node.type == Node::MoveTo) {
      current = subpathStart = node.points[0];
    } else if (node.type == Node::ClosePath) {
      polygon.loops.push_back(loop);
      loop.clear();
      current = subpathStart;
    } else {
      if (loop.empty()) {
        loop.push_back(static_cast<int>(polygon.points.size()));
        polygon.points.push_back(current);
      }
      for (int k = 1; k <= pieces; ++k) {
        loop.push_back(static_cast<int>(polygon.points.size()));
        polygon.points.push_back(node.evaluate(current, k / static_cast<double>(pieces)));
      }
      current = polygon.points.back();
    }
  }
  if (!loop.empty()) polygon.loops.push_back(loop);
  return polygon;
}

double signedArea(const Polygon& polygon, double* perimeter = nullptr) {
  double area = 0.0, length = 0.0;
  for (const auto& loop : polygon.loops) {
    for (std::size_t i = 0; i < loop.size(); ++i) {
      const Vec2d& a = polygon.points[loop[i]];
      const Vec2d& b = polygon.points[loop[(i + 1) % loop.size()]];
      area += 0.5 * (a.x * b.y - b.x * a.y);
      length += std::hypot(b.x - a.x, b.y - a.y);
    }
  }
  if (perimeter) *perimeter = length;
  return area;
}

}  // namespace

TEST(PathCorpus, RealPathDataParsesAndFlattens) {
  const std::vector<std::string> paths = corpusPaths();
  ASSERT_GE(paths.size(), 70u);
  std::size_t areaChecked = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE("path " + std::to_string(i) + ": " + paths[i].substr(0, 60));
    Path path;
    EXPECT_EQ(captured([&] { path = Path(paths[i]); }), "");
    ASSERT_FALSE(path.nodes.empty());
    EXPECT_EQ(path.nodes[0].type, Node::MoveTo);
    fitToCanvas(path);

    Polygon polygon;
    const std::string out = captured([&] { polygon = path.getPolygon(0.2); });
    EXPECT_EQ(out, "Returning contour: " + std::to_string(polygon.points.size()) + ", " +
                       std::to_string(polygon.loops.size()) + ".\n");
    ASSERT_FALSE(polygon.points.empty());
    EXPECT_TRUE(allFinite(polygon));
    EXPECT_TRUE(loopsValid(polygon));
    if (!hasArc(path)) {  // curves stay inside the hull of their control points
      for (const Vec2d& p : polygon.points) {
        EXPECT_TRUE(p.x > 5.9 && p.x < 122.1 && p.y > 5.9 && p.y < 122.1);
      }
    }

    // The adaptive polygon encloses the same area as a very fine uniform one, up to
    // the tolerance along the outline. (A move inside an open loop leaves out the
    // moved-to point, so there the two differ by more.)
    double perimeter = 0.0;
    const double fine = signedArea(uniformPolygon(path, 512), &perimeter);
    if (!hasMoveInsideLoop(path)) {
      ++areaChecked;
      EXPECT_NEAR(signedArea(polygon), fine, 0.2 * perimeter);
    }

    // Ordinary drawings never reach the depth limit, so it does not change their result,
    // and every curve's chords stay within the tolerance.
    Vec2d current, subpathStart;
    std::vector<double> ts;
    for (const Node& node : path.nodes) {
      if (node.type == Node::MoveTo) {
        current = subpathStart = node.points[0];
      } else if (node.type == Node::ClosePath) {
        current = subpathStart;
      } else {
        node.recursiveSplit(current, ts, 0.2, 0.0, 1.0, true, true);
        for (std::size_t k = 1; k < ts.size(); ++k) {
          ASSERT_GT(ts[k] - ts[k - 1], std::ldexp(1.0, -Path::maxSplitDepth));
        }
        if (node.type == Node::CurveTo) {
          EXPECT_LE(worstChordDistance(node, current, ts), 0.2);
        }
        current = node.evaluate(current, 1.0);
      }
    }
  }
  EXPECT_GE(areaChecked, paths.size() / 2);
}
