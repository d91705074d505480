// glimshape — tests/evolver
// Purpose: real shapes made from drawn masks, for the tests of the canvas operations.
#ifndef TESTS_EVOLVER_CANVAS_SHAPES_H
#define TESTS_EVOLVER_CANVAS_SHAPES_H

#include <sys/stat.h>

#include <memory>
#include <string>
#include <utility>

#include "lomvet/progress.h"
#include "quarl/image.h"
#include "settings/glimshapesettings.h"
#include "shapes/zazizevozubase.h"

namespace glimtest {

/// @brief Settings for quick, quiet shapes: the given level-set kind, one motion model
/// without a noise image (no stiffness file, no random draws for noise) whose stiffness
/// is exactly `stiffness`, and no progress lines.
inline void quietShapeSettings(const std::string& levelSetType = "FullLevelSet",
                               double stiffness = 0.2) {
  GlimShapeSettings& settings = GlimShapeSettings::instance();
  settings.levelSetType = levelSetType;
  EvolutionDistribution d;
  d.noiseType = "none";
  d.stiffMin = d.stiffMax = stiffness;
  settings.distributions.assign(1, d);
  setProgressLines(false);
  // Shapes write their stiffness files below the working directory.
  ::mkdir("temp", 0755);
}

/// @brief A w × h one-channel mask: 255 where inside(x, y), else 0.
template <class F>
vorn::Image<unsigned char> maskOf(int w, int h, F inside) {
  vorn::Image<unsigned char> m(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m(x, y, 0) = inside(x, y) ? 255 : 0;
  return m;
}

/// @brief A shape made by the factory from a mask, with its polygons extracted.
inline std::shared_ptr<ZazizEvozuBase> shapeOf(const vorn::Image<unsigned char>& mask) {
  std::shared_ptr<ZazizEvozuBase> shape = ZazizEvozuBase::create(Polygon(), mask);
  shape->updatePolygons();
  return shape;
}

/// @brief A shape covering the pixels x0 … x1, y0 … y1 (inclusive) of a w × h canvas.
inline std::shared_ptr<ZazizEvozuBase> boxShape(int w, int h, int x0, int y0, int x1, int y1) {
  return shapeOf(maskOf(w, h, [=](int x, int y) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
  }));
}

}  // namespace glimtest

#endif
