// glimshape — svg
// Purpose: writing a drawing to an SVG file through cairo's SVG surface, safely replacing
// the target.
#include "svg/svgwriter.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "svg/svgreader.h"

namespace {

// Where cairo's output goes: the temporary file, and the first write error met. The start
// of the text is held back until the root element's start tag is complete, so that the
// canvas-size attribute can be added to it.
struct Output {
  int fd = -1;
  int error = 0;
  std::string head;
  std::string canvas;
  bool rootTagged = false;
};

cairo_status_t writeBytes(Output& out, const unsigned char* data, std::size_t length);

// Adds the canvas-size attribute (and its namespace) to the root element cairo wrote.
cairo_status_t writeHead(Output& out, bool final) {
  const std::size_t root = out.head.find("<svg");
  const std::size_t end = root == std::string::npos ? root : out.head.find('>', root);
  if (end == std::string::npos && !final) return CAIRO_STATUS_SUCCESS;
  if (end != std::string::npos) {
    const std::size_t at = out.head[end - 1] == '/' ? end - 1 : end;
    out.head.insert(at, std::string(" xmlns:glimshape=\"") + canvasNamespace + "\" glimshape:" +
                            canvasAttribute + "=\"" + out.canvas + "\"");
  }
  out.rootTagged = true;
  std::string head;
  head.swap(out.head);
  return writeBytes(out, reinterpret_cast<const unsigned char*>(head.data()), head.size());
}

cairo_status_t writeChunk(void* closure, const unsigned char* data, unsigned int length) {
  Output& out = *static_cast<Output*>(closure);
  if (!out.rootTagged) {
    out.head.append(reinterpret_cast<const char*>(data), length);
    return writeHead(out, false);
  }
  return writeBytes(out, data, length);
}

cairo_status_t writeBytes(Output& out, const unsigned char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(out.fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      out.error = errno;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return CAIRO_STATUS_SUCCESS;
}

// A new file beside the target: the rename that replaces the target then stays within
// one file system. Exclusive creation never reuses a file someone else made.
int createTemporary(const std::string& fileName, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = fileName + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool fail(const std::string& fileName, const char* reason) {
  std::printf("Could not write SVG file %s: %s.\n", fileName.c_str(), reason);
  return false;
}

}  // namespace

bool writeSvgFile(const std::string& fileName, int canvasWidth, int canvasHeight,
                  const SvgDrawing& draw) {
  if (fileName.empty()) return fail(fileName, "no file name");
  std::string temporary;
  Output out;
  out.fd = createTemporary(fileName, temporary);
  if (out.fd < 0) return fail(fileName, std::strerror(errno));

  const double pageWidth = 2.0 * (canvasWidth < 1 ? 1 : canvasWidth);
  const double pageHeight = 2.0 * (canvasHeight < 1 ? 1 : canvasHeight);
  out.canvas = std::to_string(canvasWidth < 1 ? 1 : canvasWidth) + " " +
               std::to_string(canvasHeight < 1 ? 1 : canvasHeight);
  cairo_surface_t* surface =
      cairo_svg_surface_create_for_stream(writeChunk, &out, pageWidth, pageHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, 2.0, 2.0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  if (draw && cairo_status(cr) == CAIRO_STATUS_SUCCESS) draw(cr);
  cairo_status_t status = cairo_status(cr);
  cairo_surface_flush(surface);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  if (!out.rootTagged && status == CAIRO_STATUS_SUCCESS) status = writeHead(out, true);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);

  const int closeError = ::close(out.fd) == 0 ? 0 : errno;
  const char* reason = nullptr;
  if (out.error != 0) {
    reason = std::strerror(out.error);
  } else if (status != CAIRO_STATUS_SUCCESS) {
    reason = cairo_status_to_string(status);
  } else if (closeError != 0) {
    reason = std::strerror(closeError);
  } else if (std::rename(temporary.c_str(), fileName.c_str()) != 0) {
    reason = std::strerror(errno);
  }
  if (reason != nullptr) {
    ::unlink(temporary.c_str());
    return fail(fileName, reason);
  }
  return true;
}
