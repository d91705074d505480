// glimshape — app panels
// Purpose: EvolutionOptionsWidget, the editor of one motion-model record with a preview of
// its noise.
#ifndef GLIM_APP_PANELS_EVOLUTIONOPTIONSWIDGET_H
#define GLIM_APP_PANELS_EVOLUTIONOPTIONSWIDGET_H

#include <QDialog>
#include <QImage>

#include "quarl/image.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class EvolutionDistribution;

/// @brief A 32-bit RGB picture of a stiffness image: grey g = 255 × value, truncated and
/// clamped to 0 … 255 (NaN counts as 0), from channel 0.
/// @return a null QImage when the image has no pixels or no channels.
QImage stiffnessPicture(const vorn::Image<float>& image);

/// @brief Modal editor of one EvolutionDistribution, built from
/// ":forms/GlimShapeEvolutionOptions.ui".
///
/// The noise type is written into the record as soon as it is chosen (and the preview is
/// redrawn); the other values are copied by transferFromWidget, which the options window
/// calls when the dialog has closed, however it was closed.
class EvolutionOptionsWidget : public QDialog {
  Q_OBJECT

 public:
  /// Size of the noise preview, pixels.
  static constexpr int previewWidth = 256;
  static constexpr int previewHeight = 128;

  /// @brief Loads the form, sizes the dialog to it plus 10 pixels each way and binds.
  /// @param distribution the record to edit; not owned, must outlive the dialog.
  explicit EvolutionOptionsWidget(EvolutionDistribution* distribution,
                                  QWidget* parent = nullptr);

  /// @brief Finds the widgets, refills the combos ("original", "speed-based";
  /// "perlin", "perlin_hard"), shows the record, connects the noise combo and "Ok", and
  /// draws the preview. A name that no combo item matches exactly leaves its selection.
  void bindMembers();

  /// The record being edited (not owned).
  EvolutionDistribution* distribution = nullptr;
  /// The loaded form (nullptr if it could not be loaded).
  QWidget* form = nullptr;
  QDoubleSpinBox* speedMinSpin = nullptr;
  QDoubleSpinBox* speedMaxSpin = nullptr;
  QDoubleSpinBox* stiffMinSpin = nullptr;
  QDoubleSpinBox* stiffMaxSpin = nullptr;
  /// The record's weight.
  QDoubleSpinBox* distributionSpin = nullptr;
  /// Shows the noise preview.
  QLabel* noiseLabel = nullptr;
  QComboBox* noiseTypeCombo = nullptr;
  QComboBox* motionTypeCombo = nullptr;

 public slots:
  /// The record's noise type becomes the combo's text at once; the preview is redrawn.
  void noiseTypeChanged(int index);
  /// @brief Draws the record's stiffness image at previewWidth × previewHeight into
  /// `noiseLabel`; a noise type without an image shows a short text instead.
  /// @note Draws random numbers (`drand48`), like every stiffness image.
  void updatePixmap();
  /// Copies the five spin boxes and both combos into the record.
  void transferFromWidget();
};

#endif
