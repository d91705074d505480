// glimshape — tests/app
// Purpose: the main window: settings on close, Evolve and the worker, drops, failed opens
// and the rules by which the canvas commands stop and restart the worker.
#include "app/mainwindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QUrl>
#include <memory>
#include <utility>

#include "app/multipleevolutions.h"
#include "app/shapeframe.h"
#include "settings/optionswidget.h"
#include "settings/selectedshapewidget.h"
#include "app_testing.h"
#include "evolver/evolver.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override {
    for (QMessageBox* box : window->findChildren<QMessageBox*>()) box->close();
    window->stopEvolution();
  }

  ZazizEvozuEvolver& evolver() { return window->evolver(); }
  QAction* action(const char* name) { return window->findChild<QAction*>(name); }

  /// A drag entering the window and dropped there, as the drag manager delivers it.
  void drop(QMimeData* data) {
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent event(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &event);
  }

  /// Waits until the worker has finished at least `passes` passes of the current run.
  bool waitForPasses(int passes) {
    return glimtest::waitUntil([&] { return evolver().getPassCount() >= passes; }, 60000);
  }

  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ClosingStoresExactlyTheFourKeysAndClosesTheOtherWindows) {
  QSettings().clear();
  window->options();
  window->openMultipleEvolutionsDialog();
  ASSERT_TRUE(window->optionsWidget->isVisible());
  window->close();
  EXPECT_FALSE(window->optionsWidget->isVisible());
  EXPECT_FALSE(window->multipleEvolutions->isVisible());
  QSettings store;
  QStringList keys = store.allKeys();
  keys.sort();
  EXPECT_EQ(keys, QStringList({"simulation/height", "simulation/levelSetType", "simulation/width",
                               "temporaryPath"}));
  EXPECT_EQ(store.value("simulation/width").toInt(), 128);
  EXPECT_EQ(store.value("simulation/height").toInt(), 128);
  EXPECT_EQ(store.value("simulation/levelSetType").toString(), QStringLiteral("RectLevelSet"));
  EXPECT_EQ(store.value("temporaryPath").toString(), QStringLiteral("./temp"));
}

TEST_F(MainWindowTest, MenusAndToolBarsCarryTheirEntries) {
  QStringList entries;
  for (QAction* menu : window->menuBar()->actions()) {
    entries << menu->text();
    for (QAction* entry : menu->menu()->actions())
      entries << (entry->isSeparator() ? QStringLiteral("|") : entry->text());
  }
  EXPECT_EQ(entries.join(','), QStringLiteral("&File,&Open,&Save,|,&Multiple,|,E&xit,&Edit,&Options"));
  EXPECT_TRUE(window->evolveAction->isCheckable());
  EXPECT_FALSE(window->evolveAction->isChecked());
  for (const char* name : {"fillAction", "resetAction", "closerAction", "occupyAction",
                           "unfreezeAction"}) {
    ASSERT_NE(action(name), nullptr) << name;
    EXPECT_FALSE(action(name)->isCheckable()) << name;
  }
  EXPECT_EQ(action("closerAction")->text(), QStringLiteral("Closer"));
  EXPECT_FALSE(window->selectedShapeWidget->features() & QDockWidget::DockWidgetClosable);
}

TEST_F(MainWindowTest, EvolveRunsTheWorkerAndTheViewChanges) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  const QImage before = window->shapeFrame->grabFramebuffer();
  EXPECT_EQ(window->statusText(), QStringLiteral("Not evolving"));

  window->evolveAction->trigger();
  EXPECT_TRUE(window->evolveAction->isChecked());
  EXPECT_TRUE(evolver().running());
  // The pass under way counts from 1, the first one too.
  for (const int passes : {0, 3}) {
    ASSERT_TRUE(waitForPasses(passes));
    int done = -1;
    QString text;
    while (done != evolver().getPassCount()) {
      done = evolver().getPassCount();
      text = window->statusText();
    }
    EXPECT_EQ(text, QStringLiteral("Evolving: pass %1 of 150").arg(done + 1));
  }

  // The repaint timer shows the moved outlines without any request.
  QTest::qWait(3 * ShapeFrame::kRepaintInterval);
  const QImage after = window->shapeFrame->grabFramebuffer();
  int changed = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x) changed += before.pixel(x, y) != after.pixel(x, y);
  EXPECT_GT(changed, 100);

  window->evolveAction->trigger();
  EXPECT_FALSE(evolver().running());
  EXPECT_EQ(window->statusText(), QStringLiteral("Not evolving"));
}

