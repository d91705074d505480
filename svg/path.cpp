// glimshape — svg
// Purpose: the SVG path-data parser, node evaluation and adaptive flattening into polygons.
#include "svg/path.h"

#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace {

using Vec2d = vorn::Vec2<double>;

bool isCommandLetter(unsigned char c) {
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && c != 'e' && c != 'E';
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isFinite(const Vec2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Separates commands and numbers so that stream extraction can read them: "M10-20"
// becomes " M 10 -20". A and the unsupported letters get no spaces; the command letter
// is read as a single character, so "A5" still reads 5.
std::string normalise(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2 + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case ',':
        out += ' ';
        break;
      case 'h': case 'H': case 'l': case 'L': case 'z': case 'v': case 'V':
      case 'm': case 'M': case 'c': case 'C':
        out += ' ';
        out += c;
        out += ' ';
        break;
      case '-':
        // The sign of an exponent belongs to its number: 1e-5 is one value.
        if (i == 0 || (text[i - 1] != 'e' && text[i - 1] != 'E')) out += ' ';
        out += '-';
        break;
      default:
        out += c;
    }
  }
  return out;
}

// True when the stream holds another number to try; tokens are trimmed, so this is
// "neither at the end nor failed".
bool hasMore(std::istringstream& in) {
  in >> std::ws;
  return in.good();
}

void reportNonFinite(char letter) {
  std::printf("Skipping path command '%c': a coordinate is not finite.\n", letter);
}

class CommandReader {
public:
  explicit CommandReader(PathSink& sink) : sink(sink) { in.imbue(std::locale::classic()); }

  void run(const std::string& token) {
    // One stream serves every command: making and imbuing a stream costs more than
    // reading a command's numbers.
    in.clear();
    in.str(token);
    char letter = 0;
    in.get(letter);
    switch (letter) {
      case 'M': case 'm': move(letter); break;
      case 'L': case 'l': line(letter); break;
      case 'H': case 'h': horizontal(letter); break;
      case 'V': case 'v': vertical(letter); break;
      case 'C': case 'c': curve(letter); break;
      case 'A': arc(letter); break;
      case 'Z': case 'z':
        sink.closePath();
        current = subpathStart;
        break;
      default:
        std::printf("Unknown mode: %d '%c'\n", static_cast<int>(letter), letter);
    }
  }

private:
  // Stores into v only what was read in full: a number that is malformed or out of
  // range leaves v as it was (the stream would store 0 or the largest value) and
  // fails the stream, which ends the command's repetition.
  template <class T>
  bool read(T& v) {
    T value{};
    if (!(in >> value)) return false;
    v = value;
    return true;
  }

  Vec2d place(bool relative, double x, double y) const {
    return relative ? Vec2d(current.x + x, current.y + y) : Vec2d(x, y);
  }

  void move(char letter) {
    const bool relative = letter == 'm';
    bool first = true;
    do {
      double x = 0.0, y = 0.0;
      if (read(x)) read(y);
      const Vec2d p = place(relative, x, y);
      if (!isFinite(p)) {
        reportNonFinite(letter);
      } else if (first) {
        sink.moveTo(p);
        current = subpathStart = p;
      } else {
        sink.lineTo(p);
        current = p;
      }
      first = false;
    } while (in.good());
  }

  void line(char letter) {
    double x = 0.0, y = 0.0;
    if (read(x)) read(y);
    lineTo(place(letter == 'l', x, y), letter);
  }

  void horizontal(char letter) {
    float x = 0.0f;
    read(x);
    lineTo(Vec2d(letter == 'h' ? current.x + x : x, current.y), letter);
  }

  void vertical(char letter) {
    float y = 0.0f;
    read(y);
    lineTo(Vec2d(current.x, letter == 'v' ? current.y + y : y), letter);
  }

  void lineTo(const Vec2d& p, char letter) {
    if (!isFinite(p)) {
      reportNonFinite(letter);
      return;
    }
    sink.lineTo(p);
    current = p;
  }

