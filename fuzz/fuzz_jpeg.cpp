// glimshape — fuzz
// Purpose: the built-in JPEG reader on arbitrary bytes, into 8-bit and 16-bit images.
#include <cstddef>
#include <cstdint>

#include "fuzz/touch_image.h"
#include "quarl/plugins/builtin_plugins.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorn::Image<unsigned char> bytes;
  vorn::ImagePointer toBytes(bytes);
  if (vorn::jpeg_readMemory(data, size, "fuzz.jpeg", toBytes)) touchImage(bytes);
  vorn::Image<unsigned short> shorts;
  vorn::ImagePointer toShorts(shorts);
  if (vorn::jpeg_readMemory(data, size, "fuzz.jpeg", toShorts)) touchImage(shorts);
  return 0;
}
