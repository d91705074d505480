// glimshape — libquarl
// Purpose: resampling, box filter, gradient, correlation, Harris corners, rotations and
// mirrors of vorn::Image<T>; compiled in quarl/image.cpp only.
#ifndef QUARL_IMPL_IMAGE_FILTERS_H
#define QUARL_IMPL_IMAGE_FILTERS_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "quarl/image.h"
#include "quarl/impl/image_arith.h"

namespace vorn {
namespace detail {

// The bilinear blend of floating images and the integer box filter are compiled for AVX2
// as well and chosen at run time: twice the vector lanes. AVX2 alone brings no fused
// multiply-add, so both versions round every product and sum alike and give identical
// results. Setting the environment variable QUARL_NO_AVX2 keeps the baseline versions
// (the tests run both).
#if defined(__GNUC__) && defined(__x86_64__)
#define QUARL_HAVE_AVX2_CLONES 1
inline bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && !std::getenv("QUARL_NO_AVX2");
  return has;
}
#else
#define QUARL_HAVE_AVX2_CLONES 0
#endif

/// A double result stored in T: truncated toward zero for the integer types. Integer
/// results are clamped to the element's range (weighted means can leave it by a rounding
/// error only) and NaN gives 0.
template <class T>
inline T truncTo(double v) {
  if constexpr (std::is_floating_point_v<T>) {
    return T(v);
  } else {
    constexpr double hi = double(std::numeric_limits<T>::max());
    if (!(v > 0.0)) return T(0);
    if (v >= hi) return std::numeric_limits<T>::max();
    return T(v);
  }
}

/// A bilinear blend stored in T. The blend of elements in [0, max] (see blendCorners) stays
/// within the range of its corners, so 8- and 16-bit elements convert through a plain
/// 32-bit truncation (which vectorises); 32-bit ones are clamped all the same.
template <class T>
inline T blendTo(double v) {
  if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, unsigned short>)
    return T(std::int32_t(v));
  else
    return truncTo<T>(v);
}

/// The bilinear blend of the four neighbours at fractions fx, fy in [0, 1], in the one
/// evaluation order shared by `bilinear` and the enlarging `resize`, so both give identical
/// values. Each step is a + t (b − a): equal corners give exactly their value and the
/// result never leaves the corners' range, which the four products (1 − fx)(1 − fy) i00 +
/// … did not ensure (their weights need not sum to exactly 1, so a constant 255 could
/// blend to 254.99… and truncate to 254).
inline double blendCorners(double fx, double fy, double i00, double i10, double i11,
                           double i01) {
  const double top = i00 + fx * (i10 - i00);
  const double bottom = i01 + fx * (i11 - i01);
  return top + fy * (bottom - top);
}

/// Clamps a sampling coordinate to [0, size − 1]; NaN goes to 0.
inline double clampCoord(double v, int size) {
  const double hi = double(size - 1);
  if (!(v > 0.0)) return 0.0;
  return v < hi ? v : hi;
}

/// Lane loops of the running means. The restrict-qualified pointers tell the compiler that
/// stores into byte images cannot change the sums, so these loops vectorise.
template <class A, class S>
inline void addLanes(A* __restrict sums, const S* __restrict src, std::ptrdiff_t n) {
  for (std::ptrdiff_t l = 0; l < n; ++l) sums[l] += A(src[l]);
}
template <class A, class S>
inline void subtractLanes(A* __restrict sums, const S* __restrict src, std::ptrdiff_t n) {
  for (std::ptrdiff_t l = 0; l < n; ++l) sums[l] -= A(src[l]);
}
// The mean lies within the range of the summed elements, so a plain conversion is the
// truncation toward zero.
template <class A, class D>
inline void storeMeans(const A* __restrict sums, D* __restrict dst, std::ptrdiff_t n, A count) {
  for (std::ptrdiff_t l = 0; l < n; ++l) dst[l] = D(sums[l] / count);
}

/// The truncated mean of an exact integer sum s over count elements, without a division.
/// Used while count · (max + 1) < 2^22 (see boxFilter): then s is exact in single
/// precision, (s + 0.5) / count lies at least 0.5 / count away from any integer, and that
/// is more than the error of multiplying by a rounded reciprocal (below (max + 1) · 2^-23),
/// so the truncated product is exactly the truncated quotient s / count.
template <class D, class U>
inline D integerMean(U s, float inv) {
  return D((float(s) + 0.5f) * inv);
}

template <class U, class D>
inline void storeIntegerMeans(const U* __restrict sums, D* __restrict dst, std::ptrdiff_t n,
                              float inv) {
  for (std::ptrdiff_t l = 0; l < n; ++l) dst[l] = integerMean<D>(sums[l], inv);
}

