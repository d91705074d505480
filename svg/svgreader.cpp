// glimshape — svg
// Purpose: reading the filled outlines of an SVG document: the parsed document, the tree
// walk that scales and rasterises each path and polygon, colours and stroke statistics.
#include "svg/svgreader.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <locale>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "svg/raster.h"

namespace {

using Vec2d = vorn::Vec2<double>;

// The margin left free on every side of the raster, in pixels.
constexpr double marginPixels = 6.0;
// Flatness of the polygons made from outlines, in pixels.
constexpr double flatteningTolerance = 0.2;
// Most text that entity references may add to the attribute values of one document.
constexpr std::size_t entityTextLimit = std::size_t(16) << 20;
// Deepest nesting of entity references inside entity texts.
constexpr int entityDepthLimit = 40;
// Most nodes of one outline. Filling costs up to the square of the edge count when edges
// cross (a 500,000-node zigzag keeps cairo busy for minutes), and no outline of a drawing
// for a small canvas needs this many.
constexpr std::size_t outlineNodeLimit = 10000;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

// A float at text[pos], as scanf's %f reads one after its white space: an optional sign,
// then a decimal number. Advances pos past it.
template <class T>
bool readNumberAt(const std::string& text, std::size_t& pos, T& value) {
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  std::size_t start = pos;
  if (start < text.size() && text[start] == '+') ++start;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  // from_chars takes no sign of its own before a minus; "+-1" is no number.
  if (start > pos && first < last && *first == '-') return false;
  T number{};
  const auto result = std::from_chars(first, last, number, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(number)) return false;
  value = number;
  pos = static_cast<std::size_t>(result.ptr - text.data());
  return true;
}

bool readPercentColor(const std::string& text, std::array<float, 3>& color) {
  static const char prefix[] = "rgb(";
  if (text.compare(0, sizeof(prefix) - 1, prefix) != 0) return false;
  std::size_t pos = sizeof(prefix) - 1;
  float channels[3];
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
    if (!readNumberAt(text, pos, channels[k])) return false;
    if (pos >= text.size() || text[pos] != '%') return false;
    ++pos;
  }
  for (int k = 0; k < 3; ++k) color[k] = channels[k] / 100.0f;
  return true;
}

