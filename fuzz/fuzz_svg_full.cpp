// glimshape — fuzz
// Purpose: whole SVG documents from memory through the full reader (libxml2, then librsvg)
// on the default canvas; every shape handed on has a mask of the reader's image size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/quiet_xml.h"
#include "fuzz/touch_image.h"
#include "svg/fullreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SvgDocument document(text, "fuzz.svg");
  FullSvgReader reader;
  // A small bound keeps each input fast; the bound itself is part of what is exercised.
  reader.outlineLimit = 64;
  const int taken = reader.read(document, 128, 128, [&reader](const SvgElement& element) {
    if (element.mask.getWidth() != reader.imageWidth ||
        element.mask.getHeight() != reader.imageHeight) {
      std::abort();
    }
    touchImage(element.mask);
    return true;
  });
  if (taken < 0 || static_cast<std::size_t>(taken) != reader.summary.shapes) std::abort();
  return 0;
}
