// glimshape — app
// Purpose: program entry: prepares the application, shows the main window and opens the
// drawing named by the first argument.
#include <QApplication>
#include <QStringList>

#include "app/mainwindow.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  prepareApplication();

  MainWindow window;
  window.show();
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1) window.openFile(arguments.at(1));

  application.exec();
  return 0;
}
