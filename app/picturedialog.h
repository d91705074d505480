// glimshape — app
// Purpose: PictureDialog, which asks how large a picture of the canvas to make (File ▸ Export
// Picture…) and, for a time-lapse (File ▸ Record), where and how often to take its frames.
#ifndef GLIM_APP_PICTUREDIALOG_H
#define GLIM_APP_PICTUREDIALOG_H

#include <QDialog>
#include <QSize>

QT_FORWARD_DECLARE_CLASS(QDialogButtonBox)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QLineEdit)
QT_FORWARD_DECLARE_CLASS(QSpinBox)

/// @brief The scale of a picture (1× to the largest that keeps each side within 16,384
/// pixels, at most 16×) with the resulting size shown as it changes; for a time-lapse also the
/// frames' folder and the number of passes between frames.
class PictureDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Purpose {
    Export,  ///< one picture: the scale only
    Record   ///< a time-lapse: folder, passes between frames and scale
  };

  /// @param canvas the canvas size (pixels) the picture shows.
  PictureDialog(Purpose purpose, QSize canvas, QWidget* parent = nullptr);

  /// The chosen scale (picture pixels per canvas pixel).
  int scale() const;
  void setScale(int scale);
  /// Passes between two frames (Record).
  int every() const;
  void setEvery(int passes);
  /// The frames' folder (Record).
  QString folder() const;
  void setFolder(const QString& folder);
  /// The text that shows the picture's size, e.g. "1024 × 1024 pixels".
  QString sizeText() const;

  QSpinBox* scaleSpin = nullptr;
  QLabel* sizeLabel = nullptr;
  QSpinBox* everySpin = nullptr;
  QLineEdit* folderEdit = nullptr;
  QDialogButtonBox* buttons = nullptr;

 private:
  void updateSize();
  void chooseFolder();

  const Purpose purpose;
  const QSize canvas;
};

#endif
