// glimshape — levelset
// Purpose: SparseLevelSet2D storage, finite differences and contour extraction.
#include "levelset/sparselevelset2d.h"

#include <cmath>
#include <iostream>
#include <memory>

#include "lomvet/differences.h"
#include "lomvet/marchingsquares.h"
#include "lomvet/progress.h"

SparseLevelSet2D::SparseLevelSet2D(int width, int height)
    : width(width > 0 ? width : 0), height(height > 0 ? height : 0) {
  rows.resize(static_cast<std::size_t>(this->height));
}

SparseLevelSet2D::SparseLevelSet2D(const FullLevelSet2D& dense)
    : SparseLevelSet2D(dense.getWidth(), dense.getHeight()) {
  long added = 0;
  for (int y = 0; y < height; ++y) {
    Row& row = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      const double v = dense.get(x, y);
      if (std::fabs(v) <= constructionBand) {
        row.emplace_hint(row.end(), x, v);
        ++added;
      }
    }
  }
  if (progressLinesEnabled()) std::cout << "Added:" << added << std::endl;
}

SparseLevelSet2D::~SparseLevelSet2D() = default;

double SparseLevelSet2D::get(int x, int y) const {
  if (y < 0 || y >= height) return 0.0;
  const Row& row = rows[static_cast<std::size_t>(y)];
  const auto it = row.find(x);
  return it == row.end() ? 0.0 : it->second;
}

double& SparseLevelSet2D::operator()(int x, int y) {
  if (x < 0 || x >= width || y < 0 || y >= height) {
    scratch = 0.0;
    return scratch;
  }
  return rows[static_cast<std::size_t>(y)].try_emplace(x, 0.0).first->second;
}

bool SparseLevelSet2D::have(int x, int y) const {
  if (x < 0 || x >= width || y < 0 || y >= height) return false;
  const Row& row = rows[static_cast<std::size_t>(y)];
  return row.find(x) != row.end();
}

bool SparseLevelSet2D::isInside(int x, int y) const {
  if (x < 0 || x >= width || y < 0 || y >= height) return false;
  const Row& row = rows[static_cast<std::size_t>(y)];
  if (row.empty()) {
    for (int k = y - 1; k >= 0; --k)
      if (!rows[static_cast<std::size_t>(k)].empty())
        return rows[static_cast<std::size_t>(k)].begin()->second < 0.0;
    for (int k = y + 1; k < height; ++k)
      if (!rows[static_cast<std::size_t>(k)].empty())
        return rows[static_cast<std::size_t>(k)].begin()->second < 0.0;
    return false;
  }
  const auto after = row.upper_bound(x);
  return (after == row.begin() ? after : std::prev(after))->second < 0.0;
}

double SparseLevelSet2D::getOrBandEdge(int x, int y) const {
  if (x >= 0 && x < width && y >= 0 && y < height) {
    const Row& row = rows[static_cast<std::size_t>(y)];
    const auto after = row.upper_bound(x);
    if (after != row.begin() && std::prev(after)->first == x) return std::prev(after)->second;
  }
  return isInside(x, y) ? -constructionBand : constructionBand;
}

namespace {

// Differences over the stored values: a cell that is not stored reads 0.0.
auto differencesOf(const SparseLevelSet2D& s) {
  return GridDifferences([&s](int x, int y) { return s.get(x, y); },
                         s.SparseLevelSet2D::getWidth(), s.SparseLevelSet2D::getHeight(),
                         s.getXSpace(), s.getYSpace());
}

}  // namespace

double SparseLevelSet2D::getDxMinus(int x, int y) const {
  return differencesOf(*this).dxMinus(x, y);
}
double SparseLevelSet2D::getDxPlus(int x, int y) const { return differencesOf(*this).dxPlus(x, y); }
double SparseLevelSet2D::getDxCentral(int x, int y) const {
  return differencesOf(*this).dxCentral(x, y);
}
double SparseLevelSet2D::getDxUpwind(int x, int y, double v) const {
  return differencesOf(*this).dxUpwind(x, y, v);
}
double SparseLevelSet2D::getDyMinus(int x, int y) const {
  return differencesOf(*this).dyMinus(x, y);
}
double SparseLevelSet2D::getDyPlus(int x, int y) const { return differencesOf(*this).dyPlus(x, y); }
double SparseLevelSet2D::getDyCentral(int x, int y) const {
  return differencesOf(*this).dyCentral(x, y);
}
double SparseLevelSet2D::getDyUpwind(int x, int y, double v) const {
  return differencesOf(*this).dyUpwind(x, y, v);
}
double SparseLevelSet2D::getCurvature(int x, int y) const {
  return differencesOf(*this).curvature(x, y);
}
double SparseLevelSet2D::getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                                               double& dy) const {
  return differencesOf(*this).curvatureAndUpwind(x, y, vx, vy, dx, dy);
}

