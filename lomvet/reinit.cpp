// glimshape — liblomvet
// Purpose: signed-distance re-initialisation of the dense grid by nearest-segment propagation.
#include "lomvet/reinit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "lomvet/segment.h"

namespace {

using Segment = ContourSegment;

// Per-cell nearest segment found so far and its squared distance.
struct Field {
  int w, h;
  double hx, hy;
  const std::vector<Segment>& segments;
  std::vector<double>& best;
  std::vector<int>& nearest;
  double exact2;  // cells at most this far (squared) hold their true nearest segment

  // Offers a cell at (px, py), whose nearest segment so far is `s` at squared distance `b`,
  // the nearest segment of cell j. The cell's pair lives in locals while its neighbours are
  // offered, instead of being re-read after every store into the arrays.
  inline void relax(double& b, int& s, double px, double py, std::size_t j) const {
    const int c = nearest[j];
    if (c < 0 || c == s) return;
    const double d = segmentDistance2(segments[static_cast<std::size_t>(c)], px, py);
    if (d < b) {
      b = d;
      s = c;
    }
  }

  void forwardSweep() {
    for (int y = 0; y < h; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      const double py = y * hy;
      for (int x = 0; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        double b = best[i];
        if (b <= exact2) continue;
        int s = nearest[i];
        const double px = x * hx;
        if (x > 0) relax(b, s, px, py, i - 1);
        if (y > 0) {
          const std::size_t up = i - static_cast<std::size_t>(w);
          if (x > 0) relax(b, s, px, py, up - 1);
          relax(b, s, px, py, up);
          if (x + 1 < w) relax(b, s, px, py, up + 1);
        }
        best[i] = b;
        nearest[i] = s;
      }
      for (int x = w - 2; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(best[i], nearest[i], x * hx, py, i + 1);
      }
    }
  }

  void backwardSweep() {
    for (int y = h - 1; y >= 0; --y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      const double py = y * hy;
      for (int x = w - 1; x >= 0; --x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        double b = best[i];
        if (b <= exact2) continue;
        int s = nearest[i];
        const double px = x * hx;
        if (x + 1 < w) relax(b, s, px, py, i + 1);
        if (y + 1 < h) {
          const std::size_t down = i + static_cast<std::size_t>(w);
          if (x + 1 < w) relax(b, s, px, py, down + 1);
          relax(b, s, px, py, down);
          if (x > 0) relax(b, s, px, py, down - 1);
        }
        best[i] = b;
        nearest[i] = s;
      }
      for (int x = 1; x < w; ++x) {
        const std::size_t i = row + static_cast<std::size_t>(x);
        if (best[i] > exact2) relax(best[i], nearest[i], x * hx, py, i - 1);
      }
    }
  }
};

}  // namespace

