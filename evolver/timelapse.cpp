// glimshape — evolver
// Purpose: TimeLapse's frame numbering and the frames taken after passes and commands.
#include "evolver/timelapse.h"

#include <cstdio>
#include <utility>

#include "evolver/picture.h"

TimeLapse::TimeLapse(std::string dir_, std::string prefix_, long long fileNumber_, int every_,
                     int scale_)
    : dir(std::move(dir_)),
      prefix(std::move(prefix_)),
      fileNumber(fileNumber_),
      every(every_ < 1 ? 1 : every_),
      scale(scale_) {}

std::string TimeLapse::frameName(int frame) const {
  char name[64];
  std::snprintf(name, sizeof name, "%06lld-%04d.png", fileNumber, frame);
  if (dir.empty()) return prefix + name;
  return (dir.back() == '/' ? dir : dir + "/") + prefix + name;
}

bool TimeLapse::takeFrameLocked(ZazizEvozuEvolver& evolver) {
  if (finished) return false;
  // The number is given while the recorder is held, and the picture painted before it is
  // let go, so the frames' order is the order of the states they show.
  const std::string name = frameName(nextFrame);
  std::string why;
  // A frame that fails keeps its number, so the later frames keep theirs in time.
  ++nextFrame;
  if (!writePicture(evolver, scale, name, false, why)) {
    if (firstError.empty()) firstError = why;
    return false;
  }
  upToDate = true;
  written.push_back(name);
  return true;
}

bool TimeLapse::takeFrame(ZazizEvozuEvolver& evolver) {
  std::lock_guard<std::mutex> lock(mutex);
  return takeFrameLocked(evolver);
}

void TimeLapse::afterPass(ZazizEvozuEvolver& evolver, int pass, bool last) {
  std::lock_guard<std::mutex> lock(mutex);
  upToDate = false;
  if (pass % every == 0 || last) takeFrameLocked(evolver);
}

bool TimeLapse::finish(ZazizEvozuEvolver& evolver) {
  std::lock_guard<std::mutex> lock(mutex);
  if (!upToDate) takeFrameLocked(evolver);
  finished = true;
  return firstError.empty();
}

int TimeLapse::framesWritten() const {
  std::lock_guard<std::mutex> lock(mutex);
  return static_cast<int>(written.size());
}

std::vector<std::string> TimeLapse::writtenFrames() const {
  std::lock_guard<std::mutex> lock(mutex);
  return written;
}

std::string TimeLapse::error() const {
  std::lock_guard<std::mutex> lock(mutex);
  return firstError;
}
