// glimshape — noise
// Purpose: value noise, normalisation and the "perlin" and "perlin_hard" stiffness fields.
#include "noise/perlin.h"

#include <cmath>
#include <cstdlib>

namespace {

long elementCount(const vorn::Image<float>& img) {
  return static_cast<long>(img.width) * img.height * img.nchannels;
}

}  // namespace

vorn::Image<float> perlin(int w, int h, double persistence) {
  const bool drawable = w > 0 && h > 0;
  vorn::Image<float> acc(drawable ? w : 0, drawable ? h : 0, 1);
  acc = 0.0;

  for (int k = 3; k <= 9; ++k) {
    const int n = 2 * k;
    vorn::Image<float> grid(n, n, 1);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) grid(x, y, 0) = static_cast<float>(drand48());
    // The grids are drawn even for an empty canvas so that later draws do not shift.
    if (!drawable) continue;
    const double amplitude = std::pow(persistence, k - 3);
    const vorn::Image<float> octave = grid.resize(w, h);
    const long count = elementCount(acc);
    // Fused "acc + octave × amplitude": the product is rounded to float first, exactly as
    // the image operators do, but no temporary canvas is allocated.
    for (long i = 0; i < count; ++i)
      acc.data[i] += static_cast<float>(octave.data[i] * amplitude);
  }
  if (!drawable) return acc;
  return normalize_image(acc);
}

vorn::Image<float> normalize_image(vorn::Image<float>& img) {
  const long count = elementCount(img);
  if (count <= 0) return img.copy();

  double lo = 1e11, hi = -1e11;
  for (long i = 0; i < count; ++i) {
    const double v = img.data[i];
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  // A flat image has no range to stretch to; zero is the neutral stiffness offset.
  if (!(hi - lo > 0.0)) {
    img = 0.0;
    vorn::Image<float> zero(img.width, img.height, img.nchannels);
    zero = 0.0;
    return zero;
  }

  const double scale = 1.0 / (hi - lo);
  for (long i = 0; i < count; ++i)
    img.data[i] = static_cast<float>((img.data[i] - lo) * scale);
  img = img.boxFilter(3);
  // The first range is reused on purpose: the stiffness fields, and the folding of the
  // hard variant in particular, depend on the values this produces outside [0, 1].
  // Rounded to float after the subtraction and after the product, like (img − lo) × scale.
  vorn::Image<float> out(img.width, img.height, img.nchannels);
  for (long i = 0; i < count; ++i) {
    const float shifted = static_cast<float>(img.data[i] - lo);
    out.data[i] = static_cast<float>(shifted * scale);
  }
  return out;
}

vorn::Image<float> generate_perlin_stiffness(int w, int h) {
  if (w <= 0 || h <= 0) {
    // Same draws as a real canvas, so that a degenerate shape does not shift the fields
    // of the shapes made after it.
    for (int i = 3; i >= 1; --i) {
      drand48();
      perlin(w, h, 0.25);
      drand48();
    }
    perlin(w, h, 0.5);
    perlin(w, h, 0.2);
    return vorn::Image<float>();
  }

  vorn::Image<float> acc(w, h, 1);
  acc = 0.0;
  const long count = elementCount(acc);
  for (int i = 3; i >= 1; --i) {
    const double threshold = drand48() / i;
    vorn::Image<float> mask = perlin(w, h, 0.25);
    for (long k = 0; k < count; ++k) mask.data[k] = mask.data[k] > threshold ? 1.0f : 0.0f;
    const int r = static_cast<int>(1 + 4 * drand48());
    acc += mask.boxFilter(r);
  }
  vorn::Image<float> a = perlin(w, h, 0.5);
  vorn::Image<float> b = perlin(w, h, 0.2);
  // result = normalize_image(acc) × b + a, element by element in float.
  vorn::Image<float> result = normalize_image(acc);
  for (long k = 0; k < count; ++k) {
    const float modulated = result.data[k] * b.data[k];
    result.data[k] = modulated + a.data[k];
  }
  return normalize_image(result).boxFilter(2);
}

vorn::Image<float> generate_perlin_stiffness_hard(int w, int h) {
  vorn::Image<float> field = generate_perlin_stiffness(w, h);
  const long count = elementCount(field);
  for (long i = 0; i < count; ++i) {
    float& v = field.data[i];
    if (v > 1.0f) v -= 1.0f;
    if (v < 0.0f) v += 1.0f;
  }
  return field;
}
