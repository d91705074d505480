// glimshape — evolver
// Purpose: painting the shapes into a PNG at a scale of the canvas, and writing it to a file.
#include "evolver/picture.h"

#include <cairo.h>

#include <algorithm>
#include <mutex>

#include "evolver/evolver.h"
#include "settings/glimshapesettings.h"
#include "svg/filereplace.h"

namespace {

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

int largestPictureScale(int canvasWidth, int canvasHeight) {
  if (canvasWidth <= 0 || canvasHeight <= 0) return 0;
  const int side = std::max(canvasWidth, canvasHeight);
  return std::min(maxPictureScale, maxPictureSide / side);
}

bool renderPicture(ZazizEvozuEvolver& evolver, int scale, std::string& png, std::string& error) {
  cairo_surface_t* surface = nullptr;
  {
    // The canvas size and the shapes are read under the lock: a worker may be stepping, and
    // drawing refreshes the shapes' polygons from their level sets.
    std::lock_guard<std::mutex> lock(evolver.mutex);
    const GlimShapeSettings& settings = GlimShapeSettings::instance();
    const int width = evolver.shapes.empty() ? settings.width : evolver.shapes.front()->getWidth();
    const int height =
        evolver.shapes.empty() ? settings.height : evolver.shapes.front()->getHeight();
    const int largest = largestPictureScale(width, height);
    if (scale < 1 || scale > largest) {
      error = "a picture of a " + std::to_string(width) + " x " + std::to_string(height) +
              " canvas can be 1 to " + std::to_string(largest) + " times its size, not " +
              std::to_string(scale);
      return false;
    }
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, scale * width, scale * height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    // The saved SVG draws the same shapes in the same order with the same calls.
    for (const auto& shape : evolver.shapes) shape->drawCairo(cr);
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface);
      error = std::string("cannot paint the picture: ") + cairo_status_to_string(status);
      return false;
    }
  }
  cairo_surface_flush(surface);
  png.clear();
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendToString, &png);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    error = std::string("cannot encode the picture: ") + cairo_status_to_string(status);
    return false;
  }
  return true;
}

bool writePicture(ZazizEvozuEvolver& evolver, int scale, const std::string& fileName,
                  bool replace, std::string& error) {
  std::string png;
  if (!renderPicture(evolver, scale, png, error)) {
    error = "cannot write " + fileName + ": " + error;
    return false;
  }
  std::string reason;
  if (replace ? replaceFileContents(fileName, png, reason)
              : createFileWithContents(fileName, png, reason))
    return true;
  error = "cannot write " + fileName + ": " + reason;
  return false;
}
