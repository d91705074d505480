// glimshape — levelset
// Purpose: CachedImage: window look-up, window extension and re-reading of the image file.
#include "levelset/cachedimage.h"

#include <algorithm>
#include <cstdio>
#include <utility>

CachedImage::CachedImage() = default;

CachedImage::CachedImage(std::string name, int margin, const vorn::Image<float>& image)
    : CachedImage(std::move(name), margin, image.width, image.height, 0, 0, image.width,
                  image.height, image) {}

CachedImage::CachedImage(std::string name, int m, int w, int h, int wx0, int wy0, int wx1,
                         int wy1, const vorn::Image<float>& pixels)
    : fileName(std::move(name)),
      margin(std::max(m, 0)),
      width(std::max(w, 0)),
      height(std::max(h, 0)),
      x0(std::clamp(wx0, 0, width)),
      y0(std::clamp(wy0, 0, height)),
      x1(std::clamp(wx1, 0, width)),
      y1(std::clamp(wy1, 0, height)),
      // A private copy: the caller may go on changing its image.
      window(pixels.copy()) {}

double CachedImage::sample(int x, int y) const {
  if (width <= 0 || height <= 0) return missingSample;
  // The window rules assume a sample inside the image: beyond it the extended window
  // would not contain the sample, and its pixel would lie outside the cached buffer.
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  if (!inWindow(x, y)) extendAndReread(x, y);
  return lookUp(x, y);
}

double CachedImage::lookUp(int x, int y) const {
  // An image without channels is what the stiffness of a noise type other than "perlin"
  // and "perlin_hard" is made of; it has no sample to give, so the speed functions get
  // the neutral 1.0 here, as they do wherever nothing is cached.
  if (!inWindow(x, y) || window.nchannels < 1 || !window.data) return missingSample;
  const int gx = x - x0, gy = y - y0;
  if (gx >= window.width || gy >= window.height) return missingSample;
  return window(gx, gy, 0);
}

void CachedImage::extendAndReread(int x, int y) const {
  int nx0 = x0, ny0 = y0, nx1 = x1, ny1 = y1;
  if (x < nx0) nx0 = x - margin;
  if (y < ny0) ny0 = y - margin;
  if (x >= nx1) nx1 = x + margin + 1;
  if (y >= ny1) ny1 = y + margin + 1;
  nx0 = std::max(nx0, 0);
  ny0 = std::max(ny0, 0);
  nx1 = std::min(nx1, width);
  ny1 = std::min(ny1, height);

  // A fresh image: reading into the window's own buffer would change it for every copy
  // of this CachedImage that shares it.
  vorn::Image<float> full;
  if (!full.read(fileName.c_str())) {
    std::fprintf(stderr, "CachedImage: cannot read %s; the sample at (%d, %d) reads %g\n",
                 fileName.c_str(), x, y, missingSample);
    return;
  }
  if (full.width != width || full.height != height)
    std::fprintf(stderr, "CachedImage: %s holds %dx%d pixels, expected %dx%d\n",
                 fileName.c_str(), full.width, full.height, width, height);

  const int cropWidth = std::max(nx1 - nx0, 1);
  const int cropHeight = std::max(ny1 - ny0, 1);
  // Only a file of another size than recorded can push the crop past its left or top
  // border; subimage then also shrinks it to what the file holds.
  const int cx = std::max(std::min(nx0, full.width - cropWidth), 0);
  const int cy = std::max(std::min(ny0, full.height - cropHeight), 0);
  vorn::Image<float> crop = full.subimage(cx, cy, cropWidth, cropHeight);
  window = crop;
  if (crop.data) {
    // The window is where the pixels really came from.
    x0 = cx;
    y0 = cy;
    x1 = cx + crop.width;
    y1 = cy + crop.height;
  } else {
    // A file without pixels or channels: nothing to cache, and nothing to re-read for.
    x0 = nx0;
    y0 = ny0;
    x1 = nx1;
    y1 = ny1;
  }
}
