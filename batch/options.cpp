// glimshape — batch
// Purpose: the command line of glimshape-batch: its options, their checks and the usage text.
#include "batch/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "evolver/picture.h"

namespace {

bool isDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A whole non-negative decimal integer no larger than `limit`; signs, spaces, fractions and
// trailing text are refused, so "5x", " 5" and "1e3" are errors rather than 5 or 1.
bool readCount(const std::string& text, unsigned long long limit, unsigned long long& value) {
  if (!isDigits(text)) return false;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v > limit) return false;
  value = v;
  return true;
}

bool readSeconds(const std::string& text, double& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool readSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  unsigned long long w = 0, h = 0;
  if (!readCount(text.substr(0, x), maxCanvasSide, w)) return false;
  if (!readCount(text.substr(x + 1), maxCanvasSide, h)) return false;
  if (w == 0 || h == 0) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// The option names that take a value, long and short.
bool takesValue(const std::string& name) {
  static const char* const names[] = {"--output", "-o",     "--prefix",  "--count",
                                      "-n",       "--first", "--passes", "--seconds",
                                      "--seed",   "--size",  "--level-set", "--svg-reader",
                                      "--png-scale", "--frames", "--frame-every"};
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

std::string bad(const std::string& option, const std::string& value, const std::string& want) {
  return "glimshape-batch: invalid value '" + value + "' for " + option + ": " + want;
}

}  // namespace

bool parseBatchOptions(const std::vector<std::string>& args, BatchOptions& options,
                       std::string& error) {
  bool passesGiven = false;
  bool frameEveryGiven = false;
  bool inputGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (inputGiven) {
        error = "glimshape-batch: only one drawing may be given ('" + options.input + "' and '" +
                arg + "')";
        return false;
      }
      options.input = arg;
      inputGiven = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }

    // "--name=value", "-nVALUE" and "--name value" all name one option with one value.
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (arg.compare(0, 2, "--") == 0) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
      hasValue = true;
    }
    if (takesValue(name)) {
      if (!hasValue) {
        if (i + 1 >= args.size()) {
          error = "glimshape-batch: option " + name + " needs a value";
          return false;
        }
        value = args[++i];
      }
    } else if (hasValue) {
      error = "glimshape-batch: option " + name + " takes no value (got '" + value + "')";
      if (name.size() == 2) error = "glimshape-batch: unknown option '" + arg + "'";
      return false;
    }

    unsigned long long number = 0;
    if (name == "-h" || name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "-q" || name == "--quiet") {
      options.quiet = true;
    } else if (name == "-v" || name == "--verbose") {
      options.verbose = true;
    } else if (name == "--fill") {
      options.fill = true;
    } else if (name == "--occupy") {
      options.occupy = true;
    } else if (name == "--png") {
      options.png = true;
    } else if (name == "-o" || name == "--output") {
      if (value.empty()) {
        error = bad(name, value, "the output directory needs a name");
        return false;
      }
      options.outputDir = value;
    } else if (name == "--prefix") {
      if (value.find('/') != std::string::npos) {
        error = bad(name, value, "the prefix may not contain '/' (use --output for the directory)");
        return false;
      }
      options.prefix = value;
    } else if (name == "-n" || name == "--count") {
      if (!readCount(value, maxCount, number) || number == 0) {
        error = bad(name, value, "expected a whole number from 1 to " + std::to_string(maxCount));
        return false;
      }
      options.count = static_cast<int>(number);
    } else if (name == "--first") {
      if (!readCount(value, maxFileNumber, number)) {
        error = bad(name, value,
                    "expected a whole number from 0 to " + std::to_string(maxFileNumber));
        return false;
      }
      options.first = static_cast<long long>(number);
    } else if (name == "--passes") {
      if (!readCount(value, maxPasses, number)) {
        error = bad(name, value, "expected a whole number from 0 to " + std::to_string(maxPasses));
        return false;
      }
      options.passes = static_cast<int>(number);
      passesGiven = true;
    } else if (name == "--seconds") {
      double s = 0.0;
      if (!readSeconds(value, s) || !(s > 0.0) || s > maxSeconds) {
        error = bad(name, value, "expected a number of seconds above 0 and at most 604800");
        return false;
      }
      options.seconds = s;
    } else if (name == "--seed") {
      if (!readCount(value, ~0ULL, number)) {
        error = bad(name, value, "expected a whole number from 0 to 18446744073709551615");
        return false;
      }
      options.seed = number;
      options.seeded = true;
    } else if (name == "--size") {
      if (!readSize(value, options.width, options.height)) {
        error = bad(name, value,
                    "expected WIDTHxHEIGHT, each from 1 to " + std::to_string(maxCanvasSide) +
                        " pixels (for example 128x128)");
        return false;
      }
    } else if (name == "--png-scale") {
      if (!readCount(value, maxPictureScale, number) || number == 0) {
        error = bad(name, value,
                    "expected a whole number from 1 to " + std::to_string(maxPictureScale));
        return false;
      }
      options.pngScale = static_cast<int>(number);
    } else if (name == "--frames") {
      if (value.empty()) {
        error = bad(name, value, "the frames directory needs a name");
        return false;
      }
      options.framesDir = value;
    } else if (name == "--frame-every") {
      if (!readCount(value, maxPasses, number) || number == 0) {
        error = bad(name, value, "expected a whole number from 1 to " + std::to_string(maxPasses));
        return false;
      }
      options.frameEvery = static_cast<int>(number);
      frameEveryGiven = true;
    } else if (name == "--level-set") {
      if (value != "RectLevelSet" && value != "SparseLevelSet" && value != "FullLevelSet") {
        error = bad(name, value, "expected RectLevelSet, SparseLevelSet or FullLevelSet");
        return false;
      }
      options.levelSet = value;
    } else if (name == "--svg-reader") {
      if (value != "full" && value != "basic") {
        error = bad(name, value, "expected full or basic");
        return false;
      }
      options.svgReader = value;
    } else {
      error = "glimshape-batch: unknown option '" + arg + "' (see glimshape-batch --help)";
      return false;
    }
  }
  if (options.quiet && options.verbose) {
    error = "glimshape-batch: --quiet and --verbose exclude each other";
    return false;
  }
  if (options.first >= 0 && options.first + options.count - 1 > maxFileNumber) {
    error = "glimshape-batch: --first " + std::to_string(options.first) + " with --count " +
            std::to_string(options.count) + " runs past the largest file number " +
            std::to_string(maxFileNumber);
    return false;
  }
  if (passesGiven && options.passes == 0 && options.seconds > 0.0) {
    error = "glimshape-batch: --passes 0 saves the drawing without evolving; --seconds has no "
            "effect with it";
    return false;
  }
  if (frameEveryGiven && options.framesDir.empty()) {
    error = "glimshape-batch: --frame-every needs --frames DIR";
    return false;
  }
  // The picture's longest side is bounded, and so the scale a canvas allows.
  const int width = options.width > 0 ? options.width : 128;
  const int height = options.height > 0 ? options.height : 128;
  if (options.pngScale > largestPictureScale(width, height)) {
    error = "glimshape-batch: --png-scale " + std::to_string(options.pngScale) + " makes a " +
            std::to_string(width) + "x" + std::to_string(height) + " canvas larger than " +
            std::to_string(maxPictureSide) + " pixels a side";
    return false;
  }
  // A time limit alone lets the evolution run until the time is up.
  if (options.seconds > 0.0 && !passesGiven) options.passes = 0;
  return true;
}

