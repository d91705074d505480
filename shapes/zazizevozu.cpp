// glimshape — shapes
// Purpose: ZazizEvozu<LevelSetT> for the three level-set kinds: the common motion plan and
// the places where the kinds differ (contour, occupancy marking, inside mask).
#include "shapes/zazizevozu.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "levelset/createlevelset.h"
#include "lomvet/marchingsquares.h"
#include "shapes/shapedrawing.h"

namespace {

// ---- Where the kinds differ ---------------------------------------------------------------

shapedrawing::TextureSlot overlaySlot(const FullLevelSet*) { return shapedrawing::OverlayDense; }
shapedrawing::TextureSlot overlaySlot(const RectLevelSet*) { return shapedrawing::OverlayRect; }
shapedrawing::TextureSlot overlaySlot(const SparseLevelSet2D*) {
  return shapedrawing::OverlaySparse;
}

void contour(const FullLevelSet& ls, ContourPoints& points, ContourEdges& edges) {
  ls.getLinesUnique(points, edges);
}

void contour(const SparseLevelSet2D& ls, ContourPoints& points, ContourEdges& edges) {
  ls.getLinesUnique(points, edges);
}

// The rectangle's grid gives grid coordinates; the shape's points are canvas pixels.
void contour(const RectLevelSet& ls, ContourPoints& points, ContourEdges& edges) {
  ls.getGrid().getLinesUnique(points, edges);
  for (auto& p : points) {
    p.x += ls.getX0();
    p.y += ls.getY0();
  }
}

// Calls f(x, y, value) for the inside cells of a sparse level set as a scan-line fill finds
// them: each negative band cell covers the cells up to the next stored cell of its row (or
// the canvas edge), so the deep inside, which the band does not store, takes the value of
// the nearest negative band cell to its left. Stored cells from 0 to below `outsideBelow`
// are passed on as well, each with its own value (no fill span holds a stored cell but the
// one it starts from, so every cell comes once, in row order).
//
// A row whose first stored cell is negative begins inside: the band keeps both sides of
// every crossing, so an outside cell left of it would be stored. That happens when the
// shape reaches the left canvas edge with its deep inside; those cells take the first
// cell's value, or a shape lying along the left edge would leave them free for others.
//
// A row that stores no cell lies farther than the band from the outline, so all of it is on
// the side of the first cell of its neighbouring rows: inside rows take that cell's value
// (a shape holding the canvas border keeps the rows that its band does not reach).
template <class F>
void forEachFilledCell(const SparseLevelSet2D& ls, F&& f, double outsideBelow = 0.0) {
  const auto& rows = ls.getRows();
  const int w = ls.getWidth();
  const int h = static_cast<int>(rows.size());
  // The side of column 0, carried from row to row: the first stored cell's value of the
  // nearest row that stores one, above or (for the leading rows) below.
  double carried = 1.0;
  for (int y = 0; y < h; ++y)
    if (!rows[y].empty()) {
      carried = rows[y].begin()->second;
      break;
    }
  for (int y = 0; y < h; ++y) {
    const SparseLevelSet2D::Row& row = rows[y];
    if (row.empty()) {
      if (carried < 0.0)
        for (int x = 0; x < w; ++x) f(x, y, carried);
      continue;
    }
    carried = row.begin()->second;
    if (row.begin()->second < 0.0)
      for (int x = 0; x < std::min(row.begin()->first, w); ++x) f(x, y, row.begin()->second);
    for (auto it = row.begin(); it != row.end();) {
      const auto next = std::next(it);
      if (it->second < 0.0) {
        const int xEnd = std::min(next == row.end() ? w : next->first, w);
        for (int x = std::max(it->first, 0); x < xEnd; ++x) f(x, y, it->second);
      } else if (it->second < outsideBelow && it->first >= 0 && it->first < w) {
        f(it->first, y, it->second);
      }
      it = next;
    }
  }
}

bool insideAt(const FullLevelSet& ls, int x, int y) { return ls.have(x, y) && ls.get(x, y) < 0.0; }
bool insideAt(const RectLevelSet& ls, int x, int y) { return ls.have(x, y) && ls.get(x, y) < 0.0; }
// The scan-line fill of forEachFilledCell, for one cell.
bool insideAt(const SparseLevelSet2D& ls, int x, int y) { return ls.isInside(x, y); }

// Calls f(x, y, value) for every cell markInsidePixels marks, in row order: the inside
// (below 0) and the stored cells just outside (below ZazizEvozuBase::markedBelow). The
// dense and rectangle kinds read their arrays directly, since this runs for a shape
// whenever the evolver's worker takes it into its record of the others; the rectangle
// kind's cells beyond its rectangle are not stored and never marked.
template <class F>
void forEachMarkedCell(const FullLevelSet& ls, const F& f) {
  const int w = ls.getWidth();
  const double* v = ls.getValues();
  for (int y = 0; y < ls.getHeight(); ++y, v += w)
    for (int x = 0; x < w; ++x)
      if (v[x] < ZazizEvozuBase::markedBelow) f(x, y, v[x]);
}

template <class F>
void forEachMarkedCell(const RectLevelSet& ls, const F& f) {
  const FullLevelSet2D& grid = ls.getGrid();
  const int gw = grid.getWidth(), x0 = ls.getX0(), y0 = ls.getY0();
  for (int j = 0; j < grid.getHeight(); ++j) {
    const double* row = grid.getValues() + static_cast<std::size_t>(j) * gw;
    for (int i = 0; i < gw; ++i)
      if (row[i] < ZazizEvozuBase::markedBelow) f(i + x0, j + y0, row[i]);
  }
}

template <class F>
void forEachMarkedCell(const SparseLevelSet2D& ls, const F& f) {
  forEachFilledCell(ls, f, ZazizEvozuBase::markedBelow);
}

// Marks the inside in the mask and the grid and the cells just outside in the grid alone;
// cells beyond the mask or the grid are skipped rather than mirrored (the grid would
// otherwise lower a cell on the far side of its border).
template <class LevelSetT>
void markInside(const LevelSetT& ls, vorn::Image<unsigned char>& mask,
                FullLevelSet2D& obstacles) {
  const int ow = obstacles.getWidth(), oh = obstacles.getHeight();
  unsigned char* m = mask.getDataPtr();
  const int mw = m && mask.nchannels > 0 ? mask.getWidth() : 0;
  const int mh = m && mask.nchannels > 0 ? mask.getHeight() : 0;
  forEachMarkedCell(ls, [&](int x, int y, double v) {
    if (x < 0 || y < 0) return;
    if (x < ow && y < oh) {
      double& o =
          obstacles.values[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * ow];
      o = std::min(o, v);
    }
    if (v < 0.0 && x < mw && y < mh)
      m[(static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * mw) * mask.nchannels] = 0;
  });
}

vorn::Image<unsigned char> emptyMask(int w, int h) {
  vorn::Image<unsigned char> image(w, h, 1);
  image = 0;
  return image;
}

vorn::Image<unsigned char> binaryImage(const FullLevelSet& ls) {
  const int w = ls.getWidth(), h = ls.getHeight();
  vorn::Image<unsigned char> image = emptyMask(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (ls.get(x, y) <= 0.0) image(x, y, 0) = 255;
  return image;
}

// The rectangle is pasted at its origin and clipped to the canvas, so a rectangle that
// reaches beyond it cannot fail the paste.
vorn::Image<unsigned char> binaryImage(const RectLevelSet& ls) {
  const int w = ls.getWidth(), h = ls.getHeight();
  vorn::Image<unsigned char> image = emptyMask(w, h);
  const FullLevelSet2D& grid = ls.getGrid();
  const int x0 = std::max(ls.getX0(), 0), y0 = std::max(ls.getY0(), 0);
  for (int j = 0; j < grid.getHeight() && y0 + j < h; ++j)
    for (int i = 0; i < grid.getWidth() && x0 + i < w; ++i)
      if (grid.get(i, j) <= 0.0) image(x0 + i, y0 + j, 0) = 255;
  return image;
}

vorn::Image<unsigned char> binaryImage(const SparseLevelSet2D& ls) {
  std::fprintf(stderr, "Warning: incomplete.\n");
  const int w = ls.getWidth(), h = ls.getHeight();
  vorn::Image<unsigned char> image = emptyMask(w, h);
  forEachFilledCell(ls, [&](int x, int y, double) {
    if (y < h) image(x, y, 0) = 255;
  });
  return image;
}

}  // namespace

// ---- Construction, reset and the parameters ---------------------------------------------

template <class LevelSetT>
ZazizEvozu<LevelSetT>::ZazizEvozu(const Polygon& polygon, const vorn::Image<unsigned char>& mask) {
  sourcePolygon = polygon;
  index = s_zazizEvozuIndex++;
  const double first = drand48(), second = drand48(), third = drand48();
  fillColor[0] = static_cast<float>(third);
  fillColor[1] = static_cast<float>(second);
  fillColor[2] = static_cast<float>(first);
  for (int c = 0; c < 3; ++c) lineColor[c] = fillColor[c] * 1.15f;
  lineWidth = 1.0 + 2.0 * drand48();
  levelSet.reset(createLevelSetFromImage<LevelSetT>(mask));
  initialLevelSet.reset(createLevelSetFromImage<LevelSetT>(mask));
  reset();
}

template <class LevelSetT>
ZazizEvozu<LevelSetT>::~ZazizEvozu() = default;

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::reset() {
  *levelSet = *initialLevelSet;
  ZazizEvozuBase::reset();
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::setEvolutionMethod(const std::string& name) {
  ZazizEvozuBase::setEvolutionMethod(name);
  kernel = name == "original" ? &::move<LevelSetT, CachedImage>
                              : &::move_speed_based<LevelSetT, CachedImage>;
}

// ---- Motion -------------------------------------------------------------------------------

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::move(const vorn::Image<unsigned char>& mask,
                                 const FullLevelSet2D& obstacles, int steps, int reinitPeriod) {
  if (steps < 1) {
    levelSet->ensureSignedDistanceFMM();
    updateStiffMask();
    return;
  }
  // A period below 1 has no meaning; taken as 1 rather than dividing by zero.
  const int period = std::max(reinitPeriod, 1);
  for (int i = 0; i < steps; ++i) {
    const SpeedFunction f = bindSpeed<LevelSetT, CachedImage>(
        kernel, &mask, &obstacles, initialLevelSet.get(), &stiffImage, stiffness);
    updateStep(*levelSet, f);
    if (i % period == 0) levelSet->ensureSignedDistanceFMM();
  }
  levelSet->ensureSignedDistanceFMM();
  updateStiffMask();
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::updateStiffMask() {}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::markInsidePixels(vorn::Image<unsigned char>& mask,
                                             FullLevelSet2D& obstacles) {
  markInside(*levelSet, mask, obstacles);
}

template <class LevelSetT>
bool ZazizEvozu<LevelSetT>::isInside(int x, int y) const {
  return insideAt(*levelSet, x, y);
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::getMarkedCells(int width, int height,
                                           std::vector<MarkedCell>& cells) {
  forEachMarkedCell(*levelSet, [&](int x, int y, double v) {
    if (x >= 0 && y >= 0 && x < width && y < height) cells.push_back({x, y, v});
  });
}

template <class LevelSetT>
vorn::Image<unsigned char> ZazizEvozu<LevelSetT>::getBinaryImage() {
  return binaryImage(*levelSet);
}

template <class LevelSetT>
int ZazizEvozu<LevelSetT>::getWidth() const {
  return levelSet->getWidth();
}

template <class LevelSetT>
int ZazizEvozu<LevelSetT>::getHeight() const {
  return levelSet->getHeight();
}

template <class LevelSetT>
double ZazizEvozu<LevelSetT>::get(int x, int y) const {
  return levelSet->get(x, y);
}

template <class LevelSetT>
bool ZazizEvozu<LevelSetT>::have(int x, int y) const {
  return levelSet->have(x, y);
}

// ---- Polygons -----------------------------------------------------------------------------

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::updatePolygons() {
  contour(*levelSet, points, edges);
  addBorderEdges(points, edges, levelSet.get());
  polygons = getPolygons(points, edges);
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::subdividePolygons() {}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::fixStiffShape(double) {}

// ---- Drawing ------------------------------------------------------------------------------

template <class LevelSetT>
vorn::Image<float> ZazizEvozu<LevelSetT>::getTextureImage() {
  const int w = getWidth(), h = getHeight();
  vorn::Image<float> image(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // `get`, not `operator()`: reading must not add cells to a sparse band.
      const double v = levelSet->get(x, y);
      image(x, y, 0) = image(x, y, 1) = image(x, y, 2) = 1.0f;
      image(x, y, 3) = static_cast<float>(std::clamp((5.0 - v) / 10.0, 0.0, 1.0));
    }
  return image;
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::drawPolygonsGL(unsigned int mode,
                                           const std::vector<vorn::Vec2<double>>& pts,
                                           const std::vector<std::vector<int>>& loops) {
  shapedrawing::drawPolygonsGL(mode, pts, loops);
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::drawPointsGL() {
  if (!polygonsFrozen) updatePolygons();
  shapedrawing::drawPointsGL(*this);
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::drawGL() {
  if (!polygonsFrozen) updatePolygons();
  shapedrawing::drawGL(*this, overlaySlot(levelSet.get()));
}

template <class LevelSetT>
void ZazizEvozu<LevelSetT>::drawCairo(cairo_t* cr) {
  if (!polygonsFrozen) updatePolygons();
  shapedrawing::drawCairo(*this, cr);
}

template class ZazizEvozu<FullLevelSet>;
template class ZazizEvozu<RectLevelSet>;
template class ZazizEvozu<SparseLevelSet2D>;
