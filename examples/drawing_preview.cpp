// glimshape — examples
// Purpose: turns the shapes of an SVG drawing into level sets on the canvas and paints
// them, their outlines and the distance bands around them into a PNG picture.
//
// Usage: drawing-preview [drawing.svg] [picture.png] [canvas size]
//
// The attribute scan below is deliberately small (path "d", polygon "points" and a fill
// colour); it is enough for the bundled drawing and is not the program's SVG reader.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "levelset/createlevelset.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"
#include "svg/path.h"
#include "svg/polygon.h"

namespace {

struct Shape {
  std::string data;  // path data
  unsigned char rgb[3] = {128, 128, 128};
  Polygon polygon;
  std::unique_ptr<FullLevelSet2D> levelSet;
};

std::string attribute(const std::string& element, const std::string& name) {
  const std::regex pattern("\\s" + name + "\\s*=\\s*\"([^\"]*)\"");
  std::smatch match;
  return std::regex_search(element, match, pattern) ? match[1].str() : std::string();
}

void parseColour(const std::string& element, unsigned char rgb[3]) {
  std::string fill = attribute(element, "fill");
  const std::string style = attribute(element, "style");
  std::smatch match;
  if (fill.empty() && std::regex_search(style, match, std::regex("fill:\\s*(#[0-9a-fA-F]{6})")))
    fill = match[1].str();
  if (fill.size() == 7 && fill[0] == '#') {
    for (int k = 0; k < 3; ++k) rgb[k] = std::stoi(fill.substr(1 + 2 * k, 2), nullptr, 16);
  }
}

// Polygon points "x,y x,y ..." as path data, so every shape goes through one parser.
std::string pointsToPathData(const std::string& points) {
  std::istringstream in(std::regex_replace(points, std::regex(","), " "));
  std::ostringstream out;
  double x, y;
  for (bool first = true; in >> x >> y; first = false) out << (first ? "M " : "L ") << x << ' ' << y << ' ';
  out << 'Z';
  return out.str();
}

// Even-odd fill of the polygon's loops at pixel centres.
vorn::Image<unsigned char> rasterise(const Polygon& polygon, int width, int height) {
  vorn::Image<unsigned char> mask(width, height, 1);
  mask = 0;
  std::vector<double> crossings;
  for (int y = 0; y < height; ++y) {
    const double cy = y + 0.5;
    crossings.clear();
    for (const auto& loop : polygon.loops) {
      for (std::size_t i = 0; i < loop.size(); ++i) {
        const auto& a = polygon.points[loop[i]];
        const auto& b = polygon.points[loop[(i + 1) % loop.size()]];
        if ((a.y <= cy) != (b.y <= cy)) crossings.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
      const int x0 = std::max(0, static_cast<int>(std::ceil(crossings[i] - 0.5)));
      const int x1 = std::min(width - 1, static_cast<int>(std::floor(crossings[i + 1] - 0.5)));
      for (int x = x0; x <= x1; ++x) mask(x, y, 0) = 255;
    }
  }
  return mask;
}

void plot(vorn::Image<unsigned char>& picture, double x, double y) {
  const int px = static_cast<int>(x), py = static_cast<int>(y);
  if (!picture.inBounds(px, py, 0)) return;
  for (int c = 0; c < 3; ++c) picture(px, py, c) = 20;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string input = argc > 1 ? argv[1] : "examples/drawing.svg";
  const std::string output = argc > 2 ? argv[2] : "out/drawing-preview.png";
  const int canvas = argc > 3 ? std::max(8, std::atoi(argv[3])) : 128;
  const int zoom = std::max(1, 512 / canvas);

  std::ifstream file(input);
  if (!file) {
    std::fprintf(stderr, "drawing-preview: cannot open %s\n", input.c_str());
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  std::smatch match;
  double svgWidth = canvas;
  if (std::regex_search(text, match, std::regex("<svg[^>]*>"))) {
    const std::string w = attribute(match[0].str(), "width");
    if (!w.empty() && std::atof(w.c_str()) > 0) svgWidth = std::atof(w.c_str());
  }
  const double scale = canvas / svgWidth;

  std::vector<Shape> shapes;
  const std::regex element("<(path|polygon)\\b[^>]*>");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator(); ++it) {
    const std::string tag = (*it)[0].str();
    Shape shape;
    shape.data = (*it)[1].str() == "path" ? attribute(tag, "d") : pointsToPathData(attribute(tag, "points"));
    parseColour(tag, shape.rgb);
    shapes.push_back(std::move(shape));
  }
  std::printf("%s: %zu shapes, scale %.3f onto a %dx%d canvas\n", input.c_str(), shapes.size(), scale,
              canvas, canvas);

  for (Shape& shape : shapes) {
    Path path(shape.data);
    for (auto& node : path.nodes) {
      for (auto& p : node.points) p = p * scale;
      node.radius *= scale;
    }
    shape.polygon = path.getPolygon(0.2);
    shape.levelSet.reset(createLevelSetFromImage<FullLevelSet2D>(rasterise(shape.polygon, canvas, canvas)));
  }

  // Each picture pixel takes the shape it lies in (lightened towards its outline) or, outside
  // every shape, a grey band pattern of the distance to the nearest one.
  const int size = canvas * zoom;
  vorn::Image<unsigned char> picture(size, size, 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double cx = (x + 0.5) / zoom - 0.5, cy = (y + 0.5) / zoom - 0.5;
      double nearest = 1e30;
      const Shape* inside = nullptr;
      double depth = 0;
      for (const Shape& shape : shapes) {
        const int ix = std::clamp(static_cast<int>(cx), 0, canvas - 2);
        const int iy = std::clamp(static_cast<int>(cy), 0, canvas - 2);
        const double fx = std::clamp(cx - ix, 0.0, 1.0), fy = std::clamp(cy - iy, 0.0, 1.0);
        const FullLevelSet2D& ls = *shape.levelSet;
        const double phi = (1 - fy) * ((1 - fx) * ls.get(ix, iy) + fx * ls.get(ix + 1, iy)) +
                           fy * ((1 - fx) * ls.get(ix, iy + 1) + fx * ls.get(ix + 1, iy + 1));
        if (phi < 0 && !inside) { inside = &shape; depth = -phi; }
        nearest = std::min(nearest, phi);
      }
      for (int c = 0; c < 3; ++c) {
        double v;
        if (inside) {
          v = inside->rgb[c] + (255 - inside->rgb[c]) * 0.35 * std::exp(-depth / 3.0);
        } else {
          const bool band = static_cast<int>(std::floor(nearest / 2.0)) % 2 == 0;
          v = (band ? 236 : 222) - std::min(40.0, nearest);
        }
        picture(x, y, c) = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
      }
    }
  }

  // Outlines: the zero contours of the re-initialised level sets, drawn segment by segment.
  for (Shape& shape : shapes) {
    ContourPoints points;
    ContourEdges edges;
    shape.levelSet->getLinesUnique(points, edges);
    for (const auto& [i, j] : edges) {
      const auto a = points[i], b = points[j];
      const int steps = 1 + static_cast<int>(zoom * std::hypot(b.x - a.x, b.y - a.y) * 2);
      for (int s = 0; s <= steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        plot(picture, (a.x + t * (b.x - a.x) + 0.5) * zoom, (a.y + t * (b.y - a.y) + 0.5) * zoom);
      }
    }
    std::printf("shape: %zu outline points, %zu loops, %zu contour segments\n", shape.polygon.points.size(),
                shape.polygon.loops.size(), edges.size());
  }

  if (!picture.save(output.c_str())) {
    std::fprintf(stderr, "drawing-preview: cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d)\n", output.c_str(), size, size);
  return 0;
}