  void curve(char letter) {
    if (!hasMore(in)) return;
    const bool relative = letter == 'c';
    do {
      double v[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
      for (double& value : v) {
        if (!read(value)) break;
      }
      const Vec2d c1 = place(relative, v[0], v[1]);
      const Vec2d c2 = place(relative, v[2], v[3]);
      const Vec2d p = place(relative, v[4], v[5]);
      if (!isFinite(c1) || !isFinite(c2) || !isFinite(p)) {
        reportNonFinite(letter);
      } else {
        sink.curveTo(c1, c2, p);
        current = p;
      }
    } while (in.good());
  }

  void arc(char letter) {
    double rx = 0.0, ry = 0.0, rotation = 0.0, x = 0.0, y = 0.0;
    int largeArc = 0, sweep = 0;
    if (read(rx) && read(ry) && read(rotation) && read(largeArc) && read(sweep) && read(x)) {
      read(y);
    }
    const Vec2d p(x, y);
    if (!isFinite(p) || !std::isfinite(rx)) {
      reportNonFinite(letter);
      return;
    }
    sink.arc(p, rx, 0.0, 360.0);
    current = p;
  }

  PathSink& sink;
  std::istringstream in;
  Vec2d current{0.0, 0.0};
  Vec2d subpathStart{0.0, 0.0};
};

// The straight segment from a to b, measuring how far points lie from it.
class Chord {
public:
  Chord(const Vec2d& a, const Vec2d& b) : a(a), b(b) {
    const Vec2d d = b - a;
    length = std::sqrt(d.dot(d));
    // Squaring overflows for chords beyond about 1e154; hypot does not, but is slower
    // and may differ in the last bit, so it is kept for that case alone.
    if (!std::isfinite(length)) length = std::hypot(d.x, d.y);
    if (length > 1e-15) unit = d * (1.0 / length);
  }

  double distance(const Vec2d& p) const {
    const Vec2d w = p - a;
    const double along = w.dot(unit);
    if (length > 1e-15 && along >= 0.0 && along <= length) {
      return std::fabs(w.y * unit.x - w.x * unit.y);
    }
    const Vec2d v = along > length ? p - b : w;
    return std::hypot(v.x, v.y);
  }

private:
  Vec2d a, b;
  Vec2d unit{0.0, 0.0};
  double length = 0.0;
};

}  // namespace

void parsePathData(const std::string& data, PathSink& sink) {
  const std::string text = normalise(data);
  CommandReader reader(sink);
  std::size_t pos = 0;
  while (pos < text.size() && !isCommandLetter(static_cast<unsigned char>(text[pos]))) ++pos;
  while (pos < text.size()) {
    std::size_t end = pos + 1;
    while (end < text.size() && !isCommandLetter(static_cast<unsigned char>(text[end]))) ++end;
    std::size_t last = end;
    while (last > pos && isSpace(text[last - 1])) --last;
    reader.run(text.substr(pos, last - pos));
    pos = end;
  }
}

Path::Path(const std::string& data) {
  PathBuilder builder(*this);
  parsePathData(data, builder);
}

vorn::Vec2<double> Path::Node::evaluate(const Vec2d& start, double t) const {
  if (!(t >= 0.0 && t <= 1.0)) {
    throw std::out_of_range("Path::Node::evaluate: t = " + std::to_string(t) +
                            " lies outside [0, 1] [hint: pass a parameter of the node]");
  }
  const double pi = 3.141592653589793;
  switch (type) {
    case MoveTo:
      return start;
    case LineTo:
      return start + (points[0] - start) * t;
    case CurveTo: {
      const double u = 1.0 - t;
      return start * (u * u * u) + points[0] * (3.0 * t * u * u) +
             points[1] * (3.0 * t * t * u) + points[2] * (t * t * t);
    }
    case Arc: {
      const double r = radius;
      if (start.x > points[1].x) {
        const double a = t * pi;
        return Vec2d(start.x - r + r * std::cos(a), start.y + r * std::sin(a));
      }
      const double a = pi + t * pi;
      return Vec2d(start.x + r + r * std::cos(a), start.y + r * std::sin(a));
    }
    default:
      return Vec2d(0.0, 0.0);
  }
}

