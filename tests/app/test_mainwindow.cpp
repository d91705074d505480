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
#include <QLabel>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QProcess>
#include <QUrl>
#include <csignal>
#include <map>
#include <memory>
#include <utility>

#include "app/multipleevolutions.h"
#include "app/shapeframe.h"
#include "app/panels/optionswidget.h"
#include "app/panels/selectedshapewidget.h"
#include "app_testing.h"
#include "evolver/evolver.h"
#include "settings/glimshapesettings.h"
#include "evolver/timelapse.h"

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

TEST_F(MainWindowTest, ClosingStoresExactlyTheFiveKeysAndClosesTheOtherWindows) {
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
  // No temporary path the user did not choose: the next start takes the platform's.
  EXPECT_EQ(keys, QStringList({"simulation/height", "simulation/levelSetType", "simulation/width",
                               "svgReader", "window/geometry", "window/state"}));
  EXPECT_EQ(store.value("simulation/width").toInt(), 128);
  EXPECT_EQ(store.value("simulation/height").toInt(), 128);
  EXPECT_EQ(store.value("simulation/levelSetType").toString(), QStringLiteral("RectLevelSet"));
  // A new window opens as this one was left.
  const QRect left = window->geometry();
  MainWindow again;
  EXPECT_EQ(again.size(), left.size());
}

