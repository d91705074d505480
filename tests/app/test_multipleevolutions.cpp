// glimshape — tests/app
// Purpose: the batch dialog: file numbering that never overwrites, the log lines, a missing
// output directory, failed saves, cancelling and the end of a batch.
#include "app/multipleevolutions.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <memory>

#include "app/mainwindow.h"
#include "app_testing.h"
#include "evolver/evolver.h"

namespace {

class MultipleEvolutionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
    dialog = window->multipleEvolutions;
    ASSERT_NE(dialog->startButton, nullptr);
    // The shortest time the form allows.
    dialog->timeLimit->setValue(dialog->timeLimit->minimum());
    ASSERT_EQ(dialog->timeLimit->value(), 2);
    dialog->numOutputShapes->setValue(1);
  }
  void TearDown() override { window->stopEvolution(); }

  /// Creates numbered files with marker contents in `dir`.
  void makeFiles(const QString& dir, std::initializer_list<int> numbers) {
    for (int n : numbers)
      ASSERT_TRUE(glimtest::writeFile(dir + "/" + dialog->fileName(n), marker(n)));
  }
  static QByteArray marker(int n) { return "user file " + QByteArray::number(n); }
  static QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QFile::ReadOnly) ? file.readAll() : QByteArray();
  }

  bool runToEnd() {
    dialog->startButton->click();
    // Each iteration takes its time limit plus the occupation and the save.
    return glimtest::waitUntil([&] { return !dialog->isRunning(); },
                               dialog->numOutputShapes->value() * 60000);
  }
  QString log() const { return dialog->logTextEdit->toPlainText(); }

  std::unique_ptr<MainWindow> window;
  MultipleEvolutions* dialog = nullptr;
};

TEST_F(MultipleEvolutionsTest, OffsetSearchFindsTheFirstFreeNumberOfAGaplessRun) {
  const QString dir = glimtest::scratchDir("offsets");
  dialog->outputDir->setText(dir);
  EXPECT_EQ(dialog->fileName(123456), QStringLiteral("glimout-123456.svg"));
  EXPECT_EQ(dialog->initFileOutputOffset(), 0);
  // Across the search's coarse steps: 0 … 99, then 0 … 100, 0 … 1234.
  for (int n = 0; n < 1235; ++n) ASSERT_TRUE(glimtest::writeFile(dir + "/" + dialog->fileName(n), ""));
  EXPECT_EQ(dialog->initFileOutputOffset(), 1235);
  QFile::remove(dir + "/" + dialog->fileName(1234));
  EXPECT_EQ(dialog->initFileOutputOffset(), 1234);
  QFile::remove(dir + "/" + dialog->fileName(100));
  EXPECT_EQ(dialog->initFileOutputOffset(), 100);
  QFile::remove(dir + "/" + dialog->fileName(0));
  EXPECT_EQ(dialog->initFileOutputOffset(), 0);
}

TEST_F(MultipleEvolutionsTest, FivePresentFilesMakeTheFirstNewOneNumberFive) {
  const QString dir = glimtest::scratchDir("five");
  dialog->outputDir->setText(dir);
  makeFiles(dir, {0, 1, 2, 3, 4});
  ASSERT_TRUE(runToEnd());
  EXPECT_TRUE(log().contains("Files existed in output dir, offseting with 5")) << log().toStdString();
  EXPECT_TRUE(log().contains("Starting..."));
  EXPECT_TRUE(log().contains("iteration 0"));
  EXPECT_TRUE(log().contains("Doing occupy."));
  EXPECT_TRUE(log().contains("done iteration 0"));
  EXPECT_TRUE(log().contains("saving to glimout-000005.svg in " + dir));
  const QByteArray written = contents(dir + "/glimout-000005.svg");
  EXPECT_TRUE(written.contains("<svg")) << written.left(200).toStdString();
  for (int n = 0; n < 5; ++n) EXPECT_EQ(contents(dir + "/" + dialog->fileName(n)), marker(n));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 6);
  // One iteration, and the batch is over: the worker is stopped and the button reads Start.
  EXPECT_FALSE(window->evolveAction->isChecked());
  EXPECT_FALSE(window->evolver().running());
}

TEST_F(MultipleEvolutionsTest, FilesBeyondAGapAreNeverOverwritten) {
  const QString dir = glimtest::scratchDir("gap");
  dialog->outputDir->setText(dir);
  dialog->filePrefix->setText("run-");
  makeFiles(dir, {0, 1, 2, 3, 4, 7});
  dialog->numOutputShapes->setValue(3);
  ASSERT_TRUE(runToEnd());
  EXPECT_TRUE(log().contains("offseting with 5"));
  for (int n : {0, 1, 2, 3, 4, 7}) EXPECT_EQ(contents(dir + "/" + dialog->fileName(n)), marker(n)) << n;
  for (int n : {5, 6, 8}) EXPECT_TRUE(contents(dir + "/" + dialog->fileName(n)).contains("<svg")) << n;
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 9);
  EXPECT_TRUE(log().contains("saving to run-000008.svg"));
}

