// glimshape — shapes
// Purpose: ZazizEvozuBase, the interface through which the evolver, the view and the panels
// handle one evolving shape, and the factory that picks its level-set kind.
#ifndef GLIM_SHAPES_ZAZIZEVOZUBASE_H
#define GLIM_SHAPES_ZAZIZEVOZUBASE_H

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "levelset/cachedimage.h"
#include "lomvet/levelset2d.h"
#include "quarl/image.h"
#include "quarl/vec2.h"
#include "svg/polygon.h"

typedef struct _cairo cairo_t;

/// @brief A canvas cell that `ZazizEvozuBase::markInsidePixels` marks, with the value it
/// lowers the obstacle grid to there: below 0 inside the shape, from 0 to below
/// `ZazizEvozuBase::markedBelow` on the cells just outside it.
struct MarkedCell {
  int x;
  int y;
  double value;
};

/// @brief One evolving region of the canvas, over one level-set kind.
///
/// Sign convention of the level set: negative inside, positive outside, canvas pixels.
/// Shapes are created by `create`, held through `std::shared_ptr<ZazizEvozuBase>` and
/// own their level sets. Moving runs on the evolver's worker under the evolver's mutex;
/// drawing runs on the GUI thread under the same mutex.
class ZazizEvozuBase {
 public:
  /// Program-wide serial number of the next shape; every construction takes one.
  static std::atomic<int> s_zazizEvozuIndex;
  /// Outside cells whose value lies below this (pixels) are marked into the obstacle grid
  /// by `markInsidePixels`.
  static constexpr double markedBelow = 1.0;

  /// @brief A new shape of the kind named by the settings' `levelSetType`:
  /// "RectLevelSet", "SparseLevelSet", anything else the dense grid.
  /// @param polygon the outline the shape was made from (canvas pixels), kept unchanged.
  /// @param mask one channel of the canvas size, 255 inside the shape.
  static std::unique_ptr<ZazizEvozuBase> create(const Polygon& polygon,
                                                const vorn::Image<unsigned char>& mask);

  ZazizEvozuBase();
  ZazizEvozuBase(const ZazizEvozuBase&) = delete;
  ZazizEvozuBase& operator=(const ZazizEvozuBase&) = delete;

