// glimshape — app
// Purpose: the batch dialog's form binding, file numbering and iteration cycle.
#include "app/multipleevolutions.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/mainwindow.h"
#include "evolver/evolver.h"
#include "app/panels/formloader.h"

namespace {

// "45 s", "3 min 20 s", "2 h 5 min".
QString duration(qint64 ms) {
  const qint64 s = std::max<qint64>(0, (ms + 999) / 1000);
  if (s < 60) return QStringLiteral("%1 s").arg(s);
  if (s < 3600) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
  return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

}  // namespace

MultipleEvolutions::MultipleEvolutions(MainWindow* window) : QDialog(window), mainWindow(window) {
  QWidget* form = embedForm(QStringLiteral(":forms/MultipleEvolutions.ui"), this);
  setWindowTitle(tr("Multiple Evolutions"));
  mainTimer = new QTimer(this);
  mainTimer->setSingleShot(true);
  connect(mainTimer, &QTimer::timeout, this, &MultipleEvolutions::mainEvolutionComplete);
  progressTimer = new QTimer(this);
  progressTimer->setInterval(1000);
  connect(progressTimer, &QTimer::timeout, this, &MultipleEvolutions::updateProgress);
  bindMembers(form ? form : this);
}

void MultipleEvolutions::bindMembers(QWidget* form) {
  fillAfterEvolution = form->findChild<QCheckBox*>(QStringLiteral("fillAfterEvolution"));
  numOutputShapes = form->findChild<QSpinBox*>(QStringLiteral("numOutputShapes"));
  timeLimit = form->findChild<QSpinBox*>(QStringLiteral("timeLimit"));
  filePrefix = form->findChild<QLineEdit*>(QStringLiteral("filePrefix"));
  outputDir = form->findChild<QLineEdit*>(QStringLiteral("outputDir"));
  logTextEdit = form->findChild<QTextEdit*>(QStringLiteral("logTextEdit"));
  startButton = form->findChild<QPushButton*>(QStringLiteral("startButton"));
  stopButton = form->findChild<QPushButton*>(QStringLiteral("stopButton"));
  progressBar = form->findChild<QProgressBar*>(QStringLiteral("progressBar"));
  progressLabel = form->findChild<QLabel*>(QStringLiteral("progressLabel"));
  if (!fillAfterEvolution || !numOutputShapes || !timeLimit || !filePrefix || !outputDir ||
      !logTextEdit || !startButton || !stopButton || !progressBar || !progressLabel) {
    // The form is part of the program's resources; without it the dialog stays inert.
    std::printf("The batch form lacks one of its widgets.\n");
    startButton = nullptr;
    return;
  }
  if (auto* outputButton = form->findChild<QPushButton*>(QStringLiteral("outputButton")))
    connect(outputButton, &QPushButton::clicked, this, &MultipleEvolutions::changeOutputDir);
  connect(startButton, &QPushButton::clicked, this, &MultipleEvolutions::start);
  connect(stopButton, &QPushButton::clicked, this, &MultipleEvolutions::stop);
  stopButton->setEnabled(false);
}

void MultipleEvolutions::log(const QString& line) {
  if (logTextEdit) logTextEdit->append(line);
}

void MultipleEvolutions::changeOutputDir() {
  const QString dir = QFileDialog::getExistingDirectory(this, tr("Output directory"), QString(),
                                                        QFileDialog::ShowDirsOnly);
  if (!dir.isEmpty()) outputDir->setText(dir);
}

QString MultipleEvolutions::fileName(int number) const {
  return filePrefix->text() + QString::asprintf("%06d.svg", number);
}

bool MultipleEvolutions::fileExists(int number) const {
  return QFileInfo::exists(QDir(outputDir->text()).filePath(fileName(number)));
}

int MultipleEvolutions::initFileOutputOffset() const {
  const int high = 10000000;
  int low = 0;
  for (int step = 100; step > 0; step /= 10) {
    for (int n = low; n < high; n += step) {
      if (fileExists(n)) continue;
      if (step == 1) return n;
      low = std::max(0, n - step);
      break;
    }
  }
  return high;
}

void MultipleEvolutions::start() {
  if (!startButton || running) return;
  if (!QDir(outputDir->text()).exists()) {
    log(QStringLiteral("Output dir %1 does not exist!").arg(outputDir->text()));
    return;
  }
  offset = initFileOutputOffset();
  nextNumber = offset;
  iteration = 0;
  running = true;
  stopAfterFile = false;
  startButton->setEnabled(false);
  stopButton->setEnabled(true);
  progressBar->setRange(0, numOutputShapes->value());
  progressBar->setValue(0);
  progressTimer->start();
  log(QStringLiteral("Starting..."));
  if (offset != 0)
    log(QStringLiteral("Files existed in output dir, offseting with %1").arg(offset));
  nextIteration();
}

void MultipleEvolutions::stop() {
  if (!running || stopAfterFile) return;
  stopAfterFile = true;
  stopButton->setEnabled(false);
  log(QStringLiteral("Stopping after the current file..."));
  updateProgress();
}

void MultipleEvolutions::finish(const QString& reason) {
  running = false;
  mainTimer->stop();
  progressTimer->stop();
  mainWindow->stopEvolution();
  startButton->setEnabled(true);
  stopButton->setEnabled(false);
  phase.clear();
  log(reason);
  progressLabel->setText(reason);
}

void MultipleEvolutions::setPhase(const QString& name) {
  phase = name;
  updateProgress();
  // Occupying and saving keep the event loop busy: show the phase before they start.
  progressLabel->repaint();
}

QString MultipleEvolutions::progressText() const {
  if (!running) return progressLabel ? progressLabel->text() : QString();
  const int total = numOutputShapes->value();
  const qint64 evolveTime =
      qint64(timeLimit->value()) * 1000 * (fillAfterEvolution->isChecked() ? 2 : 1);
  const qint64 left = std::max(0, mainTimer->isActive() ? mainTimer->remainingTime() : 0) +
                      (stopAfterFile ? 0 : qint64(total - iteration - 1) * evolveTime);
  QString text = tr("File %1 of %2: %3, about %4 left")
                     .arg(iteration + 1)
                     .arg(total)
                     .arg(phase)
                     .arg(duration(left));
  if (stopAfterFile) text += tr(" (stopping after this file)");
  return text;
}

void MultipleEvolutions::updateProgress() {
  if (running) progressLabel->setText(progressText());
}

void MultipleEvolutions::nextIteration() {
  log(QStringLiteral("iteration %1 ").arg(iteration));
  setPhase(tr("loading"));
  // Without a drawing every iteration would save an empty page, or go on with whatever the
  // previous iteration left: the batch ends instead.
  if (mainWindow->currentFile.isEmpty()) {
    finish(QStringLiteral("No drawing is open; batch stopped."));
    return;
  }
  if (!mainWindow->reload()) {
    finish(QStringLiteral("Could not open %1; batch stopped.").arg(mainWindow->currentFile));
    return;
  }
  if (mainWindow->evolver().shapes.empty()) {
    finish(QStringLiteral("The drawing %1 has no shape; batch stopped.")
               .arg(mainWindow->currentFile));
    return;
  }
  mainWindow->startEvolution();

  const int evolveTime = timeLimit->value() * 1000;
  const bool filling = fillAfterEvolution->isChecked();
  mainTimer->start(evolveTime + (filling ? evolveTime : 0));
  setPhase(tr("evolving"));
  if (filling) {
    // The window owns this timer, so a cancelled batch still fills once when it fires.
    auto* fillTimer = new QTimer(mainWindow);
    fillTimer->setSingleShot(true);
    connect(fillTimer, &QTimer::timeout, mainWindow, &MainWindow::fill);
    connect(fillTimer, &QTimer::timeout, this, [this] {
      if (running) setPhase(tr("evolving after fill"));
    });
    connect(fillTimer, &QTimer::timeout, fillTimer, &QObject::deleteLater);
    fillTimer->start(evolveTime);
  }
}

void MultipleEvolutions::mainEvolutionComplete() {
  if (!running) return;
  mainWindow->stopEvolution();
  QThread::msleep(100);
  log(QStringLiteral("Doing occupy."));
  setPhase(tr("occupying"));
  mainWindow->occupy();

  // Files may have appeared since the batch began, and the start-up search does not see
  // files beyond a gap in the numbering.
  while (fileExists(nextNumber)) ++nextNumber;
  const QString name = fileName(nextNumber);
  log(QStringLiteral("done iteration %1 ").arg(iteration));
  log(QStringLiteral("saving to %1 in %2").arg(name, outputDir->text()));
  setPhase(tr("saving"));
  const QString path = QFileInfo(QDir(outputDir->text()), name).absoluteFilePath();
  QString reason;
  if (mainWindow->saveFile(path, FailureReport::Quiet, &reason))
    ++nextNumber;
  else
    log(QStringLiteral("could not save %1: %2").arg(path, reason));

  ++iteration;
  progressBar->setValue(iteration);
  if (stopAfterFile)
    finish(QStringLiteral("Stopped by the user after %1 of %2 files.")
               .arg(iteration)
               .arg(numOutputShapes->value()));
  else if (iteration < numOutputShapes->value())
    nextIteration();
  else
    finish(QStringLiteral("Finished: %1 files.").arg(iteration));
}