int SparseLevelSet2D::getUniqueIndexMI(int x, int y, int edge) const {
  const int w = width;
  switch (edge) {
    case 0: return (y * w + x) * 2;
    case 1: return (y * w + x + 1) * 2 + 1;
    case 2: return ((y + 1) * w + x) * 2;
    case 3: return (y * w + x) * 2 + 1;
    default: return -1;
  }
}

int SparseLevelSet2D::getCellCount() const {
  std::size_t n = 0;
  for (const Row& row : rows) n += row.size();
  return static_cast<int>(n);
}

void SparseLevelSet2D::getLinesUnique(ContourPoints& points, ContourEdges& edges) const {
  points.clear();
  edges.clear();
  if (height - 1 < 1 || width < 2) return;
  std::map<int, int> pointOfEdge;
  for (int y = 0; y + 1 < height; ++y) {
    const Row& r0 = rows[static_cast<std::size_t>(y)];
    const Row& r1 = rows[static_cast<std::size_t>(y + 1)];
    if (r0.empty() || r1.empty()) continue;
    // Both rows are walked in column order, so each corner lookup is a step forward
    // rather than a fresh search.
    auto it1 = r1.begin();
    for (auto it0 = r0.begin(); it0 != r0.end(); ++it0) {
      const int x = it0->first;
      if (x + 1 >= width) break;
      auto right0 = std::next(it0);
      if (right0 == r0.end() || right0->first != x + 1) continue;
      while (it1 != r1.end() && it1->first < x) ++it1;
      if (it1 == r1.end()) break;
      if (it1->first != x) continue;
      auto right1 = std::next(it1);
      if (right1 == r1.end() || right1->first != x + 1) continue;

      const double v0 = it0->second, v1 = right0->second, v2 = right1->second,
                   v3 = it1->second;
      const int kase = (v0 > 0 ? 1 : 0) | (v1 > 0 ? 2 : 0) | (v2 > 0 ? 4 : 0) | (v3 > 0 ? 8 : 0);
      const int nseg = MarchingSquares::lut_size[kase];
      for (int s = 0; s < nseg; ++s) {
        int ids[2] = {-1, -1};
        for (int k = 0; k < 2; ++k) {
          const int code = MarchingSquares::lut[kase][2 * s + k];
          const int key = getUniqueIndexMI(x, y, code);
          if (key < 0) break;
          const auto found = pointOfEdge.find(key);
          if (found != pointOfEdge.end()) {
            ids[k] = found->second;
            continue;
          }
          vorn::Vec2<double> p;
          switch (code) {
            case 0: p = {x + MarchingSquares::crossing(v0, v1), double(y)}; break;
            case 1: p = {double(x + 1), y + MarchingSquares::crossing(v1, v2)}; break;
            case 2: p = {x + MarchingSquares::crossing(v3, v2), double(y + 1)}; break;
            default: p = {double(x), y + MarchingSquares::crossing(v0, v3)}; break;
          }
          ids[k] = static_cast<int>(points.size());
          points.push_back(p);
          pointOfEdge.emplace(key, ids[k]);
        }
        if (ids[0] >= 0 && ids[1] >= 0) edges.emplace_back(ids[0], ids[1]);
      }
    }
  }
}

template <>
SparseLevelSet2D* createLevelSetFromImage<SparseLevelSet2D>(const vorn::Image<unsigned char>& mask) {
  const std::unique_ptr<FullLevelSet2D> dense(createLevelSetFromImage<FullLevelSet2D>(mask));
  return new SparseLevelSet2D(*dense);
}
