// glimshape — liblomvet
// Purpose: the dense grid: mirrored access, finite differences and contour extraction.
#include "lomvet/levelset2d.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

#include "lomvet/differences.h"
#include "lomvet/marchingsquares.h"
#include "lomvet/reinit.h"

LevelSet2D::~LevelSet2D() = default;

double LevelSet2D::getXSpace() const { return xSpace; }
double LevelSet2D::getYSpace() const { return ySpace; }

int mirrorIndex(int a, int n) {
  long long m = a < 0 ? -static_cast<long long>(a) : a;
  if (m < n) return static_cast<int>(m);
  const long long period = 2LL * n;
  m %= period;
  return static_cast<int>(m < n ? m : period - 1 - m);
}

namespace {

// Reads go through the virtual get, so a grid that overrides it is differenced as it reads.
auto differencesOf(const FullLevelSet2D& g) {
  return GridDifferences([&g](int x, int y) { return g.get(x, y); }, g.width, g.height,
                         g.getXSpace(), g.getYSpace());
}

}  // namespace

FullLevelSet2D::FullLevelSet2D() = default;

FullLevelSet2D::FullLevelSet2D(int w, int h) { resize(w, h); }

// The sizes go with the arrays: a moved-from grid that kept them would index its empty
// arrays on the next read.
FullLevelSet2D::FullLevelSet2D(FullLevelSet2D&& other) noexcept
    : LevelSet2D(other),
      width(std::exchange(other.width, 0)),
      height(std::exchange(other.height, 0)),
      values(std::move(other.values)),
      updateBuffer(std::move(other.updateBuffer)) {
  other.values.clear();
  other.updateBuffer.clear();
}

FullLevelSet2D& FullLevelSet2D::operator=(FullLevelSet2D&& other) noexcept {
  if (this == &other) return *this;
  LevelSet2D::operator=(other);
  width = std::exchange(other.width, 0);
  height = std::exchange(other.height, 0);
  values = std::move(other.values);
  updateBuffer = std::move(other.updateBuffer);
  other.values.clear();
  other.updateBuffer.clear();
  return *this;
}

FullLevelSet2D::~FullLevelSet2D() = default;

void FullLevelSet2D::release() {
  std::vector<double>().swap(values);
  std::vector<double>().swap(updateBuffer);
  width = 0;
  height = 0;
}

void FullLevelSet2D::resize(int w, int h) {
  release();
  if (w <= 0 || h <= 0) return;
  const auto n = static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h);
  if (n > std::numeric_limits<std::size_t>::max() / (2 * sizeof(double))) throw std::bad_alloc();
  std::vector<double> v(static_cast<std::size_t>(n), 0.0);
  std::vector<double> u(static_cast<std::size_t>(n), 0.0);
  values.swap(v);
  updateBuffer.swap(u);
  width = w;
  height = h;
}

// In size_t: a grid may hold more cells than an int counts.
std::size_t FullLevelSet2D::index(int x, int y) const {
  return static_cast<std::size_t>(mirrorIndex(x, width)) +
         static_cast<std::size_t>(mirrorIndex(y, height)) * static_cast<std::size_t>(width);
}

double FullLevelSet2D::getMirrored(int x, int y) const {
  if (width <= 0 || height <= 0) return 0.0;
  return values[index(x, y)];
}

double& FullLevelSet2D::operator()(int x, int y) {
  if (width <= 0 || height <= 0) return scratch;
  return values[index(x, y)];
}

bool FullLevelSet2D::have(int x, int y) const {
  return x >= 0 && y >= 0 && x < width && y < height;
}

