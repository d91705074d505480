// glimshape — clip
// Purpose: the conversion between indexed polygons and Clipper's integer paths, and the
// check of Clipper's result.
#include "clip/polygonclipper.h"

#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <unordered_map>

namespace {

/// Bounds of the integer coordinates of one conversion, for checking the result.
struct Bounds {
  ClipperLib::cInt minX = std::numeric_limits<ClipperLib::cInt>::max();
  ClipperLib::cInt minY = std::numeric_limits<ClipperLib::cInt>::max();
  ClipperLib::cInt maxX = std::numeric_limits<ClipperLib::cInt>::min();
  ClipperLib::cInt maxY = std::numeric_limits<ClipperLib::cInt>::min();

  void add(const ClipperLib::IntPoint& p) {
    minX = std::min(minX, p.X);
    minY = std::min(minY, p.Y);
    maxX = std::max(maxX, p.X);
    maxY = std::max(maxY, p.Y);
  }
  /// Within the bounds, allowing the unit of rounding Clipper applies to crossings.
  bool contains(const ClipperLib::IntPoint& p) const {
    return p.X >= minX - 2 && p.X <= maxX + 2 && p.Y >= minY - 2 && p.Y <= maxY + 2;
  }
};

/// @brief Converts every loop of at least 3 indices into a Clipper path.
/// @return false when an index does not exist or a used point cannot be scaled exactly.
bool toPaths(const std::vector<vorn::Vec2<double>>& points,
             const std::vector<std::vector<int>>& loops, ClipperLib::Paths& paths,
             Bounds& bounds) {
  paths.clear();
  paths.reserve(loops.size());
  for (const std::vector<int>& loop : loops) {
    ClipperLib::Path path;
    path.reserve(loop.size());
    for (int i : loop) {
      if (i < 0 || static_cast<std::size_t>(i) >= points.size()) return false;
      const vorn::Vec2<double>& p = points[static_cast<std::size_t>(i)];
      // The negated comparison also refuses NaN.
      if (!(std::fabs(p.x) <= PolygonClipper::maxCoordinate) ||
          !(std::fabs(p.y) <= PolygonClipper::maxCoordinate))
        return false;
      const ClipperLib::IntPoint q(std::llround(p.x * PolygonClipper::scale),
                                   std::llround(p.y * PolygonClipper::scale));
      bounds.add(q);
      path.push_back(q);
    }
    // Loops of fewer than 3 points are checked but enclose nothing.
    if (path.size() >= 3) paths.push_back(std::move(path));
  }
  return true;
}

struct IntPointHash {
  std::size_t operator()(const ClipperLib::IntPoint& p) const {
    const auto x = static_cast<std::uint64_t>(p.X);
    const auto y = static_cast<std::uint64_t>(p.Y);
    return static_cast<std::size_t>(x * 0x9E3779B97F4A7C15ULL ^ (y + 0x632BE59BD9B4E019ULL));
  }
};

struct IntPointEqual {
  bool operator()(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b) const {
    return a.X == b.X && a.Y == b.Y;
  }
};

}  // namespace

bool PolygonClipper::clip(std::vector<vorn::Vec2<double>>& points,
                          std::vector<std::vector<int>>& loops,
                          const std::vector<vorn::Vec2<double>>& clipPoints,
                          const std::vector<std::vector<int>>& clipLoops, Operation operation) {
  try {
    ClipperLib::Paths subject;
    ClipperLib::Paths clipper;
    Bounds bounds;
    if (!toPaths(points, loops, subject, bounds) || !toPaths(clipPoints, clipLoops, clipper, bounds))
      return false;

    ClipperLib::Paths solution;
    if (!subject.empty() || !clipper.empty()) {
      ClipperLib::Clipper engine;
      // AddPaths reports false for paths that enclose nothing (all points collinear);
      // those contribute nothing to an even-odd region, so the result is still right.
      engine.AddPaths(subject, ClipperLib::ptSubject, true);
      engine.AddPaths(clipper, ClipperLib::ptClip, true);
      const ClipperLib::ClipType type =
          operation == Union ? ClipperLib::ctUnion : ClipperLib::ctDifference;
      if (!engine.Execute(type, solution, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd))
        return false;
    }

    // Every result vertex lies on an input edge or at a crossing of two, so it cannot
    // leave the operands' common bounds; one that does means the result is unusable.
    std::size_t vertexCount = 0;
    for (const ClipperLib::Path& path : solution) {
      for (const ClipperLib::IntPoint& p : path)
        if (!bounds.contains(p)) return false;
      vertexCount += path.size();
    }

    std::vector<vorn::Vec2<double>> newPoints;
    std::vector<std::vector<int>> newLoops;
    newPoints.reserve(vertexCount);
    newLoops.reserve(solution.size());
    std::unordered_map<ClipperLib::IntPoint, int, IntPointHash, IntPointEqual> known;
    known.reserve(vertexCount);
    for (const ClipperLib::Path& path : solution) {
      if (path.size() < 3) continue;
      std::vector<int> loop;
      loop.reserve(path.size());
      for (const ClipperLib::IntPoint& p : path) {
        const auto inserted = known.emplace(p, static_cast<int>(newPoints.size()));
        if (inserted.second)
          newPoints.emplace_back(static_cast<double>(p.X) / scale,
                                 static_cast<double>(p.Y) / scale);
        loop.push_back(inserted.first->second);
      }
      newLoops.push_back(std::move(loop));
    }
    points.swap(newPoints);
    loops.swap(newLoops);
    return true;
  } catch (const ClipperLib::clipperException&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}