TEST_F(MainWindowTest, MenusAndToolBarsCarryTheirEntries) {
  QStringList entries;
  for (QAction* menu : window->menuBar()->actions()) {
    entries << menu->text();
    for (QAction* entry : menu->menu()->actions())
      entries << (entry->isSeparator() ? QStringLiteral("|") : entry->text());
  }
  EXPECT_EQ(entries.join(','), QStringLiteral(
      "&File,&Open…,Open &Recent,&Save,Save &As…,|,&Export Picture…,Re&cord Time-Lapse…,|,"
      "&Multiple,|,E&xit,&Edit,&Options,&View,Zoom to &Fit,&Actual Size,Zoom &In,Zoom &Out,"
      "&Help,&About glimshape"));
  EXPECT_EQ(window->evolveAction->toolTip(), QStringLiteral("Evolve (Space)"));
  EXPECT_TRUE(MainWindow::aboutText().contains(QStringLiteral("<td>%1</td>").arg(qVersion())));
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

  // A path of 20,000 crossing lines is not filled for minutes: the basic reader skips it,
  // the full reader (the default) draws it as a renderer does; the other outline is read.
  QByteArray zigzag = "<svg width=\"128\" height=\"128\"><path d=\"M 0 0";
  for (int k = 0; k < 20000; ++k) zigzag += k % 2 ? " L 0 128" : " L 128 " + QByteArray::number(k % 128);
  zigzag += "\"/><path d=\"M 10 10 L 50 10 L 50 50 Z\"/></svg>";
  const QString big = dir + "/zigzag.svg";
  ASSERT_TRUE(glimtest::writeFile(big, zigzag));
  EXPECT_TRUE(window->openFile(big));
  EXPECT_EQ(evolver().shapes.size(), 2u);
  GlimShapeSettings::instance().svgReader = "basic";
  EXPECT_TRUE(window->openFile(big));
  GlimShapeSettings::instance().svgReader = "full";
  EXPECT_EQ(evolver().shapes.size(), 1u);
  EXPECT_TRUE(window->findChildren<QMessageBox*>().isEmpty());
  EXPECT_EQ(window->findChild<QLabel*>("loadLabel")->text().toStdString(), "1 shape");

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

  // A run that has made its passes stays finished through a save.
  evolver().iterations = 2;
  window->startEvolution();
  ASSERT_TRUE(glimtest::waitUntil([&] { return evolver().isRunComplete(); }, 60000));
  EXPECT_TRUE(window->saveFile(out));
  EXPECT_EQ(window->statusText(), QStringLiteral("Evolution finished: pass 2 of 2"));
  EXPECT_EQ(evolver().getPassCount(), 2);
  evolver().iterations = 150;

  EXPECT_FALSE(window->saveFile(glimtest::scratchDir("save") + "/no/such/dir/x.svg"));
  ASSERT_EQ(window->findChildren<QMessageBox*>().size(), 1);
  EXPECT_TRUE(window->findChildren<QMessageBox*>()[0]->text().endsWith("No such file or directory"));
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

TEST_F(MainWindowTest, KeysViewMenuAndRecentFiles) {
  std::map<QString, QAction*> entries;
  for (QAction* menu : window->menuBar()->actions())
    for (QAction* entry : menu->menu()->actions()) entries[entry->text()] = entry;
  const std::pair<const char*, QKeySequence::StandardKey> keys[] = {
      {"&Open…", QKeySequence::Open},   {"&Save", QKeySequence::Save},
      {"Save &As…", QKeySequence::SaveAs}, {"E&xit", QKeySequence::Quit},
      {"Zoom &In", QKeySequence::ZoomIn}, {"Zoom &Out", QKeySequence::ZoomOut}};
  for (const auto& [text, key] : keys)
    EXPECT_EQ(entries.at(text)->shortcut(), QKeySequence(key)) << text;

  // Space in the view toggles Evolve.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->shapeFrame->setFocus();
  QTest::keyClick(window->shapeFrame, Qt::Key_Space);
  EXPECT_TRUE(window->evolveAction->isChecked());
  QTest::keyClick(window->shapeFrame, Qt::Key_Space);
  EXPECT_FALSE(window->evolveAction->isChecked());

  // Fitted, the square canvas spans 95 % of the view's shorter side.
  ShapeFrame* view = window->shapeFrame;
  EXPECT_NEAR(view->zoom * view->height(), 0.95 * std::min(view->width(), view->height()), 0.5);
  const float fit = view->zoom;
  entries.at("Zoom &In")->trigger();
  EXPECT_FLOAT_EQ(view->zoom, fit * 1.25f);
  entries.at("&Actual Size")->trigger();
  EXPECT_FLOAT_EQ(view->zoom, 128.0f / float(view->height()));
  entries.at("Zoom to &Fit")->trigger();
  EXPECT_FLOAT_EQ(view->zoom, fit);

  // Open Recent keeps the last 8 files read, newest first, and drops those that are gone.
  const QString dir = glimtest::scratchDir("recent");
  QStringList opened;
  for (int k = 0; k < 10; ++k) {
    opened.prepend(dir + QStringLiteral("/drawing-%1.svg").arg(k));
    ASSERT_TRUE(QFile::copy(glimtest::exampleDrawing(), opened.front()));
    ASSERT_TRUE(window->openFile(opened.front()));
  }
  EXPECT_FALSE(window->openFile(dir + "/missing.svg"));
  EXPECT_EQ(window->currentFile, opened.front());
  EXPECT_EQ(window->recentFiles(), opened.mid(0, 8));
  ASSERT_TRUE(QFile::remove(opened[1]));
  EXPECT_EQ(window->recentFiles(), QStringList(opened.mid(0, 8)).mid(0, 1) + opened.mid(2, 6));
  auto* recent = window->findChild<QMenu*>("recentMenu");
  emit recent->aboutToShow();
  ASSERT_EQ(recent->actions().size(), 7);
  recent->actions().at(3)->trigger();
  EXPECT_EQ(window->currentFile, opened[4]);
}

TEST_F(MainWindowTest, ExportedPicturesAndTimeLapseFrames) {
  ASSERT_TRUE(window->openFile(glimtest::exampleDrawing()));
  const QString dir = glimtest::scratchDir("pictures");
  ASSERT_TRUE(window->exportPicture(dir + "/eight.png", 8));
  const QImage eight(dir + "/eight.png");
  ASSERT_EQ(eight.size(), QSize(1024, 1024));
  // Every shape shows its fill colour, on white.
  for (const QColor& colour : glimtest::exampleColours()) {
    bool found = false;
    for (int y = 2; y < 1024 && !found; y += 4)
      for (int x = 2; x < 1024 && !found; x += 4) found = glimtest::nearColour(eight.pixelColor(x, y), colour, 1);
    EXPECT_TRUE(found) << colour.name().toStdString();
  }
  EXPECT_EQ(eight.pixelColor(1, 1), QColor(Qt::white));
  EXPECT_FALSE(window->exportPicture(dir + "/seventeen.png", 17));
  EXPECT_FALSE(QFileInfo::exists(dir + "/seventeen.png"));

  // Frames: the loaded state, then one per pass, taken by the worker.
  evolver().iterations = 3;
  ASSERT_TRUE(window->startRecording(dir, 1, 1));
  window->startEvolution();
  ASSERT_TRUE(glimtest::waitUntil([&] { return evolver().isRunComplete(); }, 60000));
  window->stopRecording();
  EXPECT_FALSE(window->recordAction->isChecked());
  const QStringList frames = QDir(dir).entryList({"glimout-000000-*.png"}, QDir::Files);
  EXPECT_EQ(frames, QStringList({"glimout-000000-0000.png", "glimout-000000-0001.png",
                                 "glimout-000000-0002.png", "glimout-000000-0003.png"}));
  EXPECT_EQ(QImage(dir + "/glimout-000000-0003.png").size(), QSize(128, 128));
  // A canvas command adds a frame; a second time-lapse takes the next number.
  ASSERT_TRUE(window->startRecording(dir, 1, 1));
  window->findChild<QAction*>("occupyAction")->trigger();
  EXPECT_EQ(window->timeLapse()->framesWritten(), 2);
  window->stopRecording();
  EXPECT_EQ(QDir(dir).entryList({"glimout-000001-*.png"}, QDir::Files).size(), 2);
  evolver().iterations = 150;
}

// Ctrl-C (SIGINT) and SIGTERM end both programs as a normal exit does: nothing is left in the
// temporary location nor in the working folder.
TEST(StopSignals, NeitherProgramLeavesFilesBehind) {
  const QString drawing = glimtest::exampleDrawing();
  const struct {
    const char* program;
    QStringList arguments;
    int signal;
  } cases[] = {{GLIM_BINARY_DIR "/app/glimshape", {drawing}, SIGINT},
               {GLIM_BINARY_DIR "/app/glimshape", {drawing}, SIGTERM},
               {GLIM_BINARY_DIR "/batch/glimshape-batch", {"--seconds", "100", drawing}, SIGINT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + std::to_string(c.signal));
    const QString root = glimtest::scratchDir("signals");
    for (const char* sub : {"tmp", "work", "home", "run"}) ASSERT_TRUE(QDir(root).mkdir(sub));
    QFile::setPermissions(root + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", root + "/tmp");
    // Never the user's settings.
    environment.insert("HOME", root + "/home");
    environment.insert("XDG_CONFIG_HOME", root + "/home");
    // Qt's own fallback for a missing runtime directory lies in the temporary location.
    environment.insert("XDG_RUNTIME_DIR", root + "/run");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(root + "/work");
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QString::fromLatin1(c.program), c.arguments);
    ASSERT_TRUE(process.waitForStarted());
    // Running, with the stiffness images written into the private directory.
    const QDir tmp(root + "/tmp");
    ASSERT_TRUE(glimtest::waitUntil([&] {
      for (const QString& sub : tmp.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (!QDir(tmp.filePath(sub)).entryList(QDir::Files).isEmpty() ||
            !QDir(tmp.filePath(sub + "/temp")).isEmpty())
          return true;
      return false;
    }, 30000));
    QTest::qWait(300);
    ::kill(pid_t(process.processId()), c.signal);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(tmp.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << tmp.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toStdString();
    EXPECT_TRUE(QDir(root + "/work").entryList({"temp"}, QDir::AllEntries).isEmpty());
  }
}

}  // namespace
