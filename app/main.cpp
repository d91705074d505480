// glimshape — app
// Purpose: program entry: prepares the application, shows the main window and opens the
// drawing named by the first argument.
#include <QApplication>
#include <QStringList>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/stopsignals.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Ctrl-C and SIGTERM end the program as closing its window does: settings stored, the
  // worker joined and, on the way out of main, the private temporary directory removed.
  StopSignals stopSignals;
  prepareApplication();

  MainWindow window;
  QObject::connect(&stopSignals, &StopSignals::stopRequested, &window, [&window] {
    window.close();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
  });
  window.show();
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1) window.openFile(arguments.at(1));

  application.exec();
  return 0;
}
