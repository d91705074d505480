// glimshape — shapes
// Purpose: the parts every shape kind shares: factory, style, noise and method setters,
// the motion-model draw of reset and the plain-text form.
#include "shapes/zazizevozubase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "levelset/fulllevelset.h"
#include "levelset/rectlevelset.h"
#include "levelset/sparselevelset2d.h"
#include "settings/evolutiondistribution.h"
#include "settings/glimshapesettings.h"
#include "shapes/shapedrawing.h"
#include "shapes/stiffnessfiles.h"
#include "shapes/zazizevozu.h"

std::atomic<int> ZazizEvozuBase::s_zazizEvozuIndex{0};

ZazizEvozuBase::ZazizEvozuBase() = default;

ZazizEvozuBase::~ZazizEvozuBase() { stiffnessfiles::remove(stiffImage.getFileName()); }

std::unique_ptr<ZazizEvozuBase> ZazizEvozuBase::create(const Polygon& polygon,
                                                       const vorn::Image<unsigned char>& mask) {
  const std::string& kind = GlimShapeSettings::instance().levelSetType;
  if (kind == "RectLevelSet") return std::make_unique<ZazizEvozu<RectLevelSet>>(polygon, mask);
  if (kind == "SparseLevelSet")
    return std::make_unique<ZazizEvozu<SparseLevelSet2D>>(polygon, mask);
  return std::make_unique<ZazizEvozu<FullLevelSet>>(polygon, mask);
}

void ZazizEvozuBase::getMarkedCells(int width, int height, std::vector<MarkedCell>& cells) {
  if (width <= 0 || height <= 0) return;
  vorn::Image<unsigned char> free(width, height, 1);
  free = 1;
  FullLevelSet2D lowest(width, height);
  std::fill(lowest.values.begin(), lowest.values.end(), 1e10);
  markInsidePixels(free, lowest);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (lowest.get(x, y) < markedBelow) cells.push_back({x, y, lowest.get(x, y)});
}

void ZazizEvozuBase::reset() {
  // A copy: the options window may edit the list (and so move its records) while the
  // record is in use.
  const EvolutionDistribution d = GlimShapeSettings::instance().getDistribution();
  setNoiseType(d.noiseType);
  stiffness = d.stiffMin + (d.stiffMax - d.stiffMin) * drand48();
  speed = d.speedMin + (d.speedMax - d.speedMin) * drand48();
  polygonsFrozen = false;
  selected = false;
  setEvolutionMethod(d.method);
}

bool ZazizEvozuBase::isInside(int x, int y) const { return have(x, y) && get(x, y) < 0.0; }

void ZazizEvozuBase::setEvolutionMethod(const std::string& name) { evolutionMethod = name; }

void ZazizEvozuBase::setNoiseType(const std::string& name) {
  noiseType = name;
  const int w = getWidth(), h = getHeight();
  const vorn::Image<float> image = EvolutionDistribution::createStiffImage(name, w, h);
  const std::string path = stiffnessfiles::pathFor(index, w, h);
  // The whole image is cached, so the kernels sample it from memory; the file only serves
  // re-reads of a smaller window, and the shape works without it.
  stiffImage = CachedImage(path, CachedImage::defaultMargin, image);
  if (path.empty() || !image.getDataPtr()) return;
  if (!image.save(path.c_str()))
    std::fprintf(stderr, "Stiffness image not written to %s; the shape keeps it in memory\n",
                 path.c_str());
}

void ZazizEvozuBase::releaseGLResources() { shapedrawing::releaseTextures(); }

void ZazizEvozuBase::copyStyle(const ZazizEvozuBase& other) {
  for (int c = 0; c < 3; ++c) {
    fillColor[c] = other.fillColor[c];
    lineColor[c] = other.lineColor[c];
  }
  lineWidth = other.lineWidth;
}

namespace {

// "#rrggbb" as the drawing programs of the format read it back: red in the lowest byte.
std::string colorToken(const float rgb[3]) {
  const int r = static_cast<int>(255 * rgb[0]);
  const int g = static_cast<int>(255 * rgb[1]);
  const int b = static_cast<int>(255 * rgb[2]);
  char text[32];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(r + 256 * g + 65536 * b));
  return text;
}

}  // namespace

std::string ZazizEvozuBase::getSimpleTextRepresentation() const {
  std::ostringstream out;
  const int npoints = static_cast<int>(points.size());
  for (const std::vector<int>& loop : polygons) {
    const int n = static_cast<int>(loop.size());
    out << "poly " << n << ' ';
    for (int i = 0; i < n; ++i) {
      const int ic = loop[i], ip = loop[(i + n - 1) % n], in = loop[(i + 1) % n];
      // A loop that names a point the shape lacks writes that vertex as the origin rather
      // than reading past the point list.
      const auto at = [&](int k) {
        return k >= 0 && k < npoints ? points[k] : vorn::Vec2<double>(0.0, 0.0);
      };
      const vorn::Vec2<double> c = at(ic), p = at(ip), nx = at(in);
      out << 0.8 * c.x + 0.2 * p.x << ' ' << 0.8 * c.y + 0.2 * p.y << ' ' << c.x << ' ' << c.y
          << ' ' << 0.8 * c.x + 0.2 * nx.x << ' ' << 0.8 * c.y + 0.2 * nx.y << ' ';
    }
  }
  out << "color: " << colorToken(fillColor) << ' ';
  out << "lineColor: " << colorToken(lineColor) << ' ';
  out << "line: " << lineWidth << ' ';
  return out.str();
}