// The CSS colour names, sorted, with their colours as 0xRRGGBB.
struct NamedColor {
  const char* name;
  std::uint32_t rgb;
};
constexpr NamedColor namedColors[] = {
    {"aliceblue", 0xf0f8ff}, {"antiquewhite", 0xfaebd7}, {"aqua", 0x00ffff},
    {"aquamarine", 0x7fffd4}, {"azure", 0xf0ffff}, {"beige", 0xf5f5dc}, {"bisque", 0xffe4c4},
    {"black", 0x000000}, {"blanchedalmond", 0xffebcd}, {"blue", 0x0000ff},
    {"blueviolet", 0x8a2be2}, {"brown", 0xa52a2a}, {"burlywood", 0xdeb887},
    {"cadetblue", 0x5f9ea0}, {"chartreuse", 0x7fff00}, {"chocolate", 0xd2691e},
    {"coral", 0xff7f50}, {"cornflowerblue", 0x6495ed}, {"cornsilk", 0xfff8dc},
    {"crimson", 0xdc143c}, {"cyan", 0x00ffff}, {"darkblue", 0x00008b}, {"darkcyan", 0x008b8b},
    {"darkgoldenrod", 0xb8860b}, {"darkgray", 0xa9a9a9}, {"darkgreen", 0x006400},
    {"darkgrey", 0xa9a9a9}, {"darkkhaki", 0xbdb76b}, {"darkmagenta", 0x8b008b},
    {"darkolivegreen", 0x556b2f}, {"darkorange", 0xff8c00}, {"darkorchid", 0x9932cc},
    {"darkred", 0x8b0000}, {"darksalmon", 0xe9967a}, {"darkseagreen", 0x8fbc8f},
    {"darkslateblue", 0x483d8b}, {"darkslategray", 0x2f4f4f}, {"darkslategrey", 0x2f4f4f},
    {"darkturquoise", 0x00ced1}, {"darkviolet", 0x9400d3}, {"deeppink", 0xff1493},
    {"deepskyblue", 0x00bfff}, {"dimgray", 0x696969}, {"dimgrey", 0x696969},
    {"dodgerblue", 0x1e90ff}, {"firebrick", 0xb22222}, {"floralwhite", 0xfffaf0},
    {"forestgreen", 0x228b22}, {"fuchsia", 0xff00ff}, {"gainsboro", 0xdcdcdc},
    {"ghostwhite", 0xf8f8ff}, {"gold", 0xffd700}, {"goldenrod", 0xdaa520}, {"gray", 0x808080},
    {"green", 0x008000}, {"greenyellow", 0xadff2f}, {"grey", 0x808080},
    {"honeydew", 0xf0fff0}, {"hotpink", 0xff69b4}, {"indianred", 0xcd5c5c},
    {"indigo", 0x4b0082}, {"ivory", 0xfffff0}, {"khaki", 0xf0e68c}, {"lavender", 0xe6e6fa},
    {"lavenderblush", 0xfff0f5}, {"lawngreen", 0x7cfc00}, {"lemonchiffon", 0xfffacd},
    {"lightblue", 0xadd8e6}, {"lightcoral", 0xf08080}, {"lightcyan", 0xe0ffff},
    {"lightgoldenrodyellow", 0xfafad2}, {"lightgray", 0xd3d3d3}, {"lightgreen", 0x90ee90},
    {"lightgrey", 0xd3d3d3}, {"lightpink", 0xffb6c1}, {"lightsalmon", 0xffa07a},
    {"lightseagreen", 0x20b2aa}, {"lightskyblue", 0x87cefa}, {"lightslategray", 0x778899},
    {"lightslategrey", 0x778899}, {"lightsteelblue", 0xb0c4de}, {"lightyellow", 0xffffe0},
    {"lime", 0x00ff00}, {"limegreen", 0x32cd32}, {"linen", 0xfaf0e6}, {"magenta", 0xff00ff},
    {"maroon", 0x800000}, {"mediumaquamarine", 0x66cdaa}, {"mediumblue", 0x0000cd},
    {"mediumorchid", 0xba55d3}, {"mediumpurple", 0x9370db}, {"mediumseagreen", 0x3cb371},
    {"mediumslateblue", 0x7b68ee}, {"mediumspringgreen", 0x00fa9a},
    {"mediumturquoise", 0x48d1cc}, {"mediumvioletred", 0xc71585}, {"midnightblue", 0x191970},
    {"mintcream", 0xf5fffa}, {"mistyrose", 0xffe4e1}, {"moccasin", 0xffe4b5},
    {"navajowhite", 0xffdead}, {"navy", 0x000080}, {"oldlace", 0xfdf5e6}, {"olive", 0x808000},
    {"olivedrab", 0x6b8e23}, {"orange", 0xffa500}, {"orangered", 0xff4500},
    {"orchid", 0xda70d6}, {"palegoldenrod", 0xeee8aa}, {"palegreen", 0x98fb98},
    {"paleturquoise", 0xafeeee}, {"palevioletred", 0xdb7093}, {"papayawhip", 0xffefd5},
    {"peachpuff", 0xffdab9}, {"peru", 0xcd853f}, {"pink", 0xffc0cb}, {"plum", 0xdda0dd},
    {"powderblue", 0xb0e0e6}, {"purple", 0x800080}, {"rebeccapurple", 0x663399},
    {"red", 0xff0000}, {"rosybrown", 0xbc8f8f}, {"royalblue", 0x4169e1},
    {"saddlebrown", 0x8b4513}, {"salmon", 0xfa8072}, {"sandybrown", 0xf4a460},
    {"seagreen", 0x2e8b57}, {"seashell", 0xfff5ee}, {"sienna", 0xa0522d},
    {"silver", 0xc0c0c0}, {"skyblue", 0x87ceeb}, {"slateblue", 0x6a5acd},
    {"slategray", 0x708090}, {"slategrey", 0x708090}, {"snow", 0xfffafa},
    {"springgreen", 0x00ff7f}, {"steelblue", 0x4682b4}, {"tan", 0xd2b48c}, {"teal", 0x008080},
    {"thistle", 0xd8bfd8}, {"tomato", 0xff6347}, {"turquoise", 0x40e0d0},
    {"violet", 0xee82ee}, {"wheat", 0xf5deb3}, {"white", 0xffffff}, {"whitesmoke", 0xf5f5f5},
    {"yellow", 0xffff00}, {"yellowgreen", 0x9acd32},
};

