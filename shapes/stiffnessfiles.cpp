// glimshape — shapes
// Purpose: making, naming and removing the process-private stiffness directory.
#include "shapes/stiffnessfiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "settings/glimshapesettings.h"

namespace stiffnessfiles {
namespace {

struct State {
  std::mutex mutex;
  pid_t owner = 0;         // the process that made the directories below
  std::string base;        // the temporary path `dir` was made under
  std::string dir;         // the directory in use; empty when it could not be made
  bool failed = false;     // making a directory under `base` failed (reported once)
  bool closed = false;     // the exit handler has run in the owner
  bool handlerRegistered = false;
  std::vector<std::string> made;  // every directory this process made, removed at exit
};

// Never destroyed: shapes that outlive static destruction (held by other statics) still
// call remove(), which must find the state intact.
State& state() {
  static State* s = new State;
  return *s;
}

void removeDirectory(const std::string& dir) {
  if (DIR* d = opendir(dir.c_str())) {
    std::vector<std::string> names;
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    for (const std::string& name : names) unlink((dir + "/" + name).c_str());
  }
  rmdir(dir.c_str());
}

// Registered once; a forked child inherits it, so it only removes the directories that the
// process running it made.
void removeAtExit() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.owner != getpid() || s.closed) return;
  for (const std::string& dir : s.made) removeDirectory(dir);
  s.closed = true;
}

// Caller holds the mutex.
const std::string& ensureDirectory(State& s) {
  const pid_t self = getpid();
  if (s.owner != self) {
    // A fresh process, or a forked child, which must not write into its parent's files.
    s.owner = self;
    s.base.clear();
    s.dir.clear();
    s.failed = false;
    s.closed = false;
    s.made.clear();
  }
  if (s.closed) {
    s.dir.clear();
    return s.dir;
  }
  std::string base = GlimShapeSettings::instance().temporaryPath;
  if (base.empty()) base = ".";
  // The options may name another temporary path: later files go under it.
  if (base == s.base && (!s.dir.empty() || s.failed)) return s.dir;
  s.base = base;
  s.dir.clear();
  s.failed = false;

  // Program start normally creates the temporary directory; programs that skip it (tests,
  // batch tools) get it here. Only the last component is made.
  if (mkdir(base.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "Stiffness images stay in memory: cannot create %s: %s\n",
                 base.c_str(), std::strerror(errno));
    s.failed = true;
    return s.dir;
  }
  std::string pattern = base + "/glimshape-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    std::fprintf(stderr, "Stiffness images stay in memory: cannot create a directory in %s: %s\n",
                 base.c_str(), std::strerror(errno));
    s.failed = true;
    return s.dir;
  }
  s.dir = buffer.data();
  s.made.push_back(s.dir);
  if (!s.handlerRegistered) {
    s.handlerRegistered = true;
    std::atexit(removeAtExit);
  }
  return s.dir;
}

}  // namespace

std::string directory() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return ensureDirectory(s);
}

std::string pathFor(int index, int width, int height) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const std::string& dir = ensureDirectory(s);
  if (dir.empty()) return std::string();
  char name[1024];
  std::snprintf(name, sizeof name, "perlin-%d-%dx%d.rfi", index, width, height);
  return dir + "/" + name;
}

void remove(const std::string& path) {
  if (path.empty()) return;
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.owner != getpid() || s.closed) return;
  for (const std::string& dir : s.made)
    if (path.compare(0, dir.size() + 1, dir + "/") == 0) {
      unlink(path.c_str());
      return;
    }
}

}  // namespace stiffnessfiles
