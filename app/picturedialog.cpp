// glimshape — app
// Purpose: PictureDialog's widgets, the size shown for a scale and the folder chooser.
#include "app/picturedialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "evolver/picture.h"

PictureDialog::PictureDialog(Purpose purpose_, QSize canvas_, QWidget* parent)
    : QDialog(parent), purpose(purpose_), canvas(canvas_) {
  const bool recording = purpose == Purpose::Record;
  setWindowTitle(recording ? tr("Record Time-Lapse") : tr("Export Picture"));
  auto* form = new QFormLayout;

  if (recording) {
    folderEdit = new QLineEdit;
    folderEdit->setObjectName("folderEdit");
    folderEdit->setMinimumWidth(280);
    auto* browse = new QPushButton(tr("Browse…"));
    connect(browse, &QPushButton::clicked, this, &PictureDialog::chooseFolder);
    auto* row = new QHBoxLayout;
    row->addWidget(folderEdit, 1);
    row->addWidget(browse);
    form->addRow(tr("Folder:"), row);
    everySpin = new QSpinBox;
    everySpin->setObjectName("everySpin");
    everySpin->setRange(1, 150);
    everySpin->setToolTip(tr("A frame after every this many passes of the evolution"));
    form->addRow(tr("Passes between frames:"), everySpin);
  }

  scaleSpin = new QSpinBox;
  scaleSpin->setObjectName("scaleSpin");
  // A canvas too large for even 1× (sides beyond 16,384 pixels) still offers 1×; writing
  // it then fails with the reason.
  scaleSpin->setRange(1, std::max(1, largestPictureScale(canvas.width(), canvas.height())));
  scaleSpin->setSuffix(QStringLiteral("×"));
  scaleSpin->setToolTip(tr("Picture pixels per canvas pixel"));
  form->addRow(tr("Scale:"), scaleSpin);
  sizeLabel = new QLabel;
  sizeLabel->setObjectName("sizeLabel");
  form->addRow(tr("Picture size:"), sizeLabel);
  connect(scaleSpin, &QSpinBox::valueChanged, this, &PictureDialog::updateSize);

  auto* note = new QLabel(tr("Drawn as the saved SVG draws the shapes, on white, smoothed."));
  note->setWordWrap(true);

  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(recording ? tr("Record") : tr("Export…"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (folderEdit) connect(folderEdit, &QLineEdit::textChanged, this, &PictureDialog::updateSize);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);
  updateSize();
}

int PictureDialog::scale() const { return scaleSpin->value(); }

void PictureDialog::setScale(int value) { scaleSpin->setValue(value); }

int PictureDialog::every() const { return everySpin ? everySpin->value() : 1; }

void PictureDialog::setEvery(int passes) {
  if (everySpin) everySpin->setValue(passes);
}

QString PictureDialog::folder() const { return folderEdit ? folderEdit->text() : QString(); }

void PictureDialog::setFolder(const QString& value) {
  if (folderEdit) folderEdit->setText(value);
  updateSize();
}

QString PictureDialog::sizeText() const {
  return tr("%1 × %2 pixels")
      .arg(qint64(canvas.width()) * scale())
      .arg(qint64(canvas.height()) * scale());
}

void PictureDialog::updateSize() {
  sizeLabel->setText(sizeText());
  // A time-lapse needs a folder to go into.
  if (folderEdit)
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(!folderEdit->text().isEmpty() && QFileInfo(folderEdit->text()).isDir());
}

void PictureDialog::chooseFolder() {
  const QString dir = QFileDialog::getExistingDirectory(this, tr("Frames folder"), folder(),
                                                        QFileDialog::ShowDirsOnly);
  if (!dir.isEmpty()) setFolder(dir);
}