/// sums[x] += src[x + k] for every x whose neighbour x + k lies in [0, n).
template <class U, class S>
inline void addShifted(U* __restrict sums, const S* __restrict src, int n, int k) {
  const int lo = std::max(0, -k), hi = std::min(n, n - k);
  for (int x = lo; x < hi; ++x) sums[x] = U(sums[x] + U(src[x + k]));
}

/// One vertical step over a row of lanes, fused into one sweep: store the means of the
/// current sums, then add the entering row and subtract the leaving one (either may be
/// null at the borders). The per-lane order of operations is that of the separate loops.
template <class A, class S, class D, class Mean>
inline void verticalStep(A* __restrict sums, D* __restrict dst, const S* __restrict enter,
                         const S* __restrict leave, std::ptrdiff_t n, Mean mean) {
  if (enter && leave) {
    for (std::ptrdiff_t l = 0; l < n; ++l) {
      A v = sums[l];
      dst[l] = mean(v);
      v += A(enter[l]);
      v -= A(leave[l]);
      sums[l] = v;
    }
  } else if (enter) {
    for (std::ptrdiff_t l = 0; l < n; ++l) {
      dst[l] = mean(sums[l]);
      sums[l] += A(enter[l]);
    }
  } else if (leave) {
    for (std::ptrdiff_t l = 0; l < n; ++l) {
      dst[l] = mean(sums[l]);
      sums[l] -= A(leave[l]);
    }
  } else {
    for (std::ptrdiff_t l = 0; l < n; ++l) dst[l] = mean(sums[l]);
  }
}

/// Running means over windows [x − r, x + r] clipped to [0, len − 1], for `lanes`
/// independent lines side by side: line l, sample k lives at src[k * step + l]. Each line
/// keeps its sum in A, entering samples are added before leaving ones are subtracted, and
/// the mean is stored truncated to D. The lanes are contiguous so the compiler vectorises
/// across them.
template <class A, class S, class D>
void runningMeans(const S* src, D* dst, int len, std::ptrdiff_t step, int lanes, int r,
                  A* sums) {
  const std::ptrdiff_t n = lanes;
  for (std::ptrdiff_t l = 0; l < n; ++l) sums[l] = A(0);
  const int first = std::min(r, len - 1);
  for (int k = 0; k <= first; ++k) addLanes(sums, src + k * step, n);
  for (int x = 0; x < len; ++x) {
    const int lo = std::max(0, x - r);
    const int hi = std::min(len - 1, x + r);
    storeMeans(sums, dst + x * step, n, A(hi - lo + 1));
    if (x + 1 >= len) break;
    const int enter = x + 1 + r;
    const int leave = x - r;
    if (enter < len) addLanes(sums, src + std::ptrdiff_t(enter) * step, n);
    if (leave >= 0) subtractLanes(sums, src + std::ptrdiff_t(leave) * step, n);
  }
}

/// Interleaves G rows: dst[x · stride + g] = rows[g][x · step] for x in [0, W). The G
/// source lines in use at a time fit one cache set even when the rows lie a multiple of
/// 4 KiB apart, and each line serves several consecutive x.
template <int G, class D, class S>
inline void gatherRows(D* __restrict dst, std::ptrdiff_t stride, const S* const* rows,
                       std::ptrdiff_t step, int W) {
  const S* p[G];
  for (int g = 0; g < G; ++g) p[g] = rows[g];
  for (std::ptrdiff_t x = 0; x < W; ++x) {
    D* d = dst + x * stride;
    for (int g = 0; g < G; ++g) d[g] = D(p[g][x * step]);
  }
}

/// The inverse of gatherRows: rows[g][x · step] = src[x · stride + g].
template <int G, class T>
inline void scatterRows(T* const* rows, std::ptrdiff_t step, const T* __restrict src,
                        std::ptrdiff_t stride, int W) {
  T* p[G];
  for (int g = 0; g < G; ++g) p[g] = rows[g];
  for (std::ptrdiff_t x = 0; x < W; ++x) {
    const T* s = src + x * stride;
    for (int g = 0; g < G; ++g) p[g][x * step] = s[g];
  }
}

