// glimshape — fuzz
// Purpose: the PPM and PGM decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/touch_image.h"
#include "quarl/impl/image_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorn::detail::MemorySource in(data, size, "fuzz.ppm");
  vorn::Image<unsigned char> image;
  if (vorn::detail::decodePPM(in, image)) touchImage(image);
  return 0;
}
