// glimshape — batch
// Purpose: the progress report of glimshape-batch on standard error: a bar redrawn in place on
// a terminal, plain lines otherwise.
#ifndef GLIM_BATCH_PROGRESSBAR_H
#define GLIM_BATCH_PROGRESSBAR_H

#include <chrono>
#include <cstdio>
#include <string>

/// @brief Shows which iteration and which pass of it is running.
///
/// On a terminal one line is redrawn in place (at most ten times a second); elsewhere (a log
/// file, a pipe, a cluster job's output) each phase gets one plain line when it starts and
/// evolutions one more when they end, so logs stay short.
class ProgressBar {
 public:
  /// @param stream where the report goes; null for none (quiet).
  /// @param iterations the number of iterations of the batch.
  /// @param interactive redraw one line in place (a terminal) rather than print lines.
  ProgressBar(std::FILE* stream, int iterations, bool interactive);

  /// @brief A new phase of iteration `iteration` (0-based): "loading", "evolving", ...
  void phase(int iteration, const std::string& name);

  /// @brief Passes done in the current evolution.
  /// @param pass passes finished so far.
  /// @param passes the pass limit, 0 when only a time limit holds.
  /// @param elapsed seconds since the evolution began; @param limit its time limit, 0 for none.
  void passes(int pass, int passes, double elapsed, double limit);

  /// @brief The end of an evolution: its pass count and duration.
  void evolved(int pass, double elapsed);

  /// @brief Clears the bar before another line is written to the same stream.
  void clear();

  /// @brief Ends the bar's line for good (after the last iteration).
  void finish();

 private:
  void draw(bool force);

  std::FILE* stream;
  int iterations;
  bool interactive;
  int iteration = 0;
  std::string name;
  std::string detail;
  double fraction = 0.0;
  bool shown = false;
  std::chrono::steady_clock::time_point lastDraw;
};

#endif
