// glimshape — app
// Purpose: MainWindow construction, file handling, drag and drop and the canvas commands.
#include "app/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cstdio>

#include "app/multipleevolutions.h"
#include "app/picturedialog.h"
#include "app/shapeframe.h"
#include "app/startup.h"
#include "evolver/evolver.h"
#include "evolver/picture.h"
#include "evolver/timelapse.h"
#include "settings/glimshapesettings.h"
#include "app/panels/optionswidget.h"
#include "app/panels/selectedshapewidget.h"

namespace {

// What a canvas command does with the worker: with Evolve checked, a run it interrupts goes
// on where it stood.
ZazizEvozuEvolver::WorkerAfter afterCommand(const QAction* evolve) {
  return evolve->isChecked() ? ZazizEvozuEvolver::WorkerAfter::Resumed
                             : ZazizEvozuEvolver::WorkerAfter::Stopped;
}

}  // namespace

MainWindow::MainWindow() : QMainWindow(nullptr) {
  multipleEvolutions = new MultipleEvolutions(this);
  shapeFrame = new ShapeFrame;
  optionsWidget = new OptionsWidget;

  setAcceptDrops(true);
  createMenus();
  createToolBars();

  selectedShapeWidget = new SelectedShapeWidget(this);
  selectedShapeWidget->setObjectName("currentShapeDock");
  // Nothing in the menus brings a closed panel back, so it can be moved but not closed.
  selectedShapeWidget->setFeatures(QDockWidget::DockWidgetMovable |
                                   QDockWidget::DockWidgetFloatable);
  addDockWidget(Qt::RightDockWidgetArea, selectedShapeWidget);
  selectedShapeWidget->setShapeMutex(&shapeFrame->evolver->mutex);
  shapeFrame->selectedShapeWidget = selectedShapeWidget;

  setCentralWidget(shapeFrame);
  // As the user left it, or two thirds of the screen, centred.
  QSettings store;
  if (!restoreGeometry(store.value(QStringLiteral("window/geometry")).toByteArray())) {
    const QRect available = screen()->availableGeometry();
    resize(available.width() * 2 / 3, available.height() * 2 / 3);
    move(available.center() - rect().center());
  }
  restoreState(store.value(QStringLiteral("window/state")).toByteArray());
  shapeFrame->setFocus();

  statusLabel = new QLabel;
  statusBar()->addWidget(statusLabel, 1);
  loadLabel = new QLabel;
  loadLabel->setObjectName(QStringLiteral("loadLabel"));
  statusBar()->addPermanentWidget(loadLabel);
  statusTimer = new QTimer(this);
  connect(statusTimer, &QTimer::timeout, this, &MainWindow::updateStatus);
  statusTimer->start(kStatusInterval);
  updateStatus();
}

MainWindow::~MainWindow() {
  // The hook refers to this window's time-lapse; the worker must not call it any more.
  evolver().setPassHook(nullptr);
  // The options window is a top-level window of its own.
  delete optionsWidget;
}

ZazizEvozuEvolver& MainWindow::evolver() { return *shapeFrame->evolver; }

