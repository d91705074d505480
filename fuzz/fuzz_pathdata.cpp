// glimshape — fuzz
// Purpose: path data through the parser, the builder and the flattening.
#include <cstddef>
#include <cstdint>
#include <string>

#include "svg/path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Path path(text);
  // The program's own tolerance.
  path.getPolygon(0.2);
  return 0;
}