bool readNamedColor(const std::string& text, std::uint32_t& rgb) {
  std::string name = text;
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const auto found = std::lower_bound(
      std::begin(namedColors), std::end(namedColors), name,
      [](const NamedColor& entry, const std::string& key) { return key.compare(entry.name) > 0; });
  if (found == std::end(namedColors) || name != found->name) return false;
  rgb = found->rgb;
  return true;
}

// "rgb(r,g,b)" with whole numbers, white space allowed around each.
bool readIntegerColor(const std::string& text, std::array<float, 3>& color) {
  static const char prefix[] = "rgb(";
  if (text.compare(0, sizeof(prefix) - 1, prefix) != 0) return false;
  std::size_t pos = sizeof(prefix) - 1;
  std::array<float, 3> channels{};
  for (int k = 0; k < 3; ++k) {
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (negative) ++pos;
    long long value = 0;
    const auto result = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
      value = LLONG_MAX;
    } else if (result.ec != std::errc()) {
      return false;
    }
    pos = static_cast<std::size_t>(result.ptr - text.data());
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] != (k < 2 ? ',' : ')')) return false;
    ++pos;
    const long long clamped = negative ? 0 : std::min(value, 255LL);
    channels[k] = static_cast<float>(clamped) / 255.0f;
  }
  color = channels;
  return true;
}

