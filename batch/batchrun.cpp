// glimshape — batch
// Purpose: one batch of glimshape-batch: reload, evolve, fill, occupy and save, repeated, with
// numbered output files that never overwrite an existing file.
#include "batch/batchrun.h"

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
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "batch/progressbar.h"
#include "evolver/evolver.h"
#include "evolver/picture.h"
#include "evolver/timelapse.h"
#include "shapes/zazizevozubase.h"
#include "svg/filereplace.h"

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
  // --passes 0: the shapes are saved as they were loaded.
  if (options.passes == 0 && options.seconds <= 0.0) return EvolveResult();
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

// The files of a claimed number: removed again unless the iteration saved them, so that an
// interrupted or failed iteration leaves no empty file behind.
struct ClaimedFiles {
  std::vector<std::string> names;
  ~ClaimedFiles() {
    for (const std::string& name : names) ::unlink(name.c_str());
  }
  void keep() { names.clear(); }
};

// One line of the list of written files; false, with errno set, when it cannot be written.
bool listFile(std::FILE* out, const std::string& name) {
  errno = 0;
  if (std::fprintf(out, "%s\n", name.c_str()) >= 0 && std::fflush(out) == 0) return true;
  if (errno == 0) errno = EIO;
  return false;
}

// The SVG file with cairo's ids renumbered (see normaliseSvgIds).
bool saveSvg(ZazizEvozuEvolver& evolver, const std::string& fileName, std::string& error) {
  std::string reason;
  if (evolver.saveSVG(fileName, &reason)) {
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
      reason = "cannot read it back to number its ids";
    } else if (replaceFileContents(fileName, normaliseSvgIds(text.str()), reason)) {
      return true;
    }
  }
  error = "could not save " + fileName + ": " + reason;
  return false;
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

bool writePngPreview(ZazizEvozuEvolver& evolver, const std::string& fileName, int scale,
                     std::string& error) {
  std::string png;
  std::string reason;
  if (renderPicture(evolver, scale, png, reason) && replaceFileContents(fileName, png, reason))
    return true;
  error = "could not save " + fileName + ": " + reason;
  return false;
}

bool evolveIteration(ZazizEvozuEvolver& evolver, const BatchOptions& options, int iteration,
                     ProgressBar& bar, TimeLapse* frames) {
  const int i = iteration;
  bar.phase(i, "loading");
  if (!evolver.loadSVG(options.input) || evolver.shapes.empty()) return false;
  if (frames) {
    frames->takeFrame(evolver);
    // Taken on the worker thread after its passes, so no pass is missed or shown twice.
    evolver.setPassHook([&evolver, frames](int pass, bool last) {
      frames->afterPass(evolver, pass, last);
    });
  }
  bar.phase(i, "evolving");
  evolve(evolver, options, bar);
  if (options.fill && !stopSignal) {
    bar.phase(i, "filling");
    evolver.fillCommand(ZazizEvozuEvolver::WorkerAfter::Stopped);
    if (frames) frames->takeFrame(evolver);
    bar.phase(i, "evolving after fill");
    evolve(evolver, options, bar);
  }
  if (options.occupy && !stopSignal) {
    bar.phase(i, "occupying");
    evolver.occupyCommand();
    if (frames) frames->takeFrame(evolver);
  }
  if (frames) {
    evolver.setPassHook(nullptr);
    frames->finish(evolver);
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
    const LoadSummary& summary = evolver.getLoadSummary();
    if (evolver.shapes.empty()) {
      const std::string reasons = summary.leftOutLine();
      return fail("the drawing " + options.input + " has no valid shape (" +
                  (reasons.empty() ? std::string("no element paints inside the canvas")
                                   : reasons) +
                  "; --verbose shows why each was skipped)");
    }
    if (summary.isIncomplete())
      report(streams.info, bar, "warning: " + options.input + ": " + summary.line());
  }

  std::string error;
  if (!prepareOutputDirectory(options.outputDir, error)) return fail(error);
  const bool recording = !options.framesDir.empty();
  if (recording && !prepareOutputDirectory(options.framesDir, error)) return fail(error);
  const std::string& shownDir =
      options.shownOutputDir.empty() ? options.outputDir : options.shownOutputDir;
  const std::string& shownFrames =
      options.shownFramesDir.empty() ? options.framesDir : options.shownFramesDir;

  const long long first = options.first >= 0
                              ? options.first
                              : firstFreeNumber(options.outputDir, options.prefix, 0, options.png);
  long long next = first;
  int written = 0;
  bool framesFailed = false;
  // Whatever goes wrong ends the batch: a full disk or a lost list would only go on failing.
  auto stop = [&](const std::string& line) {
    return fail(line + "; batch stopped, " + std::to_string(written) + " of " +
                std::to_string(options.count) + " files written");
  };
  auto listFailed = [&] {
    return stop(std::string("cannot write the list of files to standard output: ") +
                std::strerror(errno));
  };
  for (int i = 0; i < options.count; ++i) {
    if (stopSignal) return stop("interrupted");
    // The number is claimed before the evolution, and the evolution is seeded from it: the
    // file of number n holds what (seed, n) gives, whichever run took which numbers, and the
    // time-lapse frames carry it in their names. The empty claimed files are visible
    // meanwhile; a run that ends early removes them.
    long long number = next;
    if (!claimFileNumber(options.outputDir, options.prefix, options.png, number, error))
      return stop(error);
    next = number + 1;
    const std::string svg = outputFileName(options.outputDir, options.prefix, number, ".svg");
    const std::string png = outputFileName(options.outputDir, options.prefix, number, ".png");
    ClaimedFiles claimed;
    claimed.names.push_back(svg);
    if (options.png) claimed.names.push_back(png);

    if (options.seeded) seedRandomSource(options.seed, number);
    // The counter names the shapes' stiffness files only; restarting it keeps every iteration
    // alike however many iterations came before in this process.
    ZazizEvozuBase::s_zazizEvozuIndex = 0;
    // A fresh evolver too: its SVG reader keeps the last document's scale, which a document
    // without a size would otherwise inherit from the iterations before.
    ZazizEvozuEvolver evolver;
    std::unique_ptr<TimeLapse> frames;
    if (recording)
      frames = std::make_unique<TimeLapse>(options.framesDir, options.prefix, number,
                                           options.frameEvery, options.pngScale);
    if (!evolveIteration(evolver, options, i, bar, frames.get()))
      return stop("cannot read the drawing " + options.input + " any more");
    if (frames) {
      bar.clear();
      for (const std::string& frame : frames->writtenFrames()) {
        const std::size_t slash = frame.find_last_of('/');
        if (!listFile(streams.out, joinPath(shownFrames, slash == std::string::npos
                                                             ? frame
                                                             : frame.substr(slash + 1))))
          return listFailed();
      }
      if (!frames->error().empty()) {
        report(streams.err, bar, frames->error());
        framesFailed = true;
      }
    }
    if (stopSignal) return stop("interrupted");

    bar.phase(i, "saving");
    if (!saveSvg(evolver, svg, error) ||
        (options.png && !writePngPreview(evolver, png, options.pngScale, error)))
      return stop(error);
    claimed.keep();
    ++written;
    bar.clear();
    if (!listFile(streams.out, outputFileName(shownDir, options.prefix, number, ".svg")) ||
        (options.png && !listFile(streams.out, outputFileName(shownDir, options.prefix, number, ".png"))))
      return listFailed();
  }
  bar.finish();
  if (framesFailed) {
    report(streams.err, bar, "some frames of the time-lapse could not be written");
    return 1;
  }
  return 0;
}
