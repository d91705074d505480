// glimshape — tests/app
// Purpose: entry of the window test programs: a QApplication over a private settings store,
// prepared as the program prepares itself, then the GoogleTest cases.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/startup.h"
#include "app_testing.h"
#include "common/qt_application.h"

namespace {
QTemporaryDir* scratchRoot = nullptr;
}

namespace glimtest {

QString scratchDir(const QString& name) {
  QDir dir(scratchRoot->filePath(name));
  dir.removeRecursively();
  QDir().mkpath(dir.path());
  return dir.path();
}

bool writeFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QFile::WriteOnly) && file.write(text) == text.size();
}

}  // namespace glimtest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QTemporaryDir root;
  scratchRoot = &root;
  // Never the user's settings.
  glimtest::PrivateSettingsStore store;
  QApplication application(argc, argv);
  prepareApplication();
  return RUN_ALL_TESTS();
}
