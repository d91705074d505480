// glimshape — svg
// Purpose: the full SVG reader: every element a renderer paints becomes a shape, its region
// and colours taken from librsvg's rendering of that element alone.
#ifndef GLIM_SVG_FULLREADER_H
#define GLIM_SVG_FULLREADER_H

#include <cstddef>
#include <limits>
#include <string>

#include "svg/svgreader.h"

/// @brief Reads a drawing the way a renderer paints it: CSS, transforms, units,
///        `viewBox`, basic shapes, `use`, `switch`, clip paths, masks, opacity, gradients
///        and text, through librsvg.
///
/// Each drawable element (`path`, `rect`, `circle`, `ellipse`, `line`, `polyline`,
/// `polygon`, `text`, `use`, `image`) that the document renders, in document order, is
/// drawn alone at the canvas scale, once without strokes and once without fills. Nothing
/// inside `defs`, `symbol`, `clipPath`, `mask`, `marker` or `pattern` is drawable, and in
/// a `switch` only the first child whose conditions hold. Conditions are evaluated here,
/// with the language fixed to "en", so a load does not depend on the machine's locale.
///
/// The document handed to librsvg is the one libxml2 parsed and checked, written back from
/// memory with the internal entities expanded (within the reader's budget), without a
/// DOCTYPE and without a base file, so librsvg loads no file or URL of its own.
class FullSvgReader {
public:
  using Receiver = SvgReader::Receiver;

  /// @brief Reads every drawable element of @p document and hands each shape on.
  /// @param canvasWidth, canvasHeight the canvas size in pixels (the settings' canvas)
  /// @return the number of elements taken by @p receive.
  ///
  /// Placement: the drawing's viewport as the renderer sees it (its intrinsic size with
  /// units, else its `viewBox`, else the extent of what it draws) sets the image size and
  /// scale by the rule of the basic reader, and the drawing is fitted 6 pixels inside
  /// every side (`placeInMargin`); a page this program wrote (canvas-size attribute on
  /// the root) fills the image without margin.
  ///
  /// An element becomes a shape from the coverage of its fill, or of its stroke when it
  /// has no fill: the shape is where the coverage reaches half of its strongest value, its
  /// fill colour the mean colour of what it paints (un-premultiplied, each pixel weighted
  /// by its coverage squared, so a gradient gives its mean). With both fill and stroke,
  /// the line colour is the stroke's mean colour and the line width the stroke's area over
  /// the outline's length (canvas pixels). A stroke-only element that retraces the outline
  /// of the shape made from the element just before it sets that shape's line colour and
  /// width instead. Elements painting nothing on the canvas, faint ones (strongest coverage
  /// below a quarter), ones smaller than a pixel and ones beyond `outlineLimit` are counted
  /// in `summary`. Prints "Size: <w>,<h>", a progress line every 500 elements of large
  /// drawings and "Num strokes:<retraced>,<shapes>".
  int read(const SvgDocument& document, int canvasWidth, int canvasHeight,
           const Receiver& receive);

  /// Size of the raster shapes are made on, set by `read`.
  int imageWidth = 0;
  int imageHeight = 0;
  /// Most shapes one document hands on; later drawable elements are counted, not drawn.
  std::size_t outlineLimit = std::numeric_limits<std::size_t>::max();
  /// What the last `read` made and left out.
  LoadSummary summary;
  /// The language `systemLanguage` conditions are tested against.
  static constexpr const char* language = "en";
};

/// @brief The version of librsvg the full reader draws with, as "major.minor.micro".
std::string rendererVersion();

#endif
