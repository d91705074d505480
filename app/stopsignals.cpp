// glimshape — app
// Purpose: the self-pipe between the SIGINT/SIGTERM handler and the event loop.
#include "app/stopsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>

namespace {

// [0] is read by the event loop, [1] written by the handler.
int pipeEnds[2] = {-1, -1};
struct sigaction previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  // Async-signal-safe calls only: a full pipe just drops the byte (one is enough).
  [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  ::sigaction(number, &standard, nullptr);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) {
    std::fprintf(stderr, "Ctrl-C will not remove the temporary files: no socket pair.\n");
    pipeEnds[0] = pipeEnds[1] = -1;
    return;
  }
  notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int k = 0; k < 2; ++k) ::sigaction(kSignals[k], &action, &previous[k]);
}

StopSignals::~StopSignals() {
  if (!notifier) return;
  for (int k = 0; k < 2; ++k) ::sigaction(kSignals[k], &previous[k], nullptr);
  delete notifier;
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignals::readSignal() {
  unsigned char byte = 0;
  if (::read(pipeEnds[0], &byte, 1) == 1) emit stopRequested(int(byte));
}
