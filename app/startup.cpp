// glimshape — app
// Purpose: settings, temporary directory and OpenGL format at program start.
#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QSurfaceFormat>

#include "settings/glimshapesettings.h"
#include "settings/settings.h"

void prepareApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("vorn"));
  QCoreApplication::setApplicationName(QStringLiteral("glimshape"));
  Settings::transferFromQSettings();

  QDir().mkdir(QString::fromLocal8Bit(GlimShapeSettings::instance().temporaryPath));

  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setStencilBufferSize(8);
  // The shapes draw with fixed-function OpenGL.
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  QSurfaceFormat::setDefaultFormat(format);
}
