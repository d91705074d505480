// glimshape — evolver
// Purpose: space occupation: every shape, least stiff first, grows into the free space
// around it and is cut back against the others' outlines (the "Occupy" command).
#include "evolver/evolver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

#include "clip/polygonclipper.h"
#include "lomvet/marchingsquares.h"

namespace {

// The grown region: the shape's inside dilated by a 7 × 7 square. A 5 × 5 truncating box
// average is non-zero within 2 pixels of an inside pixel; thresholding it and averaging
// over 3 × 3 reaches one pixel further.
vorn::Image<unsigned char> grow(const vorn::Image<unsigned char>& inside) {
  vorn::Image<unsigned char> wide = inside.boxFilter(2);
  const int count = wide.getWidth() * wide.getHeight() * wide.nchannels;
  for (int i = 0; i < count; ++i) wide[i] = wide[i] > 0 ? 255 : 0;
  return wide.boxFilter(1);
}

// A signed distance to the grown outline, smoothed by one curvature-flow step.
FullLevelSet2D smoothedDistance(const vorn::Image<unsigned char>& grown) {
  const int w = grown.getWidth();
  const int h = grown.getHeight();
  FullLevelSet2D ls(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ls(x, y) = grown(x, y, 0) > 0 ? -1.0 : 1.0;
  ls.ensureSignedDistanceFMM();
  // The largest stable explicit step for spacings hx = hy = 1: 1 / (2/hx² + 2/hy²).
  const double dt = 1.0 / (2.0 / (ls.xSpace * ls.xSpace) + 2.0 / (ls.ySpace * ls.ySpace));
  std::vector<double> next(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      next[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * w] =
          ls.get(x, y) + dt * ls.getCurvature(x, y);
  std::copy(next.begin(), next.end(), ls.values.begin());
  ls.ensureSignedDistanceFMM();
  return ls;
}

}  // namespace

void ZazizEvozuEvolver::occupySpace() {
  std::lock_guard<std::mutex> lock(mutex);
  invalidateObstacles();
  if (shapes.empty()) return;

  // Least stiff first; equal stiffness in list order. A stiffness that is not a number
  // goes last, so the order stays a strict weak ordering.
  std::vector<std::pair<double, int>> order;
  order.reserve(shapes.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const double stiffness = shapes[i]->stiffness;
    order.emplace_back(std::isnan(stiffness) ? std::numeric_limits<double>::infinity() : stiffness,
                       static_cast<int>(i));
  }
  std::sort(order.begin(), order.end());

  for (const std::pair<double, int>& entry : order) {
    const auto s = static_cast<std::size_t>(entry.second);
    const FullLevelSet2D ls = smoothedDistance(grow(shapes[s]->getBinaryImage()));

    ContourPoints points;
    ContourEdges edges;
    ls.getLinesUnique(points, edges);
    // Outlines that run into the canvas border are closed along it.
    addBorderEdges(points, edges, &ls);
    std::vector<std::vector<int>> loops = getPolygons(points, edges);

    // Cut against every other shape's current outline, already occupied ones included, so
    // that contested space stays with the shape that took it first.
    for (std::size_t u = 0; u < shapes.size(); ++u) {
      if (u == s) continue;
      // An outline the clipper refuses (an index past its points, a coordinate that is
      // not finite) cannot be cut against; the grown outline stays uncut by it.
      PolygonClipper::clip(points, loops, shapes[u]->points, shapes[u]->polygons,
                           PolygonClipper::Difference);
    }
    // The shape keeps all it had: where a neighbour's outline reaches into it, or where the
    // smoothing pulled the grown outline inside its own, the cut would otherwise take away
    // the shape's own inside (and a shape covered by neighbours would vanish). Own polygons
    // the clipper refuses leave the cut outline alone.
    ContourPoints own = shapes[s]->points;
    std::vector<std::vector<int>> ownLoops = shapes[s]->polygons;
    if (PolygonClipper::clip(own, ownLoops, points, loops, PolygonClipper::Union)) {
      points.swap(own);
      loops.swap(ownLoops);
    }
    shapes[s]->points = std::move(points);
    shapes[s]->polygons = std::move(loops);
    shapes[s]->edges.clear();
  }
}