bool ensureSignedDistance(FullLevelSet2D& grid, const CancelCallback& cancel, double exactRadius) {
  const int w = grid.width, h = grid.height;
  if (w < 2 || h < 2) return true;
  auto cancelled = [&] { return cancel && cancel(); };

  // The working arrays live on between calls: the evolver re-initialises a canvas-sized
  // grid for every shape step, and fresh page-sized allocations cost more than the work.
  thread_local ContourPoints points;
  thread_local ContourEdges edges;
  thread_local std::vector<Segment> segments;
  thread_local std::vector<double> best;
  thread_local std::vector<int> nearest;
  thread_local std::vector<int> spanBegin;
  thread_local std::vector<int> spanEnd;
  grid.getLinesUnique(points, edges);
  if (edges.empty()) return true;
  if (cancelled()) return false;

  const double hx = grid.getXSpace() > 0 ? grid.getXSpace() : 1.0;
  const double hy = grid.getYSpace() > 0 ? grid.getYSpace() : 1.0;
  segments.clear();
  for (const auto& e : edges) {
    segments.push_back(Segment::between(points[static_cast<std::size_t>(e.first)],
                                        points[static_cast<std::size_t>(e.second)], hx, hy));
  }

  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  best.assign(n, std::numeric_limits<double>::infinity());
  nearest.assign(n, -1);
  Field field{w, h, hx, hy, segments, best, nearest, 0.0};

  // Exact band: every cell within the radius of a segment tries that segment, so a cell
  // whose true distance is at most the radius meets its nearest segment. A segment lies in
  // one grid square, so it is at most half a diagonal from its middle, and those cells lie
  // in the disc of radius + half diagonal around the middle. When the contour is so dense
  // that the band would cost more than a few visits per cell, the band narrows; the sweeps
  // then carry the distances, and these are short.
  const double halfDiagonal = 0.5 * std::hypot(hx, hy);
  double radius = std::max(exactRadius, 0.0);
  {
    const double pi = 3.14159265358979323846;
    const double cells = pi * (radius + halfDiagonal) * (radius + halfDiagonal) / (hx * hy);
    const double budget = 8.0 * static_cast<double>(n);
    const double count = static_cast<double>(segments.size());
    if (cells * count > budget)
      radius = std::max(1.5 * std::min(hx, hy),
                        std::sqrt(budget / count * hx * hy / pi) - halfDiagonal);
  }
  field.exact2 = radius * radius;
  const double reach = radius + halfDiagonal;
  // A division by a spacing of exactly 1 gives its dividend unchanged, and the spans take
  // two divisions per row of every disc.
  const auto toColumn = [hx](double a) { return hx == 1.0 ? a : a / hx; };
  spanBegin.resize(static_cast<std::size_t>(h));
  spanEnd.resize(static_cast<std::size_t>(h));
  for (std::size_t k = 0; k < edges.size(); ++k) {
    // The segment in locals: stores into best[] could otherwise alias its fields and force
    // a reload per cell. The distance is segmentDistance2's, term for term.
    const Segment s = segments[k];
    const int id = static_cast<int>(k);
    const double mx = s.ax + 0.5 * s.dx, my = s.ay + 0.5 * s.dy;
    // Truncation may take in one cell too many on the low side, which does no harm.
    const int y0 = std::max(0, static_cast<int>((my - reach) / hy));
    const int y1 = std::min(h - 1, static_cast<int>((my + reach) / hy));
    // The disc's spans first: their square roots and divisions are independent of each
    // other and of the cells, so they overlap instead of delaying every row's cell loop.
    for (int y = y0; y <= y1; ++y) {
      const double py = y * hy;
      const double half = std::sqrt(std::max(0.0, reach * reach - (py - my) * (py - my)));
      spanBegin[static_cast<std::size_t>(y)] = std::max(0, static_cast<int>(toColumn(mx - half)));
      spanEnd[static_cast<std::size_t>(y)] = std::min(w - 1, static_cast<int>(toColumn(mx + half)));
    }
    for (int y = y0; y <= y1; ++y) {
      const double py = y * hy;
      const int x0 = spanBegin[static_cast<std::size_t>(y)];
      const int x1 = spanEnd[static_cast<std::size_t>(y)];
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      double* rowBest = best.data() + row;
      int* rowNearest = nearest.data() + row;
      const double qy = py - s.ay, qyDy = qy * s.dy;
      // No branch on whether a segment beats a cell's best: that is a coin toss where discs
      // overlap. std::max / std::min clamp as segmentDistance2 does, NaN included.
      for (int x = x0; x <= x1; ++x) {
        const double qx = x * hx - s.ax;
        const double t = std::min(std::max((qx * s.dx + qyDy) * s.inv, 0.0), 1.0);
        const double ex = qx - t * s.dx, ey = qy - t * s.dy;
        const double d = ex * ex + ey * ey;
        // (d < best ? d : best) and the matching index, written so that the compiler
        // cannot turn them back into a branch: a mask of all ones where d is closer.
        const int closer = -static_cast<int>(d < rowBest[x]);
        rowBest[x] = std::min(rowBest[x], d);
        rowNearest[x] ^= (rowNearest[x] ^ id) & closer;
      }
    }
  }
  if (cancelled()) return false;

  field.forwardSweep();
  if (cancelled()) return false;
  field.backwardSweep();
  if (cancelled()) return false;

  // A cell keeps its side: inside (≤ 0, and NaN, as the contour counts it) becomes −d or 0;
  // an outside cell that lies on the contour itself keeps its small positive value.
  double* v = grid.values.data();
  for (std::size_t i = 0; i < n; ++i) {
    const double d = std::sqrt(field.best[i]);
    const double inside = d > 0 ? -d : 0.0;
    const double outside = d > 0 ? d : v[i];
    v[i] = v[i] > 0 ? outside : inside;
  }
  return true;
}
