// glimshape — levelset
// Purpose: fast-marching re-initialisation of SparseLevelSet2D to a narrow-band signed distance.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "levelset/sparselevelset2d.h"
#include "lomvet/marchingsquares.h"
#include "lomvet/progress.h"
#include "torsk/heap.h"

namespace {

using Cell = std::pair<int, int>;

// Keys cells as y × 2048 + x.
struct HashPair {
  std::size_t operator()(const Cell& c) const {
    return static_cast<std::size_t>(static_cast<unsigned>(c.second) * 2048u +
                                    static_cast<unsigned>(c.first));
  }
};

// The fixed-capacity Heap of libtorsk, moved into one twice as large whenever the next id
// would not fit. Ids are handed out without reuse, and the count of cells a march reaches
// depends on the band it finds, not on the cells stored before it: a thin band after
// motion, or a fragmented shape, can need more ids than any multiple of the stored cells.
class GrowingHeap {
 public:
  explicit GrowingHeap(int capacity)
      : capacity(std::max(capacity, 1)), heap(new Heap(this->capacity)) {}

  void insert(int id, double key) {
    if (id >= capacity) grow(id);
    heap->insert(id, key);
  }
  void update(int id, double key) { heap->update(id, key, 0); }
  int peek() const { return heap->peek(); }
  int remove(double* key) { return heap->remove(key); }

 private:
  void grow(int id) {
    int next = capacity;
    while (next <= id) next = next > std::numeric_limits<int>::max() / 2
                                  ? std::numeric_limits<int>::max()
                                  : next * 2;
    std::unique_ptr<Heap> bigger(new Heap(next));
    for (int i = 0; i < capacity; ++i)
      if (heap->exists(i)) bigger->insert(i, heap->get(i));
    heap = std::move(bigger);
    capacity = next;
  }

  int capacity;
  std::unique_ptr<Heap> heap;
};

// The 4-neighbours in the order in which the march visits them.
constexpr int kMarchDx[4] = {1, -1, 0, 0};
constexpr int kMarchDy[4] = {0, 0, 1, -1};

}  // namespace

double SparseLevelSet2D::estimateDistanceInit(int x, int y) const {
  const double v = get(x, y);
  const bool inside = v <= 0;
  const double hx = getXSpace(), hy = getYSpace();

  // Neighbours (x, y+1), (x−1, y), (x, y−1), (x+1, y); the axis distance to the crossing,
  // or a negative number when the neighbour is missing or on the same side.
  const int ndx[4] = {0, -1, 0, 1};
  const int ndy[4] = {1, 0, -1, 0};
  double axis[4];
  for (int k = 0; k < 4; ++k) {
    axis[k] = -1.0;
    const int nx = x + ndx[k], ny = y + ndy[k];
    if (!have(nx, ny)) continue;
    const double vn = get(nx, ny);
    if ((vn <= 0) == inside) continue;
    // Equal to −v / (vn − v) for finite values on opposite sides; non-finite values fall
    // back to the midpoint so that a seed always gets a finite distance.
    axis[k] = MarchingSquares::crossing(v, vn) * (ndx[k] != 0 ? hx : hy);
  }
  const double up = axis[0], left = axis[1], down = axis[2], right = axis[3];

  double d = unknownDistance;
  const double xs[2] = {right, left};
  const double ys[2] = {up, down};
  for (double a : xs)
    for (double b : ys)
      if (a >= 0 && b >= 0) d = std::min(d, 1.0 / std::sqrt(1.0 / (a * a) + 1.0 / (b * b)));
  for (double a : axis)
    if (a >= 0) d = std::min(d, a);
  return d;
}

double SparseLevelSet2D::estimateDistance(const PointHash<double>& distance,
                                          const PointHash<char>& state, int label, int x,
                                          int y) const {
  const double hx = getXSpace(), hy = getYSpace();
  auto usable = [&](int nx, int ny) {
    const char* s = state.find(nx, ny);
    return s != nullptr && *s == label;
  };
  auto dist = [&](int nx, int ny) {
    const double* d = distance.find(nx, ny);
    return d != nullptr ? *d : 0.0;
  };

  const bool xp = usable(x + 1, y), xm = usable(x - 1, y);
  const bool yp = usable(x, y + 1), ym = usable(x, y - 1);
  const double dxp = xp ? dist(x + 1, y) : 0.0, dxm = xm ? dist(x - 1, y) : 0.0;
  const double dyp = yp ? dist(x, y + 1) : 0.0, dym = ym ? dist(x, y - 1) : 0.0;

  const double p = 1.0 / (hx * hx), q = 1.0 / (hy * hy);
  double d = unknownDistance;
  auto pair = [&](double a, double b) {
    const double s = a * p + b * q;
    const double disc = 4.0 * s * s - 4.0 * (p + q) * (a * a * p + b * b * q - 1.0);
    if (disc >= 0) {
      d = std::min(d, (2.0 * s + std::sqrt(disc)) / (2.0 * (p + q)));
    } else {
      // The two distances differ by more than one diagonal step: no front crosses the cell
      // from both neighbours, so each neighbour alone bounds the distance from above.
      d = std::min(d, std::min(a + hx, b + hy));
    }
  };
  if (xp && yp) pair(dxp, dyp);
  if (yp && xm) pair(dxm, dyp);
  if (xm && ym) pair(dxm, dym);
  if (xp && ym) pair(dxp, dym);

  if (d == unknownDistance) {
    if (xp) d = std::min(d, dxp + hx);
    if (yp) d = std::min(d, dyp + hy);
    if (ym) d = std::min(d, dym + hy);
    if (xm) d = std::min(d, dxm + hx);
  }
  return d;
}

