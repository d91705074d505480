// glimshape — tests/common
// Purpose: the one QApplication of a widget test program, and a private settings store.
#ifndef TESTS_COMMON_QT_APPLICATION_H
#define TESTS_COMMON_QT_APPLICATION_H

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace glimtest {

/// @brief Creates the program's QApplication on first use and keeps it to the end.
///
/// Call it from a test or fixture, never at static initialisation: listing the tests
/// (at build time, without a display) must not open a connection to the X server.
inline QApplication& application() {
  static int argc = 1;
  static char name[] = "glimshape-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

/// @brief Points every QSettings of the program at fresh temporary directories for the
/// object's life, with the program's organisation and application names, so tests
/// never read or write the user's settings.
class PrivateSettingsStore {
 public:
  PrivateSettingsStore() {
    QCoreApplication::setOrganizationName(QStringLiteral("vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("glimshape"));
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, user.path());
      QSettings::setPath(format, QSettings::SystemScope, system.path());
    }
  }
  PrivateSettingsStore(const PrivateSettingsStore&) = delete;
  PrivateSettingsStore& operator=(const PrivateSettingsStore&) = delete;

  /// Directory that holds the user-scope settings files.
  QString userPath() const { return user.path(); }

 private:
  QTemporaryDir user;
  QTemporaryDir system;
};

}  // namespace glimtest

#endif
