// glimshape — tests
// Purpose: EvolutionOptionsWidget: the record shown and copied back, the noise type taken at
// once, and the 256 × 128 preview against the stiffness image it pictures.
#include "app/panels/evolutionoptionswidget.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPixmap>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/images.h"
#include "common/qt_application.h"
#include "settings/evolutiondistribution.h"

namespace {

void setState() {
  unsigned short state[3] = {0x330e, 0x1234, 0x0042};
  seed48(state);
}

// Checks that the label shows previewWidth × previewHeight greys equal to the stiffness
// image of `noiseType` drawn from the same generator state, and that it is not flat.
void expectPreviewOf(const QLabel& label, const std::string& noiseType) {
  const QPixmap pixmap = label.pixmap();
  ASSERT_FALSE(pixmap.isNull());
  const QImage shown = pixmap.toImage();
  ASSERT_EQ(shown.width(), 256);
  ASSERT_EQ(shown.height(), 128);

  setState();
  const vorn::Image<float> stiff = EvolutionDistribution::createStiffImage(noiseType, 256, 128);
  int lo = 255, hi = 0, mismatches = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 256; ++x) {
      const double v = std::floor(255.0 * stiff.get(x, y, 0));
      const int expected = v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
      const QRgb p = shown.pixel(x, y);
      mismatches += qRed(p) != expected || qGreen(p) != expected || qBlue(p) != expected;
      lo = std::min(lo, qRed(p));
      hi = std::max(hi, qRed(p));
    }
  EXPECT_EQ(mismatches, 0) << noiseType;
  EXPECT_GT(hi - lo, 64) << "the preview of " << noiseType << " is nearly flat";
}

TEST(StiffnessPicture, GreyIsTruncatedAndClamped) {
  glimtest::application();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const vorn::Image<float> stiff =
      glimtest::filled<float>(3, 2, 1, {-0.5, 0.5, 1.2, nan, 0.999, 1e30});
  const QImage picture = stiffnessPicture(stiff);
  ASSERT_EQ(picture.size(), QSize(3, 2));
  const int expected[2][3] = {{0, 127, 255}, {0, 254, 255}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(picture.pixel(x, y), qRgb(expected[y][x], expected[y][x], expected[y][x]))
          << x << "," << y;
    }
  // No channels or no pixels: no picture.
  EXPECT_TRUE(stiffnessPicture(vorn::Image<float>(4, 4, 0)).isNull());
  EXPECT_TRUE(stiffnessPicture(vorn::Image<float>()).isNull());
}

TEST(EvolutionOptions, ShowsTheRecordAndCopiesItBack) {
  glimtest::application();
  EvolutionDistribution d;
  d.method = "speed-based";
  d.noiseType = "perlin_hard";
  d.stiffMin = 0.15;
  d.stiffMax = 0.85;
  d.speedMin = 2.0;
  d.speedMax = 9.5;
  d.weight = 0.5;
  setState();
  EvolutionOptionsWidget editor(&d);
  expectPreviewOf(*editor.noiseLabel, "perlin_hard");

  EXPECT_EQ(editor.motionTypeCombo->currentText(), "speed-based");
  EXPECT_EQ(editor.noiseTypeCombo->currentText(), "perlin_hard");
  // The stored items are replaced by exactly the names records use.
  ASSERT_EQ(editor.motionTypeCombo->count(), 2);
  EXPECT_EQ(editor.motionTypeCombo->itemText(0), "original");
  ASSERT_EQ(editor.noiseTypeCombo->count(), 2);
  EXPECT_EQ(editor.noiseTypeCombo->itemText(0), "perlin");
  EXPECT_DOUBLE_EQ(editor.stiffMinSpin->value(), 0.15);
  EXPECT_DOUBLE_EQ(editor.stiffMaxSpin->value(), 0.85);
  EXPECT_DOUBLE_EQ(editor.speedMinSpin->value(), 2.0);
  EXPECT_DOUBLE_EQ(editor.speedMaxSpin->value(), 9.5);
  EXPECT_DOUBLE_EQ(editor.distributionSpin->value(), 0.5);

  // Nothing but the noise type reaches the record before transferFromWidget.
  editor.speedMaxSpin->setValue(3.0);
  editor.motionTypeCombo->setCurrentIndex(0);
  EXPECT_DOUBLE_EQ(d.speedMax, 9.5);
  EXPECT_EQ(d.method, "speed-based");
  editor.transferFromWidget();
  EXPECT_DOUBLE_EQ(d.speedMax, 3.0);
  EXPECT_EQ(d.method, "original");
  EXPECT_EQ(d.getDescription(), "perlin_hard,original,0.5");
}

TEST(EvolutionOptions, NoiseTypeIsTakenAtOnceAndThePreviewRedrawn) {
  glimtest::application();
  EvolutionDistribution d;
  setState();
  EvolutionOptionsWidget editor(&d);
  expectPreviewOf(*editor.noiseLabel, "perlin");
  const QImage before = editor.noiseLabel->pixmap().toImage();

  setState();
  editor.noiseTypeCombo->setCurrentText("perlin_hard");
  EXPECT_EQ(d.noiseType, "perlin_hard");
  expectPreviewOf(*editor.noiseLabel, "perlin_hard");
  EXPECT_NE(editor.noiseLabel->pixmap().toImage(), before);
}

TEST(EvolutionOptions, NoiseTypeWithoutImageShowsText) {
  glimtest::application();
  EvolutionDistribution d;
  d.noiseType = "none";
  EvolutionOptionsWidget editor(&d);
  EXPECT_TRUE(editor.noiseLabel->pixmap().isNull());
  EXPECT_TRUE(editor.noiseLabel->text().contains("\"none\""));
  EXPECT_EQ(d.noiseType, "none");  // unmatched names leave the record until it is copied
}

}  // namespace
