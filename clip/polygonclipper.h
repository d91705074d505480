// glimshape — clip
// Purpose: PolygonClipper, the boolean operations (union, difference) on indexed polygons,
// done by the Clipper library over its integer coordinates.
#ifndef GLIM_CLIP_POLYGONCLIPPER_H
#define GLIM_CLIP_POLYGONCLIPPER_H

#include <vector>

#include "quarl/vec2.h"

/// @brief Union and difference of indexed polygons: a point list plus closed loops of
/// indices into it (the form of `Polygon` and of a shape's contour).
///
/// Every loop of both operands is an outer contour and the inside is decided by the
/// even-odd rule over all loops of one operand, so a loop lying inside another one is a
/// hole, and a self-crossing loop alternates inside and outside at each crossing.
///
/// Coordinates are canvas pixels. Clipper works on integers: points are multiplied by
/// `scale` (2^30) and rounded, so every input point moves by at most 2^-31 pixel
/// (about 5e-10). A power of two keeps the conversion back exact, and with |x|, |y| at
/// most `maxCoordinate` (2^23) every scaled coordinate is an integer a double holds
/// exactly, far below Clipper's range limit of 2^62.
class PolygonClipper {
 public:
  /// The boolean operation.
  enum Operation : int {
    Union = 0,       ///< inside either operand
    Difference = 1,  ///< inside the subject and outside the clip polygon; any value
                     ///< other than Union acts as Difference
  };

  /// Pixels to Clipper units.
  static constexpr double scale = 1073741824.0;
  /// Largest accepted |x| and |y| of a point that a loop uses (pixels).
  static constexpr double maxCoordinate = 8388608.0;

  /// @brief Replaces the subject by subject ∪ clip or subject − clip.
  ///
  /// Every result contour, outer outline or hole alike, becomes an ordinary loop; hole
  /// flags are not kept, the even-odd rule over the loops gives the same region. Result
  /// vertices that coincide share one point: two result points closer than 1e-10 pixel in
  /// x and y are one point, and since the integer grid is 2^-30 ≈ 9.3e-10 apart that is
  /// exactly equality on the grid. Loops of fewer than 3 points enclose nothing and are
  /// ignored on input. An empty result leaves no points and no loops.
  /// @param points subject points (pixels), replaced by the result's points.
  /// @param loops subject loops, replaced by the result's loops.
  /// @param clipPoints points of the clip polygon (pixels).
  /// @param clipLoops loops of the clip polygon.
  /// @param operation Union, or Difference (subject minus clip polygon).
  /// @return true when the subject holds the result; false, with the subject unchanged,
  /// when a loop names a point that does not exist, a used point is not finite or lies
  /// beyond ±`maxCoordinate`, or Clipper fails or returns points outside both operands'
  /// bounds.
  static bool clip(std::vector<vorn::Vec2<double>>& points, std::vector<std::vector<int>>& loops,
                   const std::vector<vorn::Vec2<double>>& clipPoints,
                   const std::vector<std::vector<int>>& clipLoops, Operation operation);
};

#endif
