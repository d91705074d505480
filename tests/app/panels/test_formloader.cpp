// glimshape — tests
// Purpose: the Designer forms load from the resources and hold every widget the panels and
// the batch dialog bind, with the stated ranges, defaults and texts.
#include "app/panels/formloader.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include "common/qt_application.h"

namespace {

std::unique_ptr<QWidget> load(const char* name) {
  glimtest::application();
  auto parent = std::make_unique<QWidget>();
  QWidget* form = loadForm(QString(":forms/") + name, parent.get());
  EXPECT_NE(form, nullptr) << name;
  return parent;
}

template <class W>
W* find(QWidget* root, const char* name) {
  W* w = root->findChild<W*>(name);
  EXPECT_NE(w, nullptr) << name << " missing or of another class";
  return w;
}

// Whether some label in the form reads exactly `text`, and, when given, names `buddy`.
::testing::AssertionResult hasLabel(QWidget* root, const QString& text,
                                    const char* buddy = nullptr) {
  for (QLabel* label : root->findChildren<QLabel*>()) {
    if (label->text() != text) continue;
    if (!buddy || (label->buddy() && label->buddy()->objectName() == buddy))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "label \"" << text.toStdString()
                                         << "\" does not name " << buddy;
  }
  return ::testing::AssertionFailure() << "no label \"" << text.toStdString() << "\"";
}

::testing::AssertionResult hasGroup(QWidget* root, const QString& title) {
  for (QGroupBox* g : root->findChildren<QGroupBox*>())
    if (g->title() == title) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no group \"" << title.toStdString() << "\"";
}

QStringList items(QComboBox* combo) {
  QStringList list;
  for (int i = 0; combo && i < combo->count(); ++i) list << combo->itemText(i);
  return list;
}

void expectRange(QSpinBox* s, int lo, int hi, int step, int value) {
  ASSERT_NE(s, nullptr);
  SCOPED_TRACE(s->objectName().toStdString());
  EXPECT_EQ(s->minimum(), lo);
  EXPECT_EQ(s->maximum(), hi);
  EXPECT_EQ(s->singleStep(), step);
  EXPECT_EQ(s->value(), value);
}

void expectRange(QDoubleSpinBox* s, double hi, double step) {
  ASSERT_NE(s, nullptr);
  SCOPED_TRACE(s->objectName().toStdString());
  EXPECT_EQ(s->minimum(), 0.0);
  EXPECT_DOUBLE_EQ(s->maximum(), hi);
  EXPECT_DOUBLE_EQ(s->singleStep(), step);
  EXPECT_EQ(s->decimals(), 2);
}

TEST(Forms, OptionsForm) {
  auto parent = load("GlimShapeOptions.ui");
  QWidget* root = parent->findChild<QWidget*>("Form");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->windowTitle(), "Form");

  auto* tabs = find<QTabWidget>(root, "tabWidget");
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "General");
  EXPECT_EQ(tabs->tabText(1), "Evolution");
  EXPECT_EQ(tabs->currentIndex(), 1);  // opens on "Evolution"

  // The width spin box starts at its minimum, so showing a smaller stored width signals
  // no change.
  expectRange(find<QSpinBox>(root, "widthSpin"), 16, 512, 1, 16);
  expectRange(find<QSpinBox>(root, "heightSpin"), 64, 512, 16, 64);
  auto* method = find<QComboBox>(root, "methodCombo");
  EXPECT_EQ(items(method), QStringList({"FullLevelSet", "RectLevelSet", "SparseLevelSet"}));
  find<QLineEdit>(root, "temporaryPath");
  find<QListWidget>(root, "distributionList");
  auto* add = find<QToolButton>(root, "addDistributionButton");
  auto* remove = find<QToolButton>(root, "removeDistributionButton");
  if (add) {
    EXPECT_EQ(add->text(), "+");
  }
  if (remove) {
    EXPECT_EQ(remove->text(), "-");
  }

  for (const char* g : {"Canvas", "Temporary Files", "Other:"}) EXPECT_TRUE(hasGroup(root, g));
  EXPECT_TRUE(hasLabel(root, "Width:", "widthSpin"));
  EXPECT_TRUE(hasLabel(root, "Height:", "heightSpin"));
  EXPECT_TRUE(hasLabel(root, "Path:", "temporaryPath"));
  EXPECT_TRUE(hasLabel(root, "Method:", "methodCombo"));
  EXPECT_TRUE(hasLabel(root, "Distribution of motion model", "distributionList"));
}

