// glimshape — tests/common
// Purpose: small images built from listed values, and the near-equality check for images.
#ifndef TESTS_COMMON_IMAGES_H
#define TESTS_COMMON_IMAGES_H

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "quarl/image.h"

namespace glimtest {

/// @brief A w × h image of c channels whose elements, in memory order (channels of a pixel
/// together, rows top down), are values converted with static_cast; elements beyond the
/// list stay 0.
template <class T>
vorn::Image<T> filled(int w, int h, int c, std::initializer_list<double> values) {
  vorn::Image<T> im(w, h, c);
  im = 0;
  int i = 0;
  for (double v : values) im[i++] = static_cast<T>(v);
  return im;
}

/// @brief Whether a and b have the same sizes and every element of a lies within
/// tolerance of b's (exactly equal with the default 0); on failure names the sizes, or the
/// first element that differs with both values.
/// @warning A NaN element matches nothing, not even a NaN.
template <class T>
::testing::AssertionResult sameImage(const vorn::Image<T>& a, const vorn::Image<T>& b,
                                     double tolerance = 0) {
  if (a.width != b.width || a.height != b.height || a.nchannels != b.nchannels)
    return ::testing::AssertionFailure()
           << "sizes " << a.width << "x" << a.height << "x" << a.nchannels << " vs " << b.width
           << "x" << b.height << "x" << b.nchannels;
  const long n = long(a.width) * a.height * a.nchannels;
  for (long i = 0; i < n; ++i) {
    const double d = std::fabs(double(a.data[i]) - double(b.data[i]));
    if (!(d <= tolerance))
      return ::testing::AssertionFailure()
             << "element " << i << ": " << double(a.data[i]) << " vs " << double(b.data[i])
             << " (tolerance " << tolerance << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace glimtest

#endif
