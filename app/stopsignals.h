// glimshape — app
// Purpose: StopSignals, which turns SIGINT and SIGTERM into a Qt signal on the GUI thread, so
// that Ctrl-C or a logout ends the program as closing its window does.
#ifndef GLIM_APP_STOPSIGNALS_H
#define GLIM_APP_STOPSIGNALS_H

#include <QObject>

QT_FORWARD_DECLARE_CLASS(QSocketNotifier)

/// @brief Catches SIGINT and SIGTERM and emits `stopRequested` on the thread that made it.
///
/// The handler only writes one byte into a socket pair (the one thing a handler may safely
/// do); a QSocketNotifier reads it in the event loop, where the program can close its
/// windows, store its settings and return from main, so that the exit handlers remove the
/// private temporary directory. The handler also puts the default action back, so a second
/// Ctrl-C ends a program that does not stop.
///
/// One object per process; it restores the previous handlers when destroyed.
class StopSignals : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

  /// Whether the handlers are installed (false when the socket pair could not be made).
  bool isInstalled() const { return notifier != nullptr; }

 signals:
  /// The number of the signal received (SIGINT or SIGTERM).
  void stopRequested(int signal);

 private:
  void readSignal();

  QSocketNotifier* notifier = nullptr;
};

#endif
