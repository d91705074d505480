// glimshape — tests
// Purpose: SelectedShapeWidget shows a picked shape without changing it, changes it under the
// shape mutex, and shows a hint when no shape is picked.
#include "app/panels/selectedshapewidget.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/qt_application.h"
#include "common/quiet_stdout.h"
#include "settings/glimshapesettings.h"
#include "shapes/zazizevozu.h"

namespace {

// A dense-grid shape that records, for every call of its setters, whether another thread
// found the shape mutex taken at that moment.
class ProbedShape : public ZazizEvozu<FullLevelSet> {
 public:
  using ZazizEvozu<FullLevelSet>::ZazizEvozu;

  void setNoiseType(const std::string& name) override {
    probe();
    ZazizEvozu<FullLevelSet>::setNoiseType(name);
  }
  void setEvolutionMethod(const std::string& name) override {
    probe();
    ZazizEvozu<FullLevelSet>::setEvolutionMethod(name);
  }

  std::mutex* mutex = nullptr;
  std::vector<bool> heldAtCall;

 private:
  void probe() {
    if (!mutex) return;
    bool held = false;
    std::thread([&] {
      held = !mutex->try_lock();
      if (!held) mutex->unlock();
    }).join();
    heldAtCall.push_back(held);
  }
};

class CurrentShape : public testing::Test {
 protected:
  void SetUp() override {
    glimtest::application();
    GlimShapeSettings& s = GlimShapeSettings::instance();
    s = GlimShapeSettings();
    s.temporaryPath = temp.path().toLocal8Bit().toStdString();
    // Shapes made for the tests draw a motion model without noise (quick) with fixed values.
    EvolutionDistribution d;
    d.noiseType = "none";
    d.stiffMin = d.stiffMax = 0.4567;
    d.speedMin = d.speedMax = 7.123;
    d.method = "speed-based";
    s.distributions = {d};
  }
  void TearDown() override { GlimShapeSettings::instance() = GlimShapeSettings(); }

  static std::shared_ptr<ProbedShape> makeShape() {
    vorn::Image<unsigned char> mask(24, 24, 1);
    mask = 0;
    for (int y = 8; y < 16; ++y)
      for (int x = 8; x < 16; ++x) mask(x, y, 0) = 255;
    glimtest::QuietStdout quiet;  // building and resetting print progress lines
    return std::make_shared<ProbedShape>(Polygon(), mask);
  }

  QTemporaryDir temp;
};

TEST_F(CurrentShape, NoShapeShowsTheHintAndIgnoresEdits) {
  SelectedShapeWidget panel;
  ASSERT_NE(panel.form, nullptr);
  EXPECT_EQ(panel.widget(), panel.hint);
  EXPECT_EQ(panel.getShape(), nullptr);
  panel.speedSpin->setValue(3.0);
  panel.noiseTypeCombo->setCurrentIndex(1);
  panel.motionTypeCombo->setCurrentIndex(1);
  EXPECT_EQ(panel.widget(), panel.hint);
}

TEST_F(CurrentShape, PickingShowsTheShapeAndLeavesItAsItWas) {
  SelectedShapeWidget panel;
  auto shape = makeShape();
  shape->noiseType = "perlin_hard";  // differs from the "perlin" the panel shows
  ASSERT_EQ(panel.noiseTypeCombo->currentText(), "perlin");
  ASSERT_EQ(panel.motionTypeCombo->currentText(), "original");

  const unsigned short state[3] = {1, 2, 3};
  seed48(const_cast<unsigned short*>(state));
  panel.setShape(shape);
  const double next = drand48();
  seed48(const_cast<unsigned short*>(state));
  EXPECT_EQ(drand48(), next) << "showing the shape drew random numbers (new noise)";

  EXPECT_EQ(panel.widget(), panel.form);
  EXPECT_DOUBLE_EQ(panel.speedSpin->value(), 7.12);
  EXPECT_DOUBLE_EQ(panel.stiffSpin->value(), 0.46);
  EXPECT_EQ(panel.noiseTypeCombo->currentText(), "perlin_hard");
  EXPECT_EQ(panel.motionTypeCombo->currentText(), "speed-based");
  // Not rounded to what the spin boxes show, no setter called.
  EXPECT_EQ(shape->speed, 7.123);
  EXPECT_EQ(shape->stiffness, 0.4567);
  EXPECT_EQ(shape->stiffImage.getWindow().nchannels, 0);
  EXPECT_TRUE(shape->heldAtCall.empty());

  // A name no item matches leaves the combo as it was.
  shape->noiseType = "none";
  panel.setShape(shape);
  EXPECT_EQ(panel.noiseTypeCombo->currentText(), "perlin_hard");
}

TEST_F(CurrentShape, EditsReachTheShapeUnderTheMutex) {
  std::mutex mutex;
  SelectedShapeWidget panel;
  panel.setShapeMutex(&mutex);
  auto shape = makeShape();
  shape->mutex = &mutex;
  shape->noiseType = "perlin_hard";
  panel.setShape(shape);

  panel.speedSpin->setValue(12.5);
  EXPECT_EQ(shape->speed, 12.5);
  panel.stiffSpin->setValue(0.75);
  EXPECT_EQ(shape->stiffness, 0.75);

  panel.noiseTypeCombo->setCurrentText("perlin");
  EXPECT_EQ(shape->noiseType, "perlin");
  // The stiffness image was rebuilt for the shape's canvas.
  const vorn::Image<float>& stiff = shape->stiffImage.getWindow();
  EXPECT_EQ(stiff.nchannels, 1);
  EXPECT_EQ(stiff.getWidth(), 24);
  EXPECT_EQ(stiff.getHeight(), 24);

  panel.motionTypeCombo->setCurrentText("original");
  EXPECT_EQ(shape->evolutionMethod, "original");
  EXPECT_EQ(shape->heldAtCall, std::vector<bool>({true, true}));

  // Negative control: without a mutex nothing is locked.
  std::mutex other;
  shape->mutex = &other;
  panel.setShapeMutex(nullptr);
  panel.motionTypeCombo->setCurrentText("speed-based");
  EXPECT_EQ(shape->evolutionMethod, "speed-based");
  EXPECT_EQ(shape->heldAtCall.back(), false);
}

TEST_F(CurrentShape, PanelSharesOwnershipUntilTheShapeIsCleared) {
  SelectedShapeWidget panel;
  auto shape = makeShape();
  std::weak_ptr<ZazizEvozuBase> watch = shape;
  panel.setShape(shape);
  shape.reset();
  EXPECT_FALSE(watch.expired());
  panel.setShape(nullptr);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(panel.widget(), panel.hint);
  EXPECT_FALSE(panel.form->isVisible());
}

}  // namespace