void Path::Node::recursiveSplit(const Vec2d& start, std::vector<double>& ts, double tolerance,
                                double t0, double t1, bool addStart, bool addEnd) const {
  ts.clear();
  if (!(tolerance >= minTolerance)) tolerance = minTolerance;
  appendSplit(start, ts, tolerance, t0, t1, addStart, addEnd);
}

// How far a piece of a curve can stray from the samples at eighths of it. Along the
// piece's own parameter s (t = t0 + s (t1 - t0)) the second derivative of the cubic is
// (t1 - t0)^2 * 6 ((1 - t) A + t C), with A = P0 - 2 P1 + P2 and C = P1 - 2 P2 + P3: linear
// in t, so its length is largest at an end of the piece. Between two samples h = 1/8
// apart the curve stays within h^2 / 8 * max |B''| = max |B''| / 512 of the straight line
// joining them, and that line is no farther from the chord than the farther of the two
// samples (the distance to a segment is convex). So when every sample lies below
// tolerance - margin, the whole piece lies within the tolerance. Lines and arcs have no
// margin: lines are straight, and arcs keep their sampled test.
double Path::Node::curveMargin(const Vec2d& start, double t0, double t1) const {
  if (type != CurveTo) return 0.0;
  // A / 4 and C / 4: quarter weights keep every sum within the coordinates' range, so
  // the margin stays finite (and the sampled test meaningful) for any finite curve.
  const Vec2d a = start * 0.25 - points[0] * 0.5 + points[1] * 0.25;
  const Vec2d c = points[0] * 0.25 - points[1] * 0.5 + points[2] * 0.25;
  const Vec2d d0 = a * (1.0 - t0) + c * t0;
  const Vec2d d1 = a * (1.0 - t1) + c * t1;
  const double squared = std::max(d0.dot(d0), d1.dot(d1));
  const double largest = std::isfinite(squared)
                             ? std::sqrt(squared)
                             : std::max(std::hypot(d0.x, d0.y), std::hypot(d1.x, d1.y));
  const double span = t1 - t0;
  return span * span * (4.0 * 6.0 / 512.0) * largest;
}

void Path::Node::appendSplit(const Vec2d& start, std::vector<double>& ts, double tolerance,
                             double t0, double t1, bool addStart, bool addEnd) const {
  const double tm = 0.5 * (t0 + t1);
  const Vec2d a = evaluate(start, t0);
  const Vec2d b = evaluate(start, t1);
  const Chord chord(a, b);
  // The midpoint alone misses S-shaped pieces (an inflection at the centre puts the
  // midpoint on the chord while the rest bulges out on both sides), hairpins that
  // overshoot an end of the chord, and small loops on a short chord. Checking the
  // eighths against the chord segment catches them; the midpoint goes first because
  // most pieces that are split fail there. A piece whose points overflow is not split:
  // its points are dropped by the caller, and halving it would only waste time.
  bool broken = !isFinite(a) || !isFinite(b);
  bool bent = false;
  const double limit = tolerance - curveMargin(start, t0, t1);
  static const double eighths[] = {4, 2, 6, 1, 3, 5, 7};
  for (double k : eighths) {
    if (bent || broken) break;
    const Vec2d p = evaluate(start, k == 4 ? tm : t0 + (t1 - t0) * (k / 8.0));
    broken = !isFinite(p);
    bent = !broken && chord.distance(p) >= limit;
  }
  const bool whole = t0 == 0.0 && t1 == 1.0;
  // Halving stops at a fixed depth: a curve far larger than the tolerance (path data is
  // untrusted) would otherwise need astronomically many pieces.
  const bool splittable = t1 - t0 > std::ldexp(1.0, -maxSplitDepth);
  if ((bent || whole) && splittable && !broken) {
    appendSplit(start, ts, tolerance, t0, tm, addStart, false);
    appendSplit(start, ts, tolerance, tm, t1, true, addEnd);
    return;
  }
  if (addStart) ts.push_back(t0);
  if (addEnd) ts.push_back(t1);
}

