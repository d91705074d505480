// glimshape — fuzz
// Purpose: colour text through parseColor; every result is a finite colour, and a "#" text
// gives channels in [0, 1].
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "svg/svgreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::array<float, 3> color = parseColor(text);
  for (float channel : color) {
    if (!std::isfinite(channel)) std::abort();
    if (!text.empty() && text[0] == '#' && !(channel >= 0.0f && channel <= 1.0f)) std::abort();
  }
  return 0;
}
