// glimshape — tests/common
// Purpose: generated drawings of non-overlapping round blobs, as real shapes, for the
// evolver's tests and benchmarks.
#ifndef TESTS_COMMON_BLOB_DRAWING_H
#define TESTS_COMMON_BLOB_DRAWING_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/levelset_shapes.h"
#include "common/quiet_stdout.h"
#include "settings/glimshapesettings.h"
#include "shapes/zazizevozubase.h"

namespace glimtest {

/// One round blob: centre and radius (pixels).
struct Blob {
  double cx, cy, r;
};

/// @brief Up to n blobs on a canvas × canvas grid, none touching another or the border.
///
/// Radii are drawn from [4, 12] pixels, scaled down (not below 4) when the blobs together
/// would cover more than 30 % of the canvas, and placed largest first; a blob that finds
/// no free place in 200 random tries nor in a raster scan is tried again one pixel smaller, down to 4. Fixed seed: the
/// same arguments give the same blobs.
inline std::vector<Blob> blobLayout(int n, int canvas, unsigned seed = 42) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> radii;
  double area = 0.0;
  for (int k = 0; k < n; ++k) {
    radii.push_back(4.0 + 8.0 * unit(rng));
    area += 3.14159265358979 * radii.back() * radii.back();
  }
  const double scale = std::min(1.0, std::sqrt(0.3 * canvas * canvas / std::max(area, 1.0)));
  for (double& r : radii) r = std::max(4.0, r * scale);
  std::sort(radii.rbegin(), radii.rend());
  std::vector<Blob> blobs;
  auto fits = [&](const Blob& b) {
    for (const Blob& o : blobs)
      if (std::hypot(b.cx - o.cx, b.cy - o.cy) < b.r + o.r + 1.0) return false;
    return true;
  };
  for (double radius : radii) {
    bool placed = false;
    for (double r = radius; r >= 4.0 && !placed; r -= 1.0) {
      const double span = canvas - 2 * r - 4;
      for (int attempt = 0; attempt < 200 && !placed; ++attempt) {
        const Blob b{r + 2 + unit(rng) * span, r + 2 + unit(rng) * span, r};
        if ((placed = fits(b))) blobs.push_back(b);
      }
      // Crowded: the first free place in raster order.
      for (double y = r + 2; y <= r + 2 + span && !placed; y += 1.0)
        for (double x = r + 2; x <= r + 2 + span && !placed; x += 1.0)
          if ((placed = fits({x, y, r}))) blobs.push_back({x, y, r});
    }
  }
  return blobs;
}

/// @brief The blobs as shapes of the level-set kind named (see ZazizEvozuBase::create),
/// with the settings' default motion models. Built quietly.
inline std::vector<std::shared_ptr<ZazizEvozuBase>> blobDrawing(const std::vector<Blob>& blobs,
                                                                int canvas,
                                                                const std::string& kind) {
  QuietStdout quiet;
  GlimShapeSettings::instance().levelSetType = kind;
  std::vector<std::shared_ptr<ZazizEvozuBase>> shapes;
  for (const Blob& b : blobs)
    shapes.push_back(ZazizEvozuBase::create(Polygon(), discMask(canvas, canvas, b.cx, b.cy, b.r)));
  return shapes;
}

}  // namespace glimtest

#endif