  // The virtual interface, in slot order.
  virtual ~ZazizEvozuBase();
  /// Four channels of the canvas size: white, alpha (5 − value) / 10 clamped to [0, 1].
  virtual vorn::Image<float> getTextureImage() = 0;
  /// No effect in every kind (called at the end of `move`).
  virtual void updateStiffMask() = 0;
  /// For each loop: glBegin(mode), one vertex per index, glEnd.
  virtual void drawPolygonsGL(unsigned int mode, const std::vector<vorn::Vec2<double>>& points,
                              const std::vector<std::vector<int>>& loops) = 0;
  /// Draws the contour points as GL points.
  virtual void drawPointsGL() = 0;
  /// Recomputes contour points, edges and polygons from the current level set.
  virtual void updatePolygons() = 0;
  /// Interface slots that nothing calls.
  virtual void subdividePolygons() = 0;
  virtual void fixStiffShape(double amount) = 0;
  /// Even-odd fill, outline and, when selected, the stiffness overlay, into the current
  /// GL context.
  virtual void drawGL() = 0;
  /// Fills and strokes each polygon into a cairo context.
  virtual void drawCairo(cairo_t* cr) = 0;
  /// @brief One evolver pass of this shape.
  /// @param mask the free-space mask (1 free, 0 taken by another shape).
  /// @param obstacles signed distance to all other shapes (negative inside them).
  /// @param steps explicit steps to run; below 1 only re-initialises.
  /// @param reinitPeriod re-initialise after every this many steps (at least 1).
  virtual void move(const vorn::Image<unsigned char>& mask, const FullLevelSet2D& obstacles,
                    int steps, int reinitPeriod) = 0;
  /// Canvas size (cells) of the shape's level set.
  virtual int getWidth() const = 0;
  virtual int getHeight() const = 0;
  /// One channel of the canvas size: 255 where the shape's value is ≤ 0, else 0.
  virtual vorn::Image<unsigned char> getBinaryImage() = 0;
  /// The current level set's value and whether it stores one at canvas cell (x, y).
  virtual double get(int x, int y) const = 0;
  virtual bool have(int x, int y) const = 0;
  /// @brief Restores the initial level set, draws a motion model from the settings'
  /// distributions and sets noise, stiffness, speed and method from it; clears the
  /// frozen and selected flags.
  virtual void reset();
  /// @brief Clears the shape's inside (values below 0) in the free-space mask and lowers
  /// the obstacle grid to the shape's own values (never raises it) on the inside and on
  /// the stored cells just outside it (values from 0 to below `markedBelow`).
  ///
  /// The evolver re-initialises the marked grid to the distance of its zero contour. With
  /// the inside alone marked on a grid of 1e10, that contour would run through the other
  /// shapes' inside cells, up to a cell short of their outlines, and a moving shape would
  /// grow that far into them. A cell 4-adjacent to the inside holds a value below 1 in a
  /// signed distance, so with those cells marked too every crossing of the union's outline
  /// lies between real values, where the shapes' own outlines are. Only values the level
  /// set stores take part: the rectangle kind's stand-in beyond its rectangle and the
  /// cells off the sparse kind's band are not marked.
  virtual void markInsidePixels(vorn::Image<unsigned char>& mask, FullLevelSet2D& obstacles) = 0;
  /// @brief Whether canvas cell (x, y) is inside the shape as `markInsidePixels` counts it
  /// for the free-space mask: here, a stored value below 0.
  virtual bool isInside(int x, int y) const;
  /// @brief Appends the cells of a width × height canvas that `markInsidePixels` marks in
  /// the obstacle grid (the inside and the cells just outside it), each once, in row order
  /// (rows from the top, columns from the left), with the value each lowers a grid of 1e10
  /// to; the inside cells are those with a value below 0.
  ///
  /// The evolver's worker keeps these lists instead of marking every shape for every step.
  /// The kinds walk their level sets directly; the default marks a scratch canvas, so any
  /// shape that can mark itself can list itself.
  /// @param cells appended to (not cleared).
  virtual void getMarkedCells(int width, int height, std::vector<MarkedCell>& cells);
  /// Stores the name; "original" selects the kernel `move`, any other `move_speed_based`.
  virtual void setEvolutionMethod(const std::string& name);
  /// Stores the name and builds the stiffness image ("perlin", "perlin_hard", else none).
  virtual void setNoiseType(const std::string& name);

  /// Copies fill colour, line colour and line width from another shape.
  void copyStyle(const ZazizEvozuBase& other);

  /// @brief Deletes the texture names that shapes made in the current GL context (the
  /// stiffness overlays and the polygon-less fallback) and forgets them. A view calls it
  /// while its context is still current, before the context is destroyed; drawing later
  /// makes new names.
  static void releaseGLResources();

  /// @brief One line of tokens, each followed by a space: per polygon "poly", the vertex
  /// count and six numbers per vertex (smooth-curve control points); then "color:",
  /// "lineColor:" (#%06x, red in the lowest byte) and "line:" with the line width.
  std::string getSimpleTextRepresentation() const;

  /// Serial number; names the shape's stiffness file.
  int index = 0;
  /// Outline stroke width (pixels), drawn from [1, 3).
  double lineWidth = 1.0;
  /// Fill colour, red, green, blue in [0, 1).
  float fillColor[3] = {0.0f, 0.0f, 0.0f};
  /// Outline colour: 1.15 × the fill colour, not clamped.
  float lineColor[3] = {0.0f, 0.0f, 0.0f};
  /// Strength factor of the motion kernels, drawn at every reset.
  double stiffness = 0.0;
  /// Motion steps per evolver pass (truncated), drawn at every reset.
  double speed = 0.0;
  /// The stiffness image the kernels sample.
  CachedImage stiffImage;
  /// Contour of the current level set (canvas pixels) and its segments.
  ContourPoints points;
  ContourEdges edges;
  /// Closed loops of indices into `points`.
  std::vector<std::vector<int>> polygons;
  /// The polygon the shape was created from, unchanged for its life.
  Polygon sourcePolygon;
  /// While set, drawing and saving use the stored polygons instead of recomputing them.
  bool polygonsFrozen = false;
  /// Set by picking; the shape draws itself highlighted.
  bool selected = false;
  /// The last names given to setNoiseType and setEvolutionMethod.
  std::string noiseType;
  std::string evolutionMethod;
};

#endif
