// glimshape — batch
// Purpose: one batch of glimshape-batch: reload, evolve, fill, occupy and save, repeated, with
// numbered output files that never overwrite an existing file.
#include "batch/batchrun.h"

#include <cairo.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "batch/progressbar.h"
#include "evolver/evolver.h"
#include "shapes/zazizevozubase.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// Creates `path` only if nothing of that name exists. 1: created, 0: exists, -1: failed.
int createExclusive(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return 1;
  }
  if (errno == EEXIST) return 0;
  error = "cannot create " + path + ": " + std::strerror(errno);
  return -1;
}

// splitmix64's finaliser: every input bit reaches every output bit, so neighbouring seeds and
// numbers give unrelated states.
std::uint64_t mix(std::uint64_t z) {
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct EvolveResult {
  int passes = 0;
  double seconds = 0.0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One run of the worker, ended by its pass limit or by the time limit, whichever comes first.
// The worker notices a stop before every shape step, so a time limit ends after the current
// shape step.
EvolveResult evolve(ZazizEvozuEvolver& evolver, const BatchOptions& options, ProgressBar& bar) {
  evolver.iterations = options.passes > 0 ? options.passes : std::numeric_limits<int>::max();
  const auto start = std::chrono::steady_clock::now();
  evolver.start();
  for (;;) {
    if (evolver.isRunComplete() || stopSignal) break;
    const double elapsed = secondsSince(start);
    if (options.seconds > 0.0 && elapsed >= options.seconds) break;
    bar.passes(evolver.getPassCount(), options.passes, elapsed, options.seconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  evolver.stop();
  EvolveResult result;
  result.passes = evolver.getPassCount();
  result.seconds = secondsSince(start);
  bar.passes(result.passes, options.passes, result.seconds, options.seconds);
  bar.evolved(result.passes, result.seconds);
  return result;
}

void report(std::FILE* stream, ProgressBar& bar, const std::string& line) {
  if (!stream) return;
  bar.clear();
  std::fprintf(stream, "glimshape-batch: %s\n", line.c_str());
  std::fflush(stream);
}

// Writes `text` into a new file beside `fileName` and renames it over it, so a failed write
// never leaves half a file.
bool replaceFile(const std::string& fileName, const std::string& text, std::string& error) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : fileName.substr(0, slash);
  const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  // Created with the same permissions as any new file (the umask applies), never reusing one.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = joinPath(dir, "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(attempt));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "cannot write " + fileName + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const int writeError = done == text.size() ? 0 : (errno ? errno : EIO);
  const bool closed = ::close(fd) == 0;
  if (writeError != 0 || !closed || std::rename(temporary.c_str(), fileName.c_str()) != 0) {
    error = "cannot write " + fileName + ": " + std::strerror(writeError ? writeError : errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string normaliseSvgIds(const std::string& text) {
  // cairo numbers surfaces (and the images made from them) with one counter for the whole
  // process, so the same drawing saved after more work in the same process gets other ids.
  // Renumbering them in order of appearance makes the file depend on the drawing alone.
  static const std::string kinds[] = {"surface", "image", "source"};
  std::map<std::string, std::string> renamed;
  std::map<std::string, int> used;
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    bool replaced = false;
    const bool boundary = i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1]));
    for (const std::string& kind : kinds) {
      if (!boundary || text.compare(i, kind.size(), kind) != 0) continue;
      std::size_t end = i + kind.size();
      while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
      if (end == i + kind.size() ||
          (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))))
        continue;
      const std::string old = text.substr(i, end - i);
      auto found = renamed.find(old);
      if (found == renamed.end())
        found = renamed.emplace(old, kind + std::to_string(++used[kind])).first;
      out += found->second;
      i = end;
      replaced = true;
      break;
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

void requestStop() { stopSignal = 1; }

std::string outputFileName(const std::string& dir, const std::string& prefix, long long number,
                           const char* extension) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%06lld", number);
  return joinPath(dir, prefix + digits + extension);
}

bool prepareOutputDirectory(const std::string& dir, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(dir, code);
  if (code) {
    error = "cannot create the output directory " + dir + ": " + code.message();
    return false;
  }
  if (!std::filesystem::is_directory(dir, code)) {
    error = "the output directory " + dir + " is not a directory";
    return false;
  }
  // Permission bits do not tell the whole story (read-only mounts, quotas, ACLs): try it.
  std::string probe = joinPath(dir, ".glimshape-batch-XXXXXX");
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    error = "cannot write into the output directory " + dir + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

long long firstFreeNumber(const std::string& dir, const std::string& prefix, long long from,
                          bool png) {
  long long n = from;
  while (exists(outputFileName(dir, prefix, n, ".svg")) ||
         (png && exists(outputFileName(dir, prefix, n, ".png"))))
    ++n;
  return n;
}

bool claimFileNumber(const std::string& dir, const std::string& prefix, bool png,
                     long long& number, std::string& error) {
  for (long long n = number;; ++n) {
    if (n > maxFileNumber) {
      error = "no free file number left in " + dir;
      return false;
    }
    const std::string svg = outputFileName(dir, prefix, n, ".svg");
    const int made = createExclusive(svg, error);
    if (made < 0) return false;
    if (made == 0) continue;
    if (png) {
      const std::string pngName = outputFileName(dir, prefix, n, ".png");
      const int madePng = createExclusive(pngName, error);
      if (madePng <= 0) {
        ::unlink(svg.c_str());
        if (madePng < 0) return false;
        continue;
      }
    }
    number = n;
    return true;
  }
}

void seedRandomSource(std::uint64_t seed, long long number) {
  const std::uint64_t state = mix(mix(seed) ^ static_cast<std::uint64_t>(number));
  unsigned short words[3] = {static_cast<unsigned short>(state & 0xffff),
                             static_cast<unsigned short>((state >> 16) & 0xffff),
                             static_cast<unsigned short>((state >> 32) & 0xffff)};
  ::seed48(words);
}

bool writePngPreview(ZazizEvozuEvolver& evolver, const std::string& fileName, std::string& error) {
  int width = 0;
  int height = 0;
  if (!evolver.shapes.empty()) {
    width = evolver.shapes.front()->getWidth();
    height = evolver.shapes.front()->getHeight();
  }
  if (width <= 0 || height <= 0) {
    error = "cannot write " + fileName + ": the drawing has no canvas";
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2 * width, 2 * height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  cairo_scale(cr, 2.0, 2.0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  {
    std::lock_guard<std::mutex> lock(evolver.mutex);
    for (const auto& shape : evolver.shapes) shape->drawCairo(cr);
  }
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  std::string png;
  if (status == CAIRO_STATUS_SUCCESS)
    status = cairo_surface_write_to_png_stream(surface, appendToString, &png);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    error = "cannot write " + fileName + ": " + cairo_status_to_string(status);
    return false;
  }
  return replaceFile(fileName, png, error);
}

bool evolveIteration(ZazizEvozuEvolver& evolver, const BatchOptions& options, int iteration,
                     ProgressBar& bar) {
  const int i = iteration;
  bar.phase(i, "loading");
  if (!evolver.loadSVG(options.input) || evolver.shapes.empty()) return false;
  bar.phase(i, "evolving");
  evolve(evolver, options, bar);
  if (options.fill) {
    bar.phase(i, "filling");
    evolver.fillCommand(ZazizEvozuEvolver::WorkerAfter::Stopped);
    bar.phase(i, "evolving after fill");
    evolve(evolver, options, bar);
  }
  if (options.occupy) {
    bar.phase(i, "occupying");
    evolver.occupyCommand();
  }
  return true;
}

int runBatch(const BatchOptions& options, const BatchStreams& streams) {
  ProgressBar bar(streams.info, options.count, streams.interactive);
  auto fail = [&](const std::string& line) {
    report(streams.err, bar, line);
    bar.finish();
    return 1;
  };

  // One load before anything is written, so that a drawing that cannot be used fails at once.
  {
    ZazizEvozuEvolver evolver;
    if (!evolver.loadSVG(options.input))
      return fail("cannot read the drawing " + options.input +
                  " (not a readable SVG document; --verbose shows the parser's messages)");
    if (evolver.shapes.empty())
      return fail("the drawing " + options.input +
                  " has no valid shape (no filled path or polygon inside the canvas;"
                  " --verbose shows why each was skipped)");
    if (evolver.getOutlinesLeftOut() > 0) {
      report(streams.info, bar,
             "warning: only the first " + std::to_string(evolver.shapes.size()) +
                 " outlines of " + options.input + " become shapes; " +
                 std::to_string(evolver.getOutlinesLeftOut()) + " more are left out");
    }
  }

  std::string error;
  if (!prepareOutputDirectory(options.outputDir, error)) return fail(error);

  const long long first = options.first >= 0
                              ? options.first
                              : firstFreeNumber(options.outputDir, options.prefix, 0, options.png);
  long long next = first;
  int written = 0;
  for (int i = 0; i < options.count; ++i) {
    const long long number = first + i;
    if (options.seeded) seedRandomSource(options.seed, number);
    // The counter names the shapes' stiffness files only; restarting it keeps every iteration
    // alike however many iterations came before in this process.
    ZazizEvozuBase::s_zazizEvozuIndex = 0;
    // A fresh evolver too: its SVG reader keeps the last document's scale, which a document
    // without a size would otherwise inherit from the iterations before.
    ZazizEvozuEvolver evolver;

    if (!evolveIteration(evolver, options, i, bar))
      return fail("cannot read the drawing " + options.input + " any more; batch stopped");
    if (stopSignal)
      return fail("interrupted; " + std::to_string(written) + " of " +
                  std::to_string(options.count) + " files written");

    bar.phase(i, "saving");
    long long claimed = std::max(next, number);
    if (!claimFileNumber(options.outputDir, options.prefix, options.png, claimed, error))
      return fail(error + "; batch stopped");
    next = claimed + 1;
    const std::string svg = outputFileName(options.outputDir, options.prefix, claimed, ".svg");
    const std::string png = outputFileName(options.outputDir, options.prefix, claimed, ".png");
    if (!evolver.saveSVG(svg)) {
      ::unlink(svg.c_str());
      if (options.png) ::unlink(png.c_str());
      report(streams.err, bar, "could not save " + svg);
      continue;
    }
    {
      std::ifstream in(svg, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      if (!in || !replaceFile(svg, normaliseSvgIds(text.str()), error)) {
        ::unlink(svg.c_str());
        if (options.png) ::unlink(png.c_str());
        report(streams.err, bar, "could not save " + svg + (in ? ": " + error : ""));
        continue;
      }
    }
    bar.clear();
    const std::string& shown =
        options.shownOutputDir.empty() ? options.outputDir : options.shownOutputDir;
    std::fprintf(streams.out, "%s\n", outputFileName(shown, options.prefix, claimed, ".svg").c_str());
    std::fflush(streams.out);
    if (options.png) {
      if (!writePngPreview(evolver, png, error)) {
        ::unlink(png.c_str());
        report(streams.err, bar, error);
        continue;
      }
      std::fprintf(streams.out, "%s\n",
                   outputFileName(shown, options.prefix, claimed, ".png").c_str());
      std::fflush(streams.out);
    }
    ++written;
  }
  bar.finish();
  if (written < options.count) {
    report(streams.err, bar,
           std::to_string(written) + " of " + std::to_string(options.count) + " files written");
    return 1;
  }
  return 0;
}
