// glimshape — liblomvet
// Purpose: LevelSet2D, the abstract level-set interface, and FullLevelSet2D, the dense grid.
#ifndef LOMVET_LEVELSET2D_H
#define LOMVET_LEVELSET2D_H

#include <utility>
#include <vector>

#include "quarl/vec2.h"

/// Contour points in grid (canvas) pixel coordinates.
using ContourPoints = std::vector<vorn::Vec2<double>>;
/// Contour segments as pairs of indices into a ContourPoints vector.
using ContourEdges = std::vector<std::pair<int, int>>;

/// @brief The abstract level-set interface shared by every representation.
///
/// Sign convention: a value below 0 is inside the shape, above 0 outside; the outline is
/// the zero contour. Coordinates are integer pixel positions (x to the right, y down the
/// rows) and, after re-initialisation, values are distances in pixels.
class LevelSet2D {
 public:
  LevelSet2D() = default;
  LevelSet2D(const LevelSet2D&) = default;
  LevelSet2D& operator=(const LevelSet2D&) = default;
  virtual ~LevelSet2D();

  /// Number of columns of the represented canvas.
  virtual int getWidth() const = 0;
  /// Number of rows of the represented canvas.
  virtual int getHeight() const = 0;
  /// Grid spacing along x (1.0 on construction).
  virtual double getXSpace() const;
  /// Grid spacing along y (1.0 on construction).
  virtual double getYSpace() const;
  /// @brief The value at (x, y) (cells).
  virtual double get(int x, int y) const = 0;
  /// @brief A writable reference to the value at (x, y) (cells).
  virtual double& operator()(int x, int y) = 0;
  /// Central, backward and forward differences along y (value per pixel).
  virtual double getDyCentral(int x, int y) const = 0;
  virtual double getDyMinus(int x, int y) const = 0;
  virtual double getDyPlus(int x, int y) const = 0;
  /// @brief The backward y difference when v > 0, the forward one otherwise.
  /// @param v velocity component along y (its sign picks the side).
  virtual double getDyUpwind(int x, int y, double v) const = 0;
  /// Central, backward and forward differences along x (value per pixel).
  virtual double getDxCentral(int x, int y) const = 0;
  virtual double getDxMinus(int x, int y) const = 0;
  virtual double getDxPlus(int x, int y) const = 0;
  /// @brief The backward x difference when v > 0, the forward one otherwise.
  virtual double getDxUpwind(int x, int y, double v) const = 0;
  /// @brief The curvature term at (x, y): the five-point second-difference sum.
  virtual double getCurvature(int x, int y) const = 0;
  /// @brief Upwind differences and curvature in one call.
  /// @param vx, vy velocity components choosing the upwind sides.
  /// @param dx receives the upwind x difference for vx; @param dy the upwind y difference.
  /// @return the curvature at (x, y).
  virtual double getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                                       double& dy) const = 0;
  /// @brief Whether the representation stores a value at (x, y).
  virtual bool have(int x, int y) const = 0;

  /// Spacing along x and y in pixels.
  double xSpace = 1.0;
  double ySpace = 1.0;
};

/// @brief Index @p a reflected about the border cells of a dimension of @p n cells, with
/// period 2n, as `FullLevelSet2D` reads beyond its border: −1 gives 1, n gives n − 1.
/// @warning @p n must be positive.
int mirrorIndex(int a, int n);

