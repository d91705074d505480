// glimshape — tests/common
// Purpose: the outlines of examples/drawing.svg as polygons and canvas masks, for tests and
// benchmarks that need a real drawing before the document reader is at hand.
#ifndef TESTS_COMMON_EXAMPLE_DRAWING_H
#define TESTS_COMMON_EXAMPLE_DRAWING_H

#include <cairo.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "quarl/image.h"
#include "svg/path.h"
#include "svg/polygon.h"

namespace glimtest {

/// One outline of the drawing on the canvas.
struct DrawingShape {
  Polygon polygon;                   ///< flattened outline, canvas pixels
  vorn::Image<unsigned char> mask;   ///< one channel, 255 inside (cairo coverage)
};

/// @brief The path data of every `path` (attribute d) and `polygon` (attribute points, as
/// "M x y L x y … Z") of an SVG text, in document order. A deliberately small scan: enough
/// for the bundled drawing, not the program's reader.
inline std::vector<std::string> drawingPathData(const std::string& svg) {
  std::vector<std::string> data;
  const std::regex element("<(path|polygon)\\b[^>]*>");
  const std::regex d("\\sd\\s*=\\s*\"([^\"]*)\"");
  const std::regex points("\\spoints\\s*=\\s*\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
       it != std::sregex_iterator(); ++it) {
    const std::string e = it->str();
    std::smatch m;
    if ((*it)[1] == "path" && std::regex_search(e, m, d)) {
      data.push_back(m[1].str());
    } else if (std::regex_search(e, m, points)) {
      std::istringstream in(std::regex_replace(m[1].str(), std::regex(","), " "));
      std::ostringstream out;
      double x, y;
      for (bool first = true; in >> x >> y; first = false)
        out << (first ? "M " : "L ") << x << ' ' << y << ' ';
      out << 'Z';
      data.push_back(out.str());
    }
  }
  return data;
}

/// @brief A one-channel size × size coverage mask of the polygon's loops: cairo A8, gray
/// antialiasing, non-zero winding, as shapes are seeded from.
inline vorn::Image<unsigned char> polygonMask(const Polygon& polygon, int size) {
  vorn::Image<unsigned char> mask(size, size, 1);
  mask = 0;
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, size);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(stride) * size, 0);
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      buffer.data(), CAIRO_FORMAT_A8, size, size, stride);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  for (const auto& loop : polygon.loops) {
    for (std::size_t i = 0; i < loop.size(); ++i) {
      const auto& p = polygon.points[loop[i]];
      if (i == 0)
        cairo_move_to(cr, p.x, p.y);
      else
        cairo_line_to(cr, p.x, p.y);
    }
    cairo_close_path(cr);
  }
  cairo_fill(cr);
  cairo_surface_flush(surface);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) mask(x, y, 0) = buffer[static_cast<std::size_t>(y) * stride + x];
  return mask;
}

/// @brief The shapes of examples/drawing.svg (256 × 256 document units) on a size × size
/// canvas: each outline flattened (0.2 pixel tolerance on the canvas), scaled by
/// size / 256 and rasterised.
/// @warning A missing file gives no shapes; callers check the count.
inline std::vector<DrawingShape> exampleDrawing(int size = 128) {
  std::ifstream in(std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg");
  std::stringstream text;
  text << in.rdbuf();
  const double scale = size / 256.0;
  std::vector<DrawingShape> shapes;
  for (const std::string& data : drawingPathData(text.str())) {
    Path path(data);
    for (Path::Node& node : path.nodes)
      for (vorn::Vec2<double>& p : node.points) p = vorn::Vec2<double>(p.x * scale, p.y * scale);
    DrawingShape shape;
    shape.polygon = path.getPolygon(0.2);
    shape.mask = polygonMask(shape.polygon, size);
    shapes.push_back(shape);
  }
  return shapes;
}

}  // namespace glimtest

#endif
