// glimshape — libquarl
// Purpose: Euclidean distance transforms of a binary mask: the block-accelerated search
// `edt` and the 8-point sequential transform `edt_8sed`.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "quarl/image.h"

namespace vorn {

namespace {

/// A pixel position.
struct vec2i_t {
  int32_t x, y;
};

constexpr int kBlock = 8;

inline int64_t dist2(int64_t ax, int64_t ay, int64_t bx, int64_t by) {
  return (ax - bx) * (ax - bx) + (ay - by) * (ay - by);
}

// Boundary points bucketed by 8 × 8 block, for nearest-point searches that visit blocks
// in growing square rings instead of the whole boundary list. Each bucket keeps list
// order, so results (and their tie-breaking) are those of a search over the full list.
class BoundaryBuckets {
 public:
  BoundaryBuckets(const std::vector<vec2i_t>& points, int blocksX, int blocksY)
      : points(points), blocksX(blocksX), blocksY(blocksY), buckets(size_t(blocksX) * blocksY) {
    for (size_t i = 0; i < points.size(); ++i)
      buckets[size_t(points[i].x / kBlock) + size_t(points[i].y / kBlock) * blocksX].push_back(
          int(i));
  }

  /// Smallest squared distance from (x, y) to a boundary point and the last point in list
  /// order at that distance (−1 when there are no points).
  std::pair<int64_t, int> nearest(int x, int y) const {
    int64_t best = std::numeric_limits<int64_t>::max();
    int bestIndex = -1;
    if (points.empty()) return {best, bestIndex};
    const int bx = x / kBlock, by = y / kBlock;
    const int maxRing = std::max(blocksX, blocksY);
    for (int r = 0; r <= maxRing; ++r) {
      if (ringBound(r) > best) break;
      forRing(bx, by, r, [&](int i) {
        const int64_t d = dist2(points[i].x, points[i].y, x, y);
        if (d < best || (d == best && i > bestIndex)) {
          best = d;
          bestIndex = i;
        }
      });
    }
    return {best, bestIndex};
  }

  /// Indices of every boundary point within squared distance limit of (x, y), in list order.
  void within(int x, int y, int64_t limit, std::vector<int>& out) const {
    out.clear();
    const int bx = x / kBlock, by = y / kBlock;
    const int maxRing = std::max(blocksX, blocksY);
    for (int r = 0; r <= maxRing; ++r) {
      if (ringBound(r) > limit) break;
      forRing(bx, by, r, [&](int i) {
        if (dist2(points[i].x, points[i].y, x, y) <= limit) out.push_back(i);
      });
    }
    std::sort(out.begin(), out.end());
  }

 private:
  // Any point in ring r lies at least 8r − 7 pixels away along one axis from any pixel of
  // the ring's centre block.
  static int64_t ringBound(int r) {
    const int64_t d = std::max(0, kBlock * r - (kBlock - 1));
    return d * d;
  }

  template <class F>
  void forRing(int bx, int by, int r, F&& f) const {
    for (int y = by - r; y <= by + r; ++y) {
      if (y < 0 || y >= blocksY) continue;
      const bool edgeRow = y == by - r || y == by + r;
      const int step = edgeRow ? 1 : std::max(1, 2 * r);
      for (int x = bx - r; x <= bx + r; x += step) {
        if (x < 0 || x >= blocksX) continue;
        for (int i : buckets[size_t(x) + size_t(y) * blocksX]) f(i);
      }
    }
  }