bool isName(const xmlNode* node, const char* name) {
  return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isName(const xmlAttr* attribute, const char* name) {
  return attribute->name != nullptr &&
         std::strcmp(reinterpret_cast<const char*>(attribute->name), name) == 0;
}

// The nodes of a polygon's point list "x,y x,y ...": a move, lines, and a close.
Path polygonPath(const std::string& points) {
  std::string text = points;
  for (char& c : text) {
    if (c == ',') c = ' ';
  }
  std::istringstream in(trim(text));
  in.imbue(std::locale::classic());
  Path path;
  PathBuilder builder(path);
  double x = 0.0, y = 0.0;
  bool first = true;
  while (in >> x >> y) {
    if (first) {
      builder.moveTo(Vec2d(x, y));
    } else {
      builder.lineTo(Vec2d(x, y));
    }
    first = false;
  }
  builder.closePath();
  return path;
}

// An affine map p -> (a x + c y + e, b x + d y + f), as SVG's matrix(a b c d e f).
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  Affine then(const Affine& inner) const {
    return Affine{a * inner.a + c * inner.b, b * inner.a + d * inner.b,
                  a * inner.c + c * inner.d, b * inner.c + d * inner.d,
                  a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
  }
  Vec2d apply(const Vec2d& p) const { return Vec2d(a * p.x + c * p.y + e, b * p.x + d * p.y + f); }
};

// An SVG transform list ("matrix(...) translate(...) scale(...) rotate(...) skewX(...)
// skewY(...)", applied right to left). False for anything else.
bool readTransform(const std::string& text, Affine& result) {
  constexpr double degrees = 3.141592653589793 / 180.0;
  Affine total;
  std::size_t pos = 0;
  for (;;) {
    while (pos < text.size() && (isSpace(text[pos]) || text[pos] == ',')) ++pos;
    if (pos == text.size()) break;
    const std::size_t open = text.find('(', pos);
    const std::size_t close = text.find(')', pos);
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    const std::string name = trim(text.substr(pos, open - pos));
    std::vector<double> args;
    std::size_t at = open + 1;
    for (;;) {
      while (at < close && (isSpace(text[at]) || text[at] == ',')) ++at;
      if (at >= close) break;
      double v = 0.0;
      if (!readNumberAt(text, at, v) || at > close) return false;
      args.push_back(v);
    }
    pos = close + 1;
    const std::size_t n = args.size();
    Affine step;
    if (name == "matrix" && n == 6) {
      step = Affine{args[0], args[1], args[2], args[3], args[4], args[5]};
    } else if (name == "translate" && (n == 1 || n == 2)) {
      step.e = args[0];
      step.f = n == 2 ? args[1] : 0.0;
    } else if (name == "scale" && (n == 1 || n == 2)) {
      step.a = args[0];
      step.d = n == 2 ? args[1] : args[0];
    } else if (name == "rotate" && (n == 1 || n == 3)) {
      const double co = std::cos(args[0] * degrees), si = std::sin(args[0] * degrees);
      const Affine turn{co, si, -si, co, 0.0, 0.0};
      if (n == 3) {
        step = Affine{1, 0, 0, 1, args[1], args[2]}.then(turn).then(
            Affine{1, 0, 0, 1, -args[1], -args[2]});
      } else {
        step = turn;
      }
    } else if (name == "skewX" && n == 1) {
      step.c = std::tan(args[0] * degrees);
    } else if (name == "skewY" && n == 1) {
      step.b = std::tan(args[0] * degrees);
    } else {
      return false;
    }
    total = total.then(step);
  }
  result = total;
  return true;
}

void transformPath(Path& path, const Affine& map) {
  const double radiusScale = std::sqrt(std::fabs(map.a * map.d - map.b * map.c));
  for (Path::Node& node : path.nodes) {
    for (Vec2d& p : node.points) p = map.apply(p);
    node.radius *= radiusScale;
  }
}

// Document units to canvas pixels, then the margin (factor m, origin moved to offset).
void placeOnCanvas(Path& path, double scaleWidth, double scaleHeight, double m,
                   const Vec2d& offset) {
  const double radiusScale = 0.5 * (scaleWidth + scaleHeight) * m;
  for (Path::Node& node : path.nodes) {
    for (Vec2d& p : node.points) {
      p.x = p.x * scaleWidth * m + offset.x;
      p.y = p.y * scaleHeight * m + offset.y;
    }
    node.radius *= radiusScale;
  }
}

bool near(const Vec2d& a, const Vec2d& b) {
  const Vec2d d = a - b;
  return std::sqrt(d.dot(d)) <= 0.0001;
}

// Points within 0.0001 of each other lie in the same or in neighbouring cells of this size
// (twice the distance, so that rounding in the division cannot put them two cells apart).
constexpr double strokeCell = 0.0002;
// Most node comparisons and reported pairs the stroke statistics spend on one document: a
// drawing whose outlines all share their points has a number of pairs that grows with the
// square of its outlines.
constexpr std::size_t strokeWorkLimit = 20000000;
// Most "Found a stroke." lines printed; further pairs are counted and summed up in one line.
constexpr int strokeLineLimit = 10000;

// The cell of a coordinate; far coordinates share the outermost cells, whose points are
// still compared exactly.
long long strokeCellOf(double v) {
  constexpr double far = 4.0e18;
  const double cell = std::floor(v / strokeCell);
  return cell < -far ? -static_cast<long long>(far) : cell > far ? static_cast<long long>(far)
                                                                 : static_cast<long long>(cell);
}

bool isFinite(const Vec2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The points of many paths, by cell, each with the index of its path.
class PointIndex {
public:
  void add(const Vec2d& p, int path) {
    // A point that is not finite is near no point.
    if (isFinite(p)) cells[key(strokeCellOf(p.x), strokeCellOf(p.y))].push_back({p, path});
  }

  // Appends the paths with a point near @p p; counts the points compared in @p work.
  void findNear(const Vec2d& p, std::vector<int>& paths, std::size_t& work) const {
    if (!isFinite(p)) return;
    const long long cx = strokeCellOf(p.x), cy = strokeCellOf(p.y);
    for (long long dx = -1; dx <= 1; ++dx) {
      for (long long dy = -1; dy <= 1; ++dy) {
        const auto found = cells.find(key(cx + dx, cy + dy));
        if (found == cells.end()) continue;
        work += found->second.size();
        for (const Entry& entry : found->second)
          if (near(entry.point, p)) paths.push_back(entry.path);
      }
    }
  }

private:
  struct Entry {
    Vec2d point;
    int path;
  };
  static std::pair<long long, long long> key(long long x, long long y) { return {x, y}; }
  struct KeyHash {
    std::size_t operator()(const std::pair<long long, long long>& k) const {
      return std::hash<long long>()(k.first) * 1000003u ^ std::hash<long long>()(k.second);
    }
  };
  std::unordered_map<std::pair<long long, long long>, std::vector<Entry>, KeyHash> cells;
};

void appendUtf8(unsigned long code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x110000) {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::array<float, 3> parseColor(const std::string& text) {
  std::array<float, 3> color{{0.0f, 0.0f, 0.0f}};
  if (readPercentColor(text, color) || readIntegerColor(text, color)) return color;
  std::uint32_t v = 0;
  if (!text.empty() && text[0] == '#') {
    std::size_t pos = 1;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    std::uint64_t value = 0;
    const char* first = text.data() + pos;
    const auto result = std::from_chars(first, text.data() + text.size(), value, 16);
    if (result.ec == std::errc::result_out_of_range) value = UINT64_MAX;
    const std::ptrdiff_t digits = result.ptr - first;
    // The CSS forms: one digit a channel (#rgb, #rgba) or two (#rrggbb, #rrggbbaa); the
    // alpha digits are dropped. Other lengths read as one number, as always.
    if (pos == 1 && result.ec == std::errc() && (digits == 3 || digits == 4)) {
      const unsigned shift = digits == 4 ? 4u : 0u;
      const auto r = static_cast<std::uint32_t>((value >> (shift + 8)) & 15);
      const auto g = static_cast<std::uint32_t>((value >> (shift + 4)) & 15);
      const auto b = static_cast<std::uint32_t>((value >> shift) & 15);
      v = (r * 17) << 16 | (g * 17) << 8 | b * 17;
    } else if (pos == 1 && result.ec == std::errc() && digits == 8) {
      v = static_cast<std::uint32_t>(value >> 8);
    } else {
      v = static_cast<std::uint32_t>(value);
    }
  } else if (!readNamedColor(text, v)) {
    return color;
  }
  color[0] = static_cast<float>((v >> 16) & 255) / 255.0f;
  color[1] = static_cast<float>((v >> 8) & 255) / 255.0f;
  color[2] = static_cast<float>(v & 255) / 255.0f;
  return color;
}

bool readLeadingNumber(const std::string& text, double& value) {
  std::size_t pos = 0;
  return readNumberAt(text, pos, value);
}

int countStrokes(const std::vector<Path>& paths) {
  // A line or curve of path i matches path j when j has a node whose points[0] is near the
  // line's or curve's points[0], or, for a curve, a curve whose points[1] is near its
  // points[1] or whose points[0] is near its points[2]. The paths a node matches come from
  // three indexes, so that only paths sharing points are compared.
  PointIndex starts, curveStarts, curveMiddles;
  for (std::size_t j = 0; j < paths.size(); ++j) {
    for (const Path::Node& node : paths[j].nodes) {
      starts.add(node.points[0], static_cast<int>(j));
      if (node.type == Path::Node::CurveTo) {
        curveStarts.add(node.points[0], static_cast<int>(j));
        curveMiddles.add(node.points[1], static_cast<int>(j));
      }
    }
  }
  const int others = static_cast<int>(paths.size()) - 1;
  int count = 0;
  std::size_t work = 0;
  std::vector<int> strokeOf, matched, kept;
  for (std::size_t i = 0; i < paths.size() && work <= strokeWorkLimit; ++i) {
    bool first = true;
    for (const Path::Node& node : paths[i].nodes) {
      if (node.type != Path::Node::LineTo && node.type != Path::Node::CurveTo) continue;
      matched.clear();
      starts.findNear(node.points[0], matched, work);
      if (node.type == Path::Node::CurveTo) {
        curveMiddles.findNear(node.points[1], matched, work);
        curveStarts.findNear(node.points[2], matched, work);
      }
      std::sort(matched.begin(), matched.end());
      matched.erase(std::unique(matched.begin(), matched.end()), matched.end());
      if (first) {
        strokeOf.swap(matched);
        first = false;
      } else {
        kept.clear();
        std::set_intersection(strokeOf.begin(), strokeOf.end(), matched.begin(), matched.end(),
                              std::back_inserter(kept));
        strokeOf.swap(kept);
      }
      // Path i itself is no candidate; without candidates the rest cannot match.
      strokeOf.erase(std::remove(strokeOf.begin(), strokeOf.end(), static_cast<int>(i)),
                     strokeOf.end());
      if (strokeOf.empty() || work > strokeWorkLimit) break;
    }
    // Without lines and curves, path i is a stroke of every other path.
    const int pairs = first ? others : static_cast<int>(strokeOf.size());
    work += static_cast<std::size_t>(pairs);
    for (int k = 0; k < pairs && work <= strokeWorkLimit; ++k) {
      if (count < strokeLineLimit) std::cout << "Found a stroke." << "\n";
      ++count;
    }
  }
  if (count > strokeLineLimit) {
    std::cout << "Found " << count - strokeLineLimit << " more strokes." << "\n";
  }
  if (work > strokeWorkLimit) {
    std::cout << "Stroke statistics stopped after " << count << " pairs: the " << paths.size()
              << " outlines share too many points to compare them all." << "\n";
  }
  return count;
}

SvgDocument::SvgDocument(const std::string& fileName) {
  // No network, and no options that would load external entities or DTDs or substitute
  // entities into the tree; libxml2's own limits stop documents whose entities expand
  // without bound.
  doc = xmlReadFile(fileName.c_str(), nullptr, XML_PARSE_NONET);
  if (doc != nullptr && xmlDocGetRootElement(doc) == nullptr) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
}

SvgDocument::SvgDocument(const std::string& text, const std::string& name) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return;
  doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), name.c_str(), nullptr,
                      XML_PARSE_NONET);
  if (doc != nullptr && xmlDocGetRootElement(doc) == nullptr) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
}