/// @brief A dense width × height grid of doubles, row-major (index x + y × width).
///
/// `get` and `operator()` accept coordinates outside the grid and mirror them about the
/// border cells: along a dimension of size n, index a reads |a| when |a| < n and
/// 2n − 1 − |a| otherwise (so −1 reads 1 and n reads n − 1), repeating with period 2n
/// further out:
///
///     ... c b | a b c d | d c ...
///
/// The differences and the curvature are those of GridDifferences (lomvet/differences.h)
/// over these mirrored reads: one-sided at the first and last column and row, 0 across a
/// grid of a single column or row.
///
/// The update buffer is a second array of the same size for callers that compute all
/// speeds of a step before applying them.
class FullLevelSet2D : public LevelSet2D {
 public:
  /// An empty 0 × 0 grid.
  FullLevelSet2D();
  /// @brief A zero-filled grid of width × height cells, spacing 1.0.
  /// @warning Negative sizes give an empty grid; a size too large to allocate throws.
  FullLevelSet2D(int width, int height);
  FullLevelSet2D(const FullLevelSet2D&) = default;
  /// @brief Takes the other grid's arrays; the other becomes a valid empty 0 × 0 grid.
  FullLevelSet2D(FullLevelSet2D&& other) noexcept;
  FullLevelSet2D& operator=(const FullLevelSet2D&) = default;
  /// @brief Takes the other grid's arrays; the other becomes a valid empty 0 × 0 grid.
  FullLevelSet2D& operator=(FullLevelSet2D&& other) noexcept;
  ~FullLevelSet2D() override;

  int getWidth() const override { return width; }
  int getHeight() const override { return height; }
  /// @brief The value at (x, y), mirrored outside the grid.
  /// @warning An empty grid reads 0.0.
  double get(int x, int y) const override {
    // Inside the grid, where nearly every read falls, no mirroring is needed; the speed
    // kernels read several values per cell and step.
    if (static_cast<unsigned>(x) < static_cast<unsigned>(width) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(height))
      return values[static_cast<std::size_t>(x) +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
    return getMirrored(x, y);
  }
  /// @brief A reference to the value at (x, y), mirrored outside the grid.
  /// @warning An empty grid hands out a scratch cell that belongs to no position.
  double& operator()(int x, int y) override;
  double getDyCentral(int x, int y) const override;
  double getDyMinus(int x, int y) const override;
  double getDyPlus(int x, int y) const override;
  double getDyUpwind(int x, int y, double v) const override;
  double getDxCentral(int x, int y) const override;
  double getDxMinus(int x, int y) const override;
  double getDxPlus(int x, int y) const override;
  double getDxUpwind(int x, int y, double v) const override;
  double getCurvature(int x, int y) const override;
  double getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                               double& dy) const override;
  /// True exactly for the cells of the grid.
  bool have(int x, int y) const override;

  /// @brief Frees both arrays; the grid becomes 0 × 0 and may be given new dimensions.
  virtual void release();

  /// @brief Releases the grid, then allocates a zero-filled width × height grid.
  /// The spacings are kept.
  void resize(int width, int height);

  /// @brief Replaces the values by a signed distance to the current zero contour.
  ///
  /// Every cell keeps its side (a value of 0 counts as inside) and the zero contour is the
  /// one `getLinesUnique` extracts. A grid without a contour keeps its values.
  /// Same as `ensureSignedDistance(*this)`; see lomvet/reinit.h.
  void ensureSignedDistanceFMM();

  /// @brief Extracts the zero contour by marching squares over every cell.
  ///
  /// Clears both vectors, then appends every crossing of the contour with a grid edge once
  /// (linear interpolation t = −a / (b − a) between the edge's corner values a and b; the
  /// midpoint when |b − a| < 1e-16) and one pair of point indices per segment. Every
  /// segment (a, b) has the inside on the side where cross(b − a, p − a) > 0.
  /// @param points receives the crossing points in pixel coordinates.
  /// @param edges receives the segments.
  void getLinesUnique(ContourPoints& points, ContourEdges& edges) const;

  /// Row-major values, width × height.
  double* getValues() { return values.data(); }
  const double* getValues() const { return values.data(); }

  int width = 0;
  int height = 0;
  std::vector<double> values;
  std::vector<double> updateBuffer;

 private:
  std::size_t index(int x, int y) const;
  double getMirrored(int x, int y) const;
  double scratch = 0.0;
};

#endif