/// Both passes of the box filter with sums kept in A, streamed: horizontally filtered
/// rows (stored in T, as the intermediate image would hold them) go to a ring of
/// 2r + L + 2 rows, and the vertical running sums consume them as they appear, so the
/// intermediate never leaves the cache.
///
/// The horizontal pass copies a block of L rows into an interleaved buffer first: running
/// along a row is a chain of dependent additions, while interleaved rows are independent
/// contiguous lanes that the compiler vectorises.
template <class A, class T>
void boxFilterPasses(const Image<T>& src, Image<T>& out, int r) {
  constexpr int L = 16;      // rows per block: four or eight vector registers of sums
  constexpr int group = 8;   // rows transposed together (their cache lines stay resident)
  const int W = src.width, H = src.height, nc = src.nchannels;
  const std::ptrdiff_t rowLen = std::ptrdiff_t(W) * nc;
  const int ringRows = int(std::min<long long>(H, 2LL * r + L + 2));
  std::vector<T> ring(std::size_t(ringRows) * rowLen);
  std::vector<A> in(std::size_t(W) * L, A(0));
  std::vector<T> res(std::size_t(W) * L);
  std::vector<A> sums(L);
  std::vector<A> colSums(rowLen, A(0));
  auto ringRow = [&](int k) { return ring.data() + std::ptrdiff_t(k % ringRows) * rowLen; };

  int produced = 0;  // horizontally filtered rows so far
  auto produceThrough = [&](int k) {
    while (produced <= k) {
      const int rows = std::min(L, H - produced);
      for (int c = 0; c < nc; ++c) {
        const T* rowsIn[L];
        for (int l = 0; l < L; ++l)
          rowsIn[l] = src.data + std::ptrdiff_t(produced + std::min(l, rows - 1)) * rowLen + c;
        for (int g = 0; g < L; g += group) gatherRows<group>(in.data() + g, L, rowsIn + g, nc, W);
        runningMeans(in.data(), res.data(), W, L, L, r, sums.data());
        T* rowsOut[L];
        for (int l = 0; l < L; ++l) rowsOut[l] = ringRow(produced + std::min(l, rows - 1)) + c;
        // A short last block repeats its last row; the copies write the same values.
        for (int g = 0; g < L; g += group) scatterRows<group>(rowsOut + g, nc, res.data() + g, L, W);
      }
      produced += rows;
    }
  };

  // Vertical pass: the same running means, every column and channel at once.
  A* cs = colSums.data();
  const int first = std::min(r, H - 1);
  produceThrough(first);
  for (int k = 0; k <= first; ++k) addLanes(cs, ringRow(k), rowLen);
  for (int y = 0; y < H; ++y) {
    const A count = A(std::min(H - 1, y + r) - std::max(0, y - r) + 1);
    const bool more = y + 1 < H;
    const int enter = y + 1 + r;
    const int leave = y - r;
    if (more && enter < H) produceThrough(enter);
    verticalStep(cs, out.data + std::ptrdiff_t(y) * rowLen,
                 more && enter < H ? ringRow(enter) : nullptr,
                 more && leave >= 0 ? ringRow(leave) : nullptr, rowLen,
                 [count](A v) { return T(v / count); });
  }
}

/// The box filter of an integer image whose window sums fit the exact single-precision
/// means of integerMean, with sums in U (16 bits where they fit, so more lanes per vector
/// register). Integer sums are exact in any order, so the horizontal pass may add the
/// window directly; the vertical pass keeps running column sums. Rows stream through a
/// ring as in boxFilterPasses.
template <class U, class T>
void boxFilterIntegers(const Image<T>& src, Image<T>& out, int r) {
  const int W = src.width, H = src.height, nc = src.nchannels;
  const std::ptrdiff_t rowLen = std::ptrdiff_t(W) * nc;
  const int ringRows = int(std::min<long long>(H, 2LL * r + 2));
  std::vector<T> ring(std::size_t(ringRows) * rowLen);
  std::vector<U> rowSums(W);
  std::vector<T> channel(nc == 1 ? 0 : W);
  std::vector<float> inverse(W);
  for (int x = 0; x < W; ++x)
    inverse[x] = 1.0f / float(std::min(W - 1, x + r) - std::max(0, x - r) + 1);
  std::vector<U> colSums(rowLen, U(0));
  auto ringRow = [&](int k) { return ring.data() + std::ptrdiff_t(k % ringRows) * rowLen; };

  // Small windows are summed directly, one shifted copy of the row at a time (contiguous
  // and vectorised); wide ones by a running sum along the row.
  const bool direct = r <= 8;
  int produced = 0;
  auto produceThrough = [&](int k) {
    for (; produced <= k; ++produced) {
      const T* row = src.data + std::ptrdiff_t(produced) * rowLen;
      T* dst = ringRow(produced);
      for (int c = 0; c < nc; ++c) {
        const T* a = row;
        if (nc > 1) {
          for (int x = 0; x < W; ++x) channel[x] = row[std::ptrdiff_t(x) * nc + c];
          a = channel.data();
        }
        U* hs = rowSums.data();
        if (direct) {
          std::fill(hs, hs + W, U(0));
          for (int d = -r; d <= r; ++d) addShifted(hs, a, W, d);
        } else {
          U sum = 0;
          for (int x = 0; x <= std::min(r, W - 1); ++x) sum = U(sum + a[x]);
          for (int x = 0; x < W; ++x) {
            hs[x] = sum;
            if (x + 1 + r < W) sum = U(sum + a[x + 1 + r]);
            if (x - r >= 0) sum = U(sum - a[x - r]);
          }
        }
        const float* inv = inverse.data();
        if (nc == 1) {
          for (int x = 0; x < W; ++x) dst[x] = integerMean<T>(hs[x], inv[x]);
        } else {
          for (int x = 0; x < W; ++x)
            dst[std::ptrdiff_t(x) * nc + c] = integerMean<T>(hs[x], inv[x]);
        }
      }
    }
  };

  U* cs = colSums.data();
  const int first = std::min(r, H - 1);
  produceThrough(first);
  for (int k = 0; k <= first; ++k) addLanes(cs, ringRow(k), rowLen);
  // Separate sweeps vectorise better here than one fused sweep: the loads, the 16- or
  // 32-bit sums and the float means have different widths.
  for (int y = 0; y < H; ++y) {
    const float inv = 1.0f / float(std::min(H - 1, y + r) - std::max(0, y - r) + 1);
    storeIntegerMeans(cs, out.data + std::ptrdiff_t(y) * rowLen, rowLen, inv);
    if (y + 1 >= H) break;
    if (y + 1 + r < H) {
      produceThrough(y + 1 + r);
      addLanes(cs, ringRow(y + 1 + r), rowLen);
    }
    if (y - r >= 0) subtractLanes(cs, ringRow(y - r), rowLen);
  }
}

