// glimshape — app
// Purpose: MainWindow, the program's top-level window: menus, tool bars, drag and drop,
// opening and saving drawings and the whole-canvas commands.
#ifndef GLIM_APP_MAINWINDOW_H
#define GLIM_APP_MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

QT_FORWARD_DECLARE_CLASS(QAction)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QMenu)
QT_FORWARD_DECLARE_CLASS(QTimer)
class MultipleEvolutions;
class TimeLapse;
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
/// It opens at about two thirds of the available screen, or as it was left: its geometry,
/// dock and tool bars are stored on close ("window/geometry", "window/state") with the
/// recent files ("recentFiles").
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

  /// Entries of File ▸ Open Recent.
  static constexpr int kMaxRecentFiles = 8;

  /// @brief Loads an SVG drawing in place of the current one and remembers its path for
  /// `reload` and File ▸ Open Recent; a file that cannot be read is not remembered, and the
  /// drawing, `currentFile` and the run stay as they were. The worker is stopped around the
  /// load; with Evolve checked a fresh run starts.
  /// @param path file name; handed to the reader in the local 8-bit encoding.
  /// A readable drawing with no shape, or with outlines left out over the drawing's shape
  /// bound, is opened and, with `FailureReport::MessageBox`, a box says so.
  /// @return whether the drawing was read.
  bool openFile(const QString& path, FailureReport report = FailureReport::MessageBox);
  /// @brief Writes the drawing as SVG. The worker is stopped around the save; with Evolve
  /// checked a run under way then goes on where it stood, and a finished run stays
  /// finished. With `FailureReport::MessageBox` a failure shows a box naming the file and
  /// the reason.
  /// @param reason when not null, receives why the save failed (empty after a success).
  /// @return whether the file was written.
  bool saveFile(const QString& path, FailureReport report = FailureReport::MessageBox,
                QString* reason = nullptr);
  /// @brief Writes a PNG picture of the shapes at `scale` pixels per canvas pixel
  /// (`writePicture`), replacing the file. The worker goes on.
  /// @return whether the file was written.
  bool exportPicture(const QString& path, int scale,
                     FailureReport report = FailureReport::MessageBox);
  /// @brief Starts a time-lapse in `dir`: a frame now, after every `every`-th pass (taken by
  /// the worker), after each canvas command and each drawing opened, until `stopRecording`.
  /// Frames are named "glimout-" + the first number with no frame in `dir` ("%06d") + "-" +
  /// the frame number ("%04d") + ".png".
  /// @return false, with a box, when the first frame cannot be written.
  bool startRecording(const QString& dir, int every, int scale);
  /// @brief Ends the time-lapse with a frame of the final state (unless the last one shows
  /// it) and says in a box when frames could not be written.
  void stopRecording();
  /// The time-lapse being recorded, or null.
  std::shared_ptr<TimeLapse> timeLapse() const { return recording; }
  /// @brief The files of File ▸ Open Recent, newest first; files that no longer exist are
  /// dropped from the list and the store.
  QStringList recentFiles();
  /// The text of Help ▸ About: the program's version and the libraries it runs with.
  static QString aboutText();
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
  /// Path of the last file openFile read; empty at start.
  QString currentFile;
  /// Path the drawing was last saved to with Save or Save As; File ▸ Save writes there.
  QString savePath;
  QAction* recordAction = nullptr;

 public slots:
  void openMultipleEvolutionsDialog();
  void open();
  /// Saves to `savePath`, or asks for a file as Save As does when there is none.
  void save();
  void saveAs();
  /// Asks for a scale and a file name, then `exportPicture`.
  void exportPictureAs();
  /// Record checked: asks for a folder, passes between frames and a scale, then
  /// `startRecording` (unchecked again when cancelled); unchecked: `stopRecording`.
  void record(bool on);
  void about();
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
  void fillRecentMenu();
  void addRecentFile(const QString& path);
  /// A frame of the time-lapse after a canvas command or a load.
  void recordFrame();
  /// "1 frame", "5 frames".
  static QString frameCount(int frames);
  /// The canvas size a picture of the drawing has.
  QSize canvasSize();
  /// Stops the worker and clears the panel's shape before the shape list changes.
  void stopWorker();
  /// Starts a fresh run when Evolve is checked.
  void restoreWorker();
  void reportFailure(const QString& title, const QString& text);
  void updateStatus();

  QLabel* statusLabel = nullptr;
  /// The summary line of the last drawing opened, at the right of the status bar.
  QLabel* loadLabel = nullptr;
  QTimer* statusTimer = nullptr;
  QMenu* recentMenu = nullptr;
  std::shared_ptr<TimeLapse> recording;
  // The choices of the last picture and time-lapse, offered again.
  int pictureScale = 8;
  int frameScale = 2;
  int frameEvery = 1;
  QString framesFolder;
};

#endif
