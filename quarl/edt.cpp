// glimshape — libquarl
// Purpose: Euclidean distance transforms of a binary mask: the block-accelerated search
// `edt` and the 8-point sequential transform `edt_8sed`.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // A released image keeps its sizes but has no pixels.
  if (!data) return Image<float>(0, 0, 3);
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

// State of the sequential transform, one array per field so that the steps reading the
// neighbouring row vectorise: per pixel, the offset (vx, vy) from the nearest known
// boundary point to the pixel and its squared length s. C is the vector component type
// and S the squared-length type; 32 bits for both cover images up to about 16000
// pixels a side; components as wide as the lengths let the row steps vectorise.
//
// Pixels with no boundary point known yet carry s = unknown and the vector (0, 0):
// every candidate through them is unknown + 1 or + 2, so it can never replace anything.
// Seeding them with the vector (width, height) instead would let the diagonal steps
// shrink it, one pixel per step, into a false short distance far from any boundary.
//
// A step applies its neighbours one after the other, each taken only when strictly
// shorter; that picks the same vector as choosing the shortest candidate first (the
// earlier one on ties) and then taking it only when strictly shorter.
template <class C, class S>
struct SedRows {
  C* vx;
  C* vy;
  S* s;
};

// Candidates through the neighbouring row n (offset oy = ±1) for x = 1 … w − 2, in the
// order (−1, oy), (1, oy), (0, oy).
template <class C, class S>
void relaxFromRow(C* __restrict px, C* __restrict py, S* __restrict ps, const C* __restrict nx,
                  const C* __restrict ny, const S* __restrict ns, int w, int oy) {
  // Selections by masks rather than branches, so that the loop vectorises.
  for (int x = 1; x <= w - 2; ++x) {
    S cs = ps[x];
    C cx = px[x], cy = py[x];
    // o = (−1, oy)
    S t = ns[x - 1] + 2 * (S(nx[x - 1]) - S(ny[x - 1]) * oy + 1);
    S ms = -S(cs > t);
    C mc = C(ms);
    cs = (t & ms) | (cs & ~ms);
    cx = C((C(nx[x - 1] + 1) & mc) | (cx & ~mc));
    cy = C((C(ny[x - 1] - oy) & mc) | (cy & ~mc));
    // o = (1, oy)
    t = ns[x + 1] - 2 * (S(nx[x + 1]) + S(ny[x + 1]) * oy - 1);
    ms = -S(cs > t);
    mc = C(ms);
    cs = (t & ms) | (cs & ~ms);
    cx = C((C(nx[x + 1] - 1) & mc) | (cx & ~mc));
    cy = C((C(ny[x + 1] - oy) & mc) | (cy & ~mc));
    // o = (0, oy)
    t = ns[x] - 2 * S(ny[x]) * oy + 1;
    ms = -S(cs > t);
    mc = C(ms);
    cs = (t & ms) | (cs & ~ms);
    cx = C((nx[x] & mc) | (cx & ~mc));
    cy = C((C(ny[x] - oy) & mc) | (cy & ~mc));
    ps[x] = cs;
    px[x] = cx;
    py[x] = cy;
  }
}

// The left neighbour (−1, 0), left to right.
template <class C, class S>
void relaxFromLeft(SedRows<C, S> p, int w) {
  S ls = p.s[0];
  C lx = p.vx[0], ly = p.vy[0];
  for (int x = 1; x <= w - 2; ++x) {
    const S t = ls + 2 * S(lx) + 1;
    if (p.s[x] > t) {
      p.s[x] = t;
      p.vx[x] = C(lx + 1);
      p.vy[x] = ly;
    }
    ls = p.s[x];
    lx = p.vx[x];
    ly = p.vy[x];
  }
}

// The right neighbour (1, 0), right to left.
template <class C, class S>
void relaxFromRight(SedRows<C, S> p, int w) {
  S rs = p.s[w - 1];
  C rx = p.vx[w - 1], ry = p.vy[w - 1];
  for (int x = w - 2; x >= 1; --x) {
    const S t = rs - 2 * S(rx) + 1;
    if (p.s[x] > t) {
      p.s[x] = t;
      p.vx[x] = C(rx - 1);
      p.vy[x] = ry;
    }
    rs = p.s[x];
    rx = p.vx[x];
    ry = p.vy[x];
  }
}