SvgDocument::~SvgDocument() {
  if (doc != nullptr) xmlFreeDoc(doc);
}

std::string LoadSummary::leftOutLine() const {
  std::string line;
  const auto add = [&line](std::size_t n, const std::string& one, const std::string& many) {
    if (n == 0) return;
    if (!line.empty()) line += "; ";
    line += std::to_string(n) + " " + (n == 1 ? one : many);
  };
  add(paintNothing, "element paints nothing", "elements paint nothing");
  add(faint, "faint", "faint");
  add(belowPixel, "smaller than a pixel", "smaller than a pixel");
  add(overBound, "left out over the shape bound", "left out over the shape bound");
  return line;
}

std::string LoadSummary::line() const {
  std::string line = std::to_string(shapes) + (shapes == 1 ? " shape" : " shapes");
  const std::string rest = leftOutLine();
  return rest.empty() ? line : line + "; " + rest;
}

bool hasCanvasAttribute(xmlNode* root) {
  if (root == nullptr) return false;
  for (xmlAttr* attribute = root->properties; attribute != nullptr; attribute = attribute->next) {
    if (attribute->ns != nullptr && attribute->ns->href != nullptr &&
        std::strcmp(reinterpret_cast<const char*>(attribute->ns->href), canvasNamespace) == 0 &&
        isName(attribute, canvasAttribute)) {
      return true;
    }
  }
  return false;
}

