// glimshape — app
// Purpose: MultipleEvolutions, the batch dialog that reloads, evolves, fills, occupies and
// saves the drawing again and again into numbered SVG files.
#ifndef GLIM_APP_MULTIPLEEVOLUTIONS_H
#define GLIM_APP_MULTIPLEEVOLUTIONS_H

#include <QDialog>
#include <QString>

QT_FORWARD_DECLARE_CLASS(QCheckBox)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QLineEdit)
QT_FORWARD_DECLARE_CLASS(QProgressBar)
QT_FORWARD_DECLARE_CLASS(QPushButton)
QT_FORWARD_DECLARE_CLASS(QSpinBox)
QT_FORWARD_DECLARE_CLASS(QTextEdit)
QT_FORWARD_DECLARE_CLASS(QTimer)
class MainWindow;

/// @brief The batch dialog. Each iteration reloads the current drawing, evolves it for the
/// time limit (twice as long, with a fill half-way, when "Fill After Evolution" is
/// checked), occupies the free space and saves the result as prefix + "%06d.svg" in the
/// output directory. It drives the main window only through its public operations, on the
/// GUI thread, timed by single-shot timers.
///
/// Nothing a user already has is overwritten: before each save the number advances past
/// every existing file. A failed save is logged and the batch goes on; the number it
/// would have used stays free for the next iteration. A drawing that cannot be reloaded,
/// or has no shape, ends the batch with a logged reason: evolving nothing would only write
/// empty pages.
///
/// While a batch runs, Start is disabled, the progress shows the file, the phase and the
/// time left, and Stop ends the batch once the current file is saved.
class MultipleEvolutions : public QDialog {
  Q_OBJECT

 public:
  /// @brief Loads the form ":forms/MultipleEvolutions.ui" and binds its widgets.
  explicit MultipleEvolutions(MainWindow* mainWindow);

  /// @brief The first file number whose file does not exist, by a coarse-to-fine search
  /// (steps 100, 10, 1 over 0 … 10^7) that assumes the existing files are numbered from 0
  /// without gaps.
  int initFileOutputOffset() const;
  /// The output file name (no directory) for a file number.
  QString fileName(int number) const;
  /// Whether the file for a number exists in the output directory.
  bool fileExists(int number) const;

  /// Number of the current iteration.
  int iteration = 0;
  /// First free file number found when the batch started.
  int offset = 0;
  /// The file number the next save will try first.
  int nextNumber = 0;
  /// Ends the current iteration.
  QTimer* mainTimer = nullptr;
  MainWindow* mainWindow = nullptr;

  QCheckBox* fillAfterEvolution = nullptr;
  QSpinBox* numOutputShapes = nullptr;
  QSpinBox* timeLimit = nullptr;
  QLineEdit* filePrefix = nullptr;
  QLineEdit* outputDir = nullptr;
  QTextEdit* logTextEdit = nullptr;
  QPushButton* startButton = nullptr;
  QPushButton* stopButton = nullptr;
  QProgressBar* progressBar = nullptr;
  QLabel* progressLabel = nullptr;

  /// Whether a batch is running.
  bool isRunning() const { return running; }
  /// The progress line: file k of N, the phase and the time left, while a batch runs.
  QString progressText() const;

 public slots:
  void changeOutputDir();
  /// Starts a batch (nothing happens while one runs).
  void start();
  /// Ends the running batch after the current file.
  void stop();
  void nextIteration();
  void mainEvolutionComplete();

 private:
  void bindMembers(QWidget* form);
  void log(const QString& line);
  /// Ends the batch: the worker stops and the buttons return to Start.
  void finish(const QString& reason);
  void setPhase(const QString& name);
  void updateProgress();

  bool running = false;
  bool stopAfterFile = false;
  QString phase;
  QTimer* progressTimer = nullptr;
};

#endif
