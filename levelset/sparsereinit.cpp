// glimshape — levelset
// Purpose: fast-marching re-initialisation of SparseLevelSet2D to a narrow-band signed distance.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "levelset/sparselevelset2d.h"
#include "lomvet/marchingsquares.h"
#include "lomvet/progress.h"
#include "torsk/heap.h"

namespace {

using Cell = std::pair<int, int>;

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
  int getCapacity() const { return capacity; }
  // Empties the heap; a march that ended normally has already emptied it.
  void removeAll() {
    if (heap->peek() != -1) heap->removeAll();
  }

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

// One cell of the new band.
struct BandCell {
  int x, y;
  double value;
};

// Working state of the re-initialisation, kept between calls; every part is emptied, not
// freed, by `prepare`.
struct FmmScratch {
  PointHash<char> state{1};
  PointHash<double> distance{1};
  PointHash<int> heapId{1};
  std::vector<Cell> seeds;
  std::vector<Cell> trial;
  std::vector<BandCell> band;  // the new band in row and column order
  std::vector<int> rowStart;   // where each row's cells begin in band
  std::vector<int> rowNext;
  std::vector<SparseLevelSet2D::Row::node_type> nodes;  // spare map nodes
  std::unique_ptr<GrowingHeap> heap;

  // Empties everything for a band that wants about `buckets` buckets. The maps are
  // rebuilt only when their bucket count is too small or more than twice too large, so
  // a band whose size drifts from step to step keeps its buckets.
  void prepare(int buckets) {
    const int current = state.bucketCount();
    if (current < buckets || current / 2 > buckets) {
      state = PointHash<char>(buckets);
      distance = PointHash<double>(buckets);
      heapId = PointHash<int>(buckets);
    } else {
      state.clear();
      distance.clear();
      heapId.clear();
    }
    seeds.clear();
    trial.clear();
    band.clear();
  }

  // The heap, empty, with room for at least `capacity` ids.
  GrowingHeap& heapFor(int capacity) {
    if (!heap || heap->getCapacity() < capacity)
      heap.reset(new GrowingHeap(capacity));
    else
      heap->removeAll();
    return *heap;
  }
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
  // The working state lives on between calls, as the dense re-initialisation's does: a
  // shape re-initialises after every step, and fresh buckets, heap arrays and map nodes
  // cost more than the march itself. Each thread has its own.
  thread_local FmmScratch work;
  // At least 1001 buckets, more for long bands, so that buckets stay a few entries long and
  // the work grows linearly with the band rather than with its square.
  const int cells = getCellCount();
  work.prepare(std::max(fmmBuckets, cells | 1));
  PointHash<char>& state = work.state;
  PointHash<double>& distance = work.distance;
  std::vector<Cell>& seeds = work.seeds;

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
  // Without a sign change there is no contour to measure from. Every stored value is
  // already on its side (a shape that has grown over the whole canvas, or one that has
  // not reached it yet), so the band stays as it is rather than being thrown away.
  if (seeds.empty()) return;

  const double limit = bandLimit * std::max(getXSpace(), getYSpace());
  GrowingHeap& heap = work.heapFor(3 * std::max(cells, 64));
  std::vector<Cell>& trial = work.trial;
  PointHash<int>& heapId = work.heapId;

  // The march stays on the canvas. Seeds separate the two sides only along edges between
  // stored cells, so a front allowed to step off the canvas could walk round the seeds and
  // come back in on the other side, turning inside cells outside; cells off the canvas would
  // be dropped at write-back anyway.
  auto onCanvas = [&](int x, int y) { return x >= 0 && x < width && y >= 0 && y < height; };
  auto addTrial = [&](int label, int x, int y) {
    const double t = estimateDistance(distance, state, label, x, y);
    const int id = static_cast<int>(trial.size());
    heap.insert(id, t);
    heapId(x, y) = id;
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
          heap.update(*heapId.find(nx, ny), estimateDistance(distance, state, label, nx, ny));
        }
      }
    }
  }

  // Cells in row and column order, so that each row is built by appending: counted into
  // their rows first, then each row's few cells sorted by column.
  std::vector<BandCell>& band = work.band;
  std::vector<int>& rowStart = work.rowStart;
  rowStart.assign(static_cast<std::size_t>(height) + 1, 0);
  distance.forEach([&](int, int y, double) { ++rowStart[static_cast<std::size_t>(y) + 1]; });
  for (int y = 0; y < height; ++y)
    rowStart[static_cast<std::size_t>(y) + 1] += rowStart[static_cast<std::size_t>(y)];
  band.resize(static_cast<std::size_t>(distance.size()));
  // A distance of 0 on the outside would read as inside; the smallest positive value keeps
  // every cell on its side.
  const double tiny = std::numeric_limits<double>::denorm_min();
  {
    std::vector<int>& next = work.rowNext;
    next.assign(rowStart.begin(), rowStart.end() - 1);
    distance.forEach([&](int x, int y, double d) {
      const int s = *state.find(x, y);
      band[static_cast<std::size_t>(next[static_cast<std::size_t>(y)]++)] =
          BandCell{x, y, s > 0 ? std::max(d, tiny) : -d};
    });
  }
  for (int y = 0; y < height; ++y)
    std::sort(band.begin() + rowStart[static_cast<std::size_t>(y)],
              band.begin() + rowStart[static_cast<std::size_t>(y) + 1],
              [](const BandCell& a, const BandCell& b) { return a.x < b.x; });

  // The new band reuses the map nodes of the old one. Every node it needs is at hand
  // before the old rows are touched, so a failed allocation leaves the old band intact.
  std::vector<Row::node_type>& nodes = work.nodes;
  const std::size_t have = nodes.size() + static_cast<std::size_t>(cells);
  nodes.reserve(std::max(have, band.size()));
  for (std::size_t k = have; k < band.size(); ++k) {
    Row spare;
    nodes.push_back(spare.extract(spare.emplace(0, 0.0).first));
  }
  for (Row& row : rows)
    while (!row.empty()) nodes.push_back(row.extract(row.begin()));
  for (const auto& c : band) {
    Row::node_type node = std::move(nodes.back());
    nodes.pop_back();
    node.key() = c.x;
    node.mapped() = c.value;
    Row& row = rows[static_cast<std::size_t>(c.y)];
    row.insert(row.end(), std::move(node));
  }
  // Spares are kept up to the size of this band: enough for the next step of a growing
  // shape, without holding on to the nodes of a large shape for good.
  if (nodes.size() > band.size()) nodes.resize(band.size());
}
