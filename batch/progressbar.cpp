// glimshape — batch
// Purpose: the progress report of glimshape-batch on standard error: a bar redrawn in place on
// a terminal, plain lines otherwise.
#include "batch/progressbar.h"

#include <algorithm>

namespace {

constexpr int barWidth = 24;

}  // namespace

ProgressBar::ProgressBar(std::FILE* stream, int iterations, bool interactive)
    : stream(stream), iterations(iterations), interactive(interactive) {}

void ProgressBar::phase(int iteration, const std::string& name) {
  if (!stream) return;
  this->iteration = iteration;
  this->name = name;
  detail.clear();
  fraction = 0.0;
  if (interactive) {
    draw(true);
  } else {
    std::fprintf(stream, "iteration %d/%d: %s\n", iteration + 1, iterations, name.c_str());
    std::fflush(stream);
  }
}

void ProgressBar::passes(int pass, int passes, double elapsed, double limit) {
  if (!stream || !interactive) return;
  char text[96];
  if (passes > 0) {
    std::snprintf(text, sizeof text, "pass %d/%d", pass, passes);
    fraction = static_cast<double>(pass) / passes;
  } else {
    std::snprintf(text, sizeof text, "pass %d", pass);
    fraction = 0.0;
  }
  detail = text;
  if (limit > 0.0) {
    std::snprintf(text, sizeof text, ", %.0f/%.0f s", elapsed, limit);
    detail += text;
    fraction = std::max(fraction, std::min(1.0, elapsed / limit));
  }
  draw(false);
}

void ProgressBar::evolved(int pass, double elapsed) {
  if (!stream) return;
  if (interactive) {
    draw(true);
    return;
  }
  std::fprintf(stream, "iteration %d/%d: %d passes in %.1f s\n", iteration + 1, iterations, pass,
               elapsed);
  std::fflush(stream);
}

void ProgressBar::clear() {
  if (!stream || !interactive || !shown) return;
  std::fputs("\r\033[K", stream);
  std::fflush(stream);
  shown = false;
}

void ProgressBar::finish() {
  if (!stream || !interactive || !shown) return;
  std::fputc('\n', stream);
  std::fflush(stream);
  shown = false;
}

void ProgressBar::draw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown && now - lastDraw < std::chrono::milliseconds(100)) return;
  lastDraw = now;
  const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * barWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(barWidth - filled), '-');
  std::fprintf(stream, "\r\033[Kiteration %d/%d [%s] %s%s%s", iteration + 1, iterations,
               bar.c_str(), name.c_str(), detail.empty() ? "" : " ", detail.c_str());
  std::fflush(stream);
  shown = true;
}
