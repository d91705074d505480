// glimshape — liblomvet
// Purpose: the marching-squares case table, border closing of contours and loop linking.
#ifndef LOMVET_MARCHINGSQUARES_H
#define LOMVET_MARCHINGSQUARES_H

#include <vector>

#include "lomvet/levelset2d.h"

/// @brief The marching-squares case table shared by every level-set representation.
///
/// Corners of cell (x, y): c0 = (x, y), c1 = (x + 1, y), c2 = (x + 1, y + 1),
/// c3 = (x, y + 1). The case index sets bit 1 for c0, 2 for c1, 4 for c2 and 8 for c3 when
/// that corner is outside (value > 0). Edge codes:
///
///          edge 0
///     c0 ---------- c1
///      |            |
///  e 3 |            | edge 1
///      |            |
///     c3 ---------- c2
///          edge 2
///
/// Edge 0 runs c0 → c1, edge 1 c1 → c2, edge 2 c3 → c2 and edge 3 c0 → c3.
/// The saddle cases 5 and 10 join the two inside corners (cut off each outside corner),
/// so the inside is 8-connected and the outside 4-connected, in every cell alike.
/// Each segment lists its edge codes so that the inside lies where
/// cross(second − first, p − first) > 0.
struct MarchingSquares {
  /// Four edge codes per case: the first segment's two, then the second's (−1 if unused).
  static const int lut[16][4];
  /// Number of segments per case (0, 1 or 2).
  static const int lut_size[16];

  /// @brief The fraction from the first corner value a towards b where the line crosses 0.
  ///
  /// t = −a / (b − a), the midpoint 0.5 when |b − a| < 1e-16; non-finite results (infinite
  /// or NaN corner values) become 0.5 and the rest is clamped to [0, 1].
  static double crossing(double a, double b);
};

/// @brief Closes every contour that leaves the grid of ls along the grid's border.
///
/// Walks the border cells of ls (canvas coordinates 0..width − 1, 0..height − 1) and, for
/// every run of inside cells (value ≤ 0) between two crossings, appends edges from the
/// contour's end at the first crossing along the border (through the canvas corners the
/// run covers) to the contour's end at the second crossing. Contour ends are matched to
/// existing points with a degree of 1 at the crossing position; a crossing without one gets
/// a new point. A border that is inside all round becomes one loop through the four
/// corners. Border cells where `have` is false take the side of the cell before them; when
/// no border cell is stored at all, the border takes the side of the last stored cell of
/// the first row that stores any (the side a scan-line fill gives the cells to its right),
/// so a shape that holds the whole border keeps its outer loop.
/// @param points contour points from getLinesUnique (appended to).
/// @param edges contour segments from getLinesUnique (appended to).
/// @param ls the level set, read through its interface in canvas coordinates.
/// @warning Does nothing for a null ls or a grid narrower or lower than 2 cells.
void addBorderEdges(ContourPoints& points, ContourEdges& edges, const LevelSet2D* ls);

/// @brief Links edges into loops of point indices.
///
/// Each loop lists the indices of one closed loop in order, each index once; the closing
/// edge from the last back to the first is implied. Loops follow the direction of their
/// first edge. Where more than two edges meet at a point the walk splits off a loop every
/// time it returns to a point it already holds. An open chain (not closed by the edges) is
/// returned as a loop too; loops of fewer than 3 points are dropped, and edges naming a
/// point that does not exist are ignored.
/// @param points the contour points (only their count is used).
/// @param edges the contour segments.
std::vector<std::vector<int>> getPolygons(const ContourPoints& points, const ContourEdges& edges);

#endif
