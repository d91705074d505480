// glimshape — fuzz
// Purpose: style text as the `style` attribute of a path inside a small document, read
// by the SVG reader; the outline covers the canvas, so every input reaches the receiver,
// whose colours must be finite and whose line width is never negative.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/quiet_xml.h"
#include "svg/svgreader.h"

namespace {

// The bytes as attribute text: markup characters and every byte outside printable ASCII
// become character references, so the reader sees the bytes themselves (a byte above 127
// as the character of that code). Control characters XML cannot hold become spaces.
std::string attributeText(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    const unsigned c = data[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else if (c == '\t' || c == '\n' || c == '\r' || c >= 0x80) {
      char reference[8];
      std::snprintf(reference, sizeof reference, "&#%u;", c);
      out += reference;
    } else {
      out += ' ';
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text =
      "<svg width=\"16\" height=\"16\"><path d=\"M0 0H16V16H0Z\" style=\"" +
      attributeText(data, size) + "\"/></svg>";
  const SvgDocument document(text, "fuzz-style.svg");
  if (!document.isValid()) std::abort();
  SvgReader reader;
  int seen = 0;
  reader.read(document, 16, 16, [&seen](const SvgElement& element) {
    for (float channel : element.fillColor)
      if (!std::isfinite(channel)) std::abort();
    for (float channel : element.strokeColor)
      if (!std::isfinite(channel)) std::abort();
    if (!(element.strokeWidth >= 0.0) || !std::isfinite(element.strokeWidth)) std::abort();
    ++seen;
    return true;
  });
  if (seen != 1) std::abort();
  return 0;
}