double placeInMargin(int width, int height, double& offsetX, double& offsetY) {
  offsetX = offsetY = 0.0;
  if (width <= 2 * marginPixels || height <= 2 * marginPixels) return 1.0;
  const double m = std::min((width - 2 * marginPixels) / width, (height - 2 * marginPixels) / height);
  offsetX = 0.5 * width * (1.0 - m);
  offsetY = 0.5 * height * (1.0 - m);
  return m;
}

bool SvgReader::load(const std::string& fileName, int canvasWidth, int canvasHeight,
                     const Receiver& receive) {
  const SvgDocument document(fileName);
  if (!document.isValid()) return false;
  read(document, canvasWidth, canvasHeight, receive);
  return true;
}

int SvgReader::read(const SvgDocument& document, int canvasWidth, int canvasHeight,
                    const Receiver& receive) {
  // Nothing carries over from the document before.
  scaleWidth = scaleHeight = 1.0;
  imageWidth = canvasWidth;
  imageHeight = canvasHeight;
  summary = LoadSummary();
  entities.restart();
  std::vector<Path> accepted;
  std::size_t leftOut = 0;
  if (document.isValid()) {
    savedPage = hasCanvasAttribute(xmlDocGetRootElement(document.doc));
    // Depth first, each node before its children and the children before the next
    // sibling: document order, without recursion.
    std::vector<xmlNode*> pending{xmlDocGetRootElement(document.doc)};
    while (!pending.empty()) {
      xmlNode* node = pending.back();
      pending.pop_back();
      if (node->next != nullptr) pending.push_back(node->next);
      if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
        pending.push_back(node->children);
      }
      if (node->type != XML_ELEMENT_NODE) continue;
      if (isName(node, "svg")) {
        readSvgElement(node, canvasWidth, canvasHeight);
      } else if (isName(node, "path") || isName(node, "polygon")) {
        if (accepted.size() >= outlineLimit) {
          ++leftOut;
          continue;
        }
        SvgElement element;
        if (readOutline(node, element) && receive && receive(element)) {
          accepted.push_back(std::move(element.path));
        }
      }
    }
  }
  outlinesLeftOut = leftOut;
  summary.overBound = leftOut;
  summary.shapes = accepted.size();
  if (leftOut > 0) {
    std::cout << "Only the first " << outlineLimit << " outlines are read; " << leftOut
              << " more are left out." << "\n";
  }
  const int strokes = countStrokes(accepted);
  std::cout << "Num strokes:" << strokes << "," << accepted.size() << "\n";
  std::cout.flush();
  return static_cast<int>(accepted.size());
}

