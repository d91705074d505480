// glimshape — noise
// Purpose: multi-octave value noise and the stiffness images that shapes build from it.
//
// All randomness comes from drand48(), which this library never seeds. The number and
// order of the draws are fixed, so the same generator state always yields the same
// field; the draw counts below do not depend on the image size.
#ifndef GLIM_NOISE_PERLIN_H
#define GLIM_NOISE_PERLIN_H

#include "quarl/image.h"

/// @brief Value noise: seven random coarse grids enlarged to w × h and summed.
///
/// For k = 3 … 9 a (2k) × (2k) grid is filled row by row with drand48() values (1120
/// draws in all), enlarged to w × h with `resize` and added with amplitude
/// persistence^(k − 3). The sum is passed through normalize_image.
/// @param w           width in pixels.
/// @param h           height in pixels.
/// @param persistence amplitude ratio between successive octaves (0.25 gives a smooth
///                    field, values near 1 a rough one).
/// @return a one-channel w × h image; see normalize_image for its range.
/// @warning A non-positive w or h gives an image without elements; the 1120 values are
///          drawn all the same.
/// @throws std::bad_alloc when the canvas cannot be allocated (before any draw).
vorn::Image<float> perlin(int w, int h, double persistence);

/// @brief Stretches an image to its range, blurs it with a 7 × 7 mean and stretches the
///        blurred image once more with the range of the unblurred input.
///
/// With lo and hi the smallest and largest element: img becomes
/// boxFilter(3) of (img − lo) / (hi − lo), and the result is (img − lo) / (hi − lo) of
/// that state. Because the second stretch reuses the first range, the result is not
/// confined to [0, 1] (negative where lo > 0, above 1 where hi − lo < 1).
/// @param img image to normalise; left in the blurred state of the first stretch.
/// @return a new image of img's sizes.
/// @warning An image whose elements are all equal has no range: img is set to zeros and
///          a zero image is returned. An image without elements is returned as a copy.
vorn::Image<float> normalize_image(vorn::Image<float>& img);

/// @brief The "perlin" stiffness field: three layers of blurred noise blotches, modulated
///        by one noise and offset by another, normalised and blurred with a 5 × 5 mean.
///
/// Draw order: for i = 3, 2, 1 one threshold (drand48() / i), 1120 values for the noise
/// that is thresholded and one value for the blur radius (1 to 4); then 1120 values for
/// the offset noise (persistence 0.5) and 1120 for the modulating noise (persistence
/// 0.2): 3 × (1 + 1120 + 1) + 2240 = 5606 draws in all.
/// @param w width in pixels.
/// @param h height in pixels.
/// @return a one-channel w × h field, not clamped: at 128 × 128 about 40 % of the values
///         lie outside [0, 1], up to about 1.8; 16 × 16 and smaller canvases reach about 4.
/// @warning A non-positive w or h gives an empty image after the same 5606 draws.
/// @throws std::bad_alloc when the canvas cannot be allocated (before any draw).
vorn::Image<float> generate_perlin_stiffness(int w, int h);

/// @brief The "perlin_hard" stiffness field: generate_perlin_stiffness folded back into
///        the unit range, which adds sharp seams.
///
/// Every element above 1 loses 1, then every element below 0 gains 1; values within
/// [0, 1] are unchanged, and values within (−1, 2) end within [0, 1].
/// @param w width in pixels.
/// @param h height in pixels.
/// @warning Values outside (−1, 2), which only small canvases produce, are folded once
///          and stay outside [0, 1].
vorn::Image<float> generate_perlin_stiffness_hard(int w, int h);

#endif