TEST_F(MainWindowTest, DroppedUrlsAndFileTextOpenTheirFiles) {
  const QString dir = glimtest::scratchDir("drops");
  const QString square = dir + "/square.svg";
  ASSERT_TRUE(glimtest::writeFile(square,
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">"
      "<path d=\"M 20 20 L 80 20 L 80 80 L 20 80 Z\" fill=\"#00ff00\"/></svg>"));

  {
    QMimeData enter;
    enter.setUrls({QUrl::fromLocalFile(square)});
    QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction, &enter, Qt::LeftButton, Qt::NoModifier);
    testing::internal::CaptureStdout();
    QApplication::sendEvent(window.get(), &event);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Got drag event.\n");
    EXPECT_TRUE(event.isAccepted());
    QMimeData other;
    other.setData("application/x-other", "x");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
  }

  // Two URLs: both are opened in turn, the second stays.
  auto* urls = new QMimeData;
  urls->setUrls({QUrl::fromLocalFile(glimtest::exampleDrawing()), QUrl::fromLocalFile(square)});
  drop(urls);
  delete urls;
  EXPECT_EQ(window->currentFile, square);
  EXPECT_EQ(evolver().shapes.size(), 1u);

  // "file:" text, with the line break drag sources add.
  auto* text = new QMimeData;
  text->setText("file:" + glimtest::exampleDrawing() + "\r\n");
  drop(text);
  delete text;
  EXPECT_EQ(window->currentFile, glimtest::exampleDrawing());
  EXPECT_EQ(evolver().shapes.size(), glimtest::exampleColours().size());
  EXPECT_EQ(window->windowFilePath(), glimtest::exampleDrawing());

  // Other text is not a file.
  auto* plain = new QMimeData;
  plain->setText(square);
  drop(plain);
  delete plain;
  EXPECT_EQ(window->currentFile, glimtest::exampleDrawing());
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());
}

TEST_F(MainWindowTest, FailedOpenShowsABoxNamingTheFile) {
  const QString missing = glimtest::scratchDir("missing") + "/nowhere é.svg";
  EXPECT_FALSE(window->openFile(missing));
  const QList<QMessageBox*> boxes = window->findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0]->isVisible());
  EXPECT_TRUE(boxes[0]->text().contains(missing)) << boxes[0]->text().toStdString();
  boxes[0]->close();
  QTest::qWait(50);  // the box deletes itself once closed
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());

  // The batch dialog's path reports nothing on screen.
  window->currentFile = missing;
  EXPECT_FALSE(window->reload());
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());

  // A drawing whose name is not ASCII opens.
  const QString accented = glimtest::scratchDir("accented") + "/dessin-é.svg";
  ASSERT_TRUE(QFile::copy(glimtest::exampleDrawing(), accented));
  EXPECT_TRUE(window->openFile(accented));
  EXPECT_EQ(evolver().shapes.size(), glimtest::exampleColours().size());
}