Polygon Path::getPolygon(double tolerance) const {
  if (!(tolerance >= minTolerance)) tolerance = minTolerance;
  Polygon polygon;
  std::vector<int> loop;
  Vec2d current(0.0, 0.0);
  Vec2d subpathStart(0.0, 0.0);
  bool started = false;
  std::vector<double> ts;
  std::vector<Vec2d> piece;

  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node& node = nodes[i];
    switch (node.type) {
      case Node::MoveTo:
        if (!isFinite(node.points[0])) {
          std::printf("Skipping path node %zu: its coordinates are not finite.\n", i);
          break;
        }
        current = subpathStart = node.points[0];
        break;
      case Node::LineTo:
      case Node::CurveTo:
      case Node::Arc: {
        node.recursiveSplit(current, ts, tolerance, 0.0, 1.0, false, true);
        piece.clear();
        bool finite = true;
        for (double t : ts) {
          piece.push_back(node.evaluate(current, t));
          finite = finite && isFinite(piece.back());
        }
        if (!finite) {
          std::printf("Skipping path node %zu: its coordinates are not finite.\n", i);
          break;
        }
        const std::size_t needed = polygon.points.size() + piece.size() + (started ? 0 : 1);
        if (needed > static_cast<std::size_t>(maxPolygonPoints)) {
          std::printf("Path too detailed: more than %d points; it gives no contour.\n",
                      maxPolygonPoints);
          std::printf("Returning contour: %d, %d.\n", 0, 0);
          return Polygon();
        }
        if (!started) {
          loop.push_back(static_cast<int>(polygon.points.size()));
          polygon.points.push_back(current);
          started = true;
        }
        for (const Vec2d& p : piece) {
          loop.push_back(static_cast<int>(polygon.points.size()));
          polygon.points.push_back(p);
        }
        current = piece.back();
        break;
      }
      case Node::ClosePath:
        polygon.loops.push_back(loop);
        loop.clear();
        started = false;
        // The next segment starts where the closed subpath began, as it does in cairo.
        current = subpathStart;
        break;
      default:
        std::printf("Skipping path node %zu: unknown node type %d.\n", i, node.type);
    }
  }
  if (!loop.empty()) polygon.loops.push_back(loop);
  std::printf("Returning contour: %d, %d.\n", static_cast<int>(polygon.points.size()),
              static_cast<int>(polygon.loops.size()));
  return polygon;
}

void Path::feed(PathSink& sink) const {
  for (const Node& node : nodes) {
    switch (node.type) {
      case Node::MoveTo: sink.moveTo(node.points[0]); break;
      case Node::LineTo: sink.lineTo(node.points[0]); break;
      case Node::CurveTo: sink.curveTo(node.points[0], node.points[1], node.points[2]); break;
      case Node::Arc: sink.arc(node.points[1], node.radius, node.startAngle, node.endAngle); break;
      case Node::ClosePath: sink.closePath(); break;
      default: break;
    }
  }
}

void PathBuilder::moveTo(const Vec2d& p) {
  Path::Node node;
  node.type = Path::Node::MoveTo;
  node.points[0] = p;
  path.nodes.push_back(node);
}

void PathBuilder::lineTo(const Vec2d& p) {
  Path::Node node;
  node.type = Path::Node::LineTo;
  node.points[0] = p;
  path.nodes.push_back(node);
}

void PathBuilder::curveTo(const Vec2d& c1, const Vec2d& c2, const Vec2d& p) {
  Path::Node node;
  node.type = Path::Node::CurveTo;
  node.points[0] = c1;
  node.points[1] = c2;
  node.points[2] = p;
  path.nodes.push_back(node);
}

void PathBuilder::arc(const Vec2d& end, double radius, double startAngle, double endAngle) {
  Path::Node node;
  node.type = Path::Node::Arc;
  node.points[1] = end;
  node.radius = radius;
  node.startAngle = startAngle;
  node.endAngle = endAngle;
  path.nodes.push_back(node);
}

void PathBuilder::closePath() {
  Path::Node node;
  node.type = Path::Node::ClosePath;
  path.nodes.push_back(node);
}
