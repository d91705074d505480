// glimshape — evolver
// Purpose: hole filling: free regions of the canvas larger than a threshold become new
// shapes (the "Fill" command), and the labelling of 4-connected free regions.
#include "evolver/evolver.h"

#include <cstdlib>
#include <mutex>

namespace {

// Width (pixels) of the canvas frame that never counts as free.
constexpr int frameWidth = 2;
// Stiffness of a new shape relative to the one `create` gives it: holes fill softly.
constexpr double fillStiffness = 0.8;
// A shrunk pixel survives when its box average is at least this: only a wholly free box
// (255) averages that high, the margin absorbs the filter's truncation.
constexpr unsigned char shrinkThreshold = 253;

}  // namespace

void ZazizEvozuEvolver::fillHoles(int minSize, int shrinkRadius) {
  stop();
  std::lock_guard<std::mutex> lock(mutex);
  updateMask(-1);
  invalidateObstacles();
  const int w = mask.getWidth();
  const int h = mask.getHeight();
  if (w <= 0 || h <= 0 || mask.nchannels < 1) return;

  vorn::Image<unsigned char> free(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool inFrame =
          x < frameWidth || y < frameWidth || x >= w - frameWidth || y >= h - frameWidth;
      free(x, y, 0) = !inFrame && mask(x, y, 0) != 0 ? 255 : 0;
    }
  if (shrinkRadius != 0) {
    const vorn::Image<unsigned char> average = free.boxFilter(shrinkRadius);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) free(x, y, 0) = average(x, y, 0) >= shrinkThreshold ? 1 : 0;
  }

  vorn::Image<unsigned int> labels(w, h, 1);
  const std::vector<int> sizes = findHoles(free, labels);
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    if (sizes[k] <= minSize) continue;
    const auto label = static_cast<unsigned int>(k + 1);
    vorn::Image<unsigned char> region(w, h, 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) region(x, y, 0) = labels(x, y, 0) == label ? 255 : 0;
    std::shared_ptr<ZazizEvozuBase> shape = ZazizEvozuBase::create(Polygon(), region);
    if (!shape) continue;
    shapes.push_back(shape);
    shape->stiffness *= fillStiffness;
    // The style comes from any shape, the new one included (which keeps its own).
    const double r = drand48();
    const auto pick = static_cast<std::size_t>(r * 0.999 * static_cast<double>(shapes.size()));
    if (pick < shapes.size()) shape->copyStyle(*shapes[pick]);
  }
}

std::vector<int> ZazizEvozuEvolver::findHoles(const vorn::Image<unsigned char>& free,
                                              vorn::Image<unsigned int>& labels) {
  const int w = free.getWidth();
  const int h = free.getHeight();
  std::vector<int> sizes;
  // A label image of another size is replaced, so no pixel is written outside it.
  if (labels.getWidth() != w || labels.getHeight() != h || labels.nchannels != 1)
    labels = vorn::Image<unsigned int>(w, h, 1);
  if (w <= 0 || h <= 0 || free.nchannels < 1) return sizes;
  labels = 0;

  // First-in first-out queue of positions y·w + x; it holds one region at a time.
  std::vector<long> queue;
  unsigned int counter = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (free(x, y, 0) == 0 || labels(x, y, 0) != 0) continue;
      labels(x, y, 0) = ++counter;
      queue.assign(1, static_cast<long>(y) * w + x);
      int count = 0;
      for (std::size_t head = 0; head < queue.size(); ++head) {
        const int px = static_cast<int>(queue[head] % w);
        const int py = static_cast<int>(queue[head] / w);
        ++count;
        const int nx[4] = {px - 1, px + 1, px, px};
        const int ny[4] = {py, py, py - 1, py + 1};
        for (int k = 0; k < 4; ++k) {
          if (nx[k] < 0 || nx[k] >= w || ny[k] < 0 || ny[k] >= h) continue;
          if (free(nx[k], ny[k], 0) == 0 || labels(nx[k], ny[k], 0) != 0) continue;
          labels(nx[k], ny[k], 0) = counter;
          queue.push_back(static_cast<long>(ny[k]) * w + nx[k]);
        }
      }
      sizes.push_back(count);
    }
  }
  return sizes;
}
