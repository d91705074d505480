// glimshape — levelset
// Purpose: seeding level sets from binary masks, and calibrating coverage masks so that the
// outline traced from them encloses what they cover.
#include "levelset/createlevelset.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "lomvet/marchingsquares.h"

namespace {

// Bounds of the threshold, coverage 0..255.
constexpr double lowestThreshold = 64.0;
constexpr double highestThreshold = 191.0;

// Pixel values 0..255 and what they become.
using Levels = std::array<unsigned char, 256>;

// Coverage v with its half moved to @p threshold: 127.5 v / t below t,
// 127.5 + 127.5 (v − t) / (255 − t) above, rounded.
Levels remapping(double threshold) {
  Levels levels;
  for (int v = 0; v < 256; ++v) {
    const double f = v <= threshold ? 127.5 * v / threshold
                                    : 127.5 + 127.5 * (v - threshold) / (255.0 - threshold);
    levels[static_cast<std::size_t>(v)] =
        static_cast<unsigned char>(std::lround(std::clamp(f, 0.0, 255.0)));
  }
  return levels;
}

// Distance from (px, py) to the segment from a to b.
double segmentDistance(double px, double py, const vorn::Vec2<double>& a,
                       const vorn::Vec2<double>& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, qx = px - a.x, qy = py - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0.0 ? std::clamp((qx * dx + qy * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(qx - t * dx, qy - t * dy);
}

// Area enclosed by the outline of a level set seeded with the w × h pixels @p mask, as a
// shape traces it: the zero contour after re-initialisation, closed along the grid's
// border. The re-initialised value of a cell next to the contour is its distance to the
// nearest seed contour segment, with the seed's sign; only those cells decide where the
// traced outline crosses the grid, so the rest of the grid need not be re-initialised.
// Each grid square adds its part on the inside of the segments through it, which are the
// case table's (both outside corners of a saddle are cut off).
double tracedArea(const std::vector<unsigned char>& mask, int w, int h) {
  FullLevelSet2D grid(w, h);
  double* values = grid.getValues();
  // The seeds seedFromMask writes.
  std::array<double, 256> seeds;
  for (std::size_t v = 0; v < 256; ++v)
    seeds[v] = static_cast<double>((static_cast<float>(v) / 255.0f - 0.5f) * -0.0078125f);
  for (std::size_t i = 0; i < mask.size(); ++i) values[i] = seeds[mask[i]];
  ContourPoints points;
  ContourEdges edges;
  grid.getLinesUnique(points, edges);
  // The seed contour's segments by the grid square they lie in.
  const auto cell = [w](int x, int y) { return static_cast<std::size_t>(y) * w + x; };
  std::vector<int> first(static_cast<std::size_t>(w) * h + 1, 0);
  std::vector<std::size_t> squareOf(edges.size());
  for (std::size_t k = 0; k < edges.size(); ++k) {
    const auto& a = points[static_cast<std::size_t>(edges[k].first)];
    const auto& b = points[static_cast<std::size_t>(edges[k].second)];
    const int x = std::clamp(static_cast<int>(0.5 * (a.x + b.x)), 0, w - 2);
    const int y = std::clamp(static_cast<int>(0.5 * (a.y + b.y)), 0, h - 2);
    squareOf[k] = cell(x, y);
    ++first[squareOf[k] + 1];
  }
  for (std::size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
  std::vector<int> bySquare(edges.size());
  {
    std::vector<int> next(first.begin(), first.end() - 1);
    for (std::size_t k = 0; k < edges.size(); ++k)
      bySquare[static_cast<std::size_t>(next[squareOf[k]]++)] = static_cast<int>(k);
  }
  // A cell at a crossing lies within one pixel of the contour, so its nearest segment lies
  // in one of the 4 × 4 squares around it.
  std::vector<double> distances(static_cast<std::size_t>(w) * h, -1.0);
  const auto value = [&](int x, int y) {
    double& d = distances[cell(x, y)];
    if (d < 0.0) {
      d = std::numeric_limits<double>::infinity();
      for (int j = std::max(0, y - 2); j <= std::min(h - 2, y + 1); ++j)
        for (int i = std::max(0, x - 2); i <= std::min(w - 2, x + 1); ++i)
          for (int k = first[cell(i, j)]; k < first[cell(i, j) + 1]; ++k) {
            const auto& e = edges[static_cast<std::size_t>(bySquare[static_cast<std::size_t>(k)])];
            d = std::min(d, segmentDistance(x, y, points[static_cast<std::size_t>(e.first)],
                                            points[static_cast<std::size_t>(e.second)]));
          }
    }
    return values[cell(x, y)] > 0.0 ? d : -d;
  };
  double area = 0.0;
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x) {
      const int cx[4] = {x, x + 1, x + 1, x}, cy[4] = {y, y, y + 1, y + 1};
      bool inside[4];
      int count = 0;
      for (int c = 0; c < 4; ++c) count += inside[c] = values[cell(cx[c], cy[c])] <= 0.0;
      if (count == 0) continue;
      if (count == 4) {
        area += 1.0;
        continue;
      }
      // The square's boundary walked c0, c1, c2, c3: inside corners and crossings.
      double px[8], py[8];
      int n = 0;
      for (int c = 0; c < 4; ++c) {
        const int d = (c + 1) % 4;
        if (inside[c]) px[n] = cx[c], py[n] = cy[c], ++n;
        if (inside[c] == inside[d]) continue;
        const double t = MarchingSquares::crossing(value(cx[c], cy[c]), value(cx[d], cy[d]));
        px[n] = cx[c] + t * (cx[d] - cx[c]), py[n] = cy[c] + t * (cy[d] - cy[c]), ++n;
      }
      double twice = 0.0;
      for (int k = 0; k < n; ++k) twice += px[k] * py[(k + 1) % n] - px[(k + 1) % n] * py[k];
      area += 0.5 * std::fabs(twice);
    }
  return area;
}

}  // namespace

void seedFromMask(LevelSet2D& ls, const vorn::Image<unsigned char>& mask) {
  if (mask.getDataPtr() == nullptr || mask.nchannels < 1) return;
  const int w = std::min(mask.getWidth(), ls.getWidth());
  const int h = std::min(mask.getHeight(), ls.getHeight());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float p = static_cast<float>(mask.get(x, y, 0));
      const float seed = (p / 255.0f - 0.5f) * -0.0078125f;
      ls(x, y) = static_cast<double>(seed);
    }
}

vorn::Image<unsigned char> calibrateCoverage(const vorn::Image<unsigned char>& mask) {
  if (mask.getDataPtr() == nullptr || mask.nchannels < 1) return mask;
  const int w = mask.getWidth(), h = mask.getHeight();
  if (w < 2 || h < 2) return mask;
  int x0 = w, y0 = h, x1 = -1, y1 = -1;
  bool partial = false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char v = mask(x, y, 0);
      if (v == 0) continue;
      partial = partial || v != 255;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  // A sharp edge drawn at full strength has an inside: a pixel fully covered all round. A
  // line thinner than three pixels or a speck keeps the outline its half coverage traces.
  bool inside = false;
  for (int y = y0 + 1; y < y1 && !inside; ++y)
    for (int x = x0 + 1; x < x1 && !inside; ++x) {
      inside = true;
      for (int dy = -1; dy <= 1 && inside; ++dy)
        for (int dx = -1; dx <= 1 && inside; ++dx) inside = mask(x + dx, y + dy, 0) == 255;
    }
  if (!partial || !inside) return mask;
  // The covered box with two empty pixels around it, where the mask leaves them, holds the
  // whole outline; the mask's own border stays the border.
  x0 = std::max(0, x0 - 2), y0 = std::max(0, y0 - 2);
  x1 = std::min(w - 1, x1 + 2), y1 = std::min(h - 1, y1 + 2);
  const int bw = x1 - x0 + 1, bh = y1 - y0 + 1;
  std::vector<unsigned char> box(static_cast<std::size_t>(bw) * bh);
  // Pixels of an anti-aliased edge: partly covered, next to a pixel fully covered or not
  // covered at all. Only they are remapped; the partly covered pixels inside a soft edge (a
  // gradient of opacity, a blur) keep the outline where the coverage is one half.
  std::vector<char> edge(box.size(), 0);
  double covered = 0.0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const unsigned char v = mask(x, y, 0);
      const std::size_t i = static_cast<std::size_t>(y - y0) * bw + (x - x0);
      box[i] = v;
      for (int dy = -1; dy <= 1 && v != 0 && v != 255; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const unsigned char n = mask(nx, ny, 0);
          if (n == 0 || n == 255) edge[i] = 1;
        }
      const double weight = (x == 0 || x == w - 1 ? 0.5 : 1.0) * (y == 0 || y == h - 1 ? 0.5 : 1.0);
      covered += weight * v / 255.0;
    }
  std::vector<unsigned char> trial(box.size());
  const auto remap = [&](double threshold, std::vector<unsigned char>& out) {
    const Levels levels = remapping(threshold);
    for (std::size_t i = 0; i < box.size(); ++i) out[i] = edge[i] ? levels[box[i]] : box[i];
  };
  // Close enough: a fiftieth of a square pixel, or a thousandth of a large area.
  const double tolerance = std::max(0.02, 0.001 * covered);
  const auto miss = [&](double threshold) {
    remap(threshold, trial);
    return tracedArea(trial, bw, bh) - covered;
  };
  // The traced area shrinks as the threshold grows. A first step of 16 from the half, on
  // the side where the covered area lies, then the bound if that is not enough; regula
  // falsi (Illinois) between them. The closest threshold met is kept.
  double a = 127.5, fa = tracedArea(box, bw, bh) - covered;
  double best = a, bestMiss = fa;
  const auto keep = [&](double t, double f) {
    if (std::fabs(f) < std::fabs(bestMiss)) best = t, bestMiss = f;
  };
  if (std::fabs(fa) > tolerance) {
    const double bound = fa < 0.0 ? lowestThreshold : highestThreshold;
    double b = fa < 0.0 ? a - 16.0 : a + 16.0, fb = miss(b);
    keep(b, fb);
    if (fa * fb > 0.0 && std::fabs(fb) > tolerance) {
      a = b, fa = fb;
      b = bound, fb = miss(b);
      keep(b, fb);
    }
    for (int i = 0; i < 8 && fa * fb < 0.0 && std::fabs(bestMiss) > tolerance; ++i) {
      const double c = b - fb * (b - a) / (fb - fa);
      const double fc = miss(c);
      keep(c, fc);
      if (fc * fb < 0.0) {
        a = b, fa = fb;
      } else {
        fa *= 0.5;
      }
      b = c, fb = fc;
    }
  }
  // An outline that cannot be brought to the covered area within the bounds is no sharp
  // edge traced short (a soft one, or one too small to trace): it stays as drawn.
  if (best == 127.5 || std::fabs(bestMiss) > tolerance) return mask;
  remap(best, trial);
  vorn::Image<unsigned char> out(w, h, 1);
  out = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      out(x, y, 0) = trial[static_cast<std::size_t>(y - y0) * bw + (x - x0)];
  return out;
}
