// glimshape — tests
// Purpose: OptionsWidget shows and edits the settings: sizes, level-set kind and the list of
// motion models (with the modal editor).
#include "app/panels/optionswidget.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "common/qt_application.h"
#include "app/panels/evolutionoptionswidget.h"
#include "settings/glimshapesettings.h"

namespace {

class Options : public testing::Test {
 protected:
  void SetUp() override {
    glimtest::application();
    GlimShapeSettings::instance() = GlimShapeSettings();
  }
  void TearDown() override { GlimShapeSettings::instance() = GlimShapeSettings(); }

  static QStringList lines(const OptionsWidget& w) {
    QStringList list;
    for (int i = 0; i < w.distributionList->count(); ++i)
      list << w.distributionList->item(i)->text();
    return list;
  }

  // Double-clicks row `row` and, once the editor is open, runs `edit` on it. The editor
  // is found as the window's child, so no window manager is needed.
  static void editRow(OptionsWidget& w, int row,
                      const std::function<void(EvolutionOptionsWidget&)>& edit) {
    bool edited = false;
    std::function<void()> poll = [&] {
      auto* editor = w.findChild<EvolutionOptionsWidget*>();
      if (!editor || !editor->isVisible()) {
        QTimer::singleShot(10, poll);
        return;
      }
      edited = true;
      edit(*editor);
    };
    QTimer::singleShot(0, poll);
    emit w.distributionList->itemDoubleClicked(w.distributionList->item(row));
    EXPECT_TRUE(edited);
  }

  // Row `row` of the stored list holds this record, and the list widget shows it.
  static void expectRecord(const OptionsWidget& w, int row, const char* description,
                           double stiffMin, double stiffMax, double speedMin, double speedMax) {
    const EvolutionDistribution& d = GlimShapeSettings::instance().distributions[row];
    EXPECT_EQ(d.getDescription(), description);
    EXPECT_DOUBLE_EQ(d.stiffMin, stiffMin);
    EXPECT_DOUBLE_EQ(d.stiffMax, stiffMax);
    EXPECT_DOUBLE_EQ(d.speedMin, speedMin);
    EXPECT_DOUBLE_EQ(d.speedMax, speedMax);
    EXPECT_EQ(w.distributionList->item(row)->text(), description);
  }
};

TEST_F(Options, ShowsTheSettingsWithoutWritingThemBack) {
  GlimShapeSettings& s = GlimShapeSettings::instance();
  s.width = 8;
  s.height = 100;
  s.levelSetType = "SparseLevelSet";
  s.temporaryPath = "/var/tmp/glim";
  s.svgReader = "basic";
  OptionsWidget w;
  ASSERT_NE(w.widthSpin, nullptr);
  ASSERT_NE(w.fullReaderCheck, nullptr);
  EXPECT_FALSE(w.fullReaderCheck->isChecked());
  ASSERT_NE(w.distributionList, nullptr);

  EXPECT_EQ(w.widthSpin->value(), 16);  // the spin box's minimum ...
  EXPECT_EQ(s.width, 8);                // ... while the setting keeps 8
  EXPECT_EQ(w.heightSpin->value(), 100);
  EXPECT_EQ(s.height, 100);
  EXPECT_EQ(w.methodCombo->currentText(), "SparseLevelSet");
  EXPECT_EQ(w.temporaryPath->text(), "/var/tmp/glim");
  EXPECT_TRUE(w.temporaryPath->isReadOnly());
  EXPECT_EQ(lines(w), QStringList({"perlin,original,1", "perlin_hard,original,0.1"}));
  EXPECT_EQ(w.form->findChild<QTabWidget*>("tabWidget")->currentIndex(), 1);

  // A stored size above the spin box's range is kept too, until the user edits it.
  s.width = 1024;
  OptionsWidget large;
  EXPECT_EQ(large.widthSpin->value(), 512);
  EXPECT_EQ(s.width, 1024);

  // The user's edits go straight into the settings.
  w.widthSpin->setValue(32);
  EXPECT_EQ(s.width, 32);
  w.heightSpin->stepBy(1);
  EXPECT_EQ(s.height, 116);
  w.methodCombo->setCurrentText("RectLevelSet");
  EXPECT_EQ(s.levelSetType, "RectLevelSet");
  w.fullReaderCheck->click();
  EXPECT_EQ(s.svgReader, "full");
  w.fullReaderCheck->click();
  EXPECT_EQ(s.svgReader, "basic");
  // The path is shown only.
  w.temporaryPath->setText("/elsewhere");
  EXPECT_EQ(s.temporaryPath, "/var/tmp/glim");
}

TEST_F(Options, UnknownLevelSetTypeLeavesTheComboAndTheSetting) {
  GlimShapeSettings::instance().levelSetType = "rectlevelset";  // case matters
  OptionsWidget w;
  EXPECT_EQ(w.methodCombo->currentIndex(), 0);
  EXPECT_EQ(GlimShapeSettings::instance().levelSetType, "rectlevelset");
}

TEST_F(Options, AddAndRemoveMotionModels) {
  std::vector<EvolutionDistribution>& list = GlimShapeSettings::instance().distributions;
  OptionsWidget w;
  auto* add = w.form->findChild<QToolButton*>("addDistributionButton");
  auto* remove = w.form->findChild<QToolButton*>("removeDistributionButton");
  ASSERT_TRUE(add && remove);

  list[0].weight = 2.5;
  add->click();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].getDescription(), "perlin,original,1");
  EXPECT_EQ(w.distributionList->item(2)->text(), "perlin,original,1");

  // No current item: nothing is removed.
  w.distributionList->setCurrentItem(nullptr);
  remove->click();
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(w.distributionList->count(), 3);

  // Removing the first line erases the first record.
  w.distributionList->setCurrentRow(0);
  remove->click();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].getDescription(), "perlin_hard,original,0.1");
  EXPECT_EQ(lines(w), QStringList({"perlin_hard,original,0.1", "perlin,original,1"}));
}

TEST_F(Options, EditorOkWithoutChangesKeepsTheRecord) {
  OptionsWidget w;
  editRow(w, 1, [](EvolutionOptionsWidget& e) {
    EXPECT_EQ(e.noiseTypeCombo->currentText(), "perlin_hard");
    EXPECT_DOUBLE_EQ(e.distributionSpin->value(), 0.1);
    e.findChild<QPushButton*>("okButton")->click();
  });
  expectRecord(w, 1, "perlin_hard,original,0.1", 0.1, 0.3, 4.0, 10.0);
}

TEST_F(Options, EditorValuesAreTakenHoweverItCloses) {
  OptionsWidget w;
  editRow(w, 0, [](EvolutionOptionsWidget& e) {
    e.stiffMinSpin->setValue(0.25);
    e.stiffMaxSpin->setValue(0.9);
    e.speedMinSpin->setValue(1.5);
    e.speedMaxSpin->setValue(7);
    e.distributionSpin->setValue(0.5);
    e.motionTypeCombo->setCurrentText("speed-based");
    e.noiseTypeCombo->setCurrentText("perlin_hard");
    e.close();  // the window's close button, not "Ok"
  });
  expectRecord(w, 0, "perlin_hard,speed-based,0.5", 0.25, 0.9, 1.5, 7.0);
  // The editor is gone once it has closed.
  EXPECT_EQ(w.findChild<EvolutionOptionsWidget*>(), nullptr);
}

}  // namespace
