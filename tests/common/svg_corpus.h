// glimshape — tests/common
// Purpose: the corpus of real SVG path data, and fitting a path to the default canvas.
#ifndef TESTS_COMMON_SVG_CORPUS_H
#define TESTS_COMMON_SVG_CORPUS_H

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "svg/path.h"

namespace glimtest {

/// @brief The folder of the shared corpus of whole SVG files (with a final '/'), which lies
/// beside the checkout or beside the folder of work trees; empty when neither has it.
inline std::string sharedSvgCorpusDir() {
  for (const char* up : {"/../shared/corpus/svg/", "/../../shared/corpus/svg/"}) {
    const std::string dir = std::string(GLIM_SOURCE_DIR) + up;
    if (std::ifstream(dir + "oc-profilo_della_citta.svg")) return dir;
  }
  return std::string();
}

/// @brief The largest file of the shared corpus, or an empty name without the corpus.
inline std::string largestCorpusFile() {
  const std::string dir = sharedSvgCorpusDir();
  return dir.empty() ? dir : dir + "oc-profilo_della_citta.svg";
}

/// @brief The bundled example drawing.
inline std::string exampleDrawingFile() {
  return std::string(GLIM_SOURCE_DIR) + "/examples/drawing.svg";
}

/// @brief The path data of tests/svg/data/corpus_paths.txt, one path per line; empty
/// lines and lines starting with '#' are skipped.
/// @warning A missing file gives an empty list; callers check the count.
inline std::vector<std::string> corpusPaths() {
  std::ifstream in(std::string(GLIM_SOURCE_DIR) + "/tests/svg/data/corpus_paths.txt");
  std::vector<std::string> paths;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') paths.push_back(line);
  }
  return paths;
}

/// @brief Scales and moves the path so that the bounding box of its points (every control
/// point of a curve, the end point of an arc) fills a 116-pixel square with a 6-pixel
/// margin, as on the default 128 × 128 canvas; arc radii are scaled alike.
inline void fitToCanvas(Path& path) {
  using Node = Path::Node;
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (const Node& node : path.nodes) {
    const int used = node.type == Node::CurveTo ? 3 : node.type == Node::ClosePath ? 0 : 1;
    for (int k = 0; k < used; ++k) {
      const vorn::Vec2<double>& p = node.points[node.type == Node::Arc ? 1 : k];
      lo[0] = std::min(lo[0], p.x), lo[1] = std::min(lo[1], p.y);
      hi[0] = std::max(hi[0], p.x), hi[1] = std::max(hi[1], p.y);
    }
  }
  const double scale = 116.0 / std::max(hi[0] - lo[0], hi[1] - lo[1]);
  for (Node& node : path.nodes) {
    for (vorn::Vec2<double>& p : node.points)
      p = vorn::Vec2<double>((p.x - lo[0]) * scale + 6, (p.y - lo[1]) * scale + 6);
    node.radius *= scale;
  }
}

}  // namespace glimtest

#endif
