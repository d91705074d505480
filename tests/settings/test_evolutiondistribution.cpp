// glimshape — tests
// Purpose: EvolutionDistribution descriptions and stiffness images.
#include "settings/evolutiondistribution.h"

#include <gtest/gtest.h>

#include <string>

#include "common/images.h"
#include "noise/draw_counter.h"
#include "noise/perlin.h"

namespace {

using glimtest::sameImage;

EvolutionDistribution record(const std::string& noise, const std::string& method,
                             double weight) {
  EvolutionDistribution d;
  d.noiseType = noise;
  d.method = method;
  d.weight = weight;
  return d;
}

}  // namespace

TEST(EvolutionDistribution, DescriptionUsesTheDefaultNumberFormat) {
  EXPECT_EQ(EvolutionDistribution().getDescription(), "perlin,original,1");
  EXPECT_EQ(record("perlin_hard", "speed-based", 0.5).getDescription(),
            "perlin_hard,speed-based,0.5");
  EXPECT_EQ(record("perlin_hard", "original", 0.1).getDescription(),
            "perlin_hard,original,0.1");
  // Six significant digits, no trailing zeros, exponent form for large and small values.
  EXPECT_EQ(record("perlin", "original", 1.0 / 3.0).getDescription(),
            "perlin,original,0.333333");
  EXPECT_EQ(record("perlin", "original", 1234567.0).getDescription(),
            "perlin,original,1.23457e+06");
  EXPECT_EQ(record("perlin", "original", 0.0000025).getDescription(),
            "perlin,original,2.5e-06");
  EXPECT_EQ(record("perlin", "original", -2.0).getDescription(), "perlin,original,-2");
  EXPECT_EQ(record("", "", 0.0).getDescription(), ",,0");
}

TEST(EvolutionDistribution, StiffImageFollowsTheNoiseType) {
  const int w = 40, h = 24;

  testing_draws::setState(1, 2, 3);
  const vorn::Image<float> soft = generate_perlin_stiffness(w, h);
  testing_draws::setState(1, 2, 3);
  EXPECT_TRUE(sameImage(EvolutionDistribution::createStiffImage("perlin", w, h), soft));
  testing_draws::setState(1, 2, 3);
  EXPECT_TRUE(sameImage(record("perlin", "original", 1).createStiffImage(w, h), soft));

  testing_draws::setState(1, 2, 3);
  const vorn::Image<float> hard = generate_perlin_stiffness_hard(w, h);
  testing_draws::setState(1, 2, 3);
  EXPECT_TRUE(sameImage(EvolutionDistribution::createStiffImage("perlin_hard", w, h), hard));
  testing_draws::setState(1, 2, 3);
  EXPECT_TRUE(sameImage(record("perlin_hard", "speed-based", 1).createStiffImage(w, h), hard));
}

TEST(EvolutionDistribution, UnknownNoiseTypeGivesAnImageWithoutChannels) {
  for (const char* name : {"", "wavelet", "Perlin", "perlin "}) {
    vorn::Image<float> img;
    const long draws = testing_draws::countDraws(
        [&] { img = EvolutionDistribution::createStiffImage(name, 40, 24); });
    EXPECT_EQ(draws, 0) << '"' << name << '"';
    EXPECT_EQ(img.width, 40);
    EXPECT_EQ(img.height, 24);
    EXPECT_EQ(img.nchannels, 0);
  }
}