void SvgReader::readSvgElement(xmlNode* node, int canvasWidth, int canvasHeight) {
  for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    const bool isWidth = isName(attribute, "width");
    if (!isWidth && !isName(attribute, "height")) continue;
    const std::string text = entities.value(attribute);
    double size = 0.0;
    // A size that is no positive number would divide by zero below; it counts as missing.
    if (!readLeadingNumber(text, size) || !(size > 0.0)) {
      std::cout << "Ignoring the svg " << (isWidth ? "width" : "height") << " \"" << text
                << "\": not a positive number." << "\n";
      continue;
    }
    (isWidth ? scaleWidth : scaleHeight) = size;
  }
  const double documentWidth = scaleWidth;
  const double documentHeight = scaleHeight;
  const double aspect = documentWidth / documentHeight;
  if (aspect > 1.0) {
    scaleWidth = scaleHeight = canvasWidth / documentWidth;
    imageWidth = canvasWidth;
    imageHeight = static_cast<int>(canvasWidth / aspect);
  } else {
    scaleWidth = scaleHeight = canvasHeight / documentHeight;
    imageHeight = canvasHeight;
    imageWidth = static_cast<int>(canvasHeight * aspect);
  }
  std::cout << "Scale: " << scaleWidth << "," << scaleHeight << "\n";
  std::cout << "Size: " << imageWidth << "," << imageHeight << "\n";
}

bool SvgReader::readOutline(xmlNode* node, SvgElement& element) {
  std::string transform;
  bool hasTransform = false;
  bool fillNone = false;
  for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    if (isName(attribute, "d")) {
      element.path = Path(entities.value(attribute));
    } else if (isName(attribute, "points")) {
      element.path = polygonPath(entities.value(attribute));
    } else if (isName(attribute, "transform")) {
      transform = entities.value(attribute);
      hasTransform = true;
    } else if (isName(attribute, "fill")) {
      const std::string value = entities.value(attribute);
      element.fillColor = parseColor(value);
      fillNone = trim(value) == "none";
    } else if (isName(attribute, "style")) {
      for (const std::string& piece : split(entities.value(attribute), ';')) {
        const std::vector<std::string> parts = split(piece, ':');
        if (parts.size() != 2) continue;
        const std::string key = trim(parts[0]);
        const std::string value = trim(parts[1]);
        if (key == "stroke-width") {
          double width = 0.0;
          readLeadingNumber(value, width);
          element.strokeWidth = width > 0.0 ? width : 0.0;
        } else if (key == "fill") {
          element.fillColor = parseColor(value);
          fillNone = value == "none";
        } else if (key == "stroke") {
          element.strokeColor = parseColor(value);
        } else {
          std::cout << "ignoring: " << key << "=" << value << "\n";
        }
      }
    }
  }
  // An outline without fill would become a black shape painted over the drawing.
  if (fillNone) {
    std::cout << "Skipping an outline whose fill is none: it paints no shape." << "\n";
    ++summary.paintNothing;
    return false;
  }
  // The outline's own transform places it; saved drawings give each stroked outline
  // one that maps canvas pixels to points.
  if (hasTransform) {
    Affine map;
    if (readTransform(transform, map)) {
      transformPath(element.path, map);
    } else {
      std::cout << "Ignoring the transform \"" << transform << "\": not understood." << "\n";
    }
  }
  if (element.path.nodes.size() > outlineNodeLimit) {
    std::cout << "Skipping an outline of " << element.path.nodes.size() << " nodes: at most "
              << outlineNodeLimit << " are read." << "\n";
    ++summary.overBound;
    return false;
  }
  Vec2d offset(0.0, 0.0);
  const double m = savedPage ? 1.0 : placeInMargin(imageWidth, imageHeight, offset.x, offset.y);
  placeOnCanvas(element.path, scaleWidth, scaleHeight, m, offset);
  element.mask = rasterisePath(element.path, imageWidth, imageHeight);
  if (!isValidRaster(element.mask)) {
    std::cout << "Got an invalid shape." << "\n";
    const std::size_t n = static_cast<std::size_t>(element.mask.width) * element.mask.height;
    const bool touched = std::any_of(element.mask.data, element.mask.data + n,
                                     [](unsigned char v) { return v != 0; });
    ++(touched ? summary.belowPixel : summary.paintNothing);
    return false;
  }
  element.polygon = element.path.getPolygon(flatteningTolerance);
  return true;
}

