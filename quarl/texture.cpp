// glimshape — libquarl
// Purpose: the library-wide power-of-two texture mode and pow2size.
#define QUARL_TEXTURE_MODE_ONLY
#include "quarl/texture.h"

namespace vorn {

image_pow2mode_t pow2mode = Pow2Undecided;

image_pow2mode_t imageGetPow2Mode() { return pow2mode; }

void imageSetPow2Mode(image_pow2mode_t mode) { pow2mode = mode; }

namespace {

// Sizes above 2^30 have no int power of two above them; they stay at 2^30.
int nextPowerOfTwo(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

}  // namespace

template <class T>
bool Image<T>::pow2size(int& w, int& h) const {
  w = nextPowerOfTwo(width);
  h = nextPowerOfTwo(height);
  return w == width && h == height;
}

template bool Image<unsigned char>::pow2size(int&, int&) const;
template bool Image<unsigned short>::pow2size(int&, int&) const;
template bool Image<unsigned int>::pow2size(int&, int&) const;
template bool Image<float>::pow2size(int&, int&) const;
template bool Image<double>::pow2size(int&, int&) const;

}  // namespace vorn
