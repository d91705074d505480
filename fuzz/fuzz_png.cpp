// glimshape — fuzz
// Purpose: the built-in PNG reader on arbitrary bytes, into 8-bit and 16-bit images.
#include <cstddef>
#include <cstdint>

#include "fuzz/touch_image.h"
#include "quarl/plugins/builtin_plugins.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  readInBothDepths(data, size, "fuzz.png", vorn::png_readMemory);
  return 0;
}
