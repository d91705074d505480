// glimshape — fuzz
// Purpose: reads every element of a decoded image, so that a buffer shorter than the header
// promised shows up under AddressSanitizer.
#ifndef GLIM_FUZZ_TOUCH_IMAGE_H
#define GLIM_FUZZ_TOUCH_IMAGE_H

#include "quarl/image.h"

template <class T>
double touchImage(const vorn::Image<T>& image) {
  double sum = 0.0;
  const long long n = static_cast<long long>(image.getWidth()) * image.getHeight() *
                      image.nchannels;
  for (long long i = 0; i < n; ++i) sum += static_cast<double>(image.data[i]);
  return sum;
}

#endif
