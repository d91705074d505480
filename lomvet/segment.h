// glimshape — liblomvet
// Purpose: a contour segment and the squared distance from a point to it, shared by every
// code that measures distances to a marching-squares contour.
#ifndef LOMVET_SEGMENT_H
#define LOMVET_SEGMENT_H

#include "quarl/vec2.h"

/// @brief A contour segment a + t d, t in [0, 1], with 1 / |d|² (0 for a degenerate
/// segment, whose distance is then the distance to a).
///
/// Everyone who measures a distance to the contour builds segments with `between` and
/// measures with `segmentDistance2`, so two measures of one point against one segment agree
/// to the bit.
struct ContourSegment {
  double ax, ay, dx, dy, inv;

  /// @brief The segment from p to q (pixel coordinates), scaled by the grid spacings.
  static ContourSegment between(const vorn::Vec2<double>& p, const vorn::Vec2<double>& q,
                                double hx = 1.0, double hy = 1.0) {
    ContourSegment s{p.x * hx, p.y * hy, (q.x - p.x) * hx, (q.y - p.y) * hy, 0.0};
    const double len2 = s.dx * s.dx + s.dy * s.dy;
    s.inv = len2 > 0.0 ? 1.0 / len2 : 0.0;
    return s;
  }
};

/// @brief Squared distance from (px, py) to the segment (same units as its coordinates).
inline double segmentDistance2(const ContourSegment& s, double px, double py) {
  double qx = px - s.ax, qy = py - s.ay;
  double t = (qx * s.dx + qy * s.dy) * s.inv;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  qx -= t * s.dx;
  qy -= t * s.dy;
  return qx * qx + qy * qy;
}

#endif