#if QUARL_HAVE_AVX2_CLONES
template <class U, class T>
__attribute__((target("avx2"), flatten)) void boxFilterIntegersAvx2(const Image<T>& src,
                                                                    Image<T>& out, int r) {
  boxFilterIntegers<U>(src, out, r);
}
#endif

/// Area-averaging weights along one axis, shrinking `from` samples to `to` (to ≤ from).
/// In units of 1/to of a source sample, target i covers [from·i, from·(i + 1)) and source
/// k covers [to·k, to·(k + 1)); the overlaps are integers, so a constant line keeps its
/// value exactly and integer sums stay exact in double.
struct AreaWeights {
  std::vector<int> first;       ///< First source sample of each target sample.
  std::vector<int> offset;      ///< Start of each target's weights in `weight`.
  std::vector<double> weight;   ///< Overlaps, in units of 1/to.
  std::vector<double> sum;      ///< Sum of the weights of each target.

  AreaWeights(int from, int to) : first(to), offset(to + 1), sum(to) {
    for (int i = 0; i < to; ++i) {
      const std::int64_t a = std::int64_t(from) * i;
      const std::int64_t b = a + from;
      const int k0 = int(a / to);
      const int k1 = std::min<std::int64_t>((b - 1) / to, from - 1);
      first[i] = k0;
      offset[i] = int(weight.size());
      double s = 0.0;
      for (int k = k0; k <= k1; ++k) {
        const std::int64_t lo = std::max<std::int64_t>(a, std::int64_t(k) * to);
        const std::int64_t hi = std::min<std::int64_t>(b, std::int64_t(k + 1) * to);
        weight.push_back(double(hi - lo));
        s += double(hi - lo);
      }
      sum[i] = s;
    }
    offset[to] = int(weight.size());
  }
  int count(int i) const { return offset[i + 1] - offset[i]; }
};

/// Shrinks src to w × h (w ≤ width, h ≤ height) by area averaging: rows are accumulated
/// first (contiguous, so vectorised), then columns.
template <class T>
void areaShrink(const Image<T>& src, Image<T>& out, int w, int h) {
  const int W = src.width, H = src.height, nc = src.nchannels;
  const AreaWeights wx(W, w), wy(H, h);
  const double sx = double(W) / w, sy = double(H) / h;
  const double expected = sx * sy;
  const double norm = double(W) * double(H);  // total weight in units of 1/(w·h)
  const double unit = double(w) * double(h);
  const std::size_t rowLen = std::size_t(W) * nc;
  std::vector<double> acc(rowLen);
  for (int j = 0; j < h; ++j) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (int t = 0; t < wy.count(j); ++t) {
      const double wgt = wy.weight[wy.offset[j] + t];
      const T* row = src.data + std::size_t(wy.first[j] + t) * rowLen;
      double* a = acc.data();
      for (std::size_t e = 0; e < rowLen; ++e) a[e] += wgt * double(row[e]);
    }
    T* dst = out.data + std::size_t(j) * w * nc;
    for (int i = 0; i < w; ++i) {
      const double weightSum = wx.sum[i] * wy.sum[j] / unit;
      if (std::fabs(weightSum - expected) > 0.01) std::printf("weight %f %f\n", weightSum, expected);
      const double* wgt = wx.weight.data() + wx.offset[i];
      const int n = wx.count(i);
      const double* a = acc.data() + std::size_t(wx.first[i]) * nc;
      for (int c = 0; c < nc; ++c) {
        double s = 0.0;
        for (int t = 0; t < n; ++t) s += wgt[t] * a[std::size_t(t) * nc + c];
        dst[std::size_t(i) * nc + c] = truncTo<T>(s / norm);
      }
    }
  }
}

