// glimshape — app panels
// Purpose: loading Designer forms from the resources with the form builder.
#include "app/panels/formloader.h"

#include <QFile>
#include <QSize>
#include <QVBoxLayout>
#include <QStringList>
#include <QWidget>
#include <QtDesigner/QFormBuilder>

#include <cstdio>

// The forms are compiled into this static library; their registration code is only
// linked in when something refers to it, hence the explicit call.
static void registerFormResources() { Q_INIT_RESOURCE(glimforms); }

QWidget* loadForm(const QString& resourcePath, QWidget* parent) {
  static const bool registered = (registerFormResources(), true);
  (void)registered;

  QFile file(resourcePath);
  if (!file.open(QFile::ReadOnly)) {
    std::fprintf(stderr, "Could not open the form %s: %s\n",
                 resourcePath.toLocal8Bit().constData(),
                 file.errorString().toLocal8Bit().constData());
    return nullptr;
  }
  QFormBuilder builder;
  // The forms use only Qt's own widgets; looking for Designer plug-ins would only cost
  // start-up time.
  builder.setPluginPath(QStringList());
  QWidget* form = builder.load(&file, parent);
  file.close();
  if (!form) {
    std::fprintf(stderr, "Could not read the form %s: %s\n",
                 resourcePath.toLocal8Bit().constData(),
                 builder.errorString().toLocal8Bit().constData());
  }
  return form;
}

QWidget* embedForm(const QString& resourcePath, QWidget* host) {
  QWidget* form = loadForm(resourcePath, host);
  if (!form) return nullptr;
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->addWidget(form);
  form->show();
  host->resize(form->size() + QSize(10, 10));
  return form;
}
