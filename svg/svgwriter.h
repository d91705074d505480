// glimshape — svg
// Purpose: writing a drawing to an SVG file through cairo's SVG surface, safely replacing
// the target.
#ifndef GLIM_SVG_SVGWRITER_H
#define GLIM_SVG_SVGWRITER_H

#include <functional>
#include <string>

typedef struct _cairo cairo_t;

/// Draws a drawing into a cairo context set up in canvas pixels.
using SvgDrawing = std::function<void(cairo_t*)>;

/// @brief Writes an SVG page showing a canvas of @p canvasWidth × @p canvasHeight pixels.
/// @param fileName the SVG file to write
/// @param canvasWidth, canvasHeight canvas size in pixels; the page is twice that in
///        points, one pixel being 2 points (values below 1 are taken as 1)
/// @param draw called once with a context scaled by 2 and gray antialiasing
/// @param reason when not null, receives on failure why the file was not written (the
///        system's reason, such as "No space left on device", or cairo's).
/// @return true when the whole file was written.
///
/// The root element records the canvas size ("W H") in the attribute `canvasAttribute` of
/// the namespace `canvasNamespace`, so that both readers map the page back onto the canvas
/// without a margin; other readers ignore it.
///
/// The page is made in memory and written by `replaceFileContents`: a failed save leaves an
/// existing file untouched (unless it must be rewritten in place, see there), and the file
/// keeps its permissions and links. On failure one line naming the file and the reason is
/// printed on standard output.
bool writeSvgFile(const std::string& fileName, int canvasWidth, int canvasHeight,
                  const SvgDrawing& draw, std::string* reason = nullptr);

#endif
