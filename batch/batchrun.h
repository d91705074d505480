// glimshape — batch
// Purpose: one batch of glimshape-batch: reload, evolve, fill, occupy and save, repeated, with
// numbered output files that never overwrite an existing file.
#ifndef GLIM_BATCH_BATCHRUN_H
#define GLIM_BATCH_BATCHRUN_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "batch/options.h"

class ProgressBar;
class TimeLapse;
class ZazizEvozuEvolver;

/// @brief The path of output file number `number`: the directory, the prefix and the number
/// as "%06d" followed by the extension (".svg" or ".png").
std::string outputFileName(const std::string& dir, const std::string& prefix, long long number,
                           const char* extension);

/// @brief Creates the output directory (with its parents) when missing and checks that a file
/// can be created in it.
/// @param error receives a line naming the directory and the system's reason.
bool prepareOutputDirectory(const std::string& dir, std::string& error);

/// @brief The smallest number from `from` on whose SVG file (and PNG file, with `png`) does
/// not exist.
long long firstFreeNumber(const std::string& dir, const std::string& prefix, long long from,
                          bool png);

/// @brief Claims the first free number from `number` on by creating its (empty) files, so that
/// neither an existing file nor a file that another run creates at the same moment is ever
/// overwritten.
/// @param number the first number to try; receives the number claimed.
/// @param error receives a line naming the file that could not be created.
/// @return false when a file cannot be created for another reason than existing already.
bool claimFileNumber(const std::string& dir, const std::string& prefix, bool png,
                     long long& number, std::string& error);

/// @brief Seeds the random source (drand48's state) from the seed and the file number alone.
void seedRandomSource(std::uint64_t seed, long long number);

/// @brief An SVG document whose cairo object ids ("surface12", "image3", "source4") are
/// renumbered from 1 in order of appearance, each kind on its own.
///
/// cairo takes these numbers from one counter for the whole process, so without this the
/// same drawing saved later in a run would differ from the same drawing saved by a fresh
/// process, and shards of a seeded batch would not match one run byte for byte.
std::string normaliseSvgIds(const std::string& text);

/// @brief Paints the evolver's shapes as they appear in the saved SVG (`renderPicture`:
/// `scale` pixels per canvas pixel, white background) and writes them as a PNG file
/// (`replaceFileContents`).
/// @param error receives "could not save <file>: <reason>".
/// @warning No worker may run.
bool writePngPreview(ZazizEvozuEvolver& evolver, const std::string& fileName, int scale,
                     std::string& error);

/// @brief One iteration up to its save: reload the drawing (fresh shapes), evolve, and as the
/// options ask fill the holes and evolve once more (as the batch dialog's fill does), then let
/// the shapes occupy the free space: the evolver's Fill and Occupy commands, as the window
/// runs them.
/// @param iteration 0-based, for the progress report.
/// @param frames when not null, the time-lapse of this iteration: a frame of the loaded
///        drawing, the worker's frames after its passes, one after filling and after
///        occupying, and the final state; it is finished on return.
/// @return false when the drawing cannot be loaded or holds no valid shape.
bool evolveIteration(ZazizEvozuEvolver& evolver, const BatchOptions& options, int iteration,
                     ProgressBar& bar, TimeLapse* frames = nullptr);

/// @brief Where the messages of a batch go.
struct BatchStreams {
  /// The written paths, one a line.
  std::FILE* out = nullptr;
  /// Errors, always shown.
  std::FILE* err = nullptr;
  /// Progress and warnings; null when quiet.
  std::FILE* info = nullptr;
  /// `info` is a terminal, so the progress bar is redrawn in place.
  bool interactive = false;
};

/// @brief Asks a running batch to end: the current evolution stops after its current shape
/// step and the batch ends before its next save. Safe to call from a signal handler.
void requestStop();

/// @brief Runs the whole batch described by the options (the input already resolved to a
/// file name).
///
/// Each iteration first claims its number (`claimFileNumber`), seeds the random source from
/// it (with a seed), evolves and saves. The first failure (a save, the list on `out`, the
/// drawing, an interrupt) ends the batch with a line on `err` saying what failed and how
/// many files were written; the claimed files of that iteration are removed.
/// @return the exit status: 0 when every requested file was written, 1 otherwise.
int runBatch(const BatchOptions& options, const BatchStreams& streams);

#endif
