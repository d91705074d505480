// glimshape — settings
// Purpose: EvolutionDistribution, the motion-model record shapes draw their parameters from.
#ifndef GLIM_SETTINGS_EVOLUTIONDISTRIBUTION_H
#define GLIM_SETTINGS_EVOLUTIONDISTRIBUTION_H

#include <string>

#include "quarl/image.h"

/// @brief One kind of shape behaviour and its relative weight.
///
/// A plain value type: copies carry every field. No invariant is enforced; a minimum
/// above its maximum or a negative weight is used as it stands.
class EvolutionDistribution {
 public:
  /// @brief A record with the default values listed at each field.
  EvolutionDistribution() = default;

  /// @brief The one-line summary shown by the options window.
  /// @return noise type, ",", method, ",", weight in the default stream format
  ///         (six significant digits, no trailing zeros); the defaults read
  ///         "perlin,original,1".
  std::string getDescription() const;

  /// @brief The stiffness image this record's noise type produces.
  /// @param width  canvas width in pixels.
  /// @param height canvas height in pixels.
  /// @note Consumes `drand48()` values (see generate_perlin_stiffness).
  vorn::Image<float> createStiffImage(int width, int height) const;

  /// @brief The stiffness image for a noise type name.
  /// @param noiseType "perlin" or "perlin_hard".
  /// @param width  canvas width in pixels.
  /// @param height canvas height in pixels.
  /// @return generate_perlin_stiffness or generate_perlin_stiffness_hard of the canvas
  ///         size, one channel.
  /// @warning Any other name gives a width × height image with zero channels (no
  ///          elements) and draws no random numbers.
  static vorn::Image<float> createStiffImage(const std::string& noiseType, int width,
                                             int height);

  /// Motion method handed to the shape: "original" or "speed-based".
  std::string method = "original";
  /// Noise type handed to the shape: "perlin" or "perlin_hard".
  std::string noiseType = "perlin";
  /// Lower bound of the shape's stiffness (strength factor of the motion kernels).
  double stiffMin = 0.1;
  /// Upper bound of the shape's stiffness.
  double stiffMax = 0.3;
  /// Lower bound of the shape's speed (motion steps per evolver pass).
  double speedMin = 4.0;
  /// Upper bound of the shape's speed.
  double speedMax = 10.0;
  /// Relative probability of this record being chosen.
  double weight = 1.0;
};

#endif
