// glimshape — settings
// Purpose: defaults of GlimShapeSettings and the weighted choice of a distribution.
#include "settings/glimshapesettings.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lomvet/progress.h"

namespace {

// printf's "%f", but always with a decimal point: the GUI switches the C library to the
// user's locale, and the progress lines must read the same everywhere.
std::string fixedSix(double v) {
  char buf[400];  // the largest double has 309 integer digits
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  return std::string(buf, r.ptr);
}

}  // namespace

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
    if (progressLinesEnabled())
      std::printf("%d, %s, %s\n", static_cast<int>(i), fixedSix(acc).c_str(),
                  fixedSix(distributions[i].weight).c_str());
    acc += distributions[i].weight;
    if (acc >= r) return distributions[i];
  }
  return distributions.back();
}