void MainWindow::createMenus() {
  QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
  fileMenu->addAction(tr("&Open…"), QKeySequence::Open, this, &MainWindow::open);
  recentMenu = fileMenu->addMenu(tr("Open &Recent"));
  recentMenu->setObjectName("recentMenu");
  connect(recentMenu, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
  fileMenu->addAction(tr("&Save"), QKeySequence::Save, this, &MainWindow::save);
  fileMenu->addAction(tr("Save &As…"), QKeySequence::SaveAs, this, &MainWindow::saveAs);
  fileMenu->addSeparator();
  fileMenu->addAction(tr("&Export Picture…"), this, &MainWindow::exportPictureAs)
      ->setObjectName("exportAction");
  recordAction = fileMenu->addAction(tr("Re&cord Time-Lapse…"));
  recordAction->setObjectName("recordAction");
  recordAction->setCheckable(true);
  connect(recordAction, &QAction::toggled, this, &MainWindow::record);
  fileMenu->addSeparator();
  fileMenu->addAction(tr("&Multiple"), this, &MainWindow::openMultipleEvolutionsDialog);
  fileMenu->addSeparator();
  fileMenu->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);

  QMenu* editMenu = menuBar()->addMenu(tr("&Edit"));
  editMenu->addAction(tr("&Options"), this, &MainWindow::options);

  QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
  viewMenu->addAction(tr("Zoom to &Fit"), QKeySequence(Qt::CTRL | Qt::Key_0), shapeFrame,
                      &ShapeFrame::zoomToFit);
  viewMenu->addAction(tr("&Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_1), shapeFrame,
                      &ShapeFrame::zoomToActualSize);
  viewMenu->addAction(tr("Zoom &In"), QKeySequence::ZoomIn, shapeFrame,
                      [this] { shapeFrame->zoomBy(ShapeFrame::kZoomStep); });
  viewMenu->addAction(tr("Zoom &Out"), QKeySequence::ZoomOut, shapeFrame,
                      [this] { shapeFrame->zoomBy(1.0f / ShapeFrame::kZoomStep); });

  QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
  helpMenu->addAction(tr("&About glimshape"), this, &MainWindow::about);
}

void MainWindow::createToolBars() {
  QToolBar* evolveBar = addToolBar(tr("Evolution"));
  evolveBar->setObjectName("evolveToolBar");
  evolveAction = evolveBar->addAction(tr("Evolve"));
  evolveAction->setObjectName("evolveAction");
  evolveAction->setCheckable(true);
  evolveAction->setChecked(false);
  // Space toggles it while the view has the focus (it would press buttons elsewhere).
  evolveAction->setShortcut(QKeySequence(Qt::Key_Space));
  evolveAction->setShortcutContext(Qt::WidgetShortcut);
  shapeFrame->addAction(evolveAction);
  connect(evolveAction, &QAction::toggled, this, &MainWindow::evolveChecked);

  QToolBar* canvasBar = addToolBar(tr("Canvas"));
  canvasBar->setObjectName("canvasToolBar");
  const struct {
    const char* text;
    const char* name;
    void (MainWindow::*slot)();
  } commands[] = {{"Fill", "fillAction", &MainWindow::fill},
                  {"Reset", "resetAction", &MainWindow::reset},
                  {"Closer", "closerAction", &MainWindow::grow},
                  {"Occupy", "occupyAction", &MainWindow::occupy},
                  {"Unfreeze", "unfreezeAction", &MainWindow::unfreeze}};
  for (const auto& command : commands) {
    QAction* action = canvasBar->addAction(QString::fromLatin1(command.text));
    action->setObjectName(QString::fromLatin1(command.name));
    connect(action, &QAction::triggered, this, command.slot);
    // Connected after the command, so the frame shows its result.
    connect(action, &QAction::triggered, this, &MainWindow::recordFrame);
  }

  // Every tool-bar action names its shortcut in its tooltip.
  for (QToolBar* bar : {evolveBar, canvasBar})
    for (QAction* action : bar->actions())
      if (!action->shortcut().isEmpty())
        action->setToolTip(QStringLiteral("%1 (%2)").arg(
            action->text(), action->shortcut().toString(QKeySequence::NativeText)));
}

QStringList MainWindow::recentFiles() {
  QSettings store;
  const QStringList stored = store.value(QStringLiteral("recentFiles")).toStringList();
  QStringList existing;
  for (const QString& path : stored)
    if (QFileInfo(path).isFile() && !existing.contains(path)) existing << path;
  while (existing.size() > kMaxRecentFiles) existing.removeLast();
  if (existing != stored) store.setValue(QStringLiteral("recentFiles"), existing);
  return existing;
}

void MainWindow::addRecentFile(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList files = recentFiles();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kMaxRecentFiles) files.removeLast();
  QSettings().setValue(QStringLiteral("recentFiles"), files);
}