template <class C, class S>
void sedPasses(const unsigned char* m, int w, int h, int nc, float* out) {
  const size_t n = size_t(w) * h;
  const S unknown = std::numeric_limits<S>::max() / 4;
  std::vector<C> vx(n, C(0)), vy(n, C(0));
  std::vector<S> s(n, unknown);
  for (int y = 1; y <= h - 2; ++y)
    for (int x = 1; x <= w - 2; ++x)
      if (m[(size_t(x) + size_t(y) * w) * nc] != 0 && isBoundary(m, x, y, w, nc))
        s[size_t(x) + size_t(y) * w] = 0;

  auto row = [&](int y) {
    const size_t o = size_t(y) * w;
    return SedRows<C, S>{vx.data() + o, vy.data() + o, s.data() + o};
  };
  for (int y = 1; y <= h - 2; ++y) {
    const SedRows<C, S> p = row(y), up = row(y - 1);
    relaxFromRow(p.vx, p.vy, p.s, up.vx, up.vy, up.s, w, -1);
    relaxFromLeft(row(y), w);
    relaxFromRight(row(y), w);
  }
  // Going up, the row below and the right neighbour come first, within one right-to-left
  // sweep (the same as the row below for every pixel first, since it reads only the other
  // row, then the right neighbour); the left neighbour follows, so that what the row below
  // brings travels along the row both ways. Taking the left neighbour first let it travel
  // leftwards only, and distances came out pixels too long on larger masks.
  for (int y = h - 2; y >= 1; --y) {
    const SedRows<C, S> p = row(y), down = row(y + 1);
    relaxFromRow(p.vx, p.vy, p.s, down.vx, down.vy, down.s, w, 1);
    relaxFromRight(row(y), w);
    relaxFromLeft(row(y), w);
  }

  const float far = float(std::sqrt(double(w) * w + double(h) * h));
  const S* __restrict ss = s.data();
  for (size_t i = 0; i < n; ++i) {
    const float d = ss[i] == unknown ? far : std::sqrt(float(ss[i]));
    out[i] = m[i * nc] != 0 ? d : -d;
  }
}

}  // namespace

// The in-place form for images up to 8191 pixels a side: each pixel's vector is one
// 32-bit cell vy·65536 + vx (vx in the low half, sign-extended) kept in the output
// buffer itself, and squared lengths are recomputed from the cells. No working memory
// is allocated, which matters at these sizes: fresh pages cost more than the passes.
//
// Pixels with no boundary point known start at (B, B), B = 16384. Candidates through
// them are vectors from a virtual point B pixels beyond the frame on both axes, so each
// component stays within B ± max(w, h): always longer than any real vector (whose
// components are below max(w, h) < B / 2), never taken over a real one, and recognised
// at the end by vx ≥ B / 2.
namespace {

using cell_t = int32_t __attribute__((may_alias));
constexpr int32_t kFarAway = 16384;

inline int32_t cellX(int32_t c) { return int16_t(uint16_t(uint32_t(c) & 0xffffu)); }
inline int32_t cellY(int32_t c) { return (c - cellX(c)) >> 16; }
inline int32_t cellS(int32_t c) {
  const int32_t x = cellX(c), y = cellY(c);
  return x * x + y * y;
}

// Candidates through the neighbouring row n for x = 1 … w − 2, in the order
// (−1, oy), (1, oy), (0, oy); each taken only when strictly shorter.
#if defined(__SSE2__)
// Squared lengths of four cells: the components repacked as 16-bit pairs, then one
// multiply-add per pair.
inline __m128i cellX4(__m128i c) { return _mm_srai_epi32(_mm_slli_epi32(c, 16), 16); }
inline __m128i cellS4(__m128i c) {
  const __m128i x = cellX4(c);
  const __m128i y = _mm_srai_epi32(_mm_sub_epi32(c, x), 16);
  const __m128i xy = _mm_or_si128(_mm_and_si128(x, _mm_set1_epi32(0xffff)), _mm_slli_epi32(y, 16));
  return _mm_madd_epi16(xy, xy);
}
inline __m128i select4(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
#endif

void cellsFromRow(cell_t* __restrict p, const cell_t* __restrict n, int w, int oy) {
  const int32_t shift = 65536 * oy;
  int x = 1;
#if defined(__SSE2__)
  const __m128i left = _mm_set1_epi32(1 - shift), right = _mm_set1_epi32(-1 - shift),
                mid = _mm_set1_epi32(-shift);
  for (; x + 4 <= w - 1; x += 4) {
    __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
    __m128i cs = cellS4(cur);
    __m128i cand = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n + x - 1)), left);
    __m128i t = cellS4(cand);
    __m128i m = _mm_cmpgt_epi32(cs, t);
    cur = select4(m, cand, cur);
    cs = select4(m, t, cs);
    cand = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n + x + 1)), right);
    t = cellS4(cand);
    m = _mm_cmpgt_epi32(cs, t);
    cur = select4(m, cand, cur);
    cs = select4(m, t, cs);
    cand = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(n + x)), mid);
    t = cellS4(cand);
    m = _mm_cmpgt_epi32(cs, t);
    cur = select4(m, cand, cur);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + x), cur);
  }
#endif
  for (; x <= w - 2; ++x) {
    int32_t cur = p[x];
    int32_t cs = cellS(cur);
    for (const int ox : {-1, 1, 0}) {
      const int32_t cand = n[x + ox] - ox - shift;
      const int32_t t = cellS(cand);
      if (cs > t) {
        cur = cand;
        cs = t;
      }
    }
    p[x] = cur;
  }
}

