// glimshape — evolver
// Purpose: the close image and the explicit motion step that pulls facing outlines
// together by moving polygon points (the "Closer" command).
#include "evolver/evolver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

// Facing vertices farther apart than this (pixels) do not pull each other.
constexpr double pullReach = 3.0;
// Share of the smoothed offset a vertex moves in one step.
constexpr float moveShare = 0.25f;
// Moving-average passes per smoothOffsets call.
constexpr int smoothingPasses = 12;

// Border vertices of one shape, keyed by the index of the neighbour they face; each list in
// ascending vertex order.
using BorderLists = std::map<int, std::vector<int>>;

// Sorts the vertices of shape `self` by the pair of nearest shapes at their pixel. A
// vertex is on the border with shape j when its pixel names exactly {self, j}; a vertex
// whose pixel (coordinates truncated toward zero) lies outside the canvas, whose
// coordinates are not finite, or whose pixel fewer than two shapes reach is on no border.
BorderLists borderLists(const ZazizEvozuBase& shape, int self,
                        const vorn::Image<unsigned int>& close) {
  BorderLists lists;
  const double w = close.getWidth();
  const double h = close.getHeight();
  for (std::size_t v = 0; v < shape.points.size(); ++v) {
    const vorn::Vec2<double>& p = shape.points[v];
    // Truncation maps (-1, w) onto 0 … w-1; the negated form also refuses NaN.
    if (!(p.x > -1.0 && p.x < w && p.y > -1.0 && p.y < h)) continue;
    const int x = static_cast<int>(p.x);
    const int y = static_cast<int>(p.y);
    const unsigned int first = close(x, y, 0);
    const unsigned int second = close(x, y, 1);
    if (second == ZazizEvozuEvolver::noShape || first == second) continue;
    if (first == static_cast<unsigned int>(self))
      lists[static_cast<int>(second)].push_back(static_cast<int>(v));
    else if (second == static_cast<unsigned int>(self))
      lists[static_cast<int>(first)].push_back(static_cast<int>(v));
  }
  return lists;
}

// For every vertex of `from`, the offset to its nearest vertex of `to` (first one on ties)
// when that lies within reach, with weight 1.
void pull(const ZazizEvozuBase& fromShape, const std::vector<int>& from,
          const ZazizEvozuBase& toShape, const std::vector<int>& to,
          std::vector<vorn::Vec2<float>>& offsets, std::vector<float>& weights) {
  for (int a : from) {
    const vorn::Vec2<double>& pa = fromShape.points[static_cast<std::size_t>(a)];
    double best = 0.0;
    int nearest = -1;
    for (int b : to) {
      const vorn::Vec2<double> d = toShape.points[static_cast<std::size_t>(b)] - pa;
      const double dist = std::sqrt(d.dot(d));
      if (nearest < 0 || dist < best) {
        best = dist;
        nearest = b;
      }
    }
    if (nearest < 0 || !(best < pullReach)) continue;
    const vorn::Vec2<double> d = toShape.points[static_cast<std::size_t>(nearest)] - pa;
    // Each vertex faces one neighbour only, so it is matched at most once per step.
    offsets[static_cast<std::size_t>(a)] =
        vorn::Vec2<float>(static_cast<float>(d.x), static_cast<float>(d.y));
    weights[static_cast<std::size_t>(a)] += 1.0f;
  }
}

}  // namespace

vorn::Image<unsigned int> ZazizEvozuEvolver::getCloseImage() {
  std::lock_guard<std::mutex> lock(mutex);
  if (shapes.empty()) return vorn::Image<unsigned int>();
  const int width = shapes.front()->getWidth();
  const int height = shapes.front()->getHeight();
  vorn::Image<unsigned int> close(width, height, 2);
  std::fill_n(close.getDataPtr(), static_cast<std::size_t>(width) * height * 2, noShape);
  vorn::Image<float> distance(width, height, 2);
  distance = 1e10;
  for (std::size_t s = 0; s < shapes.size(); ++s) {
    const ZazizEvozuBase& shape = *shapes[s];
    // All shapes share the canvas; a smaller shape is read only where it exists.
    const int w = std::min(width, shape.getWidth());
    const int h = std::min(height, shape.getHeight());
    const auto index = static_cast<unsigned int>(s);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        // Where a shape stores nothing it reads a stand-in (1.0 beyond a rectangle, 0.0 off
        // a band) that would beat a real neighbour's distance and name an unrelated pair.
        if (!shape.have(x, y)) continue;
        const auto v = static_cast<float>(shape.get(x, y));
        // Strict comparisons: ties keep the earlier shape.
        if (v < distance(x, y, 0)) {
          distance(x, y, 1) = distance(x, y, 0);
          close(x, y, 1) = close(x, y, 0);
          distance(x, y, 0) = v;
          close(x, y, 0) = index;
        } else if (v < distance(x, y, 1)) {
          distance(x, y, 1) = v;
          close(x, y, 1) = index;
        }
      }
    }
  }
  return close;
}

