// glimshape — levelset
// Purpose: SparseLevelSet2D, a level set stored only in a narrow band around its contour.
#ifndef LEVELSET_SPARSELEVELSET2D_H
#define LEVELSET_SPARSELEVELSET2D_H

#include <functional>
#include <map>
#include <vector>

#include "levelset/createlevelset.h"
#include "levelset/pointhash.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"

/// @brief A level set stored in a narrow band around its zero contour, one ordered map
/// from column to value per canvas row.
///
/// Memory and work grow with the length of the outline instead of the canvas area. After
/// construction from a dense level set the band holds every cell whose magnitude is at most
/// `constructionBand` (5 pixels); after `ensureSignedDistanceFMM` it holds the cells the
/// fast marching reached, about 4 pixels to each side of the contour. Between
/// re-initialisations motion changes values but not the set of stored cells.
///
/// Cells that are not stored read 0.0; callers test `have` first. Coordinates are canvas
/// pixels; the spacings are the base's (1.0 pixel).
class SparseLevelSet2D : public LevelSet2D {
 public:
  /// The cells of one row, by column.
  using Row = std::map<int, double>;

  /// Half-width (pixels) of the band kept when building from a dense level set.
  static constexpr double constructionBand = 5.0;
  /// Least bucket count of the fast marching's point maps (bands of more cells get one
  /// bucket per stored cell).
  static constexpr int fmmBuckets = 1001;
  /// Distance (pixels at unit spacing) beyond which the fast marching stops spreading.
  static constexpr double bandLimit = 3.1;
  /// Stands for an unknown (infinite) distance in the fast marching.
  static constexpr double unknownDistance = 1e11;

  /// @brief An empty band (no stored cell) over a width × height canvas.
  /// @warning Negative sizes count as 0.
  SparseLevelSet2D(int width, int height);

  /// @brief The band of a dense level set: every cell with |value| ≤ 5.0, read through
  /// its virtual interface. Prints "Added:" and the number of stored cells on stdout.
  explicit SparseLevelSet2D(const FullLevelSet2D& dense);

  ~SparseLevelSet2D() override;

  int getWidth() const override { return width; }
  int getHeight() const override { return height; }

  /// @brief The stored value at (x, y), or 0.0 when the cell is not stored (also outside
  /// the canvas). Never changes the band.
  double get(int x, int y) const override;

  /// @brief A reference to the value at (x, y); a canvas cell that is not stored is added
  /// to the band with the value 0.0.
  /// @warning Outside the canvas the reference is a scratch cell that belongs to no
  ///          position: writes through it are lost.
  double& operator()(int x, int y) override;

  /// @brief Whether the band stores (x, y); false outside the canvas.
  bool have(int x, int y) const override;

  /// @brief Whether canvas cell (x, y) is inside by the scan-line fill over the band (the
  /// rule by which a sparse shape marks the free-space mask): a stored cell by its own
  /// value; any other cell takes the side of the nearest stored cell to its left in its
  /// row (of the row's first cell when there is none); a row that stores no cell lies
  /// farther than the band from the outline and takes the side of the first cell of the
  /// nearest row above that stores one (below, for the leading rows). A value below 0 is
  /// inside. False outside the canvas and for an empty band.
  bool isInside(int x, int y) const;

  /// @brief The stored value, or for a cell the band does not store −constructionBand when
  /// it is inside (`isInside`) and +constructionBand when it is outside.
  ///
  /// For a level set as constructed, every cell nearer the outline than
  /// `constructionBand` is stored, so this is the nearest value on the right side; `get`
  /// reads 0.0 there, which lies on the outline itself.
  double getOrBandEdge(int x, int y) const;

  /// @brief Finite differences through `get` (value per pixel). At the first column (row)
  /// the backward and central differences fall back to the forward one, at the last column
  /// (row) the forward and central ones to the backward one.
  /// @warning On a canvas one cell wide (high) every x (y) difference is 0.
  double getDyCentral(int x, int y) const override;
  double getDyMinus(int x, int y) const override;
  double getDyPlus(int x, int y) const override;
  /// @brief `getDyMinus` when v > 0, else `getDyPlus`.
  double getDyUpwind(int x, int y, double v) const override;
  double getDxCentral(int x, int y) const override;
  double getDxMinus(int x, int y) const override;
  double getDxPlus(int x, int y) const override;
  /// @brief `getDxMinus` when v > 0, else `getDxPlus`.
  double getDxUpwind(int x, int y, double v) const override;

  /// @brief The five-point second-difference sum
  /// (φ(x+1,y) − 2φ + φ(x−1,y)) / hx² + (φ(x,y+1) − 2φ + φ(x,y−1)) / hy², read via `get`.
  double getCurvature(int x, int y) const override;