  const std::vector<vec2i_t>& points;
  int blocksX, blocksY;
  std::vector<std::vector<int>> buckets;
};

inline bool isBoundary(const unsigned char* m, int x, int y, int w, int nc) {
  const size_t i = (size_t(x) + size_t(y) * w) * nc;
  const size_t row = size_t(w) * nc;
  return m[i + nc] == 0 || m[i - nc] == 0 || m[i + row] == 0 || m[i - row] == 0;
}

}  // namespace

template <>
Image<float> Image<unsigned char>::edt(int c) const {
  const int w = width, h = height, nc = nchannels;
  if (w <= 0 || h <= 0 || nc <= 0) return Image<float>(std::max(w, 0), std::max(h, 0), 3);
  if (c < 0 || c >= nc) throw index_error();

  Image<float> out(w, h, 3);
  float* o = out.data;
  std::fill(o, o + size_t(w) * h * 3, -1.0f);
  const unsigned char* m = data + c;
  auto mask = [&](int x, int y) { return m[(size_t(x) + size_t(y) * w) * nc] != 0; };

  const int blocksX = (w + kBlock - 1) / kBlock, blocksY = (h + kBlock - 1) / kBlock;
  std::vector<char> active(size_t(blocksX) * blocksY, 0);
  std::vector<vec2i_t> boundary;
  for (int y = 2; y <= h - 3; ++y)
    for (int x = 2; x <= w - 3; ++x) {
      if (!mask(x, y)) continue;
      active[size_t(x / kBlock) + size_t(y / kBlock) * blocksX] = 1;
      if (isBoundary(m, x, y, w, nc)) {
        boundary.push_back({x, y});
        float* p = o + (size_t(x) + size_t(y) * w) * 3;
        p[0] = p[1] = p[2] = 0.0f;
      }
    }
  std::printf("There are %d boundary points\n", int(boundary.size()));

  // Candidates of a block: every boundary point no farther from the block's centre than
  // the nearest one plus the squared half-diagonal of a block (8²/4 + 8²/4 = 32).
  const BoundaryBuckets buckets(boundary, blocksX, blocksY);
  std::vector<std::vector<int>> candidates(active.size());
  size_t maxCandidates = 0;
  for (int by = 0; by < blocksY; ++by)
    for (int bx = 0; bx < blocksX; ++bx) {
      const size_t b = size_t(bx) + size_t(by) * blocksX;
      if (!active[b] || boundary.empty()) continue;
      const int cx = kBlock * bx + kBlock / 2, cy = kBlock * by + kBlock / 2;
      buckets.within(cx, cy, buckets.nearest(cx, cy).first + 32, candidates[b]);
      maxCandidates = std::max(maxCandidates, candidates[b].size());
    }
  std::printf("maximum to check in a block is %d\n", int(maxCandidates));

  auto setResult = [&](int x, int y, int64_t d2, int index) {
    float* p = o + (size_t(x) + size_t(y) * w) * 3;
    if (index < 0) {
      // No boundary point at all: the search's starting distance, no direction.
      p[0] = 1e8f;
      p[1] = p[2] = 0.0f;
      return;
    }
    const double d = std::sqrt(double(d2));
    p[0] = float(d);
    p[1] = float((boundary[index].x - x) / d);
    p[2] = float((boundary[index].y - y) / d);
  };

  for (int y = 1; y <= h - 2; ++y)
    for (int x = 1; x <= w - 2; ++x) {
      if (!mask(x, y) || o[(size_t(x) + size_t(y) * w) * 3] >= 0.0f) continue;
      const size_t b = size_t(x / kBlock) + size_t(y / kBlock) * blocksX;
      if (!active[b]) {
        // Only pixels of the second row or column can lie in a block the scan did not
        // mark; they get the nearest of all boundary points rather than ending the run.
        std::fprintf(stderr, "Fatal error, no pot for (%d,%d)\n", x, y);
        const auto [d2, index] = buckets.nearest(x, y);
        if (index >= 0) setResult(x, y, d2, index);
        continue;
      }
      int64_t best = std::numeric_limits<int64_t>::max();
      int bestIndex = -1;
      for (int i : candidates[b]) {
        const int64_t d = dist2(boundary[i].x, boundary[i].y, x, y);
        if (d <= best) {
          best = d;
          bestIndex = i;
        }
      }
      setResult(x, y, best, bestIndex);
    }
  return out;
}

namespace {

// One pixel of the sequential transform: the offset from the nearest known boundary
// point to the pixel, and its squared length.
template <class S>
struct Sed {
  int32_t vx, vy;
  S s;
};

// Pixels with no boundary point known yet carry s = unknown and a zero vector: every
// candidate through them is then unknown + 1 or + 2, so it can never replace anything.
// Giving them the vector (width, height) instead would let the diagonal neighbours
// shorten it step by step into a false short distance far from any boundary.
template <class S>
inline void relax(Sed<S>& p, const Sed<S>& n, int ox, int oy) {
  const S s = n.s - 2 * (S(n.vx) * ox + S(n.vy) * oy) + S(ox * ox + oy * oy);
  if (p.s > s) p = Sed<S>{n.vx - ox, n.vy - oy, s};
}

// The best of several candidates (earlier wins ties), taken only if strictly shorter.
template <class S>
inline void relax4(Sed<S>& p, const Sed<S>& n0, int ox0, int oy0, const Sed<S>& n1, int ox1,
                   int oy1, const Sed<S>& n2, int ox2, int oy2, const Sed<S>& n3, int ox3,
                   int oy3) {
  const S s0 = n0.s - 2 * (S(n0.vx) * ox0 + S(n0.vy) * oy0) + S(ox0 * ox0 + oy0 * oy0);
  const S s1 = n1.s - 2 * (S(n1.vx) * ox1 + S(n1.vy) * oy1) + S(ox1 * ox1 + oy1 * oy1);
  const S s2 = n2.s - 2 * (S(n2.vx) * ox2 + S(n2.vy) * oy2) + S(ox2 * ox2 + oy2 * oy2);
  const S s3 = n3.s - 2 * (S(n3.vx) * ox3 + S(n3.vy) * oy3) + S(ox3 * ox3 + oy3 * oy3);
  S best = s0;
  int32_t vx = n0.vx - ox0, vy = n0.vy - oy0;
  if (s1 < best) best = s1, vx = n1.vx - ox1, vy = n1.vy - oy1;
  if (s2 < best) best = s2, vx = n2.vx - ox2, vy = n2.vy - oy2;
  if (s3 < best) best = s3, vx = n3.vx - ox3, vy = n3.vy - oy3;
  if (p.s > best) p = Sed<S>{vx, vy, best};
}

template <class S>
void sedPasses(const unsigned char* m, int w, int h, int nc, float* out) {
  const S unknown = std::numeric_limits<S>::max() / 4;
  std::vector<Sed<S>> v(size_t(w) * h, Sed<S>{0, 0, unknown});
  for (int y = 1; y <= h - 2; ++y)
    for (int x = 1; x <= w - 2; ++x)
      if (m[(size_t(x) + size_t(y) * w) * nc] != 0 && isBoundary(m, x, y, w, nc))
        v[size_t(x) + size_t(y) * w] = Sed<S>{0, 0, 0};

  for (int y = 1; y <= h - 2; ++y) {
    Sed<S>* row = v.data() + size_t(y) * w;
    const Sed<S>* up = row - w;
    for (int x = 1; x <= w - 2; ++x)
      relax4(row[x], up[x - 1], -1, -1, up[x + 1], 1, -1, up[x], 0, -1, row[x - 1], -1, 0);
    for (int x = w - 2; x >= 1; --x) relax(row[x], row[x + 1], 1, 0);
  }
  for (int y = h - 2; y >= 1; --y) {
    Sed<S>* row = v.data() + size_t(y) * w;
    const Sed<S>* down = row + w;
    for (int x = 1; x <= w - 2; ++x) relax(row[x], row[x - 1], -1, 0);
    for (int x = w - 2; x >= 1; --x)
      relax4(row[x], down[x - 1], -1, 1, down[x + 1], 1, 1, down[x], 0, 1, row[x + 1], 1, 0);
  }

  const float far = float(std::sqrt(double(w) * w + double(h) * h));
  const size_t n = size_t(w) * h;
  for (size_t i = 0; i < n; ++i) {
    const float d = v[i].s == unknown ? far : std::sqrt(float(v[i].s));
    out[i] = m[i * nc] != 0 ? d : -d;
  }
}

}  // namespace

template <>
Image<float> Image<unsigned char>::edt_8sed(int c) const {
  const int w = width, h = height, nc = nchannels;
  if (w <= 0 || h <= 0 || nc <= 0) return Image<float>(std::max(w, 0), std::max(h, 0), 1);
  if (c < 0 || c >= nc) throw index_error();
  Image<float> out(w, h, 1);
  // 32-bit squared lengths are exact while w² + h² stays well below the "unknown" mark.
  if (double(w) * w + double(h) * h < double(std::numeric_limits<int32_t>::max() / 8))
    sedPasses<int32_t>(data + c, w, h, nc, out.data);
  else
    sedPasses<int64_t>(data + c, w, h, nc, out.data);
  return out;
}

}  // namespace vorn