void ZazizEvozuEvolver::moveExplicit() {
  // The close image takes the canvas from the first shape; without shapes nothing faces
  // anything.
  const vorn::Image<unsigned int> close = getCloseImage();
  if (close.getWidth() <= 0 || close.getHeight() <= 0) return;

  std::lock_guard<std::mutex> lock(mutex);
  const std::size_t n = shapes.size();
  invalidateObstacles();
  std::vector<std::vector<vorn::Vec2<float>>> offsets(n);
  std::vector<std::vector<float>> weights(n);
  std::vector<BorderLists> borders(n);
  for (std::size_t s = 0; s < n; ++s) {
    offsets[s].assign(shapes[s]->points.size(), vorn::Vec2<float>(0.0f, 0.0f));
    weights[s].assign(shapes[s]->points.size(), 0.0f);
    borders[s] = borderLists(*shapes[s], static_cast<int>(s), close);
  }

  for (std::size_t i = 0; i < n; ++i) {
    for (const auto& entry : borders[i]) {
      const auto j = static_cast<std::size_t>(entry.first);
      if (j <= i || j >= n) continue;
      const auto facing = borders[j].find(static_cast<int>(i));
      if (facing == borders[j].end()) continue;
      pull(*shapes[i], entry.second, *shapes[j], facing->second, offsets[i], weights[i]);
      pull(*shapes[j], facing->second, *shapes[i], entry.second, offsets[j], weights[j]);
    }
  }

  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t s = 0; s < n; ++s) {
    ZazizEvozuBase& shape = *shapes[s];
    normalizeOffsets(offsets[s], weights[s]);
    smoothOffsets(shape, offsets[s], weights[s]);
    smoothOffsets(shape, offsets[s], weights[s]);
    for (std::size_t v = 0; v < shape.points.size(); ++v) {
      const vorn::Vec2<float>& o = offsets[s][v];
      shape.points[v].x += static_cast<double>(moveShare * o.x);
      shape.points[v].y += static_cast<double>(moveShare * o.y);
      sum += std::sqrt(static_cast<double>(o.x) * o.x + static_cast<double>(o.y) * o.y);
      ++count;
    }
  }
  // A drawing whose shapes have no vertex at all moved nothing: print 0, not 0 / 0.
  std::printf("average move: %f\n", count > 0 ? sum / static_cast<double>(count) : 0.0);
}

void ZazizEvozuEvolver::smoothOffsets(ZazizEvozuBase& shape,
                                      std::vector<vorn::Vec2<float>>& offsets,
                                      std::vector<float>& weights) {
  const std::size_t n = std::min(offsets.size(), weights.size());
  offsets.resize(n);
  weights.resize(n);
  std::vector<vorn::Vec2<float>> newOffsets;
  std::vector<float> newWeights;
  for (int pass = 0; pass < smoothingPasses; ++pass) {
    newOffsets.assign(n, vorn::Vec2<float>(0.0f, 0.0f));
    newWeights.assign(n, 0.0f);
    for (const std::vector<int>& loop : shape.polygons) {
      const long m = static_cast<long>(loop.size());
      for (long k = 0; k < m; ++k) {
        const int target = loop[static_cast<std::size_t>(k)];
        if (target < 0 || static_cast<std::size_t>(target) >= n) continue;
        float total = 0.0f;
        vorn::Vec2<float> weighted(0.0f, 0.0f);
        // Five neighbours along the loop, wrapping around (short loops repeat entries).
        for (long d = -2; d <= 2; ++d) {
          const int v = loop[static_cast<std::size_t>(((k + d) % m + m) % m)];
          if (v < 0 || static_cast<std::size_t>(v) >= n) continue;
          const float w = weights[static_cast<std::size_t>(v)];
          total += w;
          weighted += offsets[static_cast<std::size_t>(v)] * w;
        }
        const auto t = static_cast<std::size_t>(target);
        if (total > 0.0f) {
          newOffsets[t] = vorn::Vec2<float>(weighted.x / total, weighted.y / total);
          newWeights[t] = 1.0f;
        } else {
          newOffsets[t] = weighted;
          newWeights[t] = total;
        }
      }
    }
    offsets.swap(newOffsets);
    weights.swap(newWeights);
  }
}

void ZazizEvozuEvolver::normalizeOffsets(std::vector<vorn::Vec2<float>>& offsets,
                                         std::vector<float>& weights) {
  const std::size_t n = std::min(offsets.size(), weights.size());
  for (std::size_t v = 0; v < n; ++v) {
    if (weights[v] > 0.0f) offsets[v] = offsets[v] * (1.0f / weights[v]);
    weights[v] = 1.0f;
  }
}
