// glimshape — liblomvet
// Purpose: the marching-squares case table, border closing of contours and loop linking.
#include "lomvet/marchingsquares.h"

#include <algorithm>
#include <cmath>

// Bits: 1 = c0, 2 = c1, 4 = c2, 8 = c3 outside.
const int MarchingSquares::lut[16][4] = {
    {-1, -1, -1, -1},  //  0: all inside
    {3, 0, -1, -1},    //  1: c0 outside
    {0, 1, -1, -1},    //  2: c1 outside
    {3, 1, -1, -1},    //  3: top row outside
    {1, 2, -1, -1},    //  4: c2 outside
    {3, 0, 1, 2},      //  5: saddle, c0 and c2 outside: both cut off
    {0, 2, -1, -1},    //  6: right column outside
    {3, 2, -1, -1},    //  7: only c3 inside
    {2, 3, -1, -1},    //  8: c3 outside
    {2, 0, -1, -1},    //  9: left column outside
    {0, 1, 2, 3},      // 10: saddle, c1 and c3 outside: both cut off
    {2, 1, -1, -1},    // 11: only c2 inside
    {1, 3, -1, -1},    // 12: bottom row outside
    {1, 0, -1, -1},    // 13: only c1 inside
    {0, 3, -1, -1},    // 14: only c0 inside
    {-1, -1, -1, -1},  // 15: all outside
};

const int MarchingSquares::lut_size[16] = {0, 1, 1, 1, 1, 2, 1, 1, 1, 1, 2, 1, 1, 1, 1, 0};

double MarchingSquares::crossing(double a, double b) {
  const double d = b - a;
  if (!(std::fabs(d) >= 1e-16)) return 0.5;
  const double t = -a / d;
  if (!std::isfinite(t)) return 0.5;
  return std::min(1.0, std::max(0.0, t));
}

namespace {

// The border cells of a W × H grid as one cycle: the top row left to right, the right
// column downwards, the bottom row right to left and the left column upwards. Along this
// direction the grid's interior lies on the side where cross(step, interior) > 0, the side
// on which the case table puts the inside, so border edges continue the contours' direction.
struct BorderCycle {
  int w, h;
  int size() const { return 2 * (w + h) - 4; }
  vorn::Vec2<double> cell(int i) const {
    if (i < w) return {static_cast<double>(i), 0.0};
    i -= w - 1;
    if (i < h) return {static_cast<double>(w - 1), static_cast<double>(i)};
    i -= h - 1;
    if (i < w) return {static_cast<double>(w - 1 - i), static_cast<double>(h - 1)};
    i -= w - 1;
    return {0.0, static_cast<double>(h - 1 - i)};
  }
  bool isCorner(int i) const {
    return i == 0 || i == w - 1 || i == w + h - 2 || i == 2 * w + h - 3;
  }
  // Position along the cycle of a point on the border line, or -1 when it is not on it.
  double position(const vorn::Vec2<double>& p) const {
    const double eps = 1e-6;
    const double xm = w - 1, ym = h - 1;
    const bool inX = p.x >= -eps && p.x <= xm + eps;
    const bool inY = p.y >= -eps && p.y <= ym + eps;
    if (std::fabs(p.y) < eps && inX) return std::max(0.0, p.x);
    if (std::fabs(p.x - xm) < eps && inY) return xm + p.y;
    if (std::fabs(p.y - ym) < eps && inX) return xm + ym + (xm - p.x);
    if (std::fabs(p.x) < eps && inY) return 2 * xm + ym + (ym - p.y);
    return -1.0;
  }
};

// A border that is inside all round: one loop through the four corners.
void appendBorderLoop(ContourPoints& points, ContourEdges& edges, const BorderCycle& cycle) {
  const double xm = cycle.w - 1, ym = cycle.h - 1;
  const int base = static_cast<int>(points.size());
  points.emplace_back(0.0, 0.0);
  points.emplace_back(xm, 0.0);
  points.emplace_back(xm, ym);
  points.emplace_back(0.0, ym);
  for (int k = 0; k < 4; ++k) edges.emplace_back(base + k, base + (k + 1) % 4);
}

// Whether a border that stores no cell lies inside: the side of the last stored cell of the
// first row that stores any (false when nothing is stored at all).
bool borderInsideFromRows(const LevelSet2D& ls, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = w - 1; x >= 0; --x)
      if (ls.have(x, y)) return !(ls.get(x, y) > 0);
  return false;
}

}  // namespace

