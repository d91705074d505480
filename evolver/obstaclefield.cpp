// glimshape — evolver
// Purpose: ObstacleField: the per-cell record of the other shapes, its contour in buckets and
// the ring search for exact distances.
#include "evolver/obstaclefield.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "lomvet/marchingsquares.h"

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

bool rowOrder(const MarkedCell& a, const MarkedCell& b) {
  return a.y != b.y ? a.y < b.y : a.x < b.x;
}

// Keeps the cells of a w × h canvas that lower a grid of 1e10 (a value below
// ZazizEvozuBase::markedBelow), in row order and each once (the lowest value where a cell
// came twice). The shapes' lists are already so; a list that is not gets sorted.
void tidy(std::vector<MarkedCell>& cells, int w, int h) {
  bool ordered = true;
  std::size_t kept = 0;
  for (const MarkedCell& c : cells) {
    if (c.x < 0 || c.y < 0 || c.x >= w || c.y >= h || !(c.value < ZazizEvozuBase::markedBelow))
      continue;
    if (kept > 0 && !rowOrder(cells[kept - 1], c)) ordered = false;
    cells[kept++] = c;
  }
  cells.resize(kept);
  if (ordered) return;
  std::stable_sort(cells.begin(), cells.end(), rowOrder);
  std::size_t out = 0;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (out > 0 && cells[out - 1].x == cells[k].x && cells[out - 1].y == cells[k].y)
      cells[out - 1].value = std::min(cells[out - 1].value, cells[k].value);
    else
      cells[out++] = cells[k];
  }
  cells.resize(out);
}

}  // namespace

double ObstacleField::Grid::get(int x, int y) const {
  if (width <= 0 || height <= 0) return 0.0;
  return owner.getDistance(mirrorIndex(x, width), mirrorIndex(y, height));
}

ObstacleField::ObstacleField() : grid(*this) {}

void ObstacleField::invalidate() { valid.store(false); }

void ObstacleField::rebuildEmpty(int w, int h, std::size_t shapeCount) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  count.assign(cells, 0);
  lowest.assign(cells, farAway);
  computedAt.assign(cells, 0);
  step = 0;
  touchedAt.assign(cells, 0);
  updateCount = 0;
  touched.clear();
  sources.assign(shapeCount, Source());
  // Marching-squares cells have their corner (x, y) at x ≤ width − 2, y ≤ height − 2.
  bucketsX = width > 1 ? (width - 2) / bucketSize + 1 : 0;
  bucketsY = height > 1 ? (height - 2) / bucketSize + 1 : 0;
  const std::size_t bucketCount =
      static_cast<std::size_t>(bucketsX) * static_cast<std::size_t>(bucketsY);
  buckets.assign(bucketCount, std::vector<ContourSegment>());
  bucketDirty.assign(bucketCount, 0);
  dirtyBuckets.clear();
  occupied.clear();
  occupiedAt.assign(bucketCount, -1);
  tiles.assign(bucketCount, Tile());
  candidates.clear();
  segmentCount = 0;
  mask = vorn::Image<unsigned char>(width, height, 1);
  mask = 1;
  grid.resize(width, height);
  // Nobody steps this grid; its update buffer would only take memory.
  std::vector<double>().swap(grid.updateBuffer);
  grid.xSpace = grid.ySpace = 1.0;
  std::fill(grid.values.begin(), grid.values.end(), farAway);
}

void ObstacleField::update(const std::vector<std::shared_ptr<ZazizEvozuBase>>& shapes,
                           int exclude) {
  if (shapes.empty()) return;
  const int w = shapes.front()->getWidth(), h = shapes.front()->getHeight();
  const bool afresh =
      !valid.exchange(true) || w != width || h != height || sources.size() != shapes.size();
  try {
    if (afresh) rebuildEmpty(w, h, shapes.size());
    countShapes(shapes, exclude);
  } catch (...) {
    // A failed allocation leaves the record half built: the next update starts afresh.
    valid.store(false);
    throw;
  }
}

void ObstacleField::countShapes(const std::vector<std::shared_ptr<ZazizEvozuBase>>& shapes,
                                int exclude) {
  if (++updateCount == 0) {
    std::fill(touchedAt.begin(), touchedAt.end(), 0);
    updateCount = 1;
  }
  touched.clear();
  const std::size_t left = exclude >= 0 ? static_cast<std::size_t>(exclude) : shapes.size();
  for (std::size_t j = 0; j < shapes.size(); ++j) {
    Source& source = sources[j];
    // A shape that took another's place: what was counted in is that other's.
    if (source.included && source.shape != shapes[j].get()) this->exclude(source);
    if (j != left && !source.included) include(source, *shapes[j]);
  }
  if (left < shapes.size() && sources[left].included) this->exclude(sources[left]);
  finishUpdate();
  // Distances and candidates are kept for one step only, since the contour differs in the
  // next.
  candidates.clear();
  if (++step == 0) {
    std::fill(computedAt.begin(), computedAt.end(), 0);
    for (Tile& t : tiles) t.gatheredAt = 0;
    step = 1;
  }
}

