// glimshape — shapes
// Purpose: ZazizEvozu<LevelSetT>, one evolving shape over the dense, rectangle or sparse
// level-set kind: motion, reset, occupancy marking, polygons and drawing.
#ifndef GLIM_SHAPES_ZAZIZEVOZU_H
#define GLIM_SHAPES_ZAZIZEVOZU_H

#include <memory>
#include <string>
#include <vector>

#include "levelset/cachedimage.h"
#include "levelset/fulllevelset.h"
#include "levelset/rectlevelset.h"
#include "levelset/sparselevelset2d.h"
#include "levelset/speed.h"
#include "shapes/zazizevozubase.h"

/// @brief A shape over one level-set kind: `FullLevelSet` (a grid over the whole canvas),
/// `RectLevelSet` (a grid over the shape's rectangle) or `SparseLevelSet2D` (a narrow band).
///
/// The shape owns its current level set, which `move` evolves, and its initial level set,
/// built from the same mask and never moved: the motion kernels pull towards it and
/// `reset` copies it back. All coordinates are canvas pixels whatever the kind.
///
/// Where the kinds store nothing they read differently: the rectangle kind reads 1.0
/// (outside) beyond its rectangle, the sparse kind 0.0 off its band. The kernels sample the
/// initial level set there (the sparse one as its band edge on the cell's side, see
/// `initialValue`), so the same shape grows at different rates in the three kinds.
template <class LevelSetT>
class ZazizEvozu : public ZazizEvozuBase {
 public:
  /// The speed kernels this kind can be moved with.
  using Kernel = SpeedKernel<LevelSetT, CachedImage>;

  /// @brief A shape from its outline and mask, reset once (a motion model drawn).
  ///
  /// Draws, in this order, three `drand48()` values for the fill colour (blue, green, red),
  /// one for the line width, then builds the current and the initial level set from the
  /// mask and resets (which draws the motion model, the stiffness image, the stiffness and
  /// the speed).
  /// @param polygon the source outline (canvas pixels), kept unchanged.
  /// @param mask one channel of the canvas size, 255 inside.
  ZazizEvozu(const Polygon& polygon, const vorn::Image<unsigned char>& mask);
  ~ZazizEvozu() override;

  vorn::Image<float> getTextureImage() override;
  void updateStiffMask() override;
  void drawPolygonsGL(unsigned int mode, const std::vector<vorn::Vec2<double>>& points,
                      const std::vector<std::vector<int>>& loops) override;
  void drawPointsGL() override;
  void updatePolygons() override;
  void subdividePolygons() override;
  void fixStiffShape(double amount) override;
  void drawGL() override;
  void drawCairo(cairo_t* cr) override;
  /// @brief Runs `steps` explicit update steps with the shape's kernel, re-initialising
  /// after step i whenever i mod reinitPeriod is 0 and once more at the end.
  /// @param steps below 1 only re-initialises.
  /// @param reinitPeriod at least 1; smaller values count as 1.
  void move(const vorn::Image<unsigned char>& mask, const FullLevelSet2D& obstacles, int steps,
            int reinitPeriod) override;
  int getWidth() const override;
  int getHeight() const override;
  /// @brief One channel of the canvas size, 255 inside (value ≤ 0), 0 outside.
  ///
  /// The rectangle kind pastes its rectangle, clipped to the canvas. The sparse kind
  /// prints "Warning: incomplete." on standard error (its band does not store the deep
  /// inside) and delivers the inside as the scan-line fill of `markInsidePixels` finds it.
  vorn::Image<unsigned char> getBinaryImage() override;
  double get(int x, int y) const override;
  bool have(int x, int y) const override;
  /// @brief Copies the initial level set back, then draws a new motion model.
  void reset() override;
  /// @brief For every cell whose value v < 0: the obstacle grid becomes min(its value, v)
  /// and channel 0 of the mask becomes 0; for every stored cell with 0 ≤ v < `markedBelow`
  /// the obstacle grid becomes min(its value, v), the mask stays.
  ///
  /// The sparse kind fills each row from every negative band cell up to the next stored
  /// cell (or the canvas edge) with that cell's value, so the unstored deep inside is
  /// marked too. The rectangle kind marks its rectangle's cells only. Cells outside the
  /// mask or the grid are skipped.
  void markInsidePixels(vorn::Image<unsigned char>& mask, FullLevelSet2D& obstacles) override;
  /// @brief Whether `markInsidePixels` marks canvas cell (x, y). The sparse kind decides it
  /// by the same scan-line fill, so that its deep inside, which the band does not store,
  /// counts as inside.
  bool isInside(int x, int y) const override;
  /// @brief The cells `markInsidePixels` marks, read from the level set directly.
  void getMarkedCells(int width, int height, std::vector<MarkedCell>& cells) override;
  /// @brief Stores the name; "original" selects the kernel `move`, any other
  /// `move_speed_based`.
  void setEvolutionMethod(const std::string& name) override;

  /// The kernel chosen by the last `setEvolutionMethod`.
  Kernel kernel = nullptr;
  /// The level set that moves.
  std::unique_ptr<LevelSetT> levelSet;
  /// The level set built from the mask; never moved.
  std::unique_ptr<LevelSetT> initialLevelSet;
};

extern template class ZazizEvozu<FullLevelSet>;
extern template class ZazizEvozu<RectLevelSet>;
extern template class ZazizEvozu<SparseLevelSet2D>;

#endif
