// glimshape — levelset
// Purpose: RectLevelSet: construction from a dense grid, canvas-coordinate access, re-framing.
#include "levelset/rectlevelset.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Bounding box of the cells below 0, maxima exclusive. The minima start above every
// column and row so that an empty box has max <= min.
struct Box {
  int minX = std::numeric_limits<int>::max();
  int minY = std::numeric_limits<int>::max();
  int maxX = 0;
  int maxY = 0;
  bool isEmpty() const { return maxX <= minX || maxY <= minY; }
};

Box insideBox(const FullLevelSet2D& g) {
  Box box;
  bool any = false;
  for (int y = 0; y < g.getHeight(); ++y)
    for (int x = 0; x < g.getWidth(); ++x)
      if (g.get(x, y) < 0.0) {
        any = true;
        box.minX = std::min(box.minX, x);
        box.minY = std::min(box.minY, y);
        box.maxX = std::max(box.maxX, x);
        box.maxY = std::max(box.maxY, y);
      }
  if (any) {
    ++box.maxX;
    ++box.maxY;
  } else {
    box.maxX = box.maxY = 1;
  }
  return box;
}

// Grid coordinate of canvas coordinate a; saturates, one short of the int limits so that
// a neighbour one cell further stays representable, instead of overflowing (the grid
// mirrors whatever lies outside it).
int toGrid(int a, int origin) {
  const long long g = static_cast<long long>(a) - origin;
  return static_cast<int>(std::clamp<long long>(g, std::numeric_limits<int>::min() + 1LL,
                                                std::numeric_limits<int>::max() - 1LL));
}

}  // namespace

RectLevelSet::RectLevelSet() = default;

RectLevelSet::RectLevelSet(const FullLevelSet2D& full)
    : canvasWidth(std::max(full.getWidth(), 0)), canvasHeight(std::max(full.getHeight(), 0)) {
  Box box = insideBox(full);
  if (box.isEmpty()) {
    box.minX = canvasWidth / 2;
    box.minY = canvasHeight / 2;
    box.maxX = box.minX + 1;
    box.maxY = box.minY + 1;
  }
  x0 = std::max(box.minX - padding, 0);
  y0 = std::max(box.minY - padding, 0);
  const int x1 = std::min(box.maxX + padding, canvasWidth);
  const int y1 = std::min(box.maxY + padding, canvasHeight);
  grid.xSpace = full.getXSpace();
  grid.ySpace = full.getYSpace();
  grid.resize(std::max(x1 - x0, 0), std::max(y1 - y0, 0));
  for (int j = 0; j < grid.getHeight(); ++j)
    for (int i = 0; i < grid.getWidth(); ++i) grid(i, j) = full.get(i + x0, j + y0);
}

RectLevelSet::~RectLevelSet() { grid.release(); }

double& RectLevelSet::operator()(int x, int y) {
  if (have(x, y)) return grid(x - x0, y - y0);
  // A cell of this object rather than one shared by every rectangle: a stray write cannot
  // change what other level sets (possibly on another thread) read outside.
  outside = outsideValue;
  return outside;
}

// The differences are the grid's own, at grid coordinates: the grid reads mirrored values
// beyond its border, and the rectangle's outside value plays no part.
double RectLevelSet::getDxMinus(int x, int y) const {
  return grid.getDxMinus(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDxPlus(int x, int y) const {
  return grid.getDxPlus(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDxCentral(int x, int y) const {
  return grid.getDxCentral(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDxUpwind(int x, int y, double v) const {
  return grid.getDxUpwind(toGrid(x, x0), toGrid(y, y0), v);
}
double RectLevelSet::getDyMinus(int x, int y) const {
  return grid.getDyMinus(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDyPlus(int x, int y) const {
  return grid.getDyPlus(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDyCentral(int x, int y) const {
  return grid.getDyCentral(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getDyUpwind(int x, int y, double v) const {
  return grid.getDyUpwind(toGrid(x, x0), toGrid(y, y0), v);
}
double RectLevelSet::getCurvature(int x, int y) const {
  return grid.getCurvature(toGrid(x, x0), toGrid(y, y0));
}
double RectLevelSet::getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                                           double& dy) const {
  return grid.getCurvatureAndUpwind(toGrid(x, x0), toGrid(y, y0), vx, vy, dx, dy);
}

void RectLevelSet::ensureSignedDistanceFMM() {
  const Box box = insideBox(grid);
  const int gw = grid.getWidth(), gh = grid.getHeight();
  const bool keepsMargin = box.minX >= keepMargin && box.minY >= keepMargin &&
                           box.maxX < gw - keepMargin && box.maxY < gh - keepMargin;
  // Without an inside cell there is nothing to frame: the box's corners would be the
  // sentinels and give a rectangle of negative size.
  if (!keepsMargin && !box.isEmpty()) {
    const int nx0 = std::max(box.minX + x0 - reframeMargin, 0);
    const int ny0 = std::max(box.minY + y0 - reframeMargin, 0);
    const int nx1 = std::min(box.maxX + x0 + reframeMargin, canvasWidth);
    const int ny1 = std::min(box.maxY + y0 + reframeMargin, canvasHeight);
    FullLevelSet2D framed;
    framed.xSpace = grid.xSpace;
    framed.ySpace = grid.ySpace;
    framed.resize(std::max(nx1 - nx0, 0), std::max(ny1 - ny0, 0));
    for (int j = 0; j < framed.getHeight(); ++j)
      for (int i = 0; i < framed.getWidth(); ++i) {
        const int cx = i + nx0, cy = j + ny0;
        framed(i, j) = have(cx, cy) ? grid.get(cx - x0, cy - y0) : newCellValue;
      }
    grid = std::move(framed);
    x0 = nx0;
    y0 = ny0;
  }
  grid.ensureSignedDistanceFMM();
}

template <>
RectLevelSet* createLevelSetFromImage<RectLevelSet>(const vorn::Image<unsigned char>& mask) {
  const std::unique_ptr<FullLevelSet2D> full(createLevelSetFromImage<FullLevelSet2D>(mask));
  return new RectLevelSet(*full);
}