void ObstacleField::touch(std::size_t cell) {
  if (touchedAt[cell] == updateCount) return;
  touchedAt[cell] = updateCount;
  touched.push_back(cell);
}

void ObstacleField::include(Source& source, ZazizEvozuBase& shape) {
  source.shape = &shape;
  source.cells.clear();
  shape.getMarkedCells(width, height, source.cells);
  tidy(source.cells, width, height);
  source.minX = width;
  source.maxX = -1;
  source.minY = source.cells.empty() ? 0 : source.cells.front().y;
  source.maxY = source.cells.empty() ? -1 : source.cells.back().y;
  for (const MarkedCell& c : source.cells) {
    source.minX = std::min(source.minX, c.x);
    source.maxX = std::max(source.maxX, c.x);
    const std::size_t i = static_cast<std::size_t>(c.y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(c.x);
    touch(i);
    // An unknown lowest stays unknown: the lookup will see this shape too.
    if (count[i]++ == 0 || c.value < lowest[i]) lowest[i] = c.value;
  }
  source.included = true;
}

void ObstacleField::exclude(Source& source) {
  for (const MarkedCell& c : source.cells) {
    const std::size_t i = static_cast<std::size_t>(c.y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(c.x);
    touch(i);
    if (--count[i] == 0)
      lowest[i] = farAway;
    else if (!(lowest[i] < c.value))
      // This shape held the lowest value (or shared it): the others' is looked up when needed.
      lowest[i] = std::numeric_limits<double>::quiet_NaN();
  }
  source.included = false;
  source.cells.clear();
}

double ObstacleField::lowestAt(std::size_t cell) {
  double& value = lowest[cell];
  if (!std::isnan(value)) return value;
  const int x = static_cast<int>(cell % static_cast<std::size_t>(width));
  const int y = static_cast<int>(cell / static_cast<std::size_t>(width));
  const MarkedCell key{x, y, 0.0};
  double found = infinity;
  for (const Source& s : sources) {
    if (!s.included || x < s.minX || x > s.maxX || y < s.minY || y > s.maxY) continue;
    const auto it = std::lower_bound(s.cells.begin(), s.cells.end(), key, rowOrder);
    if (it != s.cells.end() && it->x == x && it->y == y) found = std::min(found, it->value);
  }
  value = found;
  return value;
}

void ObstacleField::finishUpdate() {
  unsigned char* free = mask.getDataPtr();
  const std::size_t w = static_cast<std::size_t>(width);
  for (const std::size_t i : touched) {
    // Free where no shape is inside; the grid's side is the marked value's, as the
    // rebuild's contour takes it (a cell marked 0 lies on the contour, on its inner side).
    const double marked = markedValue(i);
    free[i] = marked < 0.0 ? 0 : 1;
    // The side until a step reads ψ here.
    grid.values[i] = marked > 0.0 ? farAway : -farAway;
    // The marching-squares cells with this cell as a corner.
    const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
    for (int cy = std::max(y - 1, 0); cy <= std::min(y, height - 2); ++cy)
      for (int cx = std::max(x - 1, 0); cx <= std::min(x, width - 2); ++cx) {
        const int b = (cy / bucketSize) * bucketsX + cx / bucketSize;
        if (bucketDirty[static_cast<std::size_t>(b)]) continue;
        bucketDirty[static_cast<std::size_t>(b)] = 1;
        dirtyBuckets.push_back(b);
      }
  }
  for (const int b : dirtyBuckets) {
    rebuildBucket(b);
    bucketDirty[static_cast<std::size_t>(b)] = 0;
  }
  dirtyBuckets.clear();
}

void ObstacleField::rebuildBucket(int b) {
  std::vector<ContourSegment>& segments = buckets[static_cast<std::size_t>(b)];
  segmentCount -= segments.size();
  segments.clear();
  const int bx = b % bucketsX, by = b / bucketsX;
  const int xEnd = std::min((bx + 1) * bucketSize, width - 1);
  const int yEnd = std::min((by + 1) * bucketSize, height - 1);
  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = by * bucketSize; y < yEnd; ++y)
    for (int x = bx * bucketSize; x < xEnd; ++x) {
      // Corners as the case table numbers them: (x, y), (x + 1, y), (x + 1, y + 1), (x, y + 1).
      const std::size_t c0 = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
      const std::size_t c[4] = {c0, c0 + 1, c0 + w + 1, c0 + w};
      const int kase = (markedValue(c[0]) > 0.0 ? 1 : 0) | (markedValue(c[1]) > 0.0 ? 2 : 0) |
                       (markedValue(c[2]) > 0.0 ? 4 : 0) | (markedValue(c[3]) > 0.0 ? 8 : 0);
      const int nseg = MarchingSquares::lut_size[kase];
      for (int s = 0; s < nseg; ++s) {
        vorn::Vec2<double> ends[2];
        for (int k = 0; k < 2; ++k) {
          // The crossing on each edge, from the marked values in the order the dense
          // contour extraction takes them, so both find the same point.
          switch (MarchingSquares::lut[kase][2 * s + k]) {
            case 0:
              ends[k] = {x + MarchingSquares::crossing(markedValue(c[0]), markedValue(c[1])),
                         static_cast<double>(y)};
              break;
            case 1:
              ends[k] = {static_cast<double>(x + 1),
                         y + MarchingSquares::crossing(markedValue(c[1]), markedValue(c[2]))};
              break;
            case 2:
              ends[k] = {x + MarchingSquares::crossing(markedValue(c[3]), markedValue(c[2])),
                         static_cast<double>(y + 1)};
              break;
            default:
              ends[k] = {static_cast<double>(x),
                         y + MarchingSquares::crossing(markedValue(c[0]), markedValue(c[3]))};
              break;
          }
        }
        segments.push_back(ContourSegment::between(ends[0], ends[1]));
      }
    }
  segmentCount += segments.size();
  int& at = occupiedAt[static_cast<std::size_t>(b)];
  if (!segments.empty() && at < 0) {
    at = static_cast<int>(occupied.size());
    occupied.push_back(b);
  } else if (segments.empty() && at >= 0) {
    const int last = occupied.back();
    occupied[static_cast<std::size_t>(at)] = last;
    occupiedAt[static_cast<std::size_t>(last)] = at;
    occupied.pop_back();
    at = -1;
  }
}

double ObstacleField::getDistance(int x, int y) {
  const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x);
  if (computedAt[i] == step) return grid.values[i];
  const double marked = markedValue(i);
  double psi;
  if (segmentCount == 0) {
    // No contour: the rebuild keeps the marked values.
    psi = marked;
  } else {
    // The rebuild's signs: 0 inside on the contour; outside on it the marked value stays.
    const double d = std::sqrt(tileDistance2(x, y));
    psi = marked > 0.0 ? (d > 0 ? d : marked) : (d > 0 ? -d : 0.0);
  }
  grid.values[i] = psi;
  computedAt[i] = step;
  return psi;
}

