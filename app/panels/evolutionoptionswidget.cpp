// glimshape — app panels
// Purpose: building and binding the motion-model editor and drawing its noise preview.
#include "app/panels/evolutionoptionswidget.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "settings/evolutiondistribution.h"
#include "app/panels/formloader.h"

namespace {

void selectText(QComboBox* combo, const std::string& text) {
  if (!combo) return;
  const int index = combo->findText(QString::fromStdString(text),
                                    Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0) combo->setCurrentIndex(index);
}

}  // namespace

QImage stiffnessPicture(const vorn::Image<float>& image) {
  const int w = image.getWidth();
  const int h = image.getHeight();
  if (w <= 0 || h <= 0 || image.nchannels < 1) return QImage();
  QImage picture(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < w; ++x) {
      // Clamping in double before converting keeps NaN and huge values defined.
      const double g = 255.0 * image.get(x, y, 0);
      const int grey = g >= 255.0 ? 255 : (g > 0.0 ? static_cast<int>(g) : 0);
      row[x] = qRgb(grey, grey, grey);
    }
  }
  return picture;
}

EvolutionOptionsWidget::EvolutionOptionsWidget(EvolutionDistribution* distribution,
                                               QWidget* parent)
    : QDialog(parent), distribution(distribution) {
  setWindowTitle(tr("Motion Model"));
  form = embedForm(QStringLiteral(":forms/GlimShapeEvolutionOptions.ui"), this);
  bindMembers();
}

void EvolutionOptionsWidget::bindMembers() {
  QWidget* root = form ? form : this;
  speedMinSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("speedMinSpin"));
  speedMaxSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("speedMaxSpin"));
  stiffMinSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("stiffMinSpin"));
  stiffMaxSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("stiffMaxSpin"));
  distributionSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("distributionSpin"));
  noiseLabel = root->findChild<QLabel*>(QStringLiteral("noiseLabel"));
  noiseTypeCombo = root->findChild<QComboBox*>(QStringLiteral("noiseTypeCombo"));
  motionTypeCombo = root->findChild<QComboBox*>(QStringLiteral("motionTypeCombo"));
  auto* okButton = root->findChild<QAbstractButton*>(QStringLiteral("okButton"));

  // The combos show exactly the names stored in records and shapes.
  if (motionTypeCombo) {
    motionTypeCombo->clear();
    motionTypeCombo->addItems({QStringLiteral("original"), QStringLiteral("speed-based")});
  }
  if (noiseTypeCombo) {
    noiseTypeCombo->clear();
    noiseTypeCombo->addItems({QStringLiteral("perlin"), QStringLiteral("perlin_hard")});
  }
  if (distribution) {
    selectText(motionTypeCombo, distribution->method);
    selectText(noiseTypeCombo, distribution->noiseType);
    if (distributionSpin) distributionSpin->setValue(distribution->weight);
    if (speedMinSpin) speedMinSpin->setValue(distribution->speedMin);
    if (speedMaxSpin) speedMaxSpin->setValue(distribution->speedMax);
    if (stiffMinSpin) stiffMinSpin->setValue(distribution->stiffMin);
    if (stiffMaxSpin) stiffMaxSpin->setValue(distribution->stiffMax);
  }
  if (noiseTypeCombo)
    connect(noiseTypeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &EvolutionOptionsWidget::noiseTypeChanged);
  if (okButton) connect(okButton, &QAbstractButton::clicked, this, &QDialog::accept);
  updatePixmap();
}

void EvolutionOptionsWidget::noiseTypeChanged(int) {
  if (distribution && noiseTypeCombo)
    distribution->noiseType = noiseTypeCombo->currentText().toStdString();
  updatePixmap();
}

void EvolutionOptionsWidget::updatePixmap() {
  if (!noiseLabel || !distribution) return;
  const QImage picture =
      stiffnessPicture(distribution->createStiffImage(previewWidth, previewHeight));
  if (picture.isNull()) {
    noiseLabel->setPixmap(QPixmap());
    noiseLabel->setText(tr("No noise image for \"%1\"")
                            .arg(QString::fromStdString(distribution->noiseType)));
  } else {
    noiseLabel->setPixmap(QPixmap::fromImage(picture));
  }
}

void EvolutionOptionsWidget::transferFromWidget() {
  if (!distribution) return;
  if (speedMinSpin) distribution->speedMin = speedMinSpin->value();
  if (speedMaxSpin) distribution->speedMax = speedMaxSpin->value();
  if (stiffMinSpin) distribution->stiffMin = stiffMinSpin->value();
  if (stiffMaxSpin) distribution->stiffMax = stiffMaxSpin->value();
  if (distributionSpin) distribution->weight = distributionSpin->value();
  if (noiseTypeCombo) distribution->noiseType = noiseTypeCombo->currentText().toStdString();
  if (motionTypeCombo) distribution->method = motionTypeCombo->currentText().toStdString();
}
