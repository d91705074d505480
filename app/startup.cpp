// glimshape — app
// Purpose: settings, temporary directory and OpenGL format at program start.
#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QSurfaceFormat>

#include "settings/glimshapesettings.h"
#include "app/panels/settings.h"

namespace {

const char* const kTemporaryPathKey = "temporaryPath";
// What every earlier version stored on close without the user choosing it.
const char* const kOldDefaultTemporaryPath = "./temp";
// The temporary directory in use was chosen by the program, not stored by the user.
bool temporaryPathIsPlatforms = false;

}  // namespace

void prepareApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("vorn"));
  QCoreApplication::setApplicationName(QStringLiteral("glimshape"));
  Settings::transferFromQSettings();

  const QString stored = QSettings().value(QLatin1String(kTemporaryPathKey)).toString();
  GlimShapeSettings& settings = GlimShapeSettings::instance();
  temporaryPathIsPlatforms = stored.isEmpty() || stored == QLatin1String(kOldDefaultTemporaryPath);
  if (temporaryPathIsPlatforms) {
    // A desktop launch would otherwise put "./temp" in the home folder.
    settings.temporaryPath =
        QStandardPaths::writableLocation(QStandardPaths::TempLocation).toLocal8Bit().toStdString();
  } else {
    QDir().mkdir(QString::fromLocal8Bit(settings.temporaryPath));
  }

  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setStencilBufferSize(8);
  // The shapes draw with fixed-function OpenGL.
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  QSurfaceFormat::setDefaultFormat(format);
}

bool storeSettings() {
  if (!Settings::transferToQSettings()) return false;
  if (!temporaryPathIsPlatforms) return true;
  QSettings store;
  store.remove(QLatin1String(kTemporaryPathKey));
  store.sync();
  return store.status() == QSettings::NoError;
}
