// glimshape — tests
// Purpose: what the shape tests share: settings for quick shapes, masks, polygon areas and
// the evolver's pass (mask rebuild and motion) in miniature.
#ifndef GLIM_TESTS_SHAPES_SHAPE_FIXTURES_H
#define GLIM_TESTS_SHAPES_SHAPE_FIXTURES_H

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/levelset_shapes.h"
#include "common/quiet_stdout.h"
#include "settings/glimshapesettings.h"
#include "shapes/zazizevozu.h"

namespace shapetest {

/// One motion-model record with a noise type that builds no image (so construction draws
/// only the colour, line width, pick, stiffness and speed values) and fixed bounds.
inline void useQuickModel(const std::string& method = "original", double stiffness = 0.2,
                          double speed = 3.0) {
  EvolutionDistribution d;
  d.method = method;
  d.noiseType = "none";
  d.stiffMin = d.stiffMax = stiffness;
  d.speedMin = d.speedMax = speed;
  GlimShapeSettings::instance().distributions = {d};
}

/// A w × h mask of the ring between radii r0 and r1 around (cx, cy) (r0 = 0: a disc).
inline vorn::Image<unsigned char> ringMask(int w, int h, double cx, double cy, double r0,
                                           double r1) {
  vorn::Image<unsigned char> m(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double r = std::hypot(x - cx, y - cy);
      m(x, y, 0) = r <= r1 && r >= r0 ? 255 : 0;
    }
  return m;
}

/// A shape of the given kind, built quietly (the level sets print progress lines).
template <class L>
std::unique_ptr<ZazizEvozu<L>> makeShape(const vorn::Image<unsigned char>& mask) {
  glimtest::QuietStdout quiet;
  return std::make_unique<ZazizEvozu<L>>(Polygon(), mask);
}

/// Signed area of the loops (shoelace; loops with the inside on their left count positive).
inline double loopArea(const ContourPoints& points, const std::vector<std::vector<int>>& loops) {
  double a = 0.0;
  for (const auto& loop : loops)
    for (std::size_t i = 0; i < loop.size(); ++i) {
      const auto& p = points[loop[i]];
      const auto& q = points[loop[(i + 1) % loop.size()]];
      a += p.x * q.y - q.x * p.y;
    }
  return a / 2.0;
}

/// Number of pixels of channel 0 that are not 0.
inline long countSet(const vorn::Image<unsigned char>& m) {
  long n = 0;
  for (int y = 0; y < m.getHeight(); ++y)
    for (int x = 0; x < m.getWidth(); ++x) n += m(x, y, 0) != 0;
  return n;
}

/// @brief One evolver pass: every shape in turn gets the free-space mask and obstacle grid
/// rebuilt from all the others (obstacles start at 1e10, each other shape marks its inside,
/// then fast marching) and moves by its speed (truncated) with period 1.
inline void evolverPass(const std::vector<std::shared_ptr<ZazizEvozuBase>>& shapes) {
  if (shapes.empty()) return;
  const int w = shapes[0]->getWidth(), h = shapes[0]->getHeight();
  for (const auto& shape : shapes) {
    vorn::Image<unsigned char> mask(w, h, 1);
    mask = 1;
    FullLevelSet2D obstacles(w, h);
    for (double& v : obstacles.values) v = 1e10;
    for (const auto& other : shapes)
      if (other != shape) other->markInsidePixels(mask, obstacles);
    obstacles.ensureSignedDistanceFMM();
    shape->move(mask, obstacles, static_cast<int>(shape->speed), 1);
  }
}

}  // namespace shapetest

#endif
