// glimshape — settings
// Purpose: description text and stiffness images of EvolutionDistribution.
#include "settings/evolutiondistribution.h"

#include <locale>
#include <sstream>

#include "noise/perlin.h"

std::string EvolutionDistribution::getDescription() const {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << noiseType << "," << method << "," << weight;
  return out.str();
}

vorn::Image<float> EvolutionDistribution::createStiffImage(int width, int height) const {
  return createStiffImage(noiseType, width, height);
}

vorn::Image<float> EvolutionDistribution::createStiffImage(const std::string& noiseType,
                                                           int width, int height) {
  if (noiseType == "perlin") return generate_perlin_stiffness(width, height);
  if (noiseType == "perlin_hard") return generate_perlin_stiffness_hard(width, height);
  return vorn::Image<float>(width, height, 0);
}