void MainWindow::fillRecentMenu() {
  recentMenu->clear();
  const QStringList files = recentFiles();
  for (int k = 0; k < files.size(); ++k) {
    const QString path = files.at(k);
    QAction* entry = recentMenu->addAction(
        QStringLiteral("&%1 %2").arg(k + 1).arg(QFileInfo(path).fileName()),
        this, [this, path] { openFile(path); });
    entry->setToolTip(path);
    entry->setStatusTip(path);
  }
  if (files.isEmpty()) recentMenu->addAction(tr("No recent files"))->setEnabled(false);
}

void MainWindow::openMultipleEvolutionsDialog() {
  multipleEvolutions->show();
  multipleEvolutions->raise();
}

void MainWindow::open() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open"));
  if (!path.isEmpty()) openFile(path);
}

void MainWindow::save() {
  if (savePath.isEmpty()) {
    saveAs();
    return;
  }
  saveFile(savePath);
}

void MainWindow::saveAs() {
  const QString proposed = savePath.isEmpty() ? QStringLiteral("glim.svg") : savePath;
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Save"), proposed, tr("Images (*.svg)"));
  if (!path.isEmpty() && saveFile(path)) savePath = path;
}

QSize MainWindow::canvasSize() {
  {
    std::lock_guard<std::mutex> lock(evolver().mutex);
    if (!evolver().shapes.empty())
      return QSize(evolver().shapes.front()->getWidth(), evolver().shapes.front()->getHeight());
  }
  const GlimShapeSettings& settings = GlimShapeSettings::instance();
  return QSize(settings.width, settings.height);
}

bool MainWindow::exportPicture(const QString& path, int scale, FailureReport report) {
  std::string error;
  const bool ok = writePicture(evolver(), scale, path.toLocal8Bit().toStdString(), true, error);
  if (!ok && report == FailureReport::MessageBox)
    reportFailure(tr("Export Picture"), QString::fromLocal8Bit(error.c_str()));
  return ok;
}

