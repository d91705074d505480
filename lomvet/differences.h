// glimshape — liblomvet
// Purpose: finite differences and the curvature term, shared by every kind of level set.
#ifndef LOMVET_DIFFERENCES_H
#define LOMVET_DIFFERENCES_H

#include <utility>

/// @brief Finite differences over a width × height grid read through an accessor.
///
/// The kinds of level set differ only in what a read returns (mirrored values for the
/// dense grid, the rectangle's grid, stored-or-0 for the sparse band); the differences
/// themselves are the same and live here. Along a dimension of n ≥ 2 cells the backward
/// and central differences at the first cell fall back on the forward one, the forward and
/// central ones at the last cell on the backward one; cells beyond the border are read
/// through the accessor as they are. With n < 2 there is no neighbour to difference with
/// and every difference along that dimension is 0.
///
/// Everything is inline and the accessor is a template parameter, so a kind that reads
/// without virtual dispatch keeps doing so.
/// @tparam Read a callable double(int x, int y).
template <class Read>
class GridDifferences {
 public:
  /// @param read the accessor, kept by value (a lambda capturing the level set's `this`).
  /// @param width, height the grid's size (cells).
  /// @param hx, hy the spacings (pixels); must not be 0.
  GridDifferences(Read read, int width, int height, double hx, double hy)
      : read(std::move(read)), width(width), height(height), hx(hx), hy(hy) {}

  /// Backward, forward and central differences along x (value per pixel).
  double dxMinus(int x, int y) const {
    if (width < 2) return 0.0;
    if (x == 0) return forwardX(x, y);
    return backwardX(x, y);
  }
  double dxPlus(int x, int y) const {
    if (width < 2) return 0.0;
    if (x == width - 1) return backwardX(x, y);
    return forwardX(x, y);
  }
  double dxCentral(int x, int y) const {
    if (width < 2) return 0.0;
    if (x == 0) return forwardX(x, y);
    if (x == width - 1) return backwardX(x, y);
    return (read(x + 1, y) - read(x - 1, y)) / (2.0 * hx);
  }
  /// The backward x difference when v > 0, the forward one otherwise.
  double dxUpwind(int x, int y, double v) const {
    return v > 0 ? dxMinus(x, y) : dxPlus(x, y);
  }

  /// Backward, forward and central differences along y (value per pixel).
  double dyMinus(int x, int y) const {
    if (height < 2) return 0.0;
    if (y == 0) return forwardY(x, y);
    return backwardY(x, y);
  }
  double dyPlus(int x, int y) const {
    if (height < 2) return 0.0;
    if (y == height - 1) return backwardY(x, y);
    return forwardY(x, y);
  }
  double dyCentral(int x, int y) const {
    if (height < 2) return 0.0;
    if (y == 0) return forwardY(x, y);
    if (y == height - 1) return backwardY(x, y);
    return (read(x, y + 1) - read(x, y - 1)) / (2.0 * hy);
  }
  /// The backward y difference when v > 0, the forward one otherwise.
  double dyUpwind(int x, int y, double v) const {
    return v > 0 ? dyMinus(x, y) : dyPlus(x, y);
  }

  /// @brief The five-point second-difference sum
  /// (φ(x+1,y) − 2φ + φ(x−1,y)) / hx² + (φ(x,y+1) − 2φ + φ(x,y−1)) / hy², with no border
  /// rule of its own: the neighbours are read as the accessor gives them.
  double curvature(int x, int y) const {
    const double c = read(x, y);
    return (read(x + 1, y) - 2.0 * c + read(x - 1, y)) / (hx * hx) +
           (read(x, y + 1) - 2.0 * c + read(x, y - 1)) / (hy * hy);
  }

  /// @brief Sets dx and dy to the upwind differences for vx and vy; returns the curvature.
  double curvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                            double& dy) const {
    dx = dxUpwind(x, y, vx);
    dy = dyUpwind(x, y, vy);
    return curvature(x, y);
  }

 private:
  double backwardX(int x, int y) const { return (read(x, y) - read(x - 1, y)) / hx; }
  double forwardX(int x, int y) const { return (read(x + 1, y) - read(x, y)) / hx; }
  double backwardY(int x, int y) const { return (read(x, y) - read(x, y - 1)) / hy; }
  double forwardY(int x, int y) const { return (read(x, y + 1) - read(x, y)) / hy; }

  Read read;
  int width;
  int height;
  double hx;
  double hy;
};

#endif