TEST(Forms, EvolutionOptionsForm) {
  auto parent = load("GlimShapeEvolutionOptions.ui");
  QWidget* root = parent->findChild<QWidget*>("Form");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->windowTitle(), "Form");

  expectRange(find<QDoubleSpinBox>(root, "stiffMinSpin"), 1.0, 0.05);
  expectRange(find<QDoubleSpinBox>(root, "stiffMaxSpin"), 1.0, 0.05);
  expectRange(find<QDoubleSpinBox>(root, "speedMinSpin"), 10.0, 1.0);
  expectRange(find<QDoubleSpinBox>(root, "speedMaxSpin"), 10.0, 1.0);
  expectRange(find<QDoubleSpinBox>(root, "distributionSpin"), 10.0, 1.0);
  find<QComboBox>(root, "motionTypeCombo");
  find<QComboBox>(root, "noiseTypeCombo");
  auto* noise = find<QLabel>(root, "noiseLabel");
  if (noise) {
    EXPECT_EQ(noise->frameShape(), QFrame::Box);
  }
  auto* ok = find<QPushButton>(root, "okButton");
  if (ok) {
    EXPECT_EQ(ok->text(), "Ok");
  }

  EXPECT_TRUE(hasGroup(root, "Shape Evolution"));
  EXPECT_TRUE(hasGroup(root, "Noise Image"));
  EXPECT_TRUE(hasLabel(root, "Stiffness Range", "stiffMinSpin"));
  EXPECT_TRUE(hasLabel(root, "Speed Range", "speedMinSpin"));
  EXPECT_TRUE(hasLabel(root, "Distribution", "distributionSpin"));
  EXPECT_TRUE(hasLabel(root, "Motion Type", "motionTypeCombo"));
  EXPECT_TRUE(hasLabel(root, "Type", "noiseTypeCombo"));
}

TEST(Forms, CurrentShapeForm) {
  auto parent = load("CurrentShapeOptions.ui");
  QWidget* root = parent->findChild<QWidget*>("Form");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->windowTitle(), "Form");

  expectRange(find<QDoubleSpinBox>(root, "stiffSpin"), 1.0, 0.05);
  expectRange(find<QDoubleSpinBox>(root, "speedSpin"), 20.0, 0.05);
  find<QComboBox>(root, "motionTypeCombo");
  find<QComboBox>(root, "noiseTypeCombo");
  EXPECT_TRUE(hasLabel(root, "Motion", "motionTypeCombo"));
  EXPECT_TRUE(hasLabel(root, "Stiffness", "stiffSpin"));
  EXPECT_TRUE(hasLabel(root, "Speed", "speedSpin"));
  EXPECT_TRUE(hasLabel(root, "Noise", "noiseTypeCombo"));
}

TEST(Forms, MultipleEvolutionsForm) {
  auto parent = load("MultipleEvolutions.ui");
  QWidget* root = parent->findChild<QWidget*>("Dialog");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->windowTitle(), "Dialog");
  // Loaded as a child, the root must not become a window of its own.
  EXPECT_FALSE(root->isWindow());

  EXPECT_TRUE(hasGroup(root, "Multiple Evolutions"));
  expectRange(find<QSpinBox>(root, "numOutputShapes"), 1, 100000, 1, 99);
  expectRange(find<QSpinBox>(root, "timeLimit"), 2, 1000, 1, 60);
  auto* fill = find<QCheckBox>(root, "fillAfterEvolution");
  if (fill) {
    EXPECT_FALSE(fill->isChecked());
    EXPECT_EQ(fill->text(), "Fill After Evolution");
  }
  auto* prefix = find<QLineEdit>(root, "filePrefix");
  if (prefix) {
    EXPECT_EQ(prefix->text(), "glimout-");
  }
  auto* dir = find<QLineEdit>(root, "outputDir");
  if (dir) {
    EXPECT_EQ(dir->text(), "/tmp");
  }
  auto* output = find<QPushButton>(root, "outputButton");
  if (output) {
    EXPECT_EQ(output->text(), "Output");
  }
  auto* start = find<QPushButton>(root, "startButton");
  if (start) {
    EXPECT_EQ(start->text(), "Start");
  }
  auto* log = find<QTextEdit>(root, "logTextEdit");
  if (log) {
    EXPECT_TRUE(log->toPlainText().isEmpty());
  }
  EXPECT_TRUE(hasLabel(root, "Num. Output Shapes", "numOutputShapes"));
  EXPECT_TRUE(hasLabel(root, "Time Limit (seconds)", "timeLimit"));
  EXPECT_TRUE(hasLabel(root, "Prefix ", "filePrefix"));
}

TEST(Forms, MissingOrBrokenFormGivesNullAndAMessage) {
  glimtest::application();
  QWidget parent;
  testing::internal::CaptureStderr();
  EXPECT_EQ(loadForm(":forms/NoSuchForm.ui", &parent), nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(":forms/NoSuchForm.ui"), std::string::npos) << err;

  QTemporaryDir dir;
  const QString broken = dir.filePath("broken.ui");
  {
    QFile f(broken);
    ASSERT_TRUE(f.open(QFile::WriteOnly));
    f.write("<ui version=\"4.0\"><widget class=\"QWidget\"");
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(loadForm(broken, &parent), nullptr);
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("broken.ui"), std::string::npos) << err;
  EXPECT_TRUE(parent.findChildren<QWidget*>().isEmpty());
}

}  // namespace