double FullLevelSet2D::getDxMinus(int x, int y) const { return differencesOf(*this).dxMinus(x, y); }
double FullLevelSet2D::getDxPlus(int x, int y) const { return differencesOf(*this).dxPlus(x, y); }
double FullLevelSet2D::getDxCentral(int x, int y) const {
  return differencesOf(*this).dxCentral(x, y);
}
double FullLevelSet2D::getDxUpwind(int x, int y, double v) const {
  return differencesOf(*this).dxUpwind(x, y, v);
}
double FullLevelSet2D::getDyMinus(int x, int y) const { return differencesOf(*this).dyMinus(x, y); }
double FullLevelSet2D::getDyPlus(int x, int y) const { return differencesOf(*this).dyPlus(x, y); }
double FullLevelSet2D::getDyCentral(int x, int y) const {
  return differencesOf(*this).dyCentral(x, y);
}
double FullLevelSet2D::getDyUpwind(int x, int y, double v) const {
  return differencesOf(*this).dyUpwind(x, y, v);
}
double FullLevelSet2D::getCurvature(int x, int y) const {
  return differencesOf(*this).curvature(x, y);
}
double FullLevelSet2D::getCurvatureAndUpwind(int x, int y, double vx, double vy, double& dx,
                                             double& dy) const {
  return differencesOf(*this).curvatureAndUpwind(x, y, vx, vy, dx, dy);
}

void FullLevelSet2D::ensureSignedDistanceFMM() { ensureSignedDistance(*this); }

void FullLevelSet2D::getLinesUnique(ContourPoints& points, ContourEdges& edges) const {
  points.clear();
  edges.clear();
  if (width < 2 || height < 2) return;
  const int w = width;
  // Point index of every crossed edge, by edge: the horizontal edges of the cell row's top
  // and bottom lines and the vertical edges of the row. Only two lines of horizontals are
  // live at a time, because a horizontal edge is shared by vertically adjacent cells only.
  std::vector<int> top(static_cast<std::size_t>(w), -1);
  std::vector<int> bottom(static_cast<std::size_t>(w), -1);
  std::vector<int> vertical(static_cast<std::size_t>(w), -1);
  for (int y = 0; y + 1 < height; ++y) {
    const double* r0 = values.data() + static_cast<std::size_t>(y) * w;
    const double* r1 = r0 + w;
    std::fill(vertical.begin(), vertical.end(), -1);
    std::fill(bottom.begin(), bottom.end(), -1);
    for (int x = 0; x + 1 < w; ++x) {
      const double v0 = r0[x], v1 = r0[x + 1], v2 = r1[x + 1], v3 = r1[x];
      const int kase = (v0 > 0 ? 1 : 0) | (v1 > 0 ? 2 : 0) | (v2 > 0 ? 4 : 0) | (v3 > 0 ? 8 : 0);
      const int nseg = MarchingSquares::lut_size[kase];
      if (nseg == 0) continue;
      int ids[2];
      for (int s = 0; s < nseg; ++s) {
        for (int k = 0; k < 2; ++k) {
          const int code = MarchingSquares::lut[kase][2 * s + k];
          int* slot = nullptr;
          double px = 0.0, py = 0.0;
          switch (code) {
            case 0:
              slot = &top[static_cast<std::size_t>(x)];
              if (*slot < 0) px = x + MarchingSquares::crossing(v0, v1), py = y;
              break;
            case 1:
              slot = &vertical[static_cast<std::size_t>(x + 1)];
              if (*slot < 0) px = x + 1, py = y + MarchingSquares::crossing(v1, v2);
              break;
            case 2:
              slot = &bottom[static_cast<std::size_t>(x)];
              if (*slot < 0) px = x + MarchingSquares::crossing(v3, v2), py = y + 1;
              break;
            default:
              slot = &vertical[static_cast<std::size_t>(x)];
              if (*slot < 0) px = x, py = y + MarchingSquares::crossing(v0, v3);
              break;
          }
          if (*slot < 0) {
            *slot = static_cast<int>(points.size());
            points.emplace_back(px, py);
          }
          ids[k] = *slot;
        }
        edges.emplace_back(ids[0], ids[1]);
      }
    }
    top.swap(bottom);
  }
}
