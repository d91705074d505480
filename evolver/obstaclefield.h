// glimshape — evolver
// Purpose: ObstacleField, the worker's record of the union of all shapes but the one that
// moves, kept up to date from the cells that change, with exact distances to its outline
// computed where a step asks for them.
#ifndef GLIM_EVOLVER_OBSTACLEFIELD_H
#define GLIM_EVOLVER_OBSTACLEFIELD_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "lomvet/levelset2d.h"
#include "lomvet/segment.h"
#include "quarl/image.h"
#include "shapes/zazizevozubase.h"

/// @brief The free-space mask and the obstacle grid of one shape step, at the cost of what
/// the step touches instead of the whole canvas.
///
/// The whole-canvas rebuild (`ZazizEvozuEvolver::updateMask`) marks every other shape on a
/// grid of 1e10 (each cell a shape marks, its inside and the stored cells just outside it,
/// lowered to the lowest value of the shapes marking it) and re-initialises the grid to the
/// signed distance of the marked grid's zero contour, which runs along the shapes' outlines.
/// This record keeps what that rebuild starts from, per cell: how many of the included
/// shapes mark it and their lowest value. Between two steps of a pass only two shapes change
/// places (the one that just moved comes back, the next one leaves), so only their marked
/// cells are counted in or out. The zero contour, found with the same marching-squares table
/// and crossings as the rebuild, is kept as segments in square buckets of `bucketSize`
/// cells; a bucket is rebuilt when a cell of it changes.
///
/// What a step reads:
/// - `getMask()`: 1 where no included shape is inside (lowest value below 0), 0 where one
///   is, everywhere.
/// - `getGrid()`: its `get(x, y)` is the signed distance ψ to the contour, computed on
///   the first read of a cell in a step and then kept for the step. It is exact: the least
///   distance over every segment that can be nearest. The cells of one bucket's square (a
///   tile) share those candidates: on the tile's first read the buckets are searched ring by
///   ring for the segment nearest to its centre, and every segment within that distance
///   plus the tile's diameter is gathered. The grid's stored values (`values`, the base
///   class's `get`) hold the side everywhere: a value ≤ 0 where the marked value is ≤ 0
///   (inside an included shape, or on an outline that runs through the cell), above 0
///   elsewhere, and ψ where it has been read.
///
/// ψ agrees with the rebuild to the bit where the rebuild's band is exact (within 5 pixels
/// of the contour unless the contour is very dense); beyond it ψ is the exact distance and
/// the rebuild's sweeps give an upper bound. Without a contour ψ is the rebuild's value too:
/// the marked value (1e10 away from every shape).
///
/// Every shape is listed (`ZazizEvozuBase::getMarkedCells`) when it is counted in, and the
/// list is kept to count it out again, so the record always equals the union of what was
/// listed. A shape that changes while it is counted in (outside a step: reset, commands,
/// a new drawing) must be announced with `invalidate`; `update` then rebuilds the record.
/// A different shape at a list position is noticed by itself.
///
/// Not thread-safe but for `invalidate`: the evolver uses it under its mutex.
class ObstacleField {
 public:
  /// The value of the marked grid away from every shape, as in the whole-canvas rebuild.
  static constexpr double farAway = 1e10;
  /// Side (cells) of the square buckets that hold the contour's segments.
  static constexpr int bucketSize = 8;

  ObstacleField();
  ObstacleField(const ObstacleField&) = delete;
  ObstacleField& operator=(const ObstacleField&) = delete;

  /// @brief Forgets the record; the next `update` builds it from every shape. Callable from
  /// any thread, also while another runs `update`.
  void invalidate();