void ObstacleField::offerBucket(int b, double px, double py, double& best) const {
  const std::vector<ContourSegment>& segments = buckets[static_cast<std::size_t>(b)];
  if (segments.empty()) return;
  const double left = (b % bucketsX) * static_cast<double>(bucketSize);
  const double top = (b / bucketsX) * static_cast<double>(bucketSize);
  const double gx = std::max({0.0, left - px, px - (left + bucketSize)});
  const double gy = std::max({0.0, top - py, py - (top + bucketSize)});
  if (gx * gx + gy * gy >= best) return;
  for (const ContourSegment& s : segments) best = std::min(best, segmentDistance2(s, px, py));
}

double ObstacleField::nearestDistance2(double px, double py) const {
  double best = infinity;
  const int bx = std::min(static_cast<int>(px) / bucketSize, bucketsX - 1);
  const int by = std::min(static_cast<int>(py) / bucketSize, bucketsY - 1);
  const int rings = std::max({bx, bucketsX - 1 - bx, by, bucketsY - 1 - by});
  for (int r = 0; r <= rings; ++r) {
    // Every bucket of ring r lies at least r − 1 buckets away from the point.
    const double gap = static_cast<double>(r - 1) * bucketSize;
    if (r > 1 && gap * gap >= best) break;
    // Far from every segment the rings hold more buckets than are occupied at all.
    const std::size_t side = static_cast<std::size_t>(2 * r + 1);
    if (side * side > 2 * occupied.size() + 16) {
      for (const int b : occupied) offerBucket(b, px, py, best);
      return best;
    }
    const int x0 = bx - r, x1 = bx + r, y0 = by - r, y1 = by + r;
    for (int y = std::max(y0, 0); y <= std::min(y1, bucketsY - 1); ++y) {
      const int row = y * bucketsX;
      if (y == y0 || y == y1) {
        for (int x = std::max(x0, 0); x <= std::min(x1, bucketsX - 1); ++x)
          offerBucket(row + x, px, py, best);
      } else {
        if (x0 >= 0) offerBucket(row + x0, px, py, best);
        if (x1 < bucketsX) offerBucket(row + x1, px, py, best);
      }
    }
  }
  return best;
}

