// glimshape — tests
// Purpose: GlimShapeSettings defaults and the weighted choice of a motion-model record.
#include "settings/glimshapesettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "noise/draw_counter.h"

namespace {

EvolutionDistribution withWeight(double weight) {
  EvolutionDistribution d;
  d.weight = weight;
  return d;
}

// Finds a generator state whose first drand48() value satisfies pred and leaves the
// generator in that state.
template <class Pred>
void seekState(Pred pred) {
  for (unsigned short s = 0; s < 60000; ++s) {
    testing_draws::setState(0x330e, s, 0x0042);
    const bool found = pred(drand48());
    testing_draws::setState(0x330e, s, 0x0042);
    if (found) return;
  }
  FAIL() << "no generator state found";
}

}  // namespace

TEST(GlimShapeSettings, DefaultsOfAFreshObject) {
  const GlimShapeSettings s;
  EXPECT_EQ(s.width, 128);
  EXPECT_EQ(s.height, 128);
  EXPECT_EQ(s.levelSetType, "RectLevelSet");
  EXPECT_EQ(s.temporaryPath, "./temp");
  ASSERT_EQ(s.distributions.size(), 2u);
  EXPECT_EQ(s.distributions[0].getDescription(), "perlin,original,1");
  EXPECT_EQ(s.distributions[1].getDescription(), "perlin_hard,original,0.1");
  for (const EvolutionDistribution& d : s.distributions) {
    EXPECT_DOUBLE_EQ(d.stiffMin, 0.1);
    EXPECT_DOUBLE_EQ(d.stiffMax, 0.3);
    EXPECT_DOUBLE_EQ(d.speedMin, 4.0);
    EXPECT_DOUBLE_EQ(d.speedMax, 10.0);
  }
}

TEST(GlimShapeSettings, InstanceIsOneObjectWithTheDefaults) {
  GlimShapeSettings& a = GlimShapeSettings::instance();
  GlimShapeSettings& b = GlimShapeSettings::instance();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(a.levelSetType, "RectLevelSet");
  EXPECT_EQ(a.distributions.size(), 2u);

  a.width = 256;
  EXPECT_EQ(GlimShapeSettings::instance().width, 256);
  a.width = 128;
}

TEST(GlimShapeSettings, EmptyListGivesTheFallbackWithoutDrawing) {
  GlimShapeSettings s;
  s.distributions.clear();

  const EvolutionDistribution* first = nullptr;
  testing::internal::CaptureStdout();
  const long draws = testing_draws::countDraws([&] { first = &s.getDistribution(); });
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(draws, 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(first->method, "original");
  EXPECT_EQ(first->noiseType, "perlin");
  EXPECT_DOUBLE_EQ(first->stiffMin, 0.1);
  EXPECT_DOUBLE_EQ(first->stiffMax, 0.3);
  EXPECT_DOUBLE_EQ(first->speedMin, 4.0);
  EXPECT_DOUBLE_EQ(first->speedMax, 10.0);
  EXPECT_DOUBLE_EQ(first->weight, 1.0);

  // The fallback is one process-wide record, shared by every settings object.
  GlimShapeSettings other;
  other.distributions.clear();
  EXPECT_EQ(&other.getDistribution(), first);
}

TEST(GlimShapeSettings, EveryPickDrawsOneNumber) {
  GlimShapeSettings s;
  testing::internal::CaptureStdout();
  EXPECT_EQ(testing_draws::countDraws([&] { s.getDistribution(); }), 1);
  s.distributions.resize(5);
  EXPECT_EQ(testing_draws::countDraws([&] { s.getDistribution(); }), 1);
  testing::internal::GetCapturedStdout();
}

TEST(GlimShapeSettings, SingleRecordIsAlwaysChosen) {
  // The weights also exercise the number format against printf's own "%f".
  for (double weight : {3.0, 0.0, -2.0, 1e300, 123.4567891, -4e-7, 5e-7, std::numeric_limits<double>::infinity()}) {
    GlimShapeSettings s;
    s.distributions = {withWeight(weight)};
    for (int k = 0; k < 20; ++k) {
      testing::internal::CaptureStdout();
      const EvolutionDistribution& d = s.getDistribution();
      const std::string out = testing::internal::GetCapturedStdout();
      EXPECT_EQ(&d, &s.distributions[0]) << "weight " << weight;
      char expected[400];
      std::snprintf(expected, sizeof expected, "0, 0.000000, %f\n", weight);
      EXPECT_EQ(out, expected);
    }
  }
}

TEST(GlimShapeSettings, PrintsOneLinePerVisitedRecord) {
  GlimShapeSettings s;  // weights 1 and 0.1

  // r = drand48() × 1.1 above 1 picks the second record.
  seekState([](double u) { return u * 1.1 > 1.0; });
  testing::internal::CaptureStdout();
  const EvolutionDistribution* d = &s.getDistribution();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "0, 0.000000, 1.000000\n1, 1.000000, 0.100000\n");
  EXPECT_EQ(d, &s.distributions[1]);

  seekState([](double u) { return u * 1.1 < 1.0; });
  testing::internal::CaptureStdout();
  d = &s.getDistribution();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "0, 0.000000, 1.000000\n");
  EXPECT_EQ(d, &s.distributions[0]);
}

