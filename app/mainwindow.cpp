// glimshape — app
// Purpose: MainWindow construction, file handling, drag and drop and the canvas commands.
#include "app/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cstdio>

#include "app/multipleevolutions.h"
#include "app/shapeframe.h"
#include "evolver/evolver.h"
#include "settings/optionswidget.h"
#include "settings/selectedshapewidget.h"
#include "settings/settings.h"

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
  // Nothing in the menus brings a closed panel back, so it can be moved but not closed.
  selectedShapeWidget->setFeatures(QDockWidget::DockWidgetMovable |
                                   QDockWidget::DockWidgetFloatable);
  addDockWidget(Qt::RightDockWidgetArea, selectedShapeWidget);
  selectedShapeWidget->setShapeMutex(&shapeFrame->evolver->mutex);
  shapeFrame->selectedShapeWidget = selectedShapeWidget;

  setCentralWidget(shapeFrame);
  resize(640, 480);

  statusLabel = new QLabel;
  statusBar()->addWidget(statusLabel, 1);
  statusTimer = new QTimer(this);
  connect(statusTimer, &QTimer::timeout, this, &MainWindow::updateStatus);
  statusTimer->start(kStatusInterval);
  updateStatus();
}

MainWindow::~MainWindow() {
  // The options window is a top-level window of its own.
  delete optionsWidget;
}

ZazizEvozuEvolver& MainWindow::evolver() { return *shapeFrame->evolver; }

void MainWindow::createMenus() {
  QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
  fileMenu->addAction(tr("&Open"), this, &MainWindow::open);
  fileMenu->addAction(tr("&Save"), this, &MainWindow::save);
  fileMenu->addSeparator();
  fileMenu->addAction(tr("&Multiple"), this, &MainWindow::openMultipleEvolutionsDialog);
  fileMenu->addSeparator();
  fileMenu->addAction(tr("E&xit"), this, &QWidget::close);

  QMenu* editMenu = menuBar()->addMenu(tr("&Edit"));
  editMenu->addAction(tr("&Options"), this, &MainWindow::options);
}

void MainWindow::createToolBars() {
  QToolBar* evolveBar = addToolBar(tr("Evolution"));
  evolveBar->setObjectName("evolveToolBar");
  evolveAction = evolveBar->addAction(tr("Evolve"));
  evolveAction->setObjectName("evolveAction");
  evolveAction->setCheckable(true);
  evolveAction->setChecked(false);
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
  }
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
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Save"), QStringLiteral("glim.svg"), tr("Images (*.svg)"));
  if (!path.isEmpty()) saveFile(path);
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
  currentFile = path;
  if (ok) setWindowFilePath(path);
  // Read while the worker is stopped.
  const std::size_t shapes = evolver().shapes.size();
  const std::size_t leftOut = evolver().getOutlinesLeftOut();
  // A new drawing starts a fresh run; one that could not be read leaves the drawing and
  // its run as they were.
  if (ok)
    restoreWorker();
  else if (evolveAction->isChecked())
    evolver().resume();
  if (report == FailureReport::MessageBox) {
    if (!ok) {
      reportFailure(tr("Open"), tr("Could not open the drawing\n%1").arg(path));
    } else if (shapes == 0) {
      // Readable, but nothing to evolve: the canvas stays empty, and the user is told why.
      reportFailure(tr("Open"), tr("The drawing\n%1\nhas no shape: no filled path or polygon "
                                   "lies inside the canvas.").arg(path));
    } else if (leftOut > 0) {
      reportFailure(tr("Open"), tr("Only the first %1 outlines of the drawing\n%2\nbecame "
                                   "shapes; %3 more were left out.")
                                    .arg(shapes).arg(path).arg(leftOut));
    }
  }
  return ok;
}

bool MainWindow::saveFile(const QString& path, FailureReport report) {
  stopWorker();
  const bool ok = evolver().saveSVG(path.toLocal8Bit().toStdString());
  // Saving changes nothing: the run goes on where it stood rather than starting over.
  if (evolveAction->isChecked()) evolver().resume();
  if (!ok && report == FailureReport::MessageBox)
    reportFailure(tr("Save"), tr("Could not save the drawing to\n%1").arg(path));
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
  Settings::transferToQSettings();
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

void MainWindow::updateStatus() { statusLabel->setText(statusText()); }
