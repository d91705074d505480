// glimshape — fuzz
// Purpose: whole SVG documents from memory through the reader on the default canvas; every
// outline handed on has a mask of the reader's image size and a polygon whose loops index
// its points.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/quiet_xml.h"
#include "fuzz/touch_image.h"
#include "svg/svgreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SvgDocument document(text, "fuzz.svg");
  SvgReader reader;
  reader.read(document, 128, 128, [&reader](const SvgElement& element) {
    if (element.mask.getWidth() != reader.imageWidth ||
        element.mask.getHeight() != reader.imageHeight) {
      std::abort();
    }
    touchImage(element.mask);
    const int points = static_cast<int>(element.polygon.points.size());
    for (const auto& loop : element.polygon.loops)
      for (int index : loop)
        if (index < 0 || index >= points) std::abort();
    return true;
  });
  return 0;
}
