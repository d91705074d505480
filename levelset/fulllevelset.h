// glimshape — levelset
// Purpose: FullLevelSet, the dense level-set kind of the shapes: a grid over the whole canvas.
#ifndef LEVELSET_FULLLEVELSET_H
#define LEVELSET_FULLLEVELSET_H

#include "lomvet/levelset2d.h"

/// @brief The dense shape kind: a FullLevelSet2D over the whole canvas.
///
/// It adds nothing to the library's grid (values, mirrored reads, differences, curvature,
/// re-initialisation and contour are the inherited ones); it exists so that the shape
/// template can be instantiated over a dense grid, and it releases both arrays when it is
/// destroyed.
class FullLevelSet : public FullLevelSet2D {
 public:
  using FullLevelSet2D::FullLevelSet2D;
  FullLevelSet() = default;
  FullLevelSet(const FullLevelSet&) = default;
  FullLevelSet& operator=(const FullLevelSet&) = default;
  ~FullLevelSet() override;
};

#endif
