// glimshape — levelset
// Purpose: seeding level sets from binary masks.
#include "levelset/createlevelset.h"

#include <algorithm>

void seedFromMask(LevelSet2D& ls, const vorn::Image<unsigned char>& mask) {
  if (mask.getDataPtr() == nullptr || mask.nchannels < 1) return;
  const int w = std::min(mask.getWidth(), ls.getWidth());
  const int h = std::min(mask.getHeight(), ls.getHeight());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float p = static_cast<float>(mask.get(x, y, 0));
      const float seed = (p / 255.0f - 0.5f) * -0.0078125f;
      ls(x, y) = static_cast<double>(seed);
    }
}