/// One target row of the bilinear enlargement: per-element column fractions, the row
/// fraction and the four gathered neighbours.
template <class T>
struct BlendRow {
  T* dst;
  const double* fx;
  double fy;
  const double *g00, *g10, *g11, *g01;
  std::size_t len;
};

template <class T>
inline void blendRow(const BlendRow<T>& b) {
  T* __restrict dst = b.dst;
  const double* __restrict fx = b.fx;
  for (std::size_t k = 0; k < b.len; ++k)
    dst[k] = blendTo<T>(blendCorners(fx[k], b.fy, b.g00[k], b.g10[k], b.g11[k], b.g01[k]));
}

#if QUARL_HAVE_AVX2_CLONES
template <class T>
__attribute__((target("avx2"))) void blendRowAvx2(const BlendRow<T>& b) {
  blendRow(b);
}
#endif


/// Enlarges src to w × h (w ≥ width, h ≥ height) with corners aligned: target (i, j)
/// samples (i·sx, j·sy). Column positions and weights are computed once; the four
/// neighbours of a source row pair are gathered once and reused by every target row that
/// falls between the same two source rows.
template <class T>
void bilinearEnlarge(const Image<T>& src, Image<T>& out, int w, int h) {
  const int W = src.width, H = src.height, nc = src.nchannels;
  const double sx = double(W) / w, sy = double(H) / h;
  const std::size_t len = std::size_t(w) * nc;
  std::vector<std::size_t> index(2 * len);
  std::vector<double> buffer(5 * len);
  std::size_t* i0 = index.data();
  std::size_t* i1 = i0 + len;
  double* fx = buffer.data();
  double* g00 = fx + len;
  double* g10 = g00 + len;
  double* g01 = g10 + len;
  double* g11 = g01 + len;
  for (int i = 0; i < w; ++i) {
    const double x = clampCoord(i * sx, W);
    const int x0 = int(x);
    const int x1 = std::min(x0 + 1, W - 1);
    for (int c = 0; c < nc; ++c) {
      const std::size_t k = std::size_t(i) * nc + c;
      i0[k] = std::size_t(x0) * nc + c;
      i1[k] = std::size_t(x1) * nc + c;
      fx[k] = x - x0;
    }
  }
  int cached = -1;
  for (int j = 0; j < h; ++j) {
    const double y = clampCoord(j * sy, H);
    const int y0 = int(y);
    const int y1 = std::min(y0 + 1, H - 1);
    const double fy = y - y0;
    if (y0 != cached) {
      const T* r0 = src.data + std::size_t(y0) * W * nc;
      const T* r1 = src.data + std::size_t(y1) * W * nc;
      for (std::size_t k = 0; k < len; ++k) {
        g00[k] = double(r0[i0[k]]);
        g10[k] = double(r0[i1[k]]);
        g01[k] = double(r1[i0[k]]);
        g11[k] = double(r1[i1[k]]);
      }
      cached = y0;
    }
    const BlendRow<T> row{out.data + std::size_t(j) * len, fx, fy, g00, g10, g11, g01, len};
#if QUARL_HAVE_AVX2_CLONES
    if constexpr (std::is_floating_point_v<T>) {
      if (hasAvx2()) {
        blendRowAvx2(row);
        continue;
      }
    }
#endif
    blendRow(row);
  }
}

/// Value of one element as the gradient sees it: floating values as float, integers as
/// 64-bit integers (so unsigned int differences cannot overflow).
template <class T>
inline auto gradientValue(T v) {
  if constexpr (std::is_floating_point_v<T>) return float(v);
  else return std::int64_t(v);
}

}  // namespace detail

// ---- Bilinear sampling --------------------------------------------------------------

