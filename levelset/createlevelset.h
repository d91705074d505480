// glimshape — levelset
// Purpose: createLevelSetFromImage<T>, level sets of every kind seeded from a binary mask, and
// the calibration of a coverage mask's edge for the outline traced from it.
#ifndef LEVELSET_CREATELEVELSET_H
#define LEVELSET_CREATELEVELSET_H

#include <memory>
#include <type_traits>

#include "lomvet/levelset2d.h"
#include "quarl/image.h"

/// @brief Writes the seed of every mask pixel into ls through its virtual `operator()`.
///
/// Pixel p of channel 0 becomes (p / 255 − 0.5) × (−0.0078125), computed in single precision
/// and widened: 255 gives −1/256 (inside), 0 gives +1/256 (outside), values between give
/// seeds between. Pixels outside ls's width × height are skipped.
/// @param ls the level set to seed, in canvas coordinates.
/// @param mask a one-channel mask of the canvas size (further channels are ignored).
void seedFromMask(LevelSet2D& ls, const vorn::Image<unsigned char>& mask);

/// @brief The mask with its partly covered pixels remapped so that the outline traced from
///        a level set seeded with it encloses the area the mask covers.
///
/// Seeding puts the outline where the coverage, interpolated between pixel centres, is one
/// half; tracing joins its crossings with the grid by straight segments, and
/// re-initialisation to the distance from those segments moves the crossings once more.
/// Each cuts into every convex bend: the half-way line of a pixel-averaged region lies
/// about a twenty-fourth of the curvature inside the region's edge (a quarter of a square
/// pixel around a closed outline), each chord leaves out its segment of the curve (half a
/// square pixel), and a polygon's corners lie farther from the cells around them than its
/// sides (another 0.4). Whatever its size, a closed convex outline thus encloses some 1.3
/// square pixels less than its mask covers (5 % of a shape of 25 square pixels), and again
/// at every save and reload of a drawing.
///
/// The pixels of an anti-aliased edge (partly covered, next to a pixel of 0 or 255) with
/// coverage v become 127.5 v / t below t and 127.5 + 127.5 (v − t) / (255 − t) above it
/// (rounded), with the threshold t in [64, 191] chosen by regula falsi on the traced area
/// until the outline encloses the sum of v / 255 within 0.02 square pixels or a thousandth,
/// whichever is more. Pixels on the mask's border count half and its corners a quarter,
/// since outlines close along their centres. Each trial traces the mask's covered box as a
/// shape would, re-initialising only the cells next to the outline.
/// @param mask one channel (further channels are ignored), 255 inside and 0 outside.
/// @return a new mask of the same size and one channel; @p mask itself when it has no
///         partly covered pixel, no pixel fully covered all round (a thin line, a speck),
///         or when no threshold within the bounds meets the covered area (a soft edge:
///         a gradient of opacity, a blur, keeps its half-coverage outline).
vorn::Image<unsigned char> calibrateCoverage(const vorn::Image<unsigned char>& mask);

/// @brief A new level set of kind T, seeded from the mask and re-initialised to a signed
///        distance; the caller owns it and may delete it through LevelSet2D.
///
/// This definition serves the dense kinds (FullLevelSet2D and what derives from it); the
/// other kinds provide explicit specialisations next to their classes.
/// @param mask one channel, 255 inside and 0 outside, of the canvas size.
/// @warning An empty mask (no pixels or no channels) gives an empty grid.
template <class T>
T* createLevelSetFromImage(const vorn::Image<unsigned char>& mask) {
  static_assert(std::is_base_of<FullLevelSet2D, T>::value,
                "createLevelSetFromImage: this level-set kind needs its own specialisation");
  const bool empty = mask.getDataPtr() == nullptr || mask.nchannels < 1;
  auto ls = std::make_unique<T>(empty ? 0 : mask.getWidth(), empty ? 0 : mask.getHeight());
  if (!empty) seedFromMask(*ls, mask);
  ls->ensureSignedDistanceFMM();
  return ls.release();
}

#endif
