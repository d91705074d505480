// glimshape — batch
// Purpose: glimshape-batch, the batch dialog's job without a display: evolve an SVG drawing
// again and again and save the results as numbered SVG files.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/batchrun.h"
#include "batch/options.h"
#include "lomvet/progress.h"
#include "settings/glimshapesettings.h"

#ifndef GLIM_VERSION
#define GLIM_VERSION "unknown"
#endif
#ifndef GLIM_EXAMPLE_DRAWING
#define GLIM_EXAMPLE_DRAWING ""
#endif

namespace {

void onStopSignal(int) { requestStop(); }

// The bundled drawing: installed beside the program (<prefix>/share/glimshape/examples), or in
// the source tree the program was built from.
std::string exampleDrawing() {
  std::error_code code;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
  if (!code) {
    const std::filesystem::path installed =
        self.parent_path().parent_path() / "share" / "glimshape" / "examples" / "drawing.svg";
    if (std::filesystem::is_regular_file(installed, code)) return installed.string();
  }
  return GLIM_EXAMPLE_DRAWING;
}

// A stream on a copy of the descriptor, so it keeps its destination when the descriptor
// itself is redirected.
std::FILE* duplicate(int fd, const char* mode) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  return copy < 0 ? nullptr : ::fdopen(copy, mode);
}

// Whether everything written to `stream` went out; if not, says so on `err`.
bool flushed(std::FILE* stream, std::FILE* err) {
  errno = 0;
  if (std::fflush(stream) == 0 && !std::ferror(stream)) return true;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(err, "glimshape-batch: cannot write to standard output: %s\n",
               std::strerror(error));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  BatchOptions options;
  std::string error;
  if (!parseBatchOptions(args, options, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  if (options.help || options.version) {
    if (options.help)
      std::fputs(batchUsage().c_str(), stdout);
    else
      std::printf("glimshape-batch %s\n", GLIM_VERSION);
    return flushed(stdout, stderr) ? 0 : 1;
  }

  if (options.input.empty()) {
    options.input = exampleDrawing();
    if (options.input.empty()) {
      std::fprintf(stderr, "glimshape-batch: no drawing given and no bundled drawing found\n");
      return 2;
    }
  }
  std::error_code code;
  if (!std::filesystem::exists(options.input, code)) {
    std::fprintf(stderr, "glimshape-batch: the drawing %s does not exist\n",
                 options.input.c_str());
    return 1;
  }
  if (std::filesystem::is_directory(options.input, code)) {
    std::fprintf(stderr, "glimshape-batch: the drawing %s is a directory, not an SVG file\n",
                 options.input.c_str());
    return 1;
  }
  if (::access(options.input.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "glimshape-batch: cannot read the drawing %s (no permission)\n",
                 options.input.c_str());
    return 1;
  }

  // Standard output carries the written paths only. The libraries print their own lines on
  // both standard streams; they go to standard error with --verbose and nowhere otherwise.
  std::fflush(stdout);
  std::fflush(stderr);
  BatchStreams streams;
  streams.out = duplicate(STDOUT_FILENO, "w");
  streams.err = duplicate(STDERR_FILENO, "w");
  if (!streams.out || !streams.err) {
    std::fprintf(stderr, "glimshape-batch: cannot set up the output streams\n");
    return 1;
  }
  std::setvbuf(streams.err, nullptr, _IONBF, 0);
  streams.info = options.quiet ? nullptr : streams.err;
  streams.interactive = ::isatty(STDERR_FILENO) == 1;
  if (options.verbose) {
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
  } else {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  setProgressLines(options.verbose);

  GlimShapeSettings& settings = GlimShapeSettings::instance();
  if (options.width > 0) {
    settings.width = options.width;
    settings.height = options.height;
  }
  if (!options.levelSet.empty()) settings.levelSetType = options.levelSet;
  if (!options.svgReader.empty()) settings.svgReader = options.svgReader;

  // The shapes write their stiffness images below the working directory. Each run works in a
  // private directory of its own, so that runs side by side (GNU parallel, job arrays on a
  // shared file system) never write the same file, and nothing is left in the user's
  // directory. Paths are printed as the user gave them.
  options.shownOutputDir = options.outputDir;
  options.input = std::filesystem::absolute(options.input, code).string();
  options.outputDir = std::filesystem::absolute(options.outputDir, code).string();
  if (!options.framesDir.empty()) {
    options.shownFramesDir = options.framesDir;
    options.framesDir = std::filesystem::absolute(options.framesDir, code).string();
  }
  // $TMPDIR, else /tmp (also when $TMPDIR names no directory).
  std::filesystem::path temporary = std::filesystem::temp_directory_path(code);
  if (code || temporary.empty()) temporary = "/tmp";
  std::string work = (temporary / "glimshape-batch-XXXXXX").string();
  if (!::mkdtemp(work.data()) || ::chdir(work.c_str()) != 0) {
    std::fprintf(streams.err, "glimshape-batch: cannot create a working directory %s\n",
                 work.c_str());
    return 1;
  }
  settings.temporaryPath = work + "/temp";

  // Ctrl-C, or a cluster's time limit, ends the batch cleanly: no half-claimed number and no
  // working directory are left behind.
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);

  int status = 1;
  try {
    status = runBatch(options, streams);
  } catch (const std::exception& e) {
    std::fprintf(streams.err, "glimshape-batch: stopped by an error: %s\n", e.what());
    status = 1;
  }
  if (::chdir("/") == 0) std::filesystem::remove_all(work, code);
  // A failed list was reported by the batch; otherwise the last bytes leave here.
  if (status == 0 && !flushed(streams.out, streams.err)) status = 1;
  std::fclose(streams.out);
  std::fclose(streams.err);
  return status;
}
