// glimshape — liblomvet
// Purpose: re-initialisation of a dense level set to the signed distance of its zero contour.
#ifndef LOMVET_REINIT_H
#define LOMVET_REINIT_H

#include <functional>

#include "lomvet/levelset2d.h"

/// Polled between the stages of a long operation; returning true abandons it.
using CancelCallback = std::function<bool()>;

/// @brief Replaces the values of grid by the signed distance to its zero contour.
///
/// The contour is the piecewise-linear marching-squares contour that `getLinesUnique`
/// extracts. Cells within `exactRadius` pixels of it get the exact Euclidean distance to its
/// segments (brute force over the segments near each cell); farther cells inherit the
/// nearest segment of a neighbour in two raster sweeps (vector propagation as in
/// Danielsson, "Euclidean distance mapping", CGIP 14, 1980, with segments instead of points)
/// and get the exact distance to that segment, an upper bound within a fraction of a pixel
/// of the true distance. The exact band narrows (to no less than 1.5 pixels) when the
/// contour is so dense that it would cost more than about 8 segment tests per cell.
/// Every cell keeps its side: cells with a value ≤ 0 (also NaN) become ≤ 0, cells above 0
/// stay above 0. Cell (x, y) lies at (x · x spacing, y · y spacing); distances are in the
/// same units (pixels at the usual spacing of 1.0).
/// @param grid the level set, changed in place; values far from the contour may be of any
///        magnitude (the evolver starts at 1e10).
/// @param cancel polled between stages; when it returns true the values are left unchanged.
/// @param exactRadius radius (pixels) of the exactly computed band around the contour.
/// @return false when cancelled, true otherwise.
/// @note Working arrays are kept per thread between calls (about 12 bytes per cell of the
///       largest grid seen, plus the contour), so repeated calls allocate nothing; the
///       cancel callback must therefore not re-initialise a grid itself.
/// @warning A grid without a contour (no sign change between 2 × 2 neighbours, or fewer
///          than 2 rows or columns) keeps its values.
bool ensureSignedDistance(FullLevelSet2D& grid, const CancelCallback& cancel = {},
                          double exactRadius = 5.0);

#endif