template <class T>
void Image<T>::bilinear(double x, double y, T* out, int n) const {
  if (n < 0) n = nchannels;
  if (!data || width <= 0 || height <= 0) {
    for (int c = 0; c < n; ++c) out[c] = T(0);
    return;
  }
  x = detail::clampCoord(x, width);
  y = detail::clampCoord(y, height);
  const int x0 = int(x), y0 = int(y);
  const double fx = x - x0, fy = y - y0;
  const int x1 = std::min(x0 + 1, width - 1);
  const int y1 = std::min(y0 + 1, height - 1);
  for (int c = 0; c < n; ++c) {
    if (c >= nchannels) {
      out[c] = T(0);
      continue;
    }
    out[c] = detail::blendTo<T>(detail::blendCorners(fx, fy, double(get(x0, y0, c)),
                                                     double(get(x1, y0, c)),
                                                     double(get(x1, y1, c)),
                                                     double(get(x0, y1, c))));
  }
}

template <class T>
T Image<T>::bilinear(double x, double y, int c) const {
  if (c < 0 || c >= nchannels || !data || width <= 0 || height <= 0) return T(0);
  x = detail::clampCoord(x, width);
  y = detail::clampCoord(y, height);
  const int x0 = int(x), y0 = int(y);
  const double fx = x - x0, fy = y - y0;
  const int x1 = std::min(x0 + 1, width - 1);
  const int y1 = std::min(y0 + 1, height - 1);
  return detail::blendTo<T>(detail::blendCorners(fx, fy, double(get(x0, y0, c)),
                                                 double(get(x1, y0, c)), double(get(x1, y1, c)),
                                                 double(get(x0, y1, c))));
}

// ---- Resize -------------------------------------------------------------------------

template <class T>
Image<T> Image<T>::resize(int w, int h) const {
  if (w == width && h == height) return copy();
  const int tw = std::max(w, 0), th = std::max(h, 0);
  const bool hasPixels = data && width > 0 && height > 0;
  if (hasPixels && tw > 0 && th > 0 && (tw < width) != (th < height) &&
      (tw > width || th > height)) {
    // Shrink along the shrinking axis first, so the area average sees every source pixel,
    // then enlarge along the other.
    const Image<T> part = tw < width ? resize(tw, height) : resize(width, th);
    return part.resize(tw, th);
  }
  Image<T> out(tw, th, nchannels);
  if (!out.data) return out;
  if (!hasPixels)
    std::fill(out.data, out.data + detail::elementCount(out), T(0));
  else if (tw <= width && th <= height)
    detail::areaShrink(*this, out, tw, th);
  else
    detail::bilinearEnlarge(*this, out, tw, th);
  return out;
}

// ---- Box filter ---------------------------------------------------------------------

template <class T>
Image<T> Image<T>::boxFilter(int r) const {
  // Windows wider than the image are clipped to it whatever their radius, so the radius
  // is capped there (which also keeps x + r within int).
  r = std::min(std::max(r, 0), std::max(width, height));
  Image<T> out(width, height, nchannels);
  if (!data || !out.data || width <= 0 || height <= 0 || nchannels <= 0) return out;
  // Integer window sums are exact in any order; while they also fit the division-free
  // means of detail::integerMean the integer path runs, otherwise double sums as for the
  // floating types (whose running sums add and subtract in window order).
  bool fitsIntegerPath = false;
  if constexpr (!std::is_floating_point_v<T>)
    fitsIntegerPath =
        (double(std::numeric_limits<T>::max()) + 1.0) * (2.0 * r + 2.0) < 4194304.0;
  const bool fitsSixteenBits =
      double(std::numeric_limits<T>::max()) * (2.0 * r + 2.0) <= 65535.0;
#if QUARL_HAVE_AVX2_CLONES
  if (fitsIntegerPath && detail::hasAvx2()) {
    if (fitsSixteenBits)
      detail::boxFilterIntegersAvx2<std::uint16_t>(*this, out, r);
    else
      detail::boxFilterIntegersAvx2<std::int32_t>(*this, out, r);
    return out;
  }
#endif
  if (fitsIntegerPath && fitsSixteenBits)
    detail::boxFilterIntegers<std::uint16_t>(*this, out, r);
  else if (fitsIntegerPath)
    detail::boxFilterIntegers<std::int32_t>(*this, out, r);
  else
    detail::boxFilterPasses<double>(*this, out, r);
  return out;
}

// ---- Gradient -----------------------------------------------------------------------

