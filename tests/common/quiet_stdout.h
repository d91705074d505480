// glimshape — tests/common
// Purpose: QuietStdout, which sends the process's stdout to /dev/null while it lives.
#ifndef TESTS_COMMON_QUIET_STDOUT_H
#define TESTS_COMMON_QUIET_STDOUT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace glimtest {

/// @brief Sends file descriptor 1 to /dev/null from construction to destruction, so that
/// progress lines printed by the code under measurement keep a benchmark's table readable.
///
/// Both streams (std::cout and C stdio) are flushed on each change, so nothing printed
/// before is lost and nothing printed inside leaks out later.
/// @warning If /dev/null cannot be opened stdout is left as it is.
class QuietStdout {
 public:
  QuietStdout() {
    flush();
    saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~QuietStdout() {
    flush();
    if (saved >= 0) {
      dup2(saved, 1);
      close(saved);
    }
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  static void flush() {
    std::cout.flush();
    std::fflush(stdout);
  }

  int saved = -1;
};

}  // namespace glimtest

#endif
