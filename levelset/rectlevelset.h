// glimshape — levelset
// Purpose: RectLevelSet, a dense grid over the shape's bounding rectangle, in canvas coordinates.
#ifndef LEVELSET_RECTLEVELSET_H
#define LEVELSET_RECTLEVELSET_H

#include "levelset/createlevelset.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"

/// @brief A level set stored as a dense grid over the bounding rectangle of its shape
/// (padded by 5 cells), placed at an origin (x0, y0) on the canvas.
///
/// Every operation takes canvas coordinates. Cells outside the rectangle are not stored and
/// read as the outside value 1.0 (outside the shape). Memory and time grow with the
/// rectangle's area instead of the canvas's; the shape's motion keeps the rectangle large
/// enough through `ensureSignedDistanceFMM`, which re-frames it when the inside comes
/// within 2 cells of its border.
///
/// Invariant: 0 ≤ x0, 0 ≤ y0, x0 + grid width ≤ canvas width, y0 + grid height ≤ canvas
/// height.
class RectLevelSet : public LevelSet2D {
 public:
  /// The value of every cell outside the rectangle.
  static constexpr double outsideValue = 1.0;
  /// Cells added on each side of the inside's bounding box at construction.
  static constexpr int padding = 5;
  /// Cells added on each side of the inside's bounding box when the rectangle is re-framed.
  static constexpr int reframeMargin = 6;
  /// The inside must stay this many cells away from the rectangle's border to keep it.
  static constexpr int keepMargin = 2;
  /// The value of cells that a re-framed rectangle newly covers (outside, before marching).
  static constexpr double newCellValue = 2.0;

  /// An empty rectangle on a 0 × 0 canvas: stores nothing.
  RectLevelSet();

  /// @brief The rectangle of a dense level set over the whole canvas.
  ///
  /// The bounding box of the cells whose value is below 0, padded by 5 cells on each side
  /// and clipped to the canvas, with the dense values copied into it. Without such a cell
  /// the box is the single cell (width / 2, height / 2) (integer division).
  /// @param full the dense level set; its width and height are the canvas size (cells).
  explicit RectLevelSet(const FullLevelSet2D& full);

  RectLevelSet(const RectLevelSet&) = default;
  RectLevelSet& operator=(const RectLevelSet&) = default;
  ~RectLevelSet() override;

  /// The canvas width (cells), not the rectangle's.
  int getWidth() const override { return canvasWidth; }
  /// The canvas height (cells), not the rectangle's.
  int getHeight() const override { return canvasHeight; }
  /// The grid's spacings (pixels).
  double getXSpace() const override { return grid.getXSpace(); }
  double getYSpace() const override { return grid.getYSpace(); }

  /// @brief The value at canvas cell (x, y); 1.0 outside the rectangle.
  ///
  /// Final and inline, so that the speed kernels, which read it several times per cell and
  /// step through a RectLevelSet, call it directly.
  double get(int x, int y) const final {
    return have(x, y) ? grid.FullLevelSet2D::get(x - x0, y - y0) : outsideValue;
  }

  /// @brief A reference to the value at canvas cell (x, y).
  /// @warning Outside the rectangle the reference is a cell of this object that holds 1.0
  ///          on every call; what is written through it is lost.
  double& operator()(int x, int y) override;

  /// @brief Whether (x, y) lies in the rectangle.
  bool have(int x, int y) const final {
    return x >= x0 && y >= y0 && x - x0 < grid.getWidth() && y - y0 < grid.getHeight();
  }

  /// @brief Finite differences at canvas cell (x, y), computed on the grid (value per
  /// pixel). The grid reads mirrored values beyond its border; at the first column (row)
  /// the backward and central differences are the grid's forward one, at the last column
  /// (row) the forward and central ones are the grid's backward one.
  double getDxMinus(int x, int y) const override;
  double getDxPlus(int x, int y) const override;
  double getDxCentral(int x, int y) const override;
  /// @brief The grid's backward x difference when v > 0, its forward one otherwise.
  double getDxUpwind(int x, int y, double v) const override;
  double getDyMinus(int x, int y) const override;
  double getDyPlus(int x, int y) const override;
  double getDyCentral(int x, int y) const override;
  /// @brief The grid's backward y difference when v > 0, its forward one otherwise.
  double getDyUpwind(int x, int y, double v) const override;

  /// @brief The five-point second-difference sum on the grid (mirrored reads).
  double getCurvature(int x, int y) const override;

  /// @brief Sets dx and dy to the grid's upwind differences for vx and vy and returns the
  /// grid's curvature, all at canvas cell (x, y).
  double getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                               double& dy) const override;

  /// @brief Re-frames the rectangle if needed, then re-initialises the grid to a signed
  /// distance (the library's dense re-initialisation).
  ///
  /// When the bounding box of the cells below 0 comes within 2 cells of the rectangle's
  /// border, the rectangle becomes that box plus 6 cells on each side (clipped to the
  /// canvas); cells it newly covers start at 2.0. A rectangle without any inside cell is
  /// kept as it is.
  void ensureSignedDistanceFMM();

  /// Canvas column of grid cell (0, 0).
  int getX0() const { return x0; }
  /// Canvas row of grid cell (0, 0).
  int getY0() const { return y0; }
  /// The grid of the rectangle, in grid coordinates (cell (0, 0) is canvas (x0, y0)).
  const FullLevelSet2D& getGrid() const { return grid; }
  FullLevelSet2D& getGrid() { return grid; }

 private:
  FullLevelSet2D grid;
  int x0 = 0;
  int y0 = 0;
  int canvasWidth = 0;
  int canvasHeight = 0;
  double outside = outsideValue;
};

/// @brief A new rectangle level set seeded from a mask; the caller owns it.
///
/// The whole canvas is seeded and re-initialised as a dense grid first, then cut down to
/// the rectangle (see RectLevelSet(const FullLevelSet2D&)).
/// @param mask one channel, 255 inside and 0 outside, of the canvas size.
/// @warning An empty mask gives an empty rectangle on a 0 × 0 canvas.
template <>
RectLevelSet* createLevelSetFromImage<RectLevelSet>(const vorn::Image<unsigned char>& mask);

#endif
