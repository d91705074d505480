// glimshape — fuzz
// Purpose: reads every element of a decoded image, so that a buffer shorter than the header
// promised shows up under AddressSanitizer.
#ifndef GLIM_FUZZ_TOUCH_IMAGE_H
#define GLIM_FUZZ_TOUCH_IMAGE_H

#include <cstddef>
#include <cstdint>

#include "quarl/image.h"
#include "quarl/imageplugin.h"

template <class T>
double touchImage(const vorn::Image<T>& image) {
  double sum = 0.0;
  const long long n = static_cast<long long>(image.getWidth()) * image.getHeight() *
                      image.nchannels;
  for (long long i = 0; i < n; ++i) sum += static_cast<double>(image.data[i]);
  return sum;
}

/// Decodes the bytes into an 8-bit and into a 16-bit image with @p read (a memory reader of
/// the plug-ins: bytes, count, name, target) and touches each image it decodes.
template <class Read>
void readInBothDepths(const uint8_t* data, size_t size, const char* name, Read read) {
  vorn::Image<unsigned char> bytes;
  vorn::ImagePointer toBytes(bytes);
  if (read(data, size, name, toBytes)) touchImage(bytes);
  vorn::Image<unsigned short> shorts;
  vorn::ImagePointer toShorts(shorts);
  if (read(data, size, name, toShorts)) touchImage(shorts);
}

#endif
