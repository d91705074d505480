// glimshape — app
// Purpose: the batch dialog's form binding, file numbering and iteration cycle.
#include "app/multipleevolutions.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/mainwindow.h"
#include "settings/formloader.h"

namespace {

constexpr const char* kStart = "Start";
constexpr const char* kStop = "Stop";

}  // namespace

MultipleEvolutions::MultipleEvolutions(MainWindow* window) : QDialog(window), mainWindow(window) {
  QWidget* form = embedForm(QStringLiteral(":forms/MultipleEvolutions.ui"), this);
  setWindowTitle(tr("Multiple Evolutions"));
  mainTimer = new QTimer(this);
  mainTimer->setSingleShot(true);
  connect(mainTimer, &QTimer::timeout, this, &MultipleEvolutions::mainEvolutionComplete);
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
  if (!fillAfterEvolution || !numOutputShapes || !timeLimit || !filePrefix || !outputDir ||
      !logTextEdit || !startButton) {
    // The form is part of the program's resources; without it the dialog stays inert.
    std::printf("The batch form lacks one of its widgets.\n");
    startButton = nullptr;
    return;
  }
  if (auto* outputButton = form->findChild<QPushButton*>(QStringLiteral("outputButton")))
    connect(outputButton, &QPushButton::clicked, this, &MultipleEvolutions::changeOutputDir);
  connect(startButton, &QPushButton::clicked, this, &MultipleEvolutions::start);
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
  if (!startButton) return;
  if (startButton->text() == QLatin1String(kStart)) {
    if (!QDir(outputDir->text()).exists()) {
      log(QStringLiteral("Output dir %1 does not exist!").arg(outputDir->text()));
      return;
    }
    offset = initFileOutputOffset();
    nextNumber = offset;
    iteration = 0;
    startButton->setText(QLatin1String(kStop));
    log(QStringLiteral("Starting..."));
    if (offset != 0)
      log(QStringLiteral("Files existed in output dir, offseting with %1").arg(offset));
    nextIteration();
  } else {
    log(QStringLiteral("User cancelled evolution..."));
    startButton->setText(QLatin1String(kStart));
    mainWindow->stopEvolution();
    mainTimer->stop();
  }
}

void MultipleEvolutions::nextIteration() {
  log(QStringLiteral("iteration %1 ").arg(iteration));
  if (!mainWindow->reload()) log(QStringLiteral("could not open %1").arg(mainWindow->currentFile));
  mainWindow->startEvolution();

  const int evolveTime = timeLimit->value() * 1000;
  const bool filling = fillAfterEvolution->isChecked();
  mainTimer->start(evolveTime + (filling ? evolveTime : 0));
  if (filling) {
    // The window owns this timer, so a cancelled batch still fills once when it fires.
    auto* fillTimer = new QTimer(mainWindow);
    fillTimer->setSingleShot(true);
    connect(fillTimer, &QTimer::timeout, mainWindow, &MainWindow::fill);
    connect(fillTimer, &QTimer::timeout, fillTimer, &QObject::deleteLater);
    fillTimer->start(evolveTime);
  }
}

void MultipleEvolutions::mainEvolutionComplete() {
  mainWindow->stopEvolution();
  QThread::msleep(100);
  log(QStringLiteral("Doing occupy."));
  mainWindow->occupy();

  // Files may have appeared since the batch began, and the start-up search does not see
  // files beyond a gap in the numbering.
  while (fileExists(nextNumber)) ++nextNumber;
  const QString name = fileName(nextNumber);
  log(QStringLiteral("done iteration %1 ").arg(iteration));
  log(QStringLiteral("saving to %1 in %2").arg(name, outputDir->text()));
  const QString path = QFileInfo(QDir(outputDir->text()), name).absoluteFilePath();
  QString reason;
  if (mainWindow->saveFile(path, FailureReport::Quiet, &reason))
    ++nextNumber;
  else
    log(QStringLiteral("could not save %1: %2").arg(path, reason));

  ++iteration;
  if (iteration < numOutputShapes->value())
    nextIteration();
  else
    startButton->setText(QLatin1String(kStart));
}
