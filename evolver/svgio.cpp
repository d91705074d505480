// glimshape — evolver
// Purpose: ZazizEvozuEvolver's SVG input and output: loading a drawing into shapes, and
// writing the shapes to an SVG file.
#include "evolver/evolver.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "levelset/createlevelset.h"
#include "settings/glimshapesettings.h"
#include "svg/raster.h"
#include "svg/svgwriter.h"

bool ZazizEvozuEvolver::loadSVG(const std::string& fileName) {
  // Parsed before anything changes, so that an unreadable file keeps the drawing.
  const SvgDocument document(fileName);
  if (!document.isValid()) {
    std::printf("Could not read SVG file %s.\n", fileName.c_str());
    return false;
  }
  // The worker reads the shape list during a step: it stops before the list is replaced.
  // The old shapes are released before the new ones are made.
  setShapes({});
  const GlimShapeSettings& settings = GlimShapeSettings::instance();
  // Each shape keeps level sets and images of the canvas size, and each shape's step
  // rebuilds the free space from all the others, so a drawing of 100,000 outlines would
  // need gigabytes and hours per pass: shapes are bounded in number and in canvas cells.
  const long long cells = std::max(1LL, static_cast<long long>(settings.width) * settings.height);
  const std::size_t limit = static_cast<std::size_t>(
      std::max(1LL, std::min(maxDrawingShapes, maxDrawingCells / cells)));
  std::vector<std::shared_ptr<ZazizEvozuBase>> created;
  const auto receive = [&](const SvgElement& element) {
    // The outline traced from the mask encloses what the element paints: a drawing keeps
    // its areas, small shapes included, however often it is saved and loaded again.
    std::shared_ptr<ZazizEvozuBase> shape =
        ZazizEvozuBase::create(element.polygon, calibrateCoverage(element.mask));
    if (!shape) return false;
    // The element's style replaces the random colours and width chosen at construction.
    for (int c = 0; c < 3; ++c) {
      shape->lineColor[c] = element.strokeColor[c];
      shape->fillColor[c] = element.fillColor[c];
    }
    shape->lineWidth = element.strokeWidth;
    created.push_back(std::move(shape));
    return true;
  };
  if (settings.svgReader == "basic") {
    svgReader.outlineLimit = limit;
    svgReader.read(document, settings.width, settings.height, receive);
    loadSummary = svgReader.summary;
  } else {
    fullReader.outlineLimit = limit;
    fullReader.read(document, settings.width, settings.height, receive);
    loadSummary = fullReader.summary;
  }
  std::printf("Loaded %s: %s.\n", fileName.c_str(), loadSummary.line().c_str());
  std::fflush(stdout);
  setShapes(std::move(created));
  std::lock_guard<std::mutex> lock(mutex);
  // Without shapes the mask of the previous drawing would linger.
  if (shapes.empty()) mask = vorn::Image<unsigned char>();
  updateMask(-1);
  return true;
}

std::array<float, 3> ZazizEvozuEvolver::parseColor(const std::string& text) {
  return ::parseColor(text);
}

vorn::Image<unsigned char> ZazizEvozuEvolver::getImageFromPath(const Path& path, int width,
                                                               int height) {
  return rasterisePath(path, width, height);
}

bool ZazizEvozuEvolver::saveSVG(const std::string& fileName, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex);
  const GlimShapeSettings& settings = GlimShapeSettings::instance();
  const int width = shapes.empty() ? settings.width : shapes.front()->getWidth();
  const int height = shapes.empty() ? settings.height : shapes.front()->getHeight();
  return writeSvgFile(fileName, width, height, [this](cairo_t* cr) {
    for (const std::shared_ptr<ZazizEvozuBase>& shape : shapes) shape->drawCairo(cr);
  }, error);
}