TEST_F(MultipleEvolutionsTest, MissingOutputDirectoryStartsNothing) {
  const QString missing = glimtest::scratchDir("absent") + "/not-there";
  dialog->outputDir->setText(missing);
  dialog->startButton->click();
  EXPECT_EQ(log(), "Output dir " + missing + " does not exist!");
  EXPECT_EQ(dialog->startButton->text(), QStringLiteral("Start"));
  EXPECT_FALSE(window->evolveAction->isChecked());
  EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(MultipleEvolutionsTest, FailedSaveIsLoggedAndTheBatchGoesOn) {
  const QString dir = glimtest::scratchDir("failing");
  dialog->outputDir->setText(dir);
  // The prefix names a directory that does not exist, so no file can be written.
  dialog->filePrefix->setText("missing/out-");
  dialog->numOutputShapes->setValue(2);
  ASSERT_TRUE(runToEnd());
  EXPECT_EQ(log().count("could not save " + dir + "/missing/out-000000.svg"), 2) << log().toStdString();
  EXPECT_EQ(log().count("out-000000.svg: No such file or directory"), 2);
  EXPECT_TRUE(log().contains("done iteration 1"));
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());
  EXPECT_TRUE(QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(MultipleEvolutionsTest, StopEndsTheBatchAfterTheCurrentFile) {
  const QString dir = glimtest::scratchDir("stop");
  dialog->outputDir->setText(dir);
  dialog->numOutputShapes->setValue(3);
  dialog->startButton->click();
  EXPECT_FALSE(dialog->startButton->isEnabled());
  EXPECT_TRUE(dialog->stopButton->isEnabled());
  EXPECT_TRUE(window->evolver().running());
  // Three files of 2 s each: about 6 s left.
  EXPECT_TRUE(dialog->progressText().startsWith("File 1 of 3: evolving, about ")) << dialog->progressText().toStdString();
  EXPECT_TRUE(dialog->progressText().endsWith(" s left")) << dialog->progressText().toStdString();
  dialog->startButton->click();  // disabled: nothing happens
  dialog->stopButton->click();
  EXPECT_FALSE(dialog->stopButton->isEnabled());
  EXPECT_TRUE(window->evolver().running());
  ASSERT_TRUE(glimtest::waitUntil([&] { return !dialog->isRunning(); }, 60000));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList({"glimout-000000.svg"}));
  EXPECT_TRUE(log().endsWith("Stopped by the user after 1 of 3 files.")) << log().toStdString();
  EXPECT_EQ(log().count("Starting..."), 1);
  EXPECT_TRUE(dialog->startButton->isEnabled());
  EXPECT_FALSE(window->evolver().running());
}

TEST_F(MultipleEvolutionsTest, ADrawingThatCannotBeReloadedEndsTheBatch) {
  const QString dir = glimtest::scratchDir("reload");
  dialog->outputDir->setText(dir);
  const QString good = dir + "/good.svg", missing = dir + "/missing.svg";
  ASSERT_TRUE(QFile::copy(glimtest::exampleDrawing(), good));
  ASSERT_TRUE(window->openFile(good));
  // A failed open keeps the drawing, and so the file the batch reloads and the title.
  EXPECT_FALSE(window->openFile(missing, FailureReport::Quiet));
  EXPECT_EQ(window->currentFile, good);
  EXPECT_EQ(window->windowFilePath(), good);

  const QString noShape = dir + "/outside.svg";
  ASSERT_TRUE(glimtest::writeFile(noShape, "<svg width=\"128\" height=\"128\">"
                                           "<path d=\"M 900 900 L 990 900 L 990 990 Z\"/></svg>"));
  const struct {
    QString open;      // opened before the batch, empty for none
    bool removeAfter;  // the file goes before the batch starts
    QString reason;
  } cases[] = {{QString(), false, "No drawing is open; batch stopped."},
               {good, true, "Could not open " + good + "; batch stopped."},
               {noShape, false, "The drawing " + noShape + " has no shape; batch stopped."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason.toStdString());
    window->currentFile.clear();
    if (!c.open.isEmpty()) {
      ASSERT_TRUE(window->openFile(c.open, FailureReport::Quiet));
    }
    if (c.removeAfter) {
      ASSERT_TRUE(QFile::remove(c.open));
    }
    dialog->logTextEdit->clear();
    dialog->startButton->click();
    EXPECT_FALSE(dialog->isRunning());
    EXPECT_TRUE(log().endsWith(c.reason)) << log().toStdString();
    EXPECT_TRUE(dialog->startButton->isEnabled());
    EXPECT_FALSE(window->evolveAction->isChecked());
    // Nothing is saved, also once the iteration's time is over.
    QTest::qWait(2500);
    EXPECT_TRUE(QDir(dir).entryList({"glimout-*"}, QDir::Files).isEmpty());
  }
}

}  // namespace
