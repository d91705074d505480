// glimshape — tests/common
// Purpose: masks and dense grids that the level-set tests build their shapes from.
#ifndef TESTS_COMMON_LEVELSET_SHAPES_H
#define TESTS_COMMON_LEVELSET_SHAPES_H

#include <cmath>

#include "lomvet/levelset2d.h"
#include "quarl/image.h"

namespace glimtest {

/// @brief A w × h mask with channels channels: 255 in channel 0 on the disc of radius r
/// (pixels) around (cx, cy), 0 everywhere else.
inline vorn::Image<unsigned char> discMask(int w, int h, double cx, double cy, double r,
                                           int channels = 1) {
  vorn::Image<unsigned char> m(w, h, channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c)
        m(x, y, c) = c == 0 && std::hypot(x - cx, y - cy) <= r ? 255 : 0;
  return m;
}

/// @brief A dense grid (FullLevelSet2D or a kind derived from it) of w × h cells whose
/// value at (x, y) is f(x, y).
template <class Grid = FullLevelSet2D, class F>
Grid denseFrom(int w, int h, F f) {
  Grid g(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) g(x, y) = f(x, y);
  return g;
}

}  // namespace glimtest

#endif