  /// @brief Sets dx = getDxUpwind(x, y, vx), dy = getDyUpwind(x, y, vy) and returns
  /// getCurvature(x, y).
  double getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                               double& dy) const override;

  /// @brief A key naming one grid edge, shared by the two cells that border it.
  ///
  /// With W the width: edge 0 ((x, y)–(x+1, y)) → (yW + x)·2; edge 1
  /// ((x+1, y)–(x+1, y+1)) → (yW + x + 1)·2 + 1; edge 2 ((x, y+1)–(x+1, y+1)) →
  /// ((y+1)W + x)·2; edge 3 ((x, y)–(x, y+1)) → (yW + x)·2 + 1.
  /// @return the key, or −1 for an edge code outside 0…3.
  int getUniqueIndexMI(int x, int y, int edge) const;

  /// @brief Extracts the zero contour by marching squares over the cells whose four
  /// corners are all stored.
  ///
  /// Same output format and case table (`MarchingSquares`) as
  /// FullLevelSet2D::getLinesUnique: each crossing of the contour with a grid edge appears
  /// once in points (linear interpolation, the midpoint when the corner values differ by
  /// less than 1e-16), and edges holds one pair of point indices per segment. A value of
  /// exactly 0 counts as inside.
  /// @param points cleared, then receives the crossing points (canvas pixels).
  /// @param edges cleared, then receives the segments.
  void getLinesUnique(ContourPoints& points, ContourEdges& edges) const;

  /// @brief Rebuilds the band as a signed distance field around the current zero contour
  /// by fast marching (J. A. Sethian, "A fast marching level set method for monotonically
  /// advancing fronts", PNAS 93, 1996).
  ///
  /// Seeds both cells of every crossed edge between stored cells with an interpolated
  /// distance, marches outward on each side (outside first) with an indexed min-heap and
  /// stops spreading beyond 3.1 × max(hx, hy); the band becomes the cells reached, with
  /// state × distance (negative inside). The march does not step off the canvas.
  /// Prints "doing FMM." and "step fmm: <seeds>" on stdout. The working state is kept per
  /// thread between calls (buckets, heap, spare map nodes), so repeated calls on bands of
  /// similar size allocate almost nothing.
  /// @warning Without a sign change between stored neighbours there are no seeds: the band
  ///          is kept as it is (every value stays on its side), so a shape that has grown
  ///          over the whole canvas keeps its values. An allocation failure throws and
  ///          leaves the band as it was.
  void ensureSignedDistanceFMM();

  /// @brief The distance (pixels) from the seed cell (x, y) to the contour, from its own
  /// value and those of its stored 4-neighbours on the other side.
  /// @return unknownDistance (1e11) when no stored neighbour lies on the other side.
  double estimateDistanceInit(int x, int y) const;

  /// @brief The fast-marching update of cell (x, y) from its 4-neighbours whose state is
  /// label (first-order upwind quadratic over an x and a y neighbour, else one neighbour
  /// plus the spacing).
  /// @param distance accepted distances (pixels); absent cells read 0.
  /// @param state cell states (−1 inside, +1 outside, 2 trial).
  /// @param label the side being marched (+1 or −1).
  /// @return the least, over every usable pair, of the quadratic's larger root (for a pair
  ///         whose distances differ by more than a diagonal step, which has no real root,
  ///         the smaller of its two single-neighbour estimates); without any usable pair
  ///         the best single neighbour plus its spacing; unknownDistance (1e11) when no
  ///         neighbour is usable. Always finite when a neighbour is.
  double estimateDistance(const PointHash<double>& distance, const PointHash<char>& state,
                          int label, int x, int y) const;

  /// @brief One explicit update step with a bound speed function (SpeedFunction of
  /// levelset/speed.h): evaluates f at every stored cell (rows and columns ascending), takes
  /// the smallest step it reports (at most 1e11) and adds step × speed to every stored value.
  /// The stored cells do not change. Prints "move with curvature." and "done curvature.".
  void moveWithCurvature(const std::function<double(LevelSet2D*, int, int, double*)>& f);

  /// Number of stored cells.
  int getCellCount() const;
  /// The rows of the band (one map per canvas row, ascending columns).
  const std::vector<Row>& getRows() const { return rows; }

 private:
  std::vector<Row> rows;
  int width = 0;
  int height = 0;
  double scratch = 0.0;
};

/// @brief A sparse level set from a mask: a dense grid over the whole canvas is seeded
/// (seedFromMask) and re-initialised, its band of magnitude ≤ 5 is kept, and the grid is
/// freed. Prints the "Added:" line of the construction.
/// @param mask one channel, 255 inside and 0 outside, of the canvas size.
/// @return a new object owned by the caller.
/// @warning An empty mask (no pixels or no channels) gives an empty 0 × 0 level set; a mask
///          without inside or without outside pixels gives an empty band.
template <>
SparseLevelSet2D* createLevelSetFromImage<SparseLevelSet2D>(const vorn::Image<unsigned char>& mask);

#endif
