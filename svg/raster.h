// glimshape — svg
// Purpose: rasterising an outline into a one-channel coverage mask with cairo.
#ifndef GLIM_SVG_RASTER_H
#define GLIM_SVG_RASTER_H

#include "quarl/image.h"
#include "svg/path.h"

/// @brief Fills @p path into a width × height raster of one channel.
/// @param path the outline, in pixels of the raster
/// @param width, height raster size in pixels
/// @return 0 outside, 255 fully inside, partial coverage along the edges (gray
///         antialiasing, non-zero winding). Nodes are drawn by `Path::Node::apply`.
///
/// Cairo wants A8 rows whose length is a multiple of 4 bytes; for other widths the path is
/// drawn into a padded buffer whose rows are then copied into the raster.
/// @warning A width or height of 0 or below gives an image without pixels. A size cairo
///          refuses (over 32767 pixels a side) is reported on standard output and gives an
///          all-zero raster.
vorn::Image<unsigned char> rasterisePath(const Path& path, int width, int height);

/// @brief Whether a raster holds a shape: at least one pixel above 128 (more than half
///        covered).
bool isValidRaster(const vorn::Image<unsigned char>& raster);

#endif