void SparseLevelSet2D::ensureSignedDistanceFMM() {
  if (progressLinesEnabled()) std::cout << "doing FMM." << std::endl;
  // At least 1001 buckets, more for long bands, so that buckets stay a few entries long and
  // the work grows linearly with the band rather than with its square.
  const int buckets = std::max(fmmBuckets, getCellCount() | 1);
  PointHash<char> state(buckets);
  PointHash<double> distance(buckets);
  std::vector<Cell> seeds;

  auto seed = [&](int x, int y, double v) {
    if (state.contains(x, y)) return;
    state(x, y) = v <= 0 ? -1 : 1;
    distance(x, y) = estimateDistanceInit(x, y);
    seeds.emplace_back(x, y);
  };
  // The right neighbour is the row's next entry and the one below is found by a cursor
  // that moves forward along the next row, so the scan costs no searches.
  for (int y = 0; y < height; ++y) {
    const Row& row = rows[static_cast<std::size_t>(y)];
    const Row* below = y + 1 < height ? &rows[static_cast<std::size_t>(y + 1)] : nullptr;
    Row::const_iterator cursor;
    if (below != nullptr) cursor = below->begin();
    for (auto it = row.begin(); it != row.end(); ++it) {
      const int x = it->first;
      const double v = it->second;
      const bool inside = v <= 0;
      const auto right = std::next(it);
      if (right != row.end() && right->first == x + 1 && (right->second <= 0) != inside) {
        seed(x, y, v);
        seed(x + 1, y, right->second);
      }
      if (below == nullptr) continue;
      while (cursor != below->end() && cursor->first < x) ++cursor;
      if (cursor != below->end() && cursor->first == x && (cursor->second <= 0) != inside) {
        seed(x, y, v);
        seed(x, y + 1, cursor->second);
      }
    }
  }

  if (progressLinesEnabled()) {
    std::printf("step fmm: %d\n", state.size());
    std::fflush(stdout);
  }

  const double limit = bandLimit * std::max(getXSpace(), getYSpace());
  GrowingHeap heap(3 * std::max(getCellCount(), 64));
  std::vector<Cell> trial;
  std::unordered_map<Cell, int, HashPair> heapId(100);

  // The march stays on the canvas. Seeds separate the two sides only along edges between
  // stored cells, so a front allowed to step off the canvas could walk round the seeds and
  // come back in on the other side, turning inside cells outside; cells off the canvas would
  // be dropped at write-back anyway.
  auto onCanvas = [&](int x, int y) { return x >= 0 && x < width && y >= 0 && y < height; };
  auto addTrial = [&](int label, int x, int y) {
    const double t = estimateDistance(distance, state, label, x, y);
    const int id = static_cast<int>(trial.size());
    heap.insert(id, t);
    heapId[Cell(x, y)] = id;
    trial.emplace_back(x, y);
    state(x, y) = 2;
  };

  for (int label : {1, -1}) {
    for (const Cell& s : seeds) {
      if (*state.find(s.first, s.second) != label) continue;
      for (int k = 0; k < 4; ++k) {
        const int nx = s.first + kMarchDx[k], ny = s.second + kMarchDy[k];
        if (onCanvas(nx, ny) && !state.contains(nx, ny)) addTrial(label, nx, ny);
      }
    }
    while (heap.peek() != -1) {
      double t = 0.0;
      const int id = heap.remove(&t);
      const Cell c = trial[static_cast<std::size_t>(id)];
      state(c.first, c.second) = static_cast<char>(label);
      distance(c.first, c.second) = t;
      if (t > limit) continue;
      for (int k = 0; k < 4; ++k) {
        const int nx = c.first + kMarchDx[k], ny = c.second + kMarchDy[k];
        if (!onCanvas(nx, ny)) continue;
        const char* s = state.find(nx, ny);
        if (s == nullptr) {
          addTrial(label, nx, ny);
        } else if (*s == 2) {
          heap.update(heapId[Cell(nx, ny)], estimateDistance(distance, state, label, nx, ny));
        }
      }
    }
  }

  // Cells in row and column order, so that each row is built by appending.
  std::vector<std::pair<Cell, double>> band;
  band.reserve(static_cast<std::size_t>(distance.size()));
  // A distance of 0 on the outside would read as inside; the smallest positive value keeps
  // every cell on its side.
  const double tiny = std::numeric_limits<double>::denorm_min();
  distance.forEach([&](int x, int y, double d) {
    const int s = *state.find(x, y);
    band.emplace_back(Cell(y, x), s > 0 ? std::max(d, tiny) : -d);
  });
  std::sort(band.begin(), band.end(),
            [](const std::pair<Cell, double>& a, const std::pair<Cell, double>& b) {
              return a.first < b.first;
            });
  // Built aside and swapped in, so that a failed allocation leaves the old band intact.
  std::vector<Row> fresh(static_cast<std::size_t>(height));
  for (const auto& c : band) {
    Row& row = fresh[static_cast<std::size_t>(c.first.first)];
    row.emplace_hint(row.end(), c.first.second, c.second);
  }
  rows.swap(fresh);
}