void EntityExpander::restart() {
  budget = entityTextLimit;
  reported = false;
}

std::string EntityExpander::value(xmlAttr* attribute) {
  return attribute == nullptr ? std::string() : text(attribute->children);
}

std::string EntityExpander::text(xmlNode* first, bool siblings) {
  std::string value;
  for (xmlNode* child = first; child != nullptr; child = siblings ? child->next : nullptr) {
    if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) &&
        child->content != nullptr) {
      value += reinterpret_cast<const char*>(child->content);
    } else if (child->type == XML_ENTITY_REF_NODE) {
      appendEntity(xmlGetDocEntity(child->doc, child->name), value, 0);
    }
  }
  return value;
}

void EntityExpander::reportBudgetSpent() {
  if (!reported) {
    std::cout << "Entities expand to more than " << (entityTextLimit >> 20)
              << " MiB of attribute text; the rest is left out." << "\n";
    reported = true;
  }
  budget = 0;
}

// Internal entities only: libxml2 has already refused external ones in attribute values.
// References inside an entity's text are expanded in turn, within the depth and the
// document's budget.
void EntityExpander::appendEntity(xmlEntity* entity, std::string& out, int depth) {
  if (entity == nullptr || entity->content == nullptr || depth > entityDepthLimit) return;
  if (entity->etype != XML_INTERNAL_GENERAL_ENTITY &&
      entity->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
    return;
  }
  const std::string_view text(reinterpret_cast<const char*>(entity->content));
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t amp = entity->etype == XML_INTERNAL_PREDEFINED_ENTITY
                                ? std::string::npos
                                : text.find('&', pos);
    const std::size_t literal = (amp == std::string::npos ? text.size() : amp) - pos;
    if (literal > budget) {
      reportBudgetSpent();
      return;
    }
    out.append(text, pos, literal);
    budget -= literal;
    if (amp == std::string::npos) return;
    const std::size_t semicolon = text.find(';', amp);
    if (semicolon == std::string::npos) {
      pos = amp + 1;
      continue;
    }
    const std::string name(text.substr(amp + 1, semicolon - amp - 1));
    pos = semicolon + 1;
    // Every reference costs its own length, so that references to empty texts cannot
    // multiply without bound either.
    if (name.size() + 2 > budget) {
      reportBudgetSpent();
      return;
    }
    budget -= name.size() + 2;
    if (!name.empty() && name[0] == '#') {
      const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      const char* first = name.data() + (hex ? 2 : 1);
      unsigned long code = 0;
      const auto result = std::from_chars(first, name.data() + name.size(), code, hex ? 16 : 10);
      if (result.ec == std::errc() && budget >= 4) {
        appendUtf8(code, out);
        budget -= 4;
      }
    } else {
      appendEntity(xmlGetDocEntity(entity->doc, reinterpret_cast<const xmlChar*>(name.c_str())),
                   out, depth + 1);
    }
  }
}
