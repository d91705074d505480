// glimshape — shapes
// Purpose: drawing a shape's polygons with OpenGL and cairo, the same for every level-set kind.
#ifndef GLIM_SHAPES_SHAPEDRAWING_H
#define GLIM_SHAPES_SHAPEDRAWING_H

#include <vector>

#include "quarl/vec2.h"
#include "shapes/zazizevozubase.h"

/// The shapes' drawing. The callers refresh the polygons first unless they are frozen.
namespace shapedrawing {

/// Texture slots of a GL context: the polygon-less fallback, then one stiffness overlay per
/// level-set kind (shared by the shapes of that kind).
enum TextureSlot : int { FallbackTexture = 0, OverlayDense = 1, OverlayRect = 2, OverlaySparse = 3 };

/// @brief For each loop: glBegin(mode), one vertex per index in loop order, glEnd.
/// Indices that name no point are skipped.
void drawPolygonsGL(unsigned int mode, const std::vector<vorn::Vec2<double>>& points,
                    const std::vector<std::vector<int>>& loops);

/// @brief The contour points as GL points, canvas (x, y) at (2x/w − 1, 2y/h − 1).
void drawPointsGL(const ZazizEvozuBase& shape);

/// @brief The fill (even-odd through the stencil buffer, or the texture fallback when the
/// shape has no polygons), the outline and, for a selected shape, the stiffness overlay.
/// Canvas (x, y) goes to ((x − w/2) × 2/m, (y − h/2) × 2/m) with m = max(w, h).
/// @param overlaySlot the texture slot of the shape's kind.
/// @warning Needs a current GL context with a stencil buffer.
void drawGL(ZazizEvozuBase& shape, TextureSlot overlaySlot);

/// @brief Draws all loops of the shape as one path: filled in the fill colour by the
/// even-odd rule (a point is inside when an odd number of loops covers it, as in `drawGL`),
/// then stroked in the line colour and width, half a pixel right of and below the contour
/// points, so that cell (x, y) falls on the centre of pixel (x, y) as in the mask the shape
/// was made from. The context's transformation, fill rule, source and line width are left
/// as they were; its current path is consumed.
void drawCairo(const ZazizEvozuBase& shape, cairo_t* cr);

/// @brief Deletes the texture names made in the current GL context and forgets them.
void releaseTextures();

}  // namespace shapedrawing

#endif
