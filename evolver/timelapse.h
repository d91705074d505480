// glimshape — evolver
// Purpose: TimeLapse, numbered PNG frames of a drawing as it grows, taken by the evolution
// worker after its passes and by the program after its canvas commands.
#ifndef GLIM_EVOLVER_TIMELAPSE_H
#define GLIM_EVOLVER_TIMELAPSE_H

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ZazizEvozuEvolver;

/// @brief Writes the frames of one time-lapse: prefix + file number as "%06d" + "-" + frame
/// number as "%04d" + ".png" in a directory (e.g. glimout-000000-0000.png, -0001.png, …).
///
/// Frames are numbered in the order their states were painted, from 0, through everything
/// the recorder sees: the loaded state, the worker's passes, fills and occupations. An
/// existing file is never replaced: that frame fails instead.
///
/// Threads: `takeFrame` and `finish` may be called from any thread holding no lock of the
/// evolver; `afterPass` is meant for the evolver's pass hook, on the worker thread. The
/// recorder serialises them itself, so two frames never share a number.
class TimeLapse {
 public:
  /// @param dir the directory of the frames (must exist).
  /// @param every a frame after every `every`-th pass of a run (at least 1).
  /// @param scale picture pixels per canvas pixel (see `renderPicture`).
  TimeLapse(std::string dir, std::string prefix, long long fileNumber, int every, int scale);

  /// @brief The path of frame `frame`.
  std::string frameName(int frame) const;

  /// @brief Paints the drawing as it is now into the next frame.
  /// @return false when the frame could not be written (see `error`); no frame is taken
  ///         after `finish`.
  bool takeFrame(ZazizEvozuEvolver& evolver);

  /// @brief For the evolver's pass hook: a frame after every `every`-th pass, and after the
  /// last pass of a run when that one is not such a pass.
  void afterPass(ZazizEvozuEvolver& evolver, int pass, bool last);

  /// @brief Takes a frame of the final state unless the last frame already shows it, and
  /// ends the recording: later calls take no frame.
  /// @return whether every frame of the recording was written.
  bool finish(ZazizEvozuEvolver& evolver);

  /// Frames written so far.
  int framesWritten() const;
  /// The paths written so far, in frame order (the names, under `dir` as given).
  std::vector<std::string> writtenFrames() const;
  /// The first failure, empty when none.
  std::string error() const;

 private:
  bool takeFrameLocked(ZazizEvozuEvolver& evolver);

  const std::string dir;
  const std::string prefix;
  const long long fileNumber;
  const int every;
  const int scale;

  mutable std::mutex mutex;  // guards everything below; taken before the evolver's mutex
  int nextFrame = 0;
  // The last frame shows the drawing as it is: nothing moved since.
  bool upToDate = false;
  bool finished = false;
  std::vector<std::string> written;
  std::string firstError;
};

#endif