template <class T>
Image<float> Image<T>::gradient(int c) const {
  Image<float> g(width, height, 2);
  if (!g.data) return g;
  const int W = width, H = height;
  if (!data || c < 0 || c >= nchannels) {
    std::fill(g.data, g.data + detail::elementCount(g), 0.0f);
    return g;
  }
  auto at = [&](int x, int y) { return detail::gradientValue(get(x, y, c)); };
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      float gx = 0.0f, gy = 0.0f;
      if (W >= 2) {
        if (x == 0)
          gx = float(at(1, y) - at(0, y));
        else if (x == W - 1)
          gx = float(at(W - 1, y) - at(W - 2, y));
        else
          gx = float(at(x + 1, y) - at(x - 1, y)) / 2.0f;
      }
      if (H >= 2) {
        if (y == 0)
          gy = float(at(x, 1) - at(x, 0));
        else if (y == H - 1)
          gy = float(at(x, H - 1) - at(x, H - 2));
        else
          gy = float(at(x, y + 1) - at(x, y - 1)) / 2.0f;
      }
      g(x, y, 0) = gx;
      g(x, y, 1) = gy;
    }
  }
  return g;
}

// ---- Correlation (float only) -------------------------------------------------------

template <>
Image<float> Image<float>::convolve(const Image<float>& filter) const {
  const int fw = filter.width, fh = filter.height;
  Image<float> out(width, height, nchannels);
  if (out.data) std::fill(out.data, out.data + detail::elementCount(out), 0.0f);
  if (fw % 2 == 0 && fh % 2 == 0) {
    std::printf("filter is not proper dimension %d %d", fw / 2 * 2, fh / 2 * 2);
    return out;
  }
  if (!out.data || !data || !filter.data || fw <= 0 || fh <= 0 || filter.nchannels <= 0)
    return out;
  const int hx = fw / 2, hy = fh / 2;
  const int nc = nchannels;
  for (int y = hy; y < height - hy; ++y) {
    for (int x = hx; x < width - hx; ++x) {
      for (int c = 0; c < nc; ++c) {
        double s = 0.0;
        for (int k = 0; k < fh; ++k)
          for (int l = 0; l < fw; ++l)
            s += double(get(x + l - hx, y + k - hy, c)) * double(filter.get(l, k, 0));
        out(x, y, c) = float(s);
      }
    }
  }
  return out;
}

// ---- Harris corners -----------------------------------------------------------------

namespace detail {

/// The 13-tap Gaussian (sigma 2, radius 6), normalised to sum 1, as a len × 1 or 1 × len
/// filter.
inline Image<float> harrisKernel(bool horizontal) {
  constexpr int radius = 6;
  constexpr double sigma = 2.0;
  double w[2 * radius + 1];
  double total = 0.0;
  for (int d = -radius; d <= radius; ++d) {
    w[d + radius] = d == 0 ? 1.0 : std::exp(-double(d * d) / (2.0 * sigma * sigma));
    total += w[d + radius];
  }
  Image<float> k(horizontal ? 2 * radius + 1 : 1, horizontal ? 1 : 2 * radius + 1, 1);
  for (int i = 0; i < 2 * radius + 1; ++i) k.data[i] = float(w[i] / total);
  return k;
}

inline std::vector<std::pair<float, float>> harrisCorners(const Image<unsigned char>& im,
                                                          int maxCorners, int subpixel) {
  std::vector<std::pair<float, float>> corners;
  const int W = im.width, H = im.height;
  if (!im.data || W < 3 || H < 3 || im.nchannels <= 0 || maxCorners <= 0) return corners;

  // Grey value: the integer mean of the colour channels (a two-channel image averages both).
  Image<unsigned char> grey = im;
  if (im.nchannels > 1) {
    const int used = std::min(im.nchannels, 3);
    grey = Image<unsigned char>(W, H, 1);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        int s = 0;
        for (int c = 0; c < used; ++c) s += im.get(x, y, c);
        grey(x, y, 0) = (unsigned char)(s / used);
      }
  }
  const Image<float> g = grey.gradient(0);
  Image<float> sxx(W, H, 1), sxy(W, H, 1), syy(W, H, 1);
  for (std::size_t p = 0; p < std::size_t(W) * H; ++p) {
    const float gx = g.data[2 * p], gy = g.data[2 * p + 1];
    sxx.data[p] = gx * gx;
    sxy.data[p] = gx * gy;
    syy.data[p] = gy * gy;
  }
  const Image<float> kx = harrisKernel(true), ky = harrisKernel(false);
  sxx = sxx.convolve(kx).convolve(ky);
  sxy = sxy.convolve(kx).convolve(ky);
  syy = syy.convolve(kx).convolve(ky);

  Image<float> resp(W, H, 1);
  for (std::size_t p = 0; p < std::size_t(W) * H; ++p) {
    const double a = sxx.data[p], b = sxy.data[p], c = syy.data[p];
    resp.data[p] = float((a * c - b * b) / (1e-6 + a + c));
  }