void addBorderEdges(ContourPoints& points, ContourEdges& edges, const LevelSet2D* ls) {
  if (ls == nullptr) return;
  const BorderCycle cycle{ls->getWidth(), ls->getHeight()};
  if (cycle.w < 2 || cycle.h < 2) return;
  const int n = cycle.size();
  const int npoints = static_cast<int>(points.size());

  std::vector<signed char> state(static_cast<std::size_t>(n), -1);  // 1 inside, 0 outside
  std::vector<double> value(static_cast<std::size_t>(n), 0.0);
  std::vector<bool> known(static_cast<std::size_t>(n), false);
  int firstKnown = -1;
  for (int i = 0; i < n; ++i) {
    const auto c = cycle.cell(i);
    const int x = static_cast<int>(c.x), y = static_cast<int>(c.y);
    if (!ls->have(x, y)) continue;
    value[static_cast<std::size_t>(i)] = ls->get(x, y);
    state[static_cast<std::size_t>(i)] = value[static_cast<std::size_t>(i)] > 0 ? 0 : 1;
    known[static_cast<std::size_t>(i)] = true;
    if (firstKnown < 0) firstKnown = i;
  }
  if (firstKnown < 0) {
    // No border cell is stored, so no contour reaches the border and the whole border lies
    // on one side. Take that side as the scan-line fill does: the cells right of a row's
    // last stored cell share its side, so the first row that stores anything tells it.
    if (borderInsideFromRows(*ls, cycle.w, cycle.h)) appendBorderLoop(points, edges, cycle);
    return;
  }
  for (int k = 1; k < n; ++k) {
    const int i = (firstKnown + k) % n;
    if (state[static_cast<std::size_t>(i)] < 0)
      state[static_cast<std::size_t>(i)] = state[static_cast<std::size_t>((i + n - 1) % n)];
  }

  std::vector<int> crossings;  // cycle index i of the crossed step i -> i + 1
  for (int i = 0; i < n; ++i)
    if (state[static_cast<std::size_t>(i)] != state[static_cast<std::size_t>((i + 1) % n)])
      crossings.push_back(i);

  if (crossings.empty()) {
    if (state[0] == 1) appendBorderLoop(points, edges, cycle);
    return;
  }

  // Contour ends on the border line, sorted by their position along the cycle.
  std::vector<int> degree(static_cast<std::size_t>(npoints), 0);
  for (const auto& e : edges) {
    if (e.first >= 0 && e.first < npoints) ++degree[static_cast<std::size_t>(e.first)];
    if (e.second >= 0 && e.second < npoints) ++degree[static_cast<std::size_t>(e.second)];
  }
  std::vector<std::pair<double, int>> ends;
  for (int i = 0; i < npoints; ++i) {
    if (degree[static_cast<std::size_t>(i)] != 1) continue;
    const double s = cycle.position(points[static_cast<std::size_t>(i)]);
    if (s >= 0) ends.emplace_back(s, i);
  }
  std::sort(ends.begin(), ends.end());
  std::vector<bool> used(ends.size(), false);

  auto findEnd = [&](double s) -> int {
    const double tol = 1e-6;
    int best = -1;
    double bestDist = tol;
    for (double shift : {0.0, static_cast<double>(n), -static_cast<double>(n)}) {
      const double target = s + shift;
      auto it = std::lower_bound(ends.begin(), ends.end(), std::make_pair(target - tol, -1));
      for (; it != ends.end() && it->first <= target + tol; ++it) {
        const auto k = static_cast<std::size_t>(it - ends.begin());
        const double d = std::fabs(it->first - target);
        if (!used[k] && d <= bestDist) {
          bestDist = d;
          best = static_cast<int>(k);
        }
      }
    }
    if (best < 0) return -1;
    used[static_cast<std::size_t>(best)] = true;
    return ends[static_cast<std::size_t>(best)].second;
  };

  // Point index of the crossing on step i, an existing contour end where there is one.
  std::vector<int> crossingPoint(crossings.size(), -1);
  for (std::size_t k = 0; k < crossings.size(); ++k) {
    const int i = crossings[k];
    const int j = (i + 1) % n;
    const double t = known[static_cast<std::size_t>(i)] && known[static_cast<std::size_t>(j)]
                         ? MarchingSquares::crossing(value[static_cast<std::size_t>(i)],
                                                     value[static_cast<std::size_t>(j)])
                         : 0.5;
    int id = findEnd(i + t);
    if (id < 0) {
      const auto a = cycle.cell(i), b = cycle.cell(j);
      id = static_cast<int>(points.size());
      points.emplace_back(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y));
    }
    crossingPoint[k] = id;
  }

  // From every crossing into the inside, along the inside cells to the next crossing.
  const std::size_t m = crossings.size();
  for (std::size_t k = 0; k < m; ++k) {
    const int i = crossings[k];
    if (state[static_cast<std::size_t>((i + 1) % n)] != 1) continue;
    const std::size_t next = (k + 1) % m;
    const int stop = crossings[next];
    int prev = crossingPoint[k];
    for (int c = (i + 1) % n;; c = (c + 1) % n) {
      if (cycle.isCorner(c)) {
        const int id = static_cast<int>(points.size());
        points.push_back(cycle.cell(c));
        edges.emplace_back(prev, id);
        prev = id;
      }
      if (c == stop) break;
    }
    edges.emplace_back(prev, crossingPoint[next]);
  }
}

