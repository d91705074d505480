// glimshape — app panels
// Purpose: SelectedShapeWidget, the dock that shows and changes the picked shape's speed,
// stiffness, motion method and noise type.
#ifndef GLIM_APP_PANELS_SELECTEDSHAPEWIDGET_H
#define GLIM_APP_PANELS_SELECTEDSHAPEWIDGET_H

#include <QDockWidget>

#include <functional>
#include <memory>
#include <mutex>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class ZazizEvozuBase;

/// @brief The current-shape panel, built from ":forms/CurrentShapeOptions.ui".
///
/// The view hands it the picked shape (setShape); the panel shares ownership of it. While
/// a shape is shown the form is the dock's content; with no shape the dock shows a short
/// hint instead. Changes reach the shape at once and take effect at its next motion step.
/// Lives on the GUI thread; every read and write of the shape holds the mutex given by
/// setShapeMutex (the evolver's), so a running evolution never sees a half-made change.
class SelectedShapeWidget : public QDockWidget {
  Q_OBJECT

 public:
  /// @brief Loads the form (kept aside until a shape is shown) and binds the widgets.
  explicit SelectedShapeWidget(QWidget* parent = nullptr);

  /// @brief The mutex that guards the shapes' contents (the evolver's `mutex`); nullptr
  /// (the default) means no locking. Not owned; must outlive the panel or be reset.
  void setShapeMutex(std::mutex* mutex);

  /// @brief Shows a shape, or none.
  /// @param shape the picked shape, or an empty pointer.
  /// @warning Takes the shape mutex: do not call it while holding that mutex.
  void setShape(std::shared_ptr<ZazizEvozuBase> shape);
  /// The shape shown, or an empty pointer.
  std::shared_ptr<ZazizEvozuBase> getShape() const { return shape; }

  /// @brief Finds the widgets, refills the combos ("original", "speed-based";
  /// "perlin", "perlin_hard"), connects them and shows the current shape.
  void bindMembers();
  /// @brief Puts the form into the dock and shows the shape's speed, stiffness, noise
  /// type and method; with no shape the dock shows the hint.
  ///
  /// Showing a shape signals nothing, so picking a shape leaves it exactly as it was
  /// (no rounding to the spin boxes' two decimals, no new noise image). A name that no
  /// combo item matches leaves that combo's selection.
  void transferToWidget();

  /// The loaded form (nullptr if it could not be loaded).
  QWidget* form = nullptr;
  /// Shown as the dock's content while no shape is picked.
  QLabel* hint = nullptr;
  QDoubleSpinBox* speedSpin = nullptr;
  QDoubleSpinBox* stiffSpin = nullptr;
  QComboBox* noiseTypeCombo = nullptr;
  QComboBox* motionTypeCombo = nullptr;

 public slots:
  /// With a shape: its stiffness = value.
  void stiffChanged(double value);
  /// With a shape: its speed = value (motion steps per evolver pass).
  void speedChanged(double value);
  /// With a shape: `setNoiseType` with the combo's text (rebuilds its stiffness image).
  void noiseTypeChanged(int index);
  /// With a shape: `setEvolutionMethod` with the combo's text.
  void motionTypeChanged(int index);

 private:
  // Runs `change` on the shape under the shape mutex; nothing without a shape.
  void changeShape(const std::function<void(ZazizEvozuBase&)>& change);

  std::shared_ptr<ZazizEvozuBase> shape;
  std::mutex* shapeMutex = nullptr;
};

#endif
