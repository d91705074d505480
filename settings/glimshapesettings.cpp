// glimshape — settings
// Purpose: defaults of GlimShapeSettings and the weighted choice of a distribution.
#include "settings/glimshapesettings.h"

#include <cstdio>
#include <cstdlib>

GlimShapeSettings& GlimShapeSettings::instance() {
  static GlimShapeSettings settings;
  return settings;
}

GlimShapeSettings::GlimShapeSettings() {
  distributions.push_back(EvolutionDistribution());
  EvolutionDistribution hard;
  hard.weight = 0.1;
  hard.noiseType = "perlin_hard";
  distributions.push_back(hard);
}

const EvolutionDistribution& GlimShapeSettings::getDistribution() const {
  static const EvolutionDistribution fallback;
  if (distributions.empty()) return fallback;

  double total = 0.0;
  for (const EvolutionDistribution& d : distributions) total += d.weight;
  const double r = drand48() * total;

  double acc = 0.0;
  for (size_t i = 0; i < distributions.size(); ++i) {
    std::printf("%d, %f, %f\n", static_cast<int>(i), acc, distributions[i].weight);
    acc += distributions[i].weight;
    if (acc >= r) return distributions[i];
  }
  return distributions.back();
}