std::vector<std::vector<int>> getPolygons(const ContourPoints& points, const ContourEdges& edges) {
  std::vector<std::vector<int>> loops;
  const int np = static_cast<int>(points.size());
  const int ne = static_cast<int>(edges.size());
  auto valid = [&](int e) {
    const auto& p = edges[static_cast<std::size_t>(e)];
    return p.first >= 0 && p.first < np && p.second >= 0 && p.second < np;
  };

  // Incident edges of every point, in compressed rows.
  std::vector<int> start(static_cast<std::size_t>(np) + 1, 0);
  for (int e = 0; e < ne; ++e) {
    if (!valid(e)) continue;
    ++start[static_cast<std::size_t>(edges[static_cast<std::size_t>(e)].first) + 1];
    ++start[static_cast<std::size_t>(edges[static_cast<std::size_t>(e)].second) + 1];
  }
  for (int i = 0; i < np; ++i)
    start[static_cast<std::size_t>(i) + 1] += start[static_cast<std::size_t>(i)];
  std::vector<int> incident(static_cast<std::size_t>(start.back()));
  {
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int e = 0; e < ne; ++e) {
      if (!valid(e)) continue;
      incident[static_cast<std::size_t>(fill[static_cast<std::size_t>(edges[static_cast<std::size_t>(e)].first)]++)] = e;
      incident[static_cast<std::size_t>(fill[static_cast<std::size_t>(edges[static_cast<std::size_t>(e)].second)]++)] = e;
    }
  }

  std::vector<bool> usedEdge(static_cast<std::size_t>(ne), false);
  std::vector<int> cursor(start.begin(), start.end() - 1);  // next incident edge to try
  std::vector<int> where(static_cast<std::size_t>(np), -1);  // position in the current path
  std::vector<int> path;

  auto nextEdge = [&](int p) -> int {
    int& c = cursor[static_cast<std::size_t>(p)];
    while (c < start[static_cast<std::size_t>(p) + 1]) {
      const int e = incident[static_cast<std::size_t>(c)];
      if (!usedEdge[static_cast<std::size_t>(e)]) return e;
      ++c;
    }
    return -1;
  };
  auto emit = [&](std::size_t from) {
    if (path.size() - from >= 3) loops.emplace_back(path.begin() + static_cast<long>(from), path.end());
    for (std::size_t k = from; k < path.size(); ++k) where[static_cast<std::size_t>(path[k])] = -1;
    path.resize(from);
  };
  auto walk = [&](int first, int firstEdge) {
    path.assign(1, first);
    where[static_cast<std::size_t>(first)] = 0;
    int cur = first;
    int e = firstEdge;
    for (;;) {
      if (e < 0) e = nextEdge(cur);
      if (e < 0) break;
      usedEdge[static_cast<std::size_t>(e)] = true;
      const auto& pe = edges[static_cast<std::size_t>(e)];
      const int nxt = pe.first == cur ? pe.second : pe.first;
      e = -1;
      const int at = where[static_cast<std::size_t>(nxt)];
      if (at >= 0) {
        // Back at a point of this path: what lies after it is a closed loop.
        emit(static_cast<std::size_t>(at));
        where[static_cast<std::size_t>(nxt)] = at;
        path.push_back(nxt);
        cur = nxt;
        continue;
      }
      where[static_cast<std::size_t>(nxt)] = static_cast<int>(path.size());
      path.push_back(nxt);
      cur = nxt;
    }
    emit(0);
  };

  // Open chains first, from an end, so that each comes out whole; ends where the chain
  // leaves first, so that it keeps its direction.
  auto isOdd = [&](int p) {
    return (start[static_cast<std::size_t>(p) + 1] - start[static_cast<std::size_t>(p)]) % 2 == 1;
  };
  for (int p = 0; p < np; ++p) {
    if (!isOdd(p)) continue;
    const int e = nextEdge(p);
    if (e >= 0 && edges[static_cast<std::size_t>(e)].first == p) walk(p, -1);
  }
  for (int p = 0; p < np; ++p)
    if (isOdd(p) && nextEdge(p) >= 0) walk(p, -1);
  for (int e = 0; e < ne; ++e)
    if (valid(e) && !usedEdge[static_cast<std::size_t>(e)]) walk(edges[static_cast<std::size_t>(e)].first, e);
  return loops;
}