TEST_F(MainWindowTest, HostileFilesKeepTheDrawingAndAreNeverWritten) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  const std::size_t shapes = evolver().shapes.size();
  const QString dir = glimtest::scratchDir("hostile");

  // An empty file, a directory, bytes that are no XML under an .svg name, and a billion
  // laughs: each is refused with a box naming it, and the drawing stays.
  QByteArray binary;
  for (int k = 0; k < 4096; ++k) binary.append(char((k * 151 + 7) % 256));
  QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY l0 \"M 1 1 L 9 1 L 9 9 Z \">";
  for (int level = 1; level <= 9; ++level) {
    laughs += "<!ENTITY l" + QByteArray::number(level) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + QByteArray::number(level - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><svg width=\"10\" height=\"10\"><path d=\"&l9;\"/><g>&l9;</g></svg>";
  const QString empty = dir + "/empty.svg", folder = dir + "/folder.svg";
  const QString noise = dir + "/binary.svg", bomb = dir + "/laughs.svg";
  ASSERT_TRUE(glimtest::writeFile(empty, ""));
  ASSERT_TRUE(QDir().mkdir(folder));
  ASSERT_TRUE(glimtest::writeFile(noise, binary));
  ASSERT_TRUE(glimtest::writeFile(bomb, laughs));
  for (const QString& path : {empty, folder, noise, bomb}) {
    EXPECT_FALSE(window->openFile(path)) << path.toStdString();
    EXPECT_EQ(evolver().shapes.size(), shapes) << path.toStdString();
    const QList<QMessageBox*> boxes = window->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1) << path.toStdString();
    EXPECT_TRUE(boxes[0]->text().contains(path)) << boxes[0]->text().toStdString();
    boxes[0]->close();
    QTest::qWait(50);
  }

  // A drawing whose only outline lies outside the canvas opens as an empty drawing, and a
  // box naming it says that it has no shape.
  const QString outside = dir + "/outside.svg";
  const QByteArray outsideText =
      "<svg width=\"128\" height=\"128\"><path d=\"M 1000 1000 L 1100 1000 L 1100 1100 Z\"/></svg>";
  ASSERT_TRUE(glimtest::writeFile(outside, outsideText));
  EXPECT_TRUE(window->openFile(outside));
  EXPECT_TRUE(evolver().shapes.empty());
  {
    const QList<QMessageBox*> boxes = window->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->text().contains(outside) && boxes[0]->text().contains("no shape"))
        << boxes[0]->text().toStdString();
    boxes[0]->close();
    QTest::qWait(50);
  }

  // A path of 20,000 crossing lines is skipped, not filled for minutes; the other outline
  // of the drawing is read.
  QByteArray zigzag = "<svg width=\"128\" height=\"128\"><path d=\"M 0 0";
  for (int k = 0; k < 20000; ++k) zigzag += k % 2 ? " L 0 128" : " L 128 " + QByteArray::number(k % 128);
  zigzag += "\"/><path d=\"M 10 10 L 50 10 L 50 50 Z\"/></svg>";
  const QString big = dir + "/zigzag.svg";
  ASSERT_TRUE(glimtest::writeFile(big, zigzag));
  EXPECT_TRUE(window->openFile(big));
  EXPECT_EQ(evolver().shapes.size(), 1u);
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());

  // None of the files was changed by being opened.
  for (const auto& [path, text] : {std::pair{empty, QByteArray()}, std::pair{noise, binary},
                                   std::pair{bomb, laughs}, std::pair{outside, outsideText},
                                   std::pair{big, zigzag}}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QFile::ReadOnly)) << path.toStdString();
    EXPECT_EQ(file.readAll(), text) << path.toStdString();
  }
  EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(MainWindowTest, OpenAndSaveRestoreTheWorkerToMatchEvolve) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  window->startEvolution();
  ASSERT_TRUE(evolver().running());
  const QString out = glimtest::scratchDir("save") + "/glim.svg";
  EXPECT_TRUE(window->saveFile(out));
  EXPECT_TRUE(QFileInfo(out).size() > 0);
  EXPECT_TRUE(evolver().running());
  EXPECT_TRUE(window->openFile(out));
  EXPECT_TRUE(evolver().running());
  window->stopEvolution();
  EXPECT_TRUE(window->saveFile(out));
  EXPECT_FALSE(evolver().running());

  EXPECT_FALSE(window->saveFile(glimtest::scratchDir("save") + "/no/such/dir/x.svg"));
  EXPECT_EQ(window->findChildren<QMessageBox*>().size(), 1);
}

// Fill, Reset and a save go on with the run they interrupt, the pass count kept.
TEST_F(MainWindowTest, FillResetAndSaveWhileEvolvingContinueTheRun) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  window->startEvolution();
  ASSERT_TRUE(waitForPasses(5));
  for (const char* name : {"fillAction", "resetAction", "save"}) {
    const int before = evolver().getPassCount();
    if (action(name)) action(name)->trigger();
    else EXPECT_TRUE(window->saveFile(glimtest::scratchDir("continue") + "/glim.svg"));
    EXPECT_TRUE(window->evolveAction->isChecked() && evolver().running()) << name;
    EXPECT_TRUE(evolver().getPassCount() >= before && !evolver().isRunComplete()) << name;
  }
}

TEST_F(MainWindowTest, CloserAndOccupyUncheckEvolveAndFreezeTheOutlines) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  for (const char* name : {"closerAction", "occupyAction"}) {
    SCOPED_TRACE(name);
    window->startEvolution();
    ASSERT_TRUE(waitForPasses(1));
    action(name)->trigger();
    EXPECT_FALSE(window->evolveAction->isChecked());
    EXPECT_FALSE(evolver().running());
    for (const auto& shape : evolver().shapes) EXPECT_TRUE(shape->polygonsFrozen);
  }

  // Unfreeze while the worker runs leaves it running.
  window->startEvolution();
  action("unfreezeAction")->trigger();
  EXPECT_TRUE(window->evolveAction->isChecked());
  EXPECT_TRUE(evolver().running());
  for (const auto& shape : evolver().shapes) EXPECT_FALSE(shape->polygonsFrozen);
}

TEST_F(MainWindowTest, ResetWithNoDrawingFollowsEvolve) {
  action("resetAction")->trigger();
  EXPECT_FALSE(evolver().running());
  window->startEvolution();
  action("resetAction")->trigger();
  EXPECT_TRUE(evolver().running());
  EXPECT_TRUE(window->evolveAction->isChecked());
  EXPECT_TRUE(evolver().shapes.empty());
  // Fill with no drawing does nothing either.
  action("fillAction")->trigger();
  EXPECT_TRUE(evolver().shapes.empty());
}

}  // namespace
