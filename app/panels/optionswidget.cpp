// glimshape — app panels
// Purpose: building and binding the options window.
#include "app/panels/optionswidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

#include <cstdio>

#include "app/panels/evolutionoptionswidget.h"
#include "app/panels/formloader.h"
#include "settings/glimshapesettings.h"

OptionsWidget::OptionsWidget(QWidget* parent) : QWidget(parent) {
  setWindowTitle(tr("Options"));
  form = embedForm(QStringLiteral(":forms/GlimShapeOptions.ui"), this);
  bindMembers();
}

void OptionsWidget::bindMembers() {
  QWidget* root = form ? form : this;
  methodCombo = root->findChild<QComboBox*>(QStringLiteral("methodCombo"));
  widthSpin = root->findChild<QSpinBox*>(QStringLiteral("widthSpin"));
  heightSpin = root->findChild<QSpinBox*>(QStringLiteral("heightSpin"));
  temporaryPath = root->findChild<QLineEdit*>(QStringLiteral("temporaryPath"));
  distributionList = root->findChild<QListWidget*>(QStringLiteral("distributionList"));
  fullReaderCheck = root->findChild<QCheckBox*>(QStringLiteral("fullReaderCheck"));
  auto* addButton = root->findChild<QAbstractButton*>(QStringLiteral("addDistributionButton"));
  auto* removeButton =
      root->findChild<QAbstractButton*>(QStringLiteral("removeDistributionButton"));

  GlimShapeSettings& s = GlimShapeSettings::instance();
  if (distributionList) {
    distributionList->clear();
    for (const EvolutionDistribution& d : s.distributions)
      distributionList->addItem(QString::fromStdString(d.getDescription()));
    connect(distributionList, &QListWidget::itemDoubleClicked, this,
            &OptionsWidget::distributionSelected);
  } else {
    std::printf("No distribution list.\n");
    std::fflush(stdout);
  }
  if (widthSpin)
    connect(widthSpin, qOverload<int>(&QSpinBox::valueChanged), this,
            &OptionsWidget::widthChanged);
  if (heightSpin)
    connect(heightSpin, qOverload<int>(&QSpinBox::valueChanged), this,
            &OptionsWidget::heightChanged);
  if (methodCombo)
    connect(methodCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &OptionsWidget::levelSetTypeChanged);
  if (fullReaderCheck)
    connect(fullReaderCheck, &QCheckBox::toggled, this, &OptionsWidget::fullReaderToggled);
  if (addButton)
    connect(addButton, &QAbstractButton::clicked, this, &OptionsWidget::addDistribution);
  if (removeButton)
    connect(removeButton, &QAbstractButton::clicked, this, &OptionsWidget::removeDistribution);

  // Showing the settings must not write them back: a spin box clamps what it shows, and
  // a stored size outside its range would otherwise be replaced at every start-up.
  if (temporaryPath) temporaryPath->setText(QString::fromLocal8Bit(s.temporaryPath));
  if (widthSpin) {
    const QSignalBlocker block(widthSpin);
    widthSpin->setValue(s.width);
  }
  if (heightSpin) {
    const QSignalBlocker block(heightSpin);
    heightSpin->setValue(s.height);
  }
  if (fullReaderCheck) {
    const QSignalBlocker block(fullReaderCheck);
    fullReaderCheck->setChecked(s.svgReader != "basic");
  }
  if (methodCombo) {
    const int index = methodCombo->findText(QString::fromStdString(s.levelSetType),
                                            Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
      const QSignalBlocker block(methodCombo);
      methodCombo->setCurrentIndex(index);
    }
  }
}

void OptionsWidget::widthChanged(int value) { GlimShapeSettings::instance().width = value; }

void OptionsWidget::heightChanged(int value) { GlimShapeSettings::instance().height = value; }

void OptionsWidget::levelSetTypeChanged(int) {
  if (methodCombo)
    GlimShapeSettings::instance().levelSetType = methodCombo->currentText().toStdString();
}

void OptionsWidget::fullReaderToggled(bool checked) {
  GlimShapeSettings::instance().svgReader = checked ? "full" : "basic";
}

void OptionsWidget::addDistribution(bool) {
  GlimShapeSettings& s = GlimShapeSettings::instance();
  s.distributions.push_back(EvolutionDistribution());
  if (distributionList)
    distributionList->addItem(QString::fromStdString(s.distributions.back().getDescription()));
}

void OptionsWidget::removeDistribution(bool) {
  if (!distributionList) return;
  QListWidgetItem* item = distributionList->currentItem();
  if (!item) return;
  const int row = distributionList->row(item);
  delete distributionList->takeItem(row);
  std::vector<EvolutionDistribution>& list = GlimShapeSettings::instance().distributions;
  if (row >= 0 && row < static_cast<int>(list.size())) list.erase(list.begin() + row);
}

void OptionsWidget::distributionSelected(QListWidgetItem* item) {
  if (!item || !distributionList) return;
  std::vector<EvolutionDistribution>& list = GlimShapeSettings::instance().distributions;
  const int row = distributionList->row(item);
  if (row < 0 || row >= static_cast<int>(list.size())) return;

  // The dialog is modal, so the list cannot change while it holds a pointer into it.
  EvolutionOptionsWidget editor(&list[row], this);
  editor.exec();
  editor.transferFromWidget();
  item->setText(QString::fromStdString(list[row].getDescription()));
}
