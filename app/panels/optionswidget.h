// glimshape — app panels
// Purpose: OptionsWidget, the options window: canvas size, level-set kind and the list of
// motion-model distributions.
#ifndef GLIM_APP_PANELS_OPTIONSWIDGET_H
#define GLIM_APP_PANELS_OPTIONSWIDGET_H

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSpinBox;

/// @brief The options window over GlimShapeSettings::instance().
///
/// Built from ":forms/GlimShapeOptions.ui". Edits go straight into the settings and take
/// effect when the settings are next read (new shapes, resets, the next loaded drawing).
/// Lives on the GUI thread.
class OptionsWidget : public QWidget {
  Q_OBJECT

 public:
  /// @brief Loads the form, shows it, sizes the window to it plus 10 pixels each way and
  /// binds the widgets (bindMembers).
  explicit OptionsWidget(QWidget* parent = nullptr);

  /// @brief Finds the widgets, fills the distribution list with one description per
  /// settings record, connects the signals and shows the settings.
  ///
  /// Showing the settings signals nothing: a stored size outside a spin box's range
  /// (a width of 8 shows 16) stays in the settings until the user changes the spin box.
  /// A level-set type that no `methodCombo` item matches exactly leaves its selection.
  /// Prints "No distribution list." when the form lacks `distributionList`.
  void bindMembers();

  /// The loaded form (nullptr if it could not be loaded).
  QWidget* form = nullptr;
  QComboBox* methodCombo = nullptr;
  QSpinBox* widthSpin = nullptr;
  QSpinBox* heightSpin = nullptr;
  /// Shows the temporary directory; read-only, as the directory is created at start-up.
  QLineEdit* temporaryPath = nullptr;
  QListWidget* distributionList = nullptr;
  /// Checked: drawings are read as a renderer paints them (settings `svgReader` "full");
  /// unchecked: filled paths and polygons only ("basic").
  QCheckBox* fullReaderCheck = nullptr;

 public slots:
  /// Settings `width` = value (pixels).
  void widthChanged(int value);
  /// Settings `height` = value (pixels).
  void heightChanged(int value);
  /// Settings `levelSetType` = the text of `methodCombo`'s current item.
  void levelSetTypeChanged(int index);
  /// Settings `svgReader` = "full" when checked, else "basic".
  void fullReaderToggled(bool checked);
  /// Appends a default record to the settings and its description to the list.
  void addDistribution(bool checked = false);
  /// Removes the list's current item and the settings record at its row; nothing when no
  /// item is current.
  void removeDistribution(bool checked = false);
  /// @brief Edits the record at the item's row in a modal EvolutionOptionsWidget; when it
  /// closes (by "Ok" or the window's close button) the dialog's values are copied into
  /// the record and the item shows its new description.
  void distributionSelected(QListWidgetItem* item);
};

#endif
