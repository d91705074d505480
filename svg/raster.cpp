// glimshape — svg
// Purpose: drawing path nodes into a cairo context, and the A8 rasteriser built on it.
#include "svg/raster.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Vec2d = vorn::Vec2<double>;

bool isFinite(const Vec2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Cairo divides an arc into pieces whose count grows with the radius; beyond this radius
// (pixels) the count runs into the millions and a single node keeps cairo busy for good,
// while on any canvas such an arc is indistinguishable from a straight edge.
constexpr double maxArcRadius = 1e6;

}  // namespace

void Path::Node::apply(cairo_t* cr, Vec2d& last) const {
  switch (type) {
    case MoveTo:
      if (!isFinite(points[0])) return;
      cairo_move_to(cr, points[0].x, points[0].y);
      last = points[0];
      break;
    case LineTo:
      if (!isFinite(points[0])) return;
      cairo_line_to(cr, points[0].x, points[0].y);
      last = points[0];
      break;
    case CurveTo:
      if (!isFinite(points[0]) || !isFinite(points[1]) || !isFinite(points[2])) return;
      cairo_curve_to(cr, points[0].x, points[0].y, points[1].x, points[1].y, points[2].x,
                     points[2].y);
      last = points[2];
      break;
    case Arc:
      if (!std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle) ||
          !std::isfinite(last.x - radius)) {
        return;
      }
      if (std::fabs(radius) > maxArcRadius) {
        std::printf("Skipping an arc of radius %g: too large to draw.\n", radius);
        return;
      }
      cairo_arc(cr, last.x - radius, last.y, radius, startAngle, endAngle);
      break;
    case ClosePath:
      cairo_close_path(cr);
      // Cairo moves to the start of the closed subpath; so does flattening, and an arc
      // that follows must start from the same point in both.
      if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &last.x, &last.y);
      break;
    default:
      break;
  }
}

void Path::apply(cairo_t* cr) const {
  Vec2d last(0.0, 0.0);
  for (const Node& node : nodes) node.apply(cr, last);
}

vorn::Image<unsigned char> rasterisePath(const Path& path, int width, int height) {
  if (width <= 0 || height <= 0) return vorn::Image<unsigned char>(0, 0, 1);
  vorn::Image<unsigned char> raster(width, height, 1);
  raster = 0;
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, width);
  if (stride < 0) {
    std::printf("Cannot rasterise a path into %dx%d pixels: too wide for cairo.\n", width,
                height);
    return raster;
  }
  // Cairo draws straight into the raster when its rows are already aligned.
  std::vector<unsigned char> padded;
  unsigned char* pixels = raster.data;
  if (stride != width) {
    padded.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    pixels = padded.data();
  }
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_A8, width, height, stride);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    std::printf("Cannot rasterise a path into %dx%d pixels: %s.\n", width, height,
                cairo_status_to_string(cairo_surface_status(surface)));
    cairo_surface_destroy(surface);
    return raster;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  path.apply(cr);
  cairo_fill(cr);
  cairo_surface_flush(surface);
  cairo_surface_finish(surface);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  if (stride != width) {
    for (int y = 0; y < height; ++y) {
      std::memcpy(raster.data + static_cast<std::size_t>(y) * width,
                  padded.data() + static_cast<std::size_t>(y) * stride, width);
    }
  }
  return raster;
}

bool isValidRaster(const vorn::Image<unsigned char>& raster) {
  const std::size_t n = static_cast<std::size_t>(raster.width) * raster.height * raster.nchannels;
  for (std::size_t i = 0; i < n; ++i) {
    if (raster.data[i] > 128) return true;
  }
  return false;
}