std::string batchUsage() {
  return "Usage: glimshape-batch [options] [drawing.svg]\n"
         "\n"
         "Evolves the shapes of an SVG drawing without a display and saves the results as\n"
         "numbered SVG files, as the batch dialog of glimshape does. Each iteration reloads\n"
         "the drawing, evolves it, optionally fills the holes (and evolves once more),\n"
         "optionally lets the shapes occupy the free space, and saves. Without a drawing the\n"
         "bundled example drawing is used.\n"
         "\n"
         "Output:\n"
         "  -o, --output DIR     directory of the results (default glimshape-out; created\n"
         "                       when missing)\n"
         "      --prefix TEXT    text in front of the file number (default glimout-); files\n"
         "                       are named TEXT followed by the number as %06d.svg\n"
         "  -n, --count K        number of files to write (default 1)\n"
         "      --first N        number of the first file (default: the first number whose\n"
         "                       file does not exist); a number whose file exists is skipped,\n"
         "                       so no existing file is ever overwritten\n"
         "      --png            also write a PNG picture beside each SVG file\n"
         "      --png-scale K    picture pixels per canvas pixel of the PNG pictures and\n"
         "                       frames, 1 to 16 (default 2, the SVG page's size); at most\n"
         "                       16384 pixels a side\n"
         "      --frames DIR     write a time-lapse into DIR (created when missing): a PNG\n"
         "                       of the loaded drawing, one after every K-th pass, after\n"
         "                       filling and occupying and of the final state, named\n"
         "                       TEXT + file number + '-' + frame number, e.g.\n"
         "                       glimout-000000-0000.png\n"
         "      --frame-every K  a frame after every K-th pass (default 1)\n"
         "\n"
         "Evolution:\n"
         "      --passes P       passes over all shapes per evolution (default 150, one full\n"
         "                       run of the worker); 0 saves the shapes as loaded, without\n"
         "                       evolving\n"
         "      --seconds S      time limit of one evolution in seconds (decimals allowed);\n"
         "                       alone it lifts the pass limit, with --passes the first limit\n"
         "                       reached ends the evolution\n"
         "      --fill           after the evolution, fill the remaining holes with new shapes\n"
         "                       and evolve once more for the same passes or time\n"
         "      --occupy         before saving, let every shape take up the free space around\n"
         "                       it (least stiff first)\n"
         "      --seed S         seed the random source of the iteration for file number n\n"
         "                       from (S, n) alone, so --first N --count K writes exactly\n"
         "                       the files that one run writes for those numbers; without\n"
         "                       --seed it is never seeded and a run repeats exactly\n"
         "      --size WxH       canvas size in pixels, each side 1 to 4096 (default 128x128)\n"
         "      --level-set KIND RectLevelSet (default), SparseLevelSet or FullLevelSet\n"
         "      --svg-reader R   full (default): every element as a renderer paints it;\n"
         "                       basic: filled paths and polygons only\n"
         "\n"
         "Messages:\n"
         "  -q, --quiet          no progress and no warnings (errors are still reported)\n"
         "  -v, --verbose        also show the libraries' own lines, progress lines included,\n"
         "                       on standard error\n"
         "  -h, --help           show this text and exit\n"
         "      --version        show the version and exit\n"
         "\n"
         "Standard output lists every file written, frames included, one path a line.\n"
         "Progress goes to standard error (a bar on a terminal, plain lines otherwise).\n"
         "\n"
         "Exit status: 0 when every requested file was written; 1 when the drawing could\n"
         "not be used, the output directory could not be written, a file failed or the list\n"
         "could not be written (the first failure ends the batch); 2 for a bad command line.\n";
}