  /// @brief Brings the record to every shape but one and readies the mask and the grid
  /// for that shape's step.
  ///
  /// The canvas is the first shape's. A shape not counted in is listed and counted in, the
  /// excluded one counted out, and the buckets of every changed cell rebuilt; distances read
  /// in an earlier step are forgotten. Nothing happens without shapes.
  /// @param shapes the evolver's list (no entry null).
  /// @param exclude index of the shape left out, −1 (or any index beyond the list) for none.
  void update(const std::vector<std::shared_ptr<ZazizEvozuBase>>& shapes, int exclude);

  /// @brief The free-space mask of the last `update` (one channel of the canvas size).
  const vorn::Image<unsigned char>& getMask() const { return mask; }
  /// @brief The obstacle grid of the last `update` (canvas size); see the class notes.
  const FullLevelSet2D& getGrid() const { return grid; }

 private:
  // The grid handed to the kernels: its get answers ψ through the field.
  class Grid : public FullLevelSet2D {
   public:
    explicit Grid(ObstacleField& owner) : owner(owner) {}
    double get(int x, int y) const override;

   private:
    ObstacleField& owner;
  };

  // One list position of the evolver: which shape was listed, whether its cells are
  // counted in, the marked cells and their bounding box (inclusive).
  struct Source {
    const ZazizEvozuBase* shape = nullptr;
    bool included = false;
    std::vector<MarkedCell> cells;
    int minX = 0, minY = 0, maxX = -1, maxY = -1;
  };

  // ψ at canvas cell (x, y), as the grid's get reads it.
  double getDistance(int x, int y);
  void rebuildEmpty(int w, int h, std::size_t shapeCount);
  void countShapes(const std::vector<std::shared_ptr<ZazizEvozuBase>>& shapes, int exclude);
  void include(Source& source, ZazizEvozuBase& shape);
  void exclude(Source& source);
  void touch(std::size_t cell);
  void finishUpdate();
  void rebuildBucket(int bucket);
  double lowestAt(std::size_t cell);
  double markedValue(std::size_t cell) { return count[cell] > 0 ? lowestAt(cell) : farAway; }
  double nearestDistance2(double px, double py) const;
  void gatherCandidates(int tile);
  double tileDistance2(int x, int y);
  void offerBucket(int bucket, double px, double py, double& best) const;

  int width = 0;
  int height = 0;
  std::atomic<bool> valid{false};
  // Per cell: included shapes marking it, and their lowest value (farAway where none does,
  // NaN when the shape that held the lowest left and the next lowest is still to be found).
  std::vector<std::uint32_t> count;
  std::vector<double> lowest;
  // Per cell: the step whose ψ the grid holds there.
  std::vector<std::uint32_t> computedAt;
  std::uint32_t step = 0;
  // Cells changed by the current update, each once.
  std::vector<std::uint32_t> touchedAt;
  std::uint32_t updateCount = 0;
  std::vector<std::size_t> touched;
  std::vector<Source> sources;

  // Bucket (bx, by) holds the segments of the marching-squares cells whose corner (x, y)
  // has x / bucketSize = bx and y / bucketSize = by; they lie in the square from
  // (bx, by) × bucketSize to one bucket further, borders included.
  int bucketsX = 0;
  int bucketsY = 0;
  std::vector<std::vector<ContourSegment>> buckets;
  std::vector<unsigned char> bucketDirty;
  std::vector<int> dirtyBuckets;
  // Buckets holding segments, and each bucket's place in that list (−1 when empty).
  std::vector<int> occupied;
  std::vector<int> occupiedAt;
  std::size_t segmentCount = 0;

  // The cells of a bucket's square (a tile) share the segments that can be nearest to any
  // of them, gathered on the first read in a step and sorted by distance to the centre.
  struct Candidate {
    ContourSegment segment;
    double centreDistance;
  };
  struct Tile {
    std::size_t begin = 0, end = 0;
    double centreX = 0, centreY = 0;
    std::uint32_t gatheredAt = 0;
  };
  std::vector<Tile> tiles;
  std::vector<Candidate> candidates;

  vorn::Image<unsigned char> mask;
  Grid grid;
};

#endif
