// glimshape — batch
// Purpose: the command line of glimshape-batch: its options, their checks and the usage text.
#ifndef GLIM_BATCH_OPTIONS_H
#define GLIM_BATCH_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

/// @brief Everything the command line of glimshape-batch chooses.
struct BatchOptions {
  /// The drawing to evolve; empty means the bundled example drawing.
  std::string input;
  /// Directory the numbered files go into (created when missing).
  std::string outputDir = "glimshape-out";
  /// The output directory as the written paths are printed; empty means `outputDir`.
  std::string shownOutputDir;
  /// Text in front of the six-digit file number.
  std::string prefix = "glimout-";
  /// Files to write.
  int count = 1;
  /// Number of the first file; -1 means the first number whose file does not exist.
  long long first = -1;
  /// Passes of one evolution; 0 means no pass limit with `seconds`, and no evolution at all
  /// without (the starting shapes are saved as they were loaded).
  int passes = 150;
  /// Time limit of one evolution (seconds); 0 means none.
  double seconds = 0.0;
  /// Fill the holes after the evolution, then evolve once more (as the batch dialog does).
  bool fill = false;
  /// Let every shape take up the free space around it before saving.
  bool occupy = false;
  /// Whether `seed` was given; without it the random source is never seeded.
  bool seeded = false;
  /// Seed of the random source; iteration n draws from a state made of (seed, n) alone.
  std::uint64_t seed = 0;
  /// Canvas size (pixels); 0 keeps the settings' canvas.
  int width = 0;
  int height = 0;
  /// Level-set kind of the shapes; empty keeps the settings' kind.
  std::string levelSet;
  /// How the drawing is read ("full" or "basic"); empty keeps the settings' reader.
  std::string svgReader;
  /// Also write a PNG picture beside each SVG file.
  bool png = false;
  /// Picture pixels per canvas pixel of the PNG pictures and frames (1 to 16).
  int pngScale = 2;
  /// Directory of the time-lapse frames (created when missing); empty for none.
  std::string framesDir;
  /// The frames directory as the written paths are printed; empty means `framesDir`.
  std::string shownFramesDir;
  /// A frame after every `frameEvery`-th pass.
  int frameEvery = 1;
  /// Neither progress nor warnings on standard error (errors are still reported).
  bool quiet = false;
  /// The libraries' own lines, progress lines included, on standard error.
  bool verbose = false;
  bool help = false;
  bool version = false;
};

/// Largest canvas side accepted by --size (pixels).
constexpr int maxCanvasSide = 4096;
/// Largest file count accepted by --count.
constexpr int maxCount = 10000000;
/// Largest pass count accepted by --passes.
constexpr int maxPasses = 10000000;
/// Longest evolution accepted by --seconds (one week).
constexpr double maxSeconds = 7.0 * 24 * 3600;
/// Largest file number (the six digits grow beyond 999999).
constexpr long long maxFileNumber = 999999999;

/// @brief Reads the command line.
/// @param args the arguments after the program name.
/// @param options receives the choices; untouched fields keep their defaults.
/// @param error receives one line naming the option and what is wrong with its value.
/// @return false on an unknown option, a missing or bad value or conflicting options.
bool parseBatchOptions(const std::vector<std::string>& args, BatchOptions& options,
                       std::string& error);

/// The complete usage text printed by --help.
std::string batchUsage();

#endif
