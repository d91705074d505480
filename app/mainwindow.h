// glimshape — app
// Purpose: MainWindow, the program's top-level window: menus, tool bars, drag and drop,
// opening and saving drawings and the whole-canvas commands.
#ifndef GLIM_APP_MAINWINDOW_H
#define GLIM_APP_MAINWINDOW_H

#include <QMainWindow>
#include <QString>

QT_FORWARD_DECLARE_CLASS(QAction)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QTimer)
class MultipleEvolutions;
class OptionsWidget;
class SelectedShapeWidget;
class ShapeFrame;
class ZazizEvozuEvolver;

/// @brief How a failed open or save reaches the user.
enum class FailureReport {
  MessageBox,  ///< a warning box naming the file (the user asked for the file)
  Quiet        ///< only the printed line; the caller reports it (the batch dialog logs it)
};

/// @brief The main window: the view in the centre, the current-shape panel docked on the
/// right, the Evolve tool bar and the whole-canvas commands.
///
/// The Evolve action's check means "the worker should run". Every command that stops the
/// worker either restores it to match the action or unchecks the action, so the two never
/// disagree once a command has returned. The commands themselves are the evolver's
/// (`fillCommand`, `resetCommand`, `closerCommand`, `occupyCommand`, `unfreezeCommand`);
/// with Evolve checked, Fill and Reset let a run they interrupted go on where it stood.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  /// Status bar refresh interval (milliseconds).
  static constexpr int kStatusInterval = 250;

  MainWindow();
  ~MainWindow() override;

  /// @brief Loads an SVG drawing in place of the current one and remembers its path for
  /// `reload`. The worker is stopped around the load; with Evolve checked a fresh run
  /// starts (or, when the file could not be read, the run goes on where it stood).
  /// @param path file name; handed to the reader in the local 8-bit encoding.
  /// A readable drawing with no shape, or with outlines left out over the drawing's shape
  /// bound, is opened and, with `FailureReport::MessageBox`, a box says so.
  /// @return whether the drawing was read.
  bool openFile(const QString& path, FailureReport report = FailureReport::MessageBox);
  /// @brief Writes the drawing as SVG. The worker is stopped around the save; with Evolve
  /// checked its run then goes on where it stood.
  /// @return whether the file was written.
  bool saveFile(const QString& path, FailureReport report = FailureReport::MessageBox);
  /// Checks / unchecks Evolve; its toggle starts or stops the worker.
  void startEvolution();
  void stopEvolution();

  /// The evolver, owned by the view.
  ZazizEvozuEvolver& evolver();
  /// The text the status bar shows now.
  QString statusText() const;

  MultipleEvolutions* multipleEvolutions = nullptr;
  ShapeFrame* shapeFrame = nullptr;
  QAction* evolveAction = nullptr;
  OptionsWidget* optionsWidget = nullptr;
  SelectedShapeWidget* selectedShapeWidget = nullptr;
  /// Path of the last file given to openFile; empty at start.
  QString currentFile;

 public slots:
  void openMultipleEvolutionsDialog();
  void open();
  void save();
  void options();
  /// @brief Opens `currentFile` again, reporting a failure only as the printed line (the
  /// batch dialog calls it and logs the failure itself).
  /// @return whether the drawing was read.
  bool reload();
  /// Every shape back to its initial outline with freshly drawn parameters.
  void reset();
  /// Fills the holes between the shapes with new shapes (three passes, coarse to fine).
  void fill();
  /// "Closer": pulls facing outlines together; leaves Evolve unchecked.
  void grow();
  /// Lets every shape take up the free space around it; leaves Evolve unchecked.
  void occupy();
  /// Lets the outlines follow their level sets again; the worker is left as it is.
  void unfreeze();
  void evolveChecked(bool on);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createMenus();
  void createToolBars();
  /// Stops the worker and clears the panel's shape before the shape list changes.
  void stopWorker();
  /// Starts a fresh run when Evolve is checked.
  void restoreWorker();
  void reportFailure(const QString& title, const QString& text);
  void updateStatus();

  QLabel* statusLabel = nullptr;
  QTimer* statusTimer = nullptr;
};

#endif
