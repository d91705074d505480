// glimshape — levelset
// Purpose: SparseLevelSet2D::moveWithCurvature, the explicit update step of the narrow band.
#include "levelset/sparselevelset2d.h"

#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "lomvet/progress.h"

void SparseLevelSet2D::moveWithCurvature(
    const std::function<double(LevelSet2D*, int, int, double*)>& f) {
  if (progressLinesEnabled()) std::cout << "move with curvature." << std::endl;
  // Every speed is computed before any value changes. The buffers keep the cells
  // themselves (map iterators stay valid if a speed function adds a cell), so each speed
  // goes back to the cell it was computed for.
  std::vector<std::vector<std::pair<Row::iterator, double>>> speeds(rows.size());
  double delta = 1e11;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    Row& row = rows[y];
    speeds[y].reserve(row.size());
    for (auto it = row.begin(); it != row.end(); ++it) {
      double out = 1e11;
      const double speed = f(this, it->first, static_cast<int>(y), &out);
      speeds[y].emplace_back(it, speed);
      delta = std::min(delta, out);
    }
  }
  for (auto& row : speeds)
    for (auto& cell : row) cell.first->second += delta * cell.second;
  if (progressLinesEnabled()) std::cout << "done curvature." << std::endl;
}