void ObstacleField::gatherCandidates(int tile) {
  const int tx = tile % bucketsX, ty = tile / bucketsX;
  // The cells that read through this tile: its bucket's, and on the last column (row) of
  // tiles also the canvas's last column (row), which lies beyond every bucket.
  const double x0 = tx * bucketSize, y0 = ty * bucketSize;
  const double x1 = tx == bucketsX - 1 ? width - 1 : x0 + bucketSize - 1;
  const double y1 = ty == bucketsY - 1 ? height - 1 : y0 + bucketSize - 1;
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double halfDiagonal = std::hypot(x1 - cx, y1 - cy);
  // A cell of the tile has a segment within D + halfDiagonal (D the centre's least
  // distance), so its nearest lies within D + 2 halfDiagonal of the centre. The margin
  // keeps a segment that rounding puts on the limit.
  const double reach = std::sqrt(nearestDistance2(cx, cy)) + 2 * halfDiagonal + 1e-9;
  Tile& t = tiles[static_cast<std::size_t>(tile)];
  t.begin = candidates.size();
  const auto offer = [&](int b) {
    const double left = (b % bucketsX) * static_cast<double>(bucketSize);
    const double top = (b / bucketsX) * static_cast<double>(bucketSize);
    const double gx = std::max({0.0, left - cx, cx - (left + bucketSize)});
    const double gy = std::max({0.0, top - cy, cy - (top + bucketSize)});
    if (gx * gx + gy * gy > reach * reach) return;
    for (const ContourSegment& s : buckets[static_cast<std::size_t>(b)]) {
      const double d = std::sqrt(segmentDistance2(s, cx, cy));
      if (d <= reach) candidates.push_back({s, d});
    }
  };
  // Clamped as doubles, so that no reach converts out of an int's range.
  const int bx0 = static_cast<int>(std::max((cx - reach) / bucketSize, 0.0));
  const int by0 = static_cast<int>(std::max((cy - reach) / bucketSize, 0.0));
  const int bx1 = static_cast<int>(std::min((cx + reach) / bucketSize, bucketsX - 1.0));
  const int by1 = static_cast<int>(std::min((cy + reach) / bucketSize, bucketsY - 1.0));
  if (static_cast<std::size_t>(bx1 - bx0 + 1) * static_cast<std::size_t>(by1 - by0 + 1) >
      occupied.size()) {
    for (const int b : occupied) offer(b);
  } else {
    for (int by = by0; by <= by1; ++by)
      for (int bx = bx0; bx <= bx1; ++bx)
        if (!buckets[static_cast<std::size_t>(by * bucketsX + bx)].empty()) offer(by * bucketsX + bx);
  }
  t.end = candidates.size();
  t.centreX = cx;
  t.centreY = cy;
  t.gatheredAt = step;
  std::sort(candidates.begin() + static_cast<std::ptrdiff_t>(t.begin), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.centreDistance < b.centreDistance; });
}

double ObstacleField::tileDistance2(int x, int y) {
  const int tile = std::min(y / bucketSize, bucketsY - 1) * bucketsX +
                   std::min(x / bucketSize, bucketsX - 1);
  if (tiles[static_cast<std::size_t>(tile)].gatheredAt != step) gatherCandidates(tile);
  const Tile& t = tiles[static_cast<std::size_t>(tile)];
  const double dx = x - t.centreX, dy = y - t.centreY;
  const double fromCentre = std::sqrt(dx * dx + dy * dy);
  double best = infinity;
  // Nearest to the centre first: a candidate is no nearer to the cell than its distance to
  // the centre less the cell's, and neither is any after it (less a margin for rounding,
  // so that the least distance found is the least of all).
  for (std::size_t k = t.begin; k < t.end; ++k) {
    const double bound = candidates[k].centreDistance - fromCentre - 1e-9;
    if (bound > 0 && bound * bound > best) break;
    best = std::min(best, segmentDistance2(candidates[k].segment, x, y));
  }
  return best;
}
