// glimshape — levelset
// Purpose: FullLevelSet, the dense level-set kind of the shapes.
#include "levelset/fulllevelset.h"

FullLevelSet::~FullLevelSet() { release(); }