void MainWindow::exportPictureAs() {
  PictureDialog dialog(PictureDialog::Purpose::Export, canvasSize(), this);
  dialog.setScale(pictureScale);
  if (dialog.exec() != QDialog::Accepted) return;
  pictureScale = dialog.scale();
  QString path = QFileDialog::getSaveFileName(this, tr("Export Picture"),
                                              QStringLiteral("glim.png"), tr("PNG pictures (*.png)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  if (exportPicture(path, pictureScale))
    statusBar()->showMessage(tr("Wrote %1 (%2)").arg(path, dialog.sizeText()), 5000);
}

bool MainWindow::startRecording(const QString& dir, int every, int scale) {
  if (recording) stopRecording();
  // A number no earlier time-lapse in the folder has used.
  const QDir folder(dir);
  long long number = 0;
  while (QFileInfo::exists(folder.filePath(QString::asprintf("glimout-%06lld-0000.png", number))))
    ++number;
  auto frames = std::make_shared<TimeLapse>(dir.toLocal8Bit().toStdString(), "glimout-", number,
                                            every, scale);
  if (!frames->takeFrame(evolver())) {
    reportFailure(tr("Record Time-Lapse"), QString::fromLocal8Bit(frames->error().c_str()));
    return false;
  }
  recording = frames;
  ZazizEvozuEvolver* e = &evolver();
  // Runs on the worker thread after each pass; the recorder serialises it with the frames
  // this window takes after its commands.
  evolver().setPassHook([frames, e](int pass, bool last) { frames->afterPass(*e, pass, last); });
  if (!recordAction->isChecked()) {
    const QSignalBlocker blocker(recordAction);
    recordAction->setChecked(true);
  }
  updateStatus();
  return true;
}

void MainWindow::stopRecording() {
  if (!recording) return;
  evolver().setPassHook(nullptr);
  std::shared_ptr<TimeLapse> frames = std::move(recording);
  recording.reset();
  if (!frames->finish(evolver()))
    reportFailure(tr("Record Time-Lapse"),
                  tr("Some frames could not be written:\n%1")
                      .arg(QString::fromLocal8Bit(frames->error().c_str())));
  if (recordAction->isChecked()) {
    const QSignalBlocker blocker(recordAction);
    recordAction->setChecked(false);
  }
  statusBar()->showMessage(tr("Time-lapse: %1 written").arg(frameCount(frames->framesWritten())),
                           5000);
  updateStatus();
}

void MainWindow::record(bool on) {
  if (!on) {
    stopRecording();
    return;
  }
  PictureDialog dialog(PictureDialog::Purpose::Record, canvasSize(), this);
  dialog.setScale(frameScale);
  dialog.setEvery(frameEvery);
  dialog.setFolder(framesFolder);
  if (dialog.exec() != QDialog::Accepted || !startRecording(dialog.folder(), dialog.every(), dialog.scale())) {
    const QSignalBlocker blocker(recordAction);
    recordAction->setChecked(false);
    return;
  }
  frameScale = dialog.scale();
  frameEvery = dialog.every();
  framesFolder = dialog.folder();
}

QString MainWindow::frameCount(int frames) {
  return frames == 1 ? tr("1 frame") : tr("%1 frames").arg(frames);
}

void MainWindow::recordFrame() {
  if (recording) recording->takeFrame(evolver());
}

void MainWindow::options() {
  optionsWidget->show();
  optionsWidget->raise();
}

bool MainWindow::reload() { return openFile(currentFile, FailureReport::Quiet); }

void MainWindow::stopWorker() { evolver().stop(); }

void MainWindow::restoreWorker() {
  if (evolveAction->isChecked()) evolver().start();
}

bool MainWindow::openFile(const QString& path, FailureReport report) {
  stopWorker();
  // The panel must not go on editing a shape of the drawing being replaced.
  selectedShapeWidget->setShape(nullptr);
  const bool ok = evolver().loadSVG(path.toLocal8Bit().toStdString());
  // A file that could not be read leaves the drawing, so it stays the current file too.
  if (ok) {
    currentFile = path;
    setWindowFilePath(path);
    addRecentFile(path);
    shapeFrame->zoomToFit();
    recordFrame();
  }
  // Read while the worker is stopped.
  const std::size_t shapes = evolver().shapes.size();
  const std::size_t leftOut = evolver().getOutlinesLeftOut();
  const LoadSummary summary = evolver().getLoadSummary();
  // A new drawing starts a fresh run; one that could not be read leaves the drawing and
  // its run as they were.
  if (ok) {
    restoreWorker();
    loadLabel->setText(QString::fromStdString(summary.line()));
  } else if (evolveAction->isChecked()) {
    evolver().resume();
  }
  if (report == FailureReport::MessageBox) {
    if (!ok) {
      reportFailure(tr("Open"), tr("Could not open the drawing\n%1").arg(path));
    } else if (shapes == 0) {
      // Readable, but nothing to evolve: the canvas stays empty, and the user is told why.
      const std::string reasons = summary.leftOutLine();
      reportFailure(tr("Open"), tr("The drawing\n%1\nhas no shape: %2.")
                                    .arg(path)
                                    .arg(reasons.empty()
                                             ? tr("no element paints inside the canvas")
                                             : QString::fromStdString(reasons)));
    } else if (leftOut > 0) {
      reportFailure(tr("Open"), tr("Only the first %1 outlines of the drawing\n%2\nbecame "
                                   "shapes; %3 more were left out.")
                                    .arg(shapes).arg(path).arg(leftOut));
    }
  }
  return ok;
}

bool MainWindow::saveFile(const QString& path, FailureReport report, QString* reason) {
  stopWorker();
  std::string error;
  const bool ok = evolver().saveSVG(path.toLocal8Bit().toStdString(), &error);
  // Saving changes nothing: a run under way goes on where it stood rather than starting
  // over, and a finished run stays finished.
  if (evolveAction->isChecked()) evolver().resume();
  // The system's reason ("No space left on device") tells the user what to change.
  const QString why = QString::fromLocal8Bit(error.c_str());
  if (reason != nullptr) *reason = ok ? QString() : why;
  if (!ok && report == FailureReport::MessageBox)
    reportFailure(tr("Save"), tr("Could not save the drawing to\n%1\n%2").arg(path, why));
  return ok;
}

void MainWindow::reportFailure(const QString& title, const QString& text) {
  // Window-modal and not waited for: the failure may come from a drop, whose event must
  // return before anything else is asked of the user.
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->show();
}

void MainWindow::startEvolution() { evolveAction->setChecked(true); }

void MainWindow::stopEvolution() { evolveAction->setChecked(false); }

void MainWindow::evolveChecked(bool on) {
  if (on)
    evolver().start();
  else
    evolver().stop();
  updateStatus();
}

void MainWindow::reset() {
  // Reset draws the shapes' parameters anew and clears their selection.
  selectedShapeWidget->setShape(nullptr);
  evolver().resetCommand(afterCommand(evolveAction));
}

void MainWindow::fill() { evolver().fillCommand(afterCommand(evolveAction)); }

void MainWindow::grow() {
  // The outlines are frozen as moved: the worker, which would move the level sets under
  // them, stays off until Evolve is checked again.
  stopEvolution();
  evolver().closerCommand();
}

void MainWindow::occupy() {
  stopEvolution();
  evolver().occupyCommand();
}

void MainWindow::unfreeze() { evolver().unfreezeCommand(); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  std::printf("Got drag event.\n");
  std::fflush(stdout);
  const QMimeData* data = event->mimeData();
  if (data->hasFormat(QStringLiteral("text/uri-list")) ||
      data->hasFormat(QStringLiteral("image/svg+xml")) ||
      data->hasFormat(QStringLiteral("text/plain")))
    event->acceptProposedAction();
  else
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls()) {
    for (const QUrl& url : data->urls()) openFile(url.toLocalFile());
  } else {
    QString text = data->text();
    // Drag sources end the text with a line break, which no file name here carries.
    if (text.startsWith(QLatin1String("file:")))
      openFile(text.remove(QLatin1String("file:")).trimmed());
  }
  event->acceptProposedAction();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  stopRecording();
  {
    QSettings store;
    store.setValue(QStringLiteral("window/geometry"), saveGeometry());
    store.setValue(QStringLiteral("window/state"), saveState());
  }
  storeSettings();
  // The options window is a window of its own: left open, it would keep the program
  // running after its main window has gone.
  optionsWidget->close();
  multipleEvolutions->close();
  event->accept();
}

QString MainWindow::statusText() const {
  ZazizEvozuEvolver& e = *shapeFrame->evolver;
  const int total = e.iterations;
  const int done = e.getPassCount();
  if (e.isRunComplete()) return tr("Evolution finished: pass %1 of %2").arg(done).arg(total);
  // The counter holds the passes finished; the one under way is the next.
  if (e.running())
    return tr("Evolving: pass %1 of %2").arg(std::min(done + 1, total)).arg(total);
  return tr("Not evolving");
}

void MainWindow::updateStatus() {
  QString text = statusText();
  if (recording)
    text += tr(" — recording: %1").arg(frameCount(recording->framesWritten())) +
            (recording->error().empty() ? QString() : tr(", some failed"));
  statusLabel->setText(text);
}

void MainWindow::about() {
  QMessageBox::about(this, tr("About glimshape"), aboutText());
}