TEST(GlimShapeSettings, ChoosesInProportionToWeight) {
  const std::vector<std::vector<double>> cases = {{1.0, 0.1}, {2.0, 0.0, 3.0, 5.0},
                                                  {0.25, 0.25, 0.25, 0.25}};
  testing_draws::setState(0x330e, 0x0007, 0x0001);
  for (const std::vector<double>& weights : cases) {
    GlimShapeSettings s;
    s.distributions.clear();
    double total = 0.0;
    for (double w : weights) {
      s.distributions.push_back(withWeight(w));
      total += w;
    }
    const int draws = 20000;
    std::vector<int> hits(weights.size(), 0);
    testing::internal::CaptureStdout();
    for (int k = 0; k < draws; ++k) ++hits[&s.getDistribution() - s.distributions.data()];
    testing::internal::GetCapturedStdout();

    for (size_t i = 0; i < weights.size(); ++i) {
      const double expected = weights[i] / total;
      EXPECT_NEAR(static_cast<double>(hits[i]) / draws, expected, 0.015)
          << "record " << i << " of " << weights.size();
      if (weights[i] == 0.0) {
        EXPECT_EQ(hits[i], 0);
      }
    }
  }
}

TEST(GlimShapeSettings, AllWeightsZeroPickTheFirstRecord) {
  GlimShapeSettings s;
  s.distributions = {withWeight(0.0), withWeight(0.0), withWeight(0.0)};
  testing::internal::CaptureStdout();
  const EvolutionDistribution& d = s.getDistribution();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "0, 0.000000, 0.000000\n");
  EXPECT_EQ(&d, &s.distributions[0]);
}

TEST(GlimShapeSettings, NegativeWeightsAreUsedAsTheyAre) {
  // Total −2, so r lies in (−2, 0]; a running sum of −1 stays below r for r above −1
  // and −2 never reaches it: the walk ends without a choice and takes the last record.
  GlimShapeSettings s;
  s.distributions = {withWeight(-1.0), withWeight(-1.0)};
  seekState([](double u) { return u < 0.5; });
  testing::internal::CaptureStdout();
  const EvolutionDistribution& d = s.getDistribution();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "0, 0.000000, -1.000000\n1, -1.000000, -1.000000\n");
  EXPECT_EQ(&d, &s.distributions[1]);
}

TEST(GlimShapeSettings, ProgressLinesIgnoreTheCLocale) {
  // The GUI adopts the user's locale; the lines keep their decimal point.
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) {
      comma = name;
      break;
    }
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";

  GlimShapeSettings s;
  seekState([](double u) { return u * 1.1 > 1.0; });
  testing::internal::CaptureStdout();
  s.getDistribution();
  const std::string out = testing::internal::GetCapturedStdout();
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(out, "0, 0.000000, 1.000000\n1, 1.000000, 0.100000\n") << comma;
}
