// glimshape — svg
// Purpose: the receiver of drawing commands shared by the path parser, builders and drawers.
#ifndef GLIM_SVG_PATH_SINK_H
#define GLIM_SVG_PATH_SINK_H

#include "quarl/vec2.h"

/// @brief Receives an outline as a sequence of absolute drawing commands.
///
/// The path-data parser writes into a sink, `Path` collects from one (`PathBuilder`) and
/// replays into one (`Path::feed`), and the raster and SVG drawers implement it, so every
/// consumer sees the same commands. All coordinates are absolute, in the caller's units.
/// The start of each command is the end of the one before it; after `closePath` it is the
/// point of the last `moveTo` (the start of the closed subpath), (0, 0) before any move.
class PathSink {
public:
  virtual ~PathSink() = default;

  /// @brief Starts a new subpath at @p p.
  virtual void moveTo(const vorn::Vec2<double>& p) = 0;
  /// @brief A straight segment to @p p.
  virtual void lineTo(const vorn::Vec2<double>& p) = 0;
  /// @brief A cubic Bézier segment with control points @p c1, @p c2 ending at @p p.
  virtual void curveTo(const vorn::Vec2<double>& c1, const vorn::Vec2<double>& c2,
                       const vorn::Vec2<double>& p) = 0;
  /// @brief An arc node.
  /// @param end the end point as written in the path data (only its x picks the side
  ///        when the arc is flattened)
  /// @param radius the arc radius, same units as the points
  /// @param startAngle, endAngle the angles stored with the node (0 and 360 from parsing)
  virtual void arc(const vorn::Vec2<double>& end, double radius, double startAngle,
                   double endAngle) = 0;
  /// @brief Closes the current subpath.
  virtual void closePath() = 0;
};

#endif
