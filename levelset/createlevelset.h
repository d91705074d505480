// glimshape — levelset
// Purpose: createLevelSetFromImage<T>, level sets of every kind seeded from a binary mask.
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
