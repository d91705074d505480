// glimshape — app panels
// Purpose: building and binding the current-shape panel; shape changes under the
// evolver's mutex.
#include "app/panels/selectedshapewidget.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>

#include <string>
#include <utility>

#include "app/panels/formloader.h"
#include "shapes/zazizevozubase.h"

SelectedShapeWidget::SelectedShapeWidget(QWidget* parent) : QDockWidget(parent) {
  setWindowTitle(tr("Current Shape"));
  hint = new QLabel(tr("No shape picked.\nRight-click a shape in the view."), this);
  hint->setAlignment(Qt::AlignCenter);
  hint->setWordWrap(true);
  hint->setEnabled(false);
  form = loadForm(QStringLiteral(":forms/CurrentShapeOptions.ui"), this);
  if (form) form->hide();
  bindMembers();
}

void SelectedShapeWidget::setShapeMutex(std::mutex* mutex) { shapeMutex = mutex; }

void SelectedShapeWidget::setShape(std::shared_ptr<ZazizEvozuBase> newShape) {
  shape = std::move(newShape);
  transferToWidget();
}

void SelectedShapeWidget::bindMembers() {
  QWidget* root = form ? form : this;
  speedSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("speedSpin"));
  stiffSpin = root->findChild<QDoubleSpinBox*>(QStringLiteral("stiffSpin"));
  noiseTypeCombo = root->findChild<QComboBox*>(QStringLiteral("noiseTypeCombo"));
  motionTypeCombo = root->findChild<QComboBox*>(QStringLiteral("motionTypeCombo"));

  if (motionTypeCombo) {
    motionTypeCombo->clear();
    motionTypeCombo->addItems({QStringLiteral("original"), QStringLiteral("speed-based")});
    connect(motionTypeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SelectedShapeWidget::motionTypeChanged);
  }
  if (noiseTypeCombo) {
    noiseTypeCombo->clear();
    noiseTypeCombo->addItems({QStringLiteral("perlin"), QStringLiteral("perlin_hard")});
    connect(noiseTypeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SelectedShapeWidget::noiseTypeChanged);
  }
  if (stiffSpin)
    connect(stiffSpin, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &SelectedShapeWidget::stiffChanged);
  if (speedSpin)
    connect(speedSpin, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &SelectedShapeWidget::speedChanged);
  transferToWidget();
}

void SelectedShapeWidget::transferToWidget() {
  if (!shape || !form) {
    if (widget() != hint) setWidget(hint);
    return;
  }
  double speed = 0.0;
  double stiffness = 0.0;
  std::string noiseType;
  std::string method;
  changeShape([&](ZazizEvozuBase& s) {
    speed = s.speed;
    stiffness = s.stiffness;
    noiseType = s.noiseType;
    method = s.evolutionMethod;
  });

  if (widget() != form) setWidget(form);
  // Blocked signals: showing a shape must not write the shown (rounded) values back.
  const QSignalBlocker blockSpeed(speedSpin);
  const QSignalBlocker blockStiff(stiffSpin);
  const QSignalBlocker blockNoise(noiseTypeCombo);
  const QSignalBlocker blockMotion(motionTypeCombo);
  if (speedSpin) speedSpin->setValue(speed);
  if (stiffSpin) stiffSpin->setValue(stiffness);
  for (auto [combo, text] : {std::pair(noiseTypeCombo, &noiseType),
                             std::pair(motionTypeCombo, &method)}) {
    if (!combo) continue;
    const int index = combo->findText(QString::fromStdString(*text),
                                      Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) combo->setCurrentIndex(index);
  }
}

void SelectedShapeWidget::stiffChanged(double value) {
  changeShape([value](ZazizEvozuBase& s) { s.stiffness = value; });
}

void SelectedShapeWidget::speedChanged(double value) {
  changeShape([value](ZazizEvozuBase& s) { s.speed = value; });
}

void SelectedShapeWidget::noiseTypeChanged(int) {
  if (!noiseTypeCombo) return;
  const std::string name = noiseTypeCombo->currentText().toStdString();
  changeShape([&name](ZazizEvozuBase& s) { s.setNoiseType(name); });
}

void SelectedShapeWidget::motionTypeChanged(int) {
  if (!motionTypeCombo) return;
  const std::string name = motionTypeCombo->currentText().toStdString();
  changeShape([&name](ZazizEvozuBase& s) { s.setEvolutionMethod(name); });
}

void SelectedShapeWidget::changeShape(const std::function<void(ZazizEvozuBase&)>& change) {
  if (!shape) return;
  if (shapeMutex) {
    const std::lock_guard<std::mutex> lock(*shapeMutex);
    change(*shape);
  } else {
    change(*shape);
  }
}
