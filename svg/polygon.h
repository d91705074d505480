// glimshape — svg
// Purpose: the indexed polygon (points plus closed loops of indices) that outlines become.
#ifndef GLIM_SVG_POLYGON_H
#define GLIM_SVG_POLYGON_H

#include "quarl/vec2.h"

#include <vector>

/// @brief A set of closed loops over one shared point list.
///
/// Points are in canvas pixels and stored once each, in the order they were produced.
/// Each loop lists indices into `points` in order around the loop; the loop closes
/// implicitly from its last index back to its first, which is not repeated.
struct Polygon {
  std::vector<vorn::Vec2<double>> points;
  std::vector<std::vector<int>> loops;
};

#endif
