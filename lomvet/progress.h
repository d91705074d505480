// glimshape — liblomvet
// Purpose: the process-wide switch for the progress lines printed while shapes evolve.
#ifndef LOMVET_PROGRESS_H
#define LOMVET_PROGRESS_H

/// @brief Whether the progress lines are printed ("initting mask.", "move with curvature.",
/// "doing FMM.", "step fmm: …", "Added:…", the distribution pick lines, the pick position).
///
/// On at start-up, as the program prints them. Command-line programs, benchmarks and tests
/// may turn them off; the switch holds for every thread of the process.
bool progressLinesEnabled();

/// @brief Turns the progress lines on or off for the whole process (any thread).
void setProgressLines(bool enabled);

#endif