  std::vector<std::pair<float, std::pair<int, int>>> candidates;
  for (int y = 1; y < H - 1; ++y)
    for (int x = 1; x < W - 1; ++x) {
      const float v = resp.get(x, y, 0);
      if (!(v >= 2.0f)) continue;
      bool isPeak = true;
      for (int dy = -1; dy <= 1 && isPeak; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if ((dx || dy) && resp.get(x + dx, y + dy, 0) > v) {
            isPeak = false;
            break;
          }
      if (isPeak) candidates.push_back({-v, {x, y}});
    }
  std::sort(candidates.begin(), candidates.end());

  const std::size_t wanted = std::min<std::size_t>(std::size_t(maxCorners), candidates.size());
  for (std::size_t n = 0; n < candidates.size() && corners.size() < wanted; ++n) {
    const int x = candidates[n].second.first, y = candidates[n].second.second;
    float cx = float(x), cy = float(y);
    if (subpixel) {
      auto R = [&](int u, int v) { return double(resp.get(x + u, y + v, 0)); };
      const double colL = R(-1, -1) + R(-1, 0) + R(-1, 1);
      const double colC = R(0, -1) + R(0, 0) + R(0, 1);
      const double colR = R(1, -1) + R(1, 0) + R(1, 1);
      const double rowT = R(-1, -1) + R(0, -1) + R(1, -1);
      const double rowM = R(-1, 0) + R(0, 0) + R(1, 0);
      const double rowB = R(-1, 1) + R(0, 1) + R(1, 1);
      const double a = (colL + colR - 2.0 * colC) / 6.0;
      const double b = (R(-1, -1) - R(1, -1) - R(-1, 1) + R(1, 1)) / 4.0;
      const double c = (rowT + rowB - 2.0 * rowM) / 6.0;
      const double d = (colR - colL) / 6.0;
      const double e = (rowB - rowT) / 6.0;
      const double det = 4.0 * a * c - b * b;
      const double u = (b * e - 2.0 * c * d) / det;
      const double v = (b * d - 2.0 * a * e) / det;
      // A flat fit (det = 0) has no peak to refine towards and is dropped like a far one.
      if (!(std::fabs(u) < 1.0 && std::fabs(v) < 1.0)) continue;
      cx = float(x + u);
      cy = float(y + v);
    }
    corners.push_back({cx, cy});
  }
  return corners;
}

}  // namespace detail

template <class T>
std::vector<std::pair<float, float>> Image<T>::harris(int maxCorners, int subpixel) const {
  if constexpr (std::is_same_v<T, unsigned char>) {
    return detail::harrisCorners(*this, maxCorners, subpixel);
  } else {
    std::printf("Warning: Harris only implemented for unsigned char");
    Image<unsigned char> bytes;
    bytes = *this;
    return detail::harrisCorners(bytes, maxCorners, subpixel);
  }
}

// ---- Rotations and mirrors ----------------------------------------------------------

namespace detail {

/// A W' × H' image whose pixel (x, y) copies all channels of src's pixel from(x, y).
template <class T, class F>
Image<T> remapPixels(const Image<T>& src, int w, int h, F from) {
  Image<T> out(w, h, src.nchannels);
  if (!out.data || !src.data) return out;
  const int nc = src.nchannels;
  T* d = out.data;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::pair<int, int> s = from(x, y);
      const T* p = src.data + (std::size_t(s.first) + std::size_t(s.second) * src.width) * nc;
      for (int c = 0; c < nc; ++c) *d++ = p[c];
    }
  return out;
}

}  // namespace detail

template <class T>
Image<T> Image<T>::rotateCW() const {
  const int H = height;
  return detail::remapPixels(*this, height, width,
                             [H](int x, int y) { return std::make_pair(y, H - 1 - x); });
}

template <class T>
Image<T> Image<T>::rotateCCW() const {
  const int W = width;
  return detail::remapPixels(*this, height, width,
                             [W](int x, int y) { return std::make_pair(W - 1 - y, x); });
}

template <class T>
Image<T> Image<T>::rotate180() const {
  const int W = width, H = height;
  return detail::remapPixels(*this, width, height,
                             [W, H](int x, int y) { return std::make_pair(W - 1 - x, H - 1 - y); });
}

template <class T>
Image<T> Image<T>::flip() const {
  const int H = height;
  return detail::remapPixels(*this, width, height,
                             [H](int x, int y) { return std::make_pair(x, H - 1 - y); });
}

template <class T>
Image<T> Image<T>::flop() const {
  const int W = width;
  return detail::remapPixels(*this, width, height,
                             [W](int x, int y) { return std::make_pair(W - 1 - x, y); });
}

}  // namespace vorn

#endif
