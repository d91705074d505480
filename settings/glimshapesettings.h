// glimshape — settings
// Purpose: GlimShapeSettings, the process-wide tunable values and the weighted distribution pick.
#ifndef GLIM_SETTINGS_GLIMSHAPESETTINGS_H
#define GLIM_SETTINGS_GLIMSHAPESETTINGS_H

#include <string>
#include <vector>

#include "settings/evolutiondistribution.h"

/// @brief Canvas size, level-set kind, temporary directory and motion-model list.
///
/// One object per process, reached through instance(). It has no lock: the GUI thread
/// writes it, the evolution worker reads `levelSetType` and `distributions`.
class GlimShapeSettings {
 public:
  /// @brief The process-wide object, built with the defaults on the first call and
  ///        destroyed at program exit.
  static GlimShapeSettings& instance();

  /// @brief The defaults: two distributions ("perlin" weight 1, "perlin_hard" weight
  ///        0.1), "RectLevelSet", "./temp", 128 × 128.
  GlimShapeSettings();

  /// @brief Picks a record at random, with probability weight / total weight.
  ///
  /// Draws one `drand48()` value r in [0, total) and walks the list, printing
  /// "%d, %f, %f\n" (position, running sum before the record, weight) to standard
  /// output for every record visited, until the running sum reaches r.
  /// @return an element of `distributions`, valid until the list changes; the last
  ///         record if rounding leaves none chosen.
  /// @warning The reference points into `distributions`: adding, removing or editing a
  ///          record (the options window does so on the GUI thread while the evolution
  ///          thread may be resetting shapes) invalidates it or changes what it reads.
  ///          Copy the record at once (`EvolutionDistribution d = getDistribution();`)
  ///          and use the copy.
  /// @warning With an empty list no number is drawn and a process-wide record with the
  ///          default values is returned (it is never changed).
  const EvolutionDistribution& getDistribution() const;

  /// Motion models that new and reset shapes draw from.
  std::vector<EvolutionDistribution> distributions;
  /// Level-set kind of new shapes: "RectLevelSet", "SparseLevelSet", anything else
  /// selects the dense grid.
  std::string levelSetType = "RectLevelSet";
  /// Directory for temporary files.
  std::string temporaryPath = "./temp";
  /// Canvas width in pixels.
  int width = 128;
  /// Canvas height in pixels.
  int height = 128;
  /// How drawings are read: "full" (every element as a renderer paints it, through
  /// librsvg) or "basic" (filled paths and polygons only); anything else reads as "full".
  std::string svgReader = "full";
};

#endif
