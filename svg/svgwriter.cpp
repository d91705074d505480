// glimshape — svg
// Purpose: writing a drawing to an SVG file through cairo's SVG surface, safely replacing
// the target.
#include "svg/svgwriter.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <cstdio>
#include <string>

#include "svg/filereplace.h"
#include "svg/svgreader.h"

namespace {

cairo_status_t appendChunk(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

bool fail(const std::string& fileName, const std::string& why, std::string* reason) {
  std::printf("Could not write SVG file %s: %s.\n", fileName.c_str(), why.c_str());
  if (reason != nullptr) *reason = why;
  return false;
}

// Adds the canvas-size attribute (and its namespace) to the root element cairo wrote, so
// that both readers map the page back onto the canvas without a margin.
void tagRoot(std::string& page, int canvasWidth, int canvasHeight) {
  const std::size_t root = page.find("<svg");
  const std::size_t end = root == std::string::npos ? root : page.find('>', root);
  if (end == std::string::npos) return;
  const std::size_t at = page[end - 1] == '/' ? end - 1 : end;
  page.insert(at, std::string(" xmlns:glimshape=\"") + canvasNamespace + "\" glimshape:" +
                      canvasAttribute + "=\"" + std::to_string(canvasWidth) + " " +
                      std::to_string(canvasHeight) + "\"");
}

}  // namespace

bool writeSvgFile(const std::string& fileName, int canvasWidth, int canvasHeight,
                  const SvgDrawing& draw, std::string* reason) {
  if (fileName.empty()) return fail(fileName, "no file name", reason);
  // The page is made in memory, so that a drawing cairo fails on never touches the file,
  // and the file can be rewritten in place when it must be.
  std::string page;
  const double pageWidth = 2.0 * (canvasWidth < 1 ? 1 : canvasWidth);
  const double pageHeight = 2.0 * (canvasHeight < 1 ? 1 : canvasHeight);
  cairo_surface_t* surface =
      cairo_svg_surface_create_for_stream(appendChunk, &page, pageWidth, pageHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, 2.0, 2.0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  if (draw && cairo_status(cr) == CAIRO_STATUS_SUCCESS) draw(cr);
  cairo_status_t status = cairo_status(cr);
  cairo_surface_flush(surface);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) return fail(fileName, cairo_status_to_string(status), reason);

  tagRoot(page, canvasWidth < 1 ? 1 : canvasWidth, canvasHeight < 1 ? 1 : canvasHeight);
  std::string why;
  if (!replaceFileContents(fileName, page, why)) return fail(fileName, why, reason);
  return true;
}
