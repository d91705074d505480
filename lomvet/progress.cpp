// glimshape — liblomvet
// Purpose: the process-wide progress-line switch.
#include "lomvet/progress.h"

#include <atomic>

namespace {

// Read by the worker while the GUI or a test may flip it, hence atomic; no ordering with
// other data is needed.
std::atomic<bool> progressLines{true};

}  // namespace

bool progressLinesEnabled() { return progressLines.load(std::memory_order_relaxed); }

void setProgressLines(bool enabled) { progressLines.store(enabled, std::memory_order_relaxed); }