// The left neighbour (−1, 0) left to right; the chain carries the last pixel's length.
void cellsFromLeft(cell_t* p, int w) {
  int32_t prev = p[0], ps = cellS(prev);
  for (int x = 1; x <= w - 2; ++x) {
    const int32_t t = ps + 2 * cellX(prev) + 1;
    const int32_t own = p[x], os = cellS(own);
    if (os > t) {
      prev = prev + 1;
      ps = t;
      p[x] = prev;
    } else {
      prev = own;
      ps = os;
    }
  }
}

// The right neighbour (1, 0) right to left.
void cellsFromRight(cell_t* p, int w) {
  int32_t prev = p[w - 1], ps = cellS(prev);
  for (int x = w - 2; x >= 1; --x) {
    const int32_t t = ps - 2 * cellX(prev) + 1;
    const int32_t own = p[x], os = cellS(own);
    if (os > t) {
      prev = prev - 1;
      ps = t;
      p[x] = prev;
    } else {
      prev = own;
      ps = os;
    }
  }
}

// Distances from the cells, signed by the mask, written over the cells themselves.
void finishCells(cell_t* cells, const unsigned char* m, int nc, size_t n, float far) {
  float* out = reinterpret_cast<float*>(cells);
  size_t i = 0;
#if defined(__SSE2__)
  if (nc == 1) {
    const __m128i limit = _mm_set1_epi32(kFarAway / 2 - 1), zero = _mm_setzero_si128(),
                  signBit = _mm_set1_epi32(std::numeric_limits<int32_t>::min());
    const __m128 farAway = _mm_set1_ps(far);
    for (; i + 4 <= n; i += 4) {
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + i));
      __m128 d = _mm_sqrt_ps(_mm_cvtepi32_ps(cellS4(c)));
      const __m128 isFar = _mm_castsi128_ps(_mm_cmpgt_epi32(cellX4(c), limit));
      d = _mm_or_ps(_mm_and_ps(isFar, farAway), _mm_andnot_ps(isFar, d));
      int32_t bytes;
      std::memcpy(&bytes, m + i, 4);
      __m128i mv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero);
      mv = _mm_unpacklo_epi16(mv, zero);
      const __m128i flip = _mm_and_si128(_mm_cmpeq_epi32(mv, zero), signBit);
      _mm_storeu_ps(out + i, _mm_xor_ps(d, _mm_castsi128_ps(flip)));
    }
  }
#endif
  for (; i < n; ++i) {
    const int32_t c = cells[i];
    const float d = cellX(c) >= kFarAway / 2 ? far : std::sqrt(float(cellS(c)));
    out[i] = m[i * size_t(nc)] != 0 ? d : -d;
  }
}

void sedInPlace(const unsigned char* m, int w, int h, int nc, float* out) {
  const size_t n = size_t(w) * h;
  cell_t* cells = reinterpret_cast<cell_t*>(out);
  const int32_t unknown = kFarAway * 65536 + kFarAway;
  std::fill(cells, cells + n, unknown);
  for (int y = 1; y <= h - 2; ++y)
    for (int x = 1; x <= w - 2; ++x)
      if (m[(size_t(x) + size_t(y) * w) * nc] != 0 && isBoundary(m, x, y, w, nc))
        cells[size_t(x) + size_t(y) * w] = 0;

  for (int y = 1; y <= h - 2; ++y) {
    cell_t* row = cells + size_t(y) * w;
    cellsFromRow(row, row - w, w, -1);
    cellsFromLeft(row, w);
    cellsFromRight(row, w);
  }
  // Going up: the row below, the right neighbour, then the left one (see sedPasses).
  for (int y = h - 2; y >= 1; --y) {
    cell_t* row = cells + size_t(y) * w;
    cellsFromRow(row, row + w, w, 1);
    cellsFromRight(row, w);
    cellsFromLeft(row, w);
  }

  const float far = float(std::sqrt(double(w) * w + double(h) * h));
  finishCells(cells, m, nc, n, far);
}

}  // namespace

template <>
Image<float> Image<unsigned char>::edt_8sed(int c) const {
  const int w = width, h = height, nc = nchannels;
  if (w <= 0 || h <= 0 || nc <= 0) return Image<float>(std::max(w, 0), std::max(h, 0), 1);
  // A released image keeps its sizes but has no pixels.
  if (!data) return Image<float>(0, 0, 1);
  if (c < 0 || c >= nc) throw index_error();
  Image<float> out(w, h, 1);
  if (std::max(w, h) < kFarAway / 2)
    sedInPlace(data + c, w, h, nc, out.data);
  else if (double(w) * w + double(h) * h < double(std::numeric_limits<int32_t>::max() / 8))
    sedPasses<int32_t, int32_t>(data + c, w, h, nc, out.data);
  else
    sedPasses<int32_t, int64_t>(data + c, w, h, nc, out.data);
  return out;
}

}  // namespace vorn
